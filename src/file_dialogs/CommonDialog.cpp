#include "file_dialogs/CommonDialog.h"

#include <utility>
#include <vector>

namespace corvid {

namespace {

constexpr QChar kNul(u'\0');

QString withoutNuls(QString text) {
    return text.remove(kNul);
}

QString nuls(qsizetype count) {
    return QString(count, kNul);
}

// A buffer handed to a dialog always has at least its full capacity.
QString padded(const QString& buffer, std::int32_t capacity) {
    return buffer.size() < capacity ? buffer + nuls(capacity - buffer.size()) : buffer;
}

std::string toNarrowText(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString toWideText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<std::string> toNarrowText(const std::optional<QString>& text) {
    if (!text) return std::nullopt;
    return toNarrowText(*text);
}

std::optional<QString> toWideText(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return toWideText(*text);
}

// What a dialog reads from a terminated text field: everything before the first NUL.
std::string terminated(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

std::optional<std::string> terminatedOrNone(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    std::string value = terminated(*text);
    if (value.empty()) return std::nullopt;
    return value;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> patternsOf(const std::string& list) {
    std::vector<std::string> patterns;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        std::string pattern = trimmed(list.substr(start, end - start));
        if (!pattern.empty()) patterns.push_back(std::move(pattern));
        start = end + 1;
    }
    return patterns;
}

// The filter text is pairs of terminated texts (description, patterns) ended by an empty
// text; a description without patterns ends the list as well.
std::vector<FileFilter> filterEntries(const std::optional<std::string>& filter) {
    std::vector<FileFilter> entries;
    if (!filter) return entries;
    const std::string& text = *filter;
    std::size_t at = 0;
    auto next = [&]() -> std::string {
        if (at >= text.size()) return {};
        const std::size_t end = std::min(text.find('\0', at), text.size());
        std::string item = text.substr(at, end - at);
        at = end + 1;
        return item;
    };
    for (;;) {
        std::string description = next();
        if (description.empty()) break;
        std::string patterns = next();
        if (patterns.empty()) break;
        entries.push_back({std::move(description), patternsOf(patterns)});
    }
    return entries;
}

// A confirmed path written into a buffer of the given capacity: the path, then NULs.
std::string filledBuffer(const std::string& text, std::int32_t capacity) {
    return text + std::string(static_cast<std::size_t>(capacity) - text.size(), '\0');
}

bool fits(const std::string& text, std::int32_t capacity) {
    return text.size() + 1 <= static_cast<std::size_t>(capacity);
}

}  // namespace

CommonDialog::CommonDialog(std::shared_ptr<IFileChooser> chooser)
    : chooser_(chooser ? std::move(chooser) : FileChooser::current()) {
    Class_Initialize();
}

void CommonDialog::Class_Initialize() {
    record_ = Record{};
    record_.lStructSize = kRecordSize;
    record_.hwndOwner = 0;
    record_.hInstance = 0;
    record_.nMaxCustFilter = 0;
    record_.nFilterIndex = 1;
    record_.lpstrFile = nuls(kFileNameCapacity);
    record_.nMaxFile = kFileNameCapacity;
    record_.lpstrFileTitle = nuls(kFileTitleCapacity);
    record_.nMaxFileTitle = kFileTitleCapacity;
    record_.Flags = kOverwritePrompt;
    record_.lpstrDefExt = QStringLiteral("txt");
    record_.lCustData = 0;
}

void CommonDialog::setFileName(const QString& sFileName) {
    record_.lpstrFile = sFileName + kNul;
}

QString CommonDialog::FileName() {
    QString name = withoutNuls(record_.lpstrFile);
    record_.lpstrFile = nuls(kFileNameCapacity);
    return name;
}

void CommonDialog::setFilter(const QString& sFilter) {
    QString filter = sFilter;
    filter.replace(u'|', kNul);
    record_.lpstrFilter = filter + kNul + kNul;
}

QString CommonDialog::Filter() const {
    QString filter = record_.lpstrFilter.value_or(QString());
    while (filter.endsWith(kNul)) filter.chop(1);
    return filter.replace(kNul, u'|');
}

void CommonDialog::setFileTitle(const QString& sFileTitle) {
    record_.lpstrFileTitle = sFileTitle;
}

QString CommonDialog::FileTitle() const {
    return record_.lpstrFileTitle;
}

void CommonDialog::setDialogTitle(const QString& sDialogTitle) {
    record_.lpstrTitle = sDialogTitle;
}

QString CommonDialog::DialogTitle() const {
    return withoutNuls(record_.lpstrTitle.value_or(QString()));
}

void CommonDialog::setInitDir(const QString& sInitDir) {
    record_.lpstrInitialDir = sInitDir + kNul;
}

QString CommonDialog::InitDir() const {
    return withoutNuls(record_.lpstrInitialDir.value_or(QString()));
}

void CommonDialog::setDefaultExt(const QString& sDefaultExt) {
    record_.lpstrDefExt = QString(sDefaultExt).remove(u'.');
}

QString CommonDialog::DefaultExt() const {
    return record_.lpstrDefExt.value_or(QString());
}

void CommonDialog::ShowOpen() {
    runFileDialog(FileChooserRequest::Mode::Open);
}

void CommonDialog::ShowSave() {
    runFileDialog(FileChooserRequest::Mode::Save);
}

// Cancel and failure are not reported: the caller sees only what the buffers hold.
void CommonDialog::runFileDialog(FileChooserRequest::Mode mode) {
    record_.nFilterIndex = 1;
    NarrowRecord narrow = toNarrow();
    const std::optional<std::string> chosen = chooser_->chooseFile(requestFor(narrow, mode));
    if (chosen) storeChoice(narrow, *chosen);
    fromNarrow(narrow);
}

CommonDialog::NarrowRecord CommonDialog::toNarrow() const {
    NarrowRecord narrow;
    narrow.filter = toNarrowText(record_.lpstrFilter);
    narrow.file = toNarrowText(padded(record_.lpstrFile, record_.nMaxFile));
    narrow.fileTitle = toNarrowText(padded(record_.lpstrFileTitle, record_.nMaxFileTitle));
    narrow.initialDir = toNarrowText(record_.lpstrInitialDir);
    narrow.title = toNarrowText(record_.lpstrTitle);
    narrow.defExt = toNarrowText(record_.lpstrDefExt);
    narrow.fileOffset = record_.nFileOffset;
    narrow.fileExtension = record_.nFileExtension;
    return narrow;
}

FileChooserRequest CommonDialog::requestFor(const NarrowRecord& narrow,
                                            FileChooserRequest::Mode mode) const {
    FileChooserRequest request;
    request.mode = mode;
    request.title = narrow.title ? std::optional(terminated(*narrow.title)) : std::nullopt;
    request.initialDir = terminatedOrNone(narrow.initialDir);
    request.initialFileName = terminated(narrow.file);
    request.filters = filterEntries(narrow.filter);
    request.selectedFilter =
        record_.nFilterIndex > 0 ? static_cast<std::size_t>(record_.nFilterIndex - 1) : 0;
    request.defaultExt = narrow.defExt ? terminated(*narrow.defExt) : std::string();
    request.confirmOverwrite = (record_.Flags & kOverwritePrompt) != 0;
    return request;
}

// On confirmation, fills the caller's buffers with the path, the name and the offsets of the
// name and of its extension within the path. A path or name that does not fit its buffer is
// not cut short into a different path: the run counts as failed and the buffers stay as they
// were.
bool CommonDialog::storeChoice(NarrowRecord& narrow, const std::string& path) const {
    const std::size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    const std::string name = path.substr(nameStart);
    if (!fits(path, record_.nMaxFile) || !fits(name, record_.nMaxFileTitle)) return false;
    narrow.file = filledBuffer(path, record_.nMaxFile);
    narrow.fileTitle = filledBuffer(name, record_.nMaxFileTitle);
    narrow.fileOffset = static_cast<std::uint16_t>(nameStart);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        narrow.fileExtension = static_cast<std::uint16_t>(path.size());
    } else if (dot + 1 == name.size()) {
        narrow.fileExtension = 0;
    } else {
        narrow.fileExtension = static_cast<std::uint16_t>(nameStart + dot + 1);
    }
    return true;
}

void CommonDialog::fromNarrow(const NarrowRecord& narrow) {
    record_.lpstrFilter = toWideText(narrow.filter);
    record_.lpstrFile = toWideText(narrow.file);
    record_.lpstrFileTitle = toWideText(narrow.fileTitle);
    record_.lpstrInitialDir = toWideText(narrow.initialDir);
    record_.lpstrTitle = toWideText(narrow.title);
    record_.lpstrDefExt = toWideText(narrow.defExt);
    record_.nFileOffset = narrow.fileOffset;
    record_.nFileExtension = narrow.fileExtension;
}

QString CommonDialog::GetFolderName(const QString& DialogTitle) {
    const std::string title = terminated(toNarrowText(DialogTitle));
    const std::optional<std::string> chosen = chooser_->chooseFolder(title, std::nullopt);
    if (!chosen) return QString();
    // A path that does not fit the path buffer yields no path, as when none can be read.
    std::string buffer(kFolderPathCapacity, '\0');
    if (fits(*chosen, kFolderPathCapacity)) buffer = filledBuffer(*chosen, kFolderPathCapacity);
    return toWideText(terminated(buffer));
}

}  // namespace corvid
