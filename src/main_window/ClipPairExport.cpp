#include "main_window/ClipPairExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <limits>
#include <memory>

#include "main_window/ModalProgress.h"
#include "player/ClipExporter.h"
#include "util/Failure.h"

namespace corvid {

QString ClipPairExport::clipName(const QString& source, double start) {
    const QFileInfo file(source);
    QString base = file.completeBaseName();
    base.remove(QRegularExpression(QStringLiteral("-[12]$")));
    const qint64 seconds = static_cast<qint64>(std::floor(std::max(0.0, start)));
    // Colons are left out of the time: not every file system takes them.
    const QString time = QStringLiteral("%1-%2-%3")
                             .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return file.dir().filePath(QStringLiteral("%1-clip-%2").arg(base, time));
}

QString ClipPairExport::targetFor(const QString& source, int camera, double start) {
    return QStringLiteral("%1-%2.%3")
        .arg(clipName(source, start))
        .arg(camera)
        .arg(QFileInfo(source).suffix());
}

bool ClipPairExport::run(QWidget* parent, const std::vector<Part>& parts) {
    for (const Part& part : parts) {
        if (QFileInfo::exists(part.target))
            throw Failure(
                Failure::FileSystem,
                QCoreApplication::translate("ClipPairExport", "A file named %1 already exists.")
                    .arg(QDir::toNativeSeparators(part.target))
                    .toStdString());
    }
    std::vector<std::unique_ptr<ClipExporter>> exporters;
    double media = 0;
    for (const Part& part : parts) {
        exporters.push_back(
            std::make_unique<ClipExporter>(part.source.toStdString(), part.target.toStdString()));
        media += part.end - part.start;
    }

    const auto work = [&](const ModalProgress::Report& report) {
        double done = 0;
        // The parts' common zero: the earliest of their first key frames on the pair's
        // timeline. Each part starts at its own key frame, that far from the zero.
        double zero = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < parts.size(); ++i)
            zero =
                std::min(zero, exporters[i]->keyFrameAtOrBefore(parts[i].start) + parts[i].offset);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const double length = parts[i].end - parts[i].start;
            const auto progress = [&](double share) {
                report(media > 0 ? (done + share * length) / media : 0);
            };
            if (!exporters[i]->write(parts[i].start, parts[i].end, progress,
                                     zero - parts[i].offset))
                return false;
            done += length;
        }
        return true;
    };
    const auto cancel = [&exporters] {
        for (auto& exporter : exporters) exporter->cancel();
    };
    if (!ModalProgress::run(
            parent, QStringLiteral("ClipExportProgress"),
            QCoreApplication::translate("ClipPairExport", "Exporting the clip of %n camera(s)…", "",
                                        static_cast<int>(parts.size())),
            work, cancel))
        return false;
    // All parts are written: they are named now, and a name that fails takes the
    // others back, so the recording appears whole or not at all.
    for (std::size_t i = 0; i < exporters.size(); ++i) {
        try {
            exporters[i]->publish();
        } catch (const Failure&) {
            for (std::size_t j = 0; j < i; ++j) QFile::remove(parts[j].target);
            throw;
        }
    }
    return true;
}

}  // namespace corvid
