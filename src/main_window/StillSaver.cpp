#include "main_window/StillSaver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <cmath>
#include <optional>

#include "platform/files/FileChooser.h"
#include "player_control/QVRControl.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// A picture taken from a panel, not yet written.
struct Taken {
    QImage image;
    QString name;
};

}  // namespace

QString StillSaver::fileNameFor(const QString& recording, double seconds) {
    const qint64 ms = std::llround(std::max(0.0, seconds) * 1000.0);
    // Colons are left out: they are not allowed in file names everywhere the files go.
    return QStringLiteral("%1 %2-%3-%4.%5.png")
        .arg(QFileInfo(recording).completeBaseName())
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

QStringList StillSaver::save(const std::vector<QVRControl*>& panels) {
    // Every picture is taken before the first file is written: they are the pictures
    // on show together at the moment asked.
    std::vector<Taken> taken;
    for (QVRControl* panel : panels) {
        if (panel->engine()->MediaFile.isEmpty()) continue;
        double time = 0;
        try {
            QImage image = panel->CurrentPicture(time);
            taken.push_back({std::move(image), fileNameFor(panel->engine()->MediaFile, time)});
        } catch (const Failure&) {
            // A camera without a picture (sound only, not opened) has nothing to keep.
        }
    }
    if (taken.empty()) throw Failure(Failure::NotReady, "No camera shows a picture to save.");

    if (folder_.isEmpty()) {
        const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        const std::optional<std::string> chosen = FileChooser::current()->chooseFolder(
            QObject::tr("Folder for stills").toStdString(),
            pictures.isEmpty() ? std::nullopt : std::optional(pictures.toStdString()));
        if (!chosen) return {};
        folder_ = QString::fromStdString(*chosen);
    }

    const QDir folder(folder_);
    QStringList written;
    const auto undo = [&] {
        for (const QString& path : written) QFile::remove(path);
    };
    for (const Taken& still : taken) {
        const QString target = folder.filePath(still.name);
        const QString temporary =
            folder.filePath(QStringLiteral(".") + still.name + QStringLiteral(".part"));
        // Written whole under a hidden name first, then given its name, which never
        // replaces a file already there.
        if (!still.image.save(temporary, "PNG") || !QFile::rename(temporary, target)) {
            QFile::remove(temporary);
            undo();
            const QString reason = QFileInfo::exists(target)
                                       ? QObject::tr("a file of that name already exists")
                                       : QObject::tr("the folder cannot be written");
            throw Failure(Failure::FileSystem,
                          QObject::tr("The still %1 could not be saved in %2: %3.")
                              .arg(still.name, QDir::toNativeSeparators(folder_), reason)
                              .toStdString());
        }
        written << target;
    }
    return written;
}

}  // namespace corvid
