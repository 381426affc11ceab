#include "file_dialogs/QtFileChooser.h"

#include <QDir>
#include <QFileDialog>

namespace corvid {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text);
}

std::optional<std::string> runForOnePath(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front().toStdString();
}

}  // namespace

QString QtFileChooser::nameFilter(const FileFilter& filter) {
    QStringList patterns;
    for (const std::string& pattern : filter.patterns) {
        // "*.*" stands for every file, names without a dot included.
        if (pattern == "*.*") {
            patterns << QStringLiteral("*");
        } else if (!pattern.empty()) {
            patterns << fromUtf8(pattern);
        }
    }
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    return fromUtf8(filter.description) + QStringLiteral(" (") + patterns.join(u' ') +
           QStringLiteral(")");
}

QStringList QtFileChooser::nameFilters(const std::vector<FileFilter>& filters) {
    QStringList result;
    for (const FileFilter& filter : filters) result << nameFilter(filter);
    return result;
}

void QtFileChooser::configure(QFileDialog& dialog, const FileChooserRequest& request) {
    const bool save = request.mode == FileChooserRequest::Mode::Save;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && request.confirmOverwrite));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Neither dialog insists that the typed file exists.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (request.title) dialog.setWindowTitle(fromUtf8(*request.title));
    if (request.initialDir) dialog.setDirectory(fromUtf8(*request.initialDir));
    if (!request.filters.empty()) {
        const QStringList filters = nameFilters(request.filters);
        dialog.setNameFilters(filters);
        if (request.selectedFilter < static_cast<std::size_t>(filters.size())) {
            dialog.selectNameFilter(filters.at(static_cast<qsizetype>(request.selectedFilter)));
        }
    }
    dialog.setDefaultSuffix(fromUtf8(request.defaultExt));
    if (!request.initialFileName.empty()) dialog.selectFile(fromUtf8(request.initialFileName));
}

void QtFileChooser::configureFolder(QFileDialog& dialog, const std::string& title,
                                    const std::optional<std::string>& initialDir) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setWindowTitle(fromUtf8(title));
    // The browser starts where asked, else at the top of the user's own tree.
    dialog.setDirectory(initialDir ? fromUtf8(*initialDir) : QDir::homePath());
}

std::optional<std::string> QtFileChooser::chooseFile(const FileChooserRequest& request) {
    QFileDialog dialog;
    configure(dialog, request);
    return runForOnePath(dialog);
}

std::optional<std::string> QtFileChooser::chooseFolder(
    const std::string& title, const std::optional<std::string>& initialDir) {
    QFileDialog dialog;
    configureFolder(dialog, title, initialDir);
    return runForOnePath(dialog);
}

}  // namespace corvid
