#include "main_window/ClipPairExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QRegularExpression>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <thread>

#include "platform/util/Failure.h"
#include "player/ClipExporter.h"

namespace corvid {

QString ClipPairExport::targetFor(const QString& source, int camera, double start) {
    const QFileInfo file(source);
    QString base = file.completeBaseName();
    base.remove(QRegularExpression(QStringLiteral("-[12]$")));
    const qint64 seconds = static_cast<qint64>(std::floor(std::max(0.0, start)));
    // Colons are left out of the time: not every file system takes them.
    const QString time = QStringLiteral("%1-%2-%3")
                             .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return file.dir().filePath(
        QStringLiteral("%1-clip-%2-%3.%4").arg(base, time).arg(camera).arg(file.suffix()));
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

    QProgressDialog dialog(
        QCoreApplication::translate("ClipPairExport", "Exporting the clip of %n camera(s)…", "",
                                    static_cast<int>(parts.size())),
        QCoreApplication::translate("ClipPairExport", "Cancel"), 0, 1000, parent);
    dialog.setObjectName("ClipExportProgress");
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&exporters] {
        for (auto& exporter : exporters) exporter->cancel();
    });

    QEventLoop loop;
    QPointer<QProgressDialog> shown(&dialog);
    bool complete = true;
    std::exception_ptr failure;
    std::thread worker([&] {
        double done = 0;
        try {
            // The parts' common zero: the earliest of their first key frames on the pair's
            // timeline. Each part starts at its own key frame, that far from the zero.
            double zero = std::numeric_limits<double>::infinity();
            for (std::size_t i = 0; i < parts.size(); ++i)
                zero = std::min(zero,
                                exporters[i]->keyFrameAtOrBefore(parts[i].start) + parts[i].offset);
            for (std::size_t i = 0; i < parts.size() && complete; ++i) {
                const double length = parts[i].end - parts[i].start;
                const auto progress = [&](double share) {
                    const int value =
                        media > 0 ? static_cast<int>(1000 * (done + share * length) / media) : 0;
                    QMetaObject::invokeMethod(
                        &loop,
                        [shown, value] {
                            if (shown) shown->setValue(value);
                        },
                        Qt::QueuedConnection);
                };
                complete = exporters[i]->write(parts[i].start, parts[i].end, progress,
                                               zero - parts[i].offset);
                done += length;
            }
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    // Read before the dialog closes: closing it counts as a cancel.
    const bool cancelled = !complete || dialog.wasCanceled();
    dialog.reset();
    dialog.hide();

    if (failure) std::rethrow_exception(failure);
    if (cancelled) return false;
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
