#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvid {

// One entry of a file chooser's type list: what the user reads and the patterns it selects.
struct FileFilter {
    std::string description;            // UTF-8
    std::vector<std::string> patterns;  // e.g. "*.asf"
    bool operator==(const FileFilter&) const = default;
};

// What a file dialog is asked to show. All texts are UTF-8.
struct FileChooserRequest {
    enum class Mode { Open, Save };

    Mode mode = Mode::Open;
    std::optional<std::string> title;       // none: the chooser's default caption
    std::optional<std::string> initialDir;  // none: the chooser's default folder
    std::string initialFileName;            // shown preselected; may be a full path
    std::vector<FileFilter> filters;
    std::size_t selectedFilter = 0;  // index into filters
    std::string defaultExt;          // appended to a typed name without extension; no dot
    bool confirmOverwrite = false;   // Save: ask before replacing an existing file
};

// The desktop's file and folder choosers. Every call is modal and runs on the GUI thread.
class IFileChooser {
public:
    virtual ~IFileChooser() = default;

    // The chosen file's full path, or none when the user cancelled.
    virtual std::optional<std::string> chooseFile(const FileChooserRequest& request) = 0;
    // The chosen folder's full path, or none when the user cancelled. The browser starts
    // in `initialDir`, or the user's home folder when there is none.
    virtual std::optional<std::string> chooseFolder(
        const std::string& title, const std::optional<std::string>& initialDir) = 0;
};

}  // namespace corvid
