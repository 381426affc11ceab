#pragma once

#include <QStringList>

#include "platform/files/IFileChooser.h"

class QFileDialog;

namespace corvid {

// File and folder choosers on Qt's own file dialog. The dialog has no owner window and is
// application-modal. Qt's own dialog rather than the desktop's is used so that the type
// list shows each entry's description alone, the way it was given.
class QtFileChooser : public IFileChooser {
public:
    std::optional<std::string> chooseFile(const FileChooserRequest& request) override;
    std::optional<std::string> chooseFolder(const std::string& title,
                                            const std::optional<std::string>& initialDir) override;

    // The dialog that chooseFile would run, configured but not shown (tests, screenshots).
    static void configure(QFileDialog& dialog, const FileChooserRequest& request);
    static void configureFolder(QFileDialog& dialog, const std::string& title,
                                const std::optional<std::string>& initialDir = std::nullopt);

    // Qt's filter text for one entry: the description with the patterns in a last
    // parenthesised group, which Qt takes as the patterns even when the description itself
    // has parentheses.
    static QString nameFilter(const FileFilter& filter);
    static QStringList nameFilters(const std::vector<FileFilter>& filters);
};

}  // namespace corvid
