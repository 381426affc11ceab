#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/files/FileChooser.h"
#include "platform/files/IFileChooser.h"

namespace corvid {

// The Open and Save file dialogs and the folder browser behind plain text properties. The
// whole state is one dialog record; each property reads or writes one of its fields,
// translating between "|"-separated or unterminated texts and the NUL-separated,
// NUL-terminated texts that the dialogs work with.
class CommonDialog {
public:
    static constexpr std::int32_t kRecordSize = 76;
    static constexpr std::int32_t kFileNameCapacity = 1024;
    static constexpr std::int32_t kFileTitleCapacity = 256;
    static constexpr std::int32_t kFolderPathCapacity = 260;
    static constexpr std::int32_t kOverwritePrompt = 2;

    // The dialog record in its wide form; "none" is an absent text.
    struct Record {
        std::int32_t lStructSize = 0;
        std::int32_t hwndOwner = 0;
        std::int32_t hInstance = 0;
        std::optional<QString> lpstrFilter;
        std::optional<QString> lpstrCustomFilter;
        std::int32_t nMaxCustFilter = 0;
        std::int32_t nFilterIndex = 0;
        QString lpstrFile;
        std::int32_t nMaxFile = 0;
        QString lpstrFileTitle;
        std::int32_t nMaxFileTitle = 0;
        std::optional<QString> lpstrInitialDir;
        std::optional<QString> lpstrTitle;
        std::int32_t Flags = 0;
        std::uint16_t nFileOffset = 0;
        std::uint16_t nFileExtension = 0;
        std::optional<QString> lpstrDefExt;
        std::int32_t lCustData = 0;
    };

    explicit CommonDialog(std::shared_ptr<IFileChooser> chooser = FileChooser::current());

    void setFileName(const QString& sFileName);
    // The chosen or preset path; every read empties the buffer for the next dialog.
    QString FileName();
    void setFilter(const QString& sFilter);
    QString Filter() const;
    void setFileTitle(const QString& sFileTitle);
    QString FileTitle() const;
    void setDialogTitle(const QString& sDialogTitle);
    QString DialogTitle() const;
    void setInitDir(const QString& sInitDir);
    QString InitDir() const;
    void setDefaultExt(const QString& sDefaultExt);
    QString DefaultExt() const;

    void ShowOpen();
    void ShowSave();
    // The chosen folder's path, or the empty text when the browser was cancelled.
    QString GetFolderName(const QString& DialogTitle);

    const Record& record() const { return record_; }

private:
    // The record as the dialogs see it: texts in the narrow (UTF-8) form.
    struct NarrowRecord {
        std::optional<std::string> filter;
        std::string file;
        std::string fileTitle;
        std::optional<std::string> initialDir;
        std::optional<std::string> title;
        std::optional<std::string> defExt;
        std::uint16_t fileOffset = 0;
        std::uint16_t fileExtension = 0;
    };

    void Class_Initialize();
    void runFileDialog(FileChooserRequest::Mode mode);
    NarrowRecord toNarrow() const;
    FileChooserRequest requestFor(const NarrowRecord& narrow, FileChooserRequest::Mode mode) const;
    bool storeChoice(NarrowRecord& narrow, const std::string& path) const;
    void fromNarrow(const NarrowRecord& narrow);

    std::shared_ptr<IFileChooser> chooser_;
    Record record_;
};

}  // namespace corvid
