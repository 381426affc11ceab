#include "main_window/EvidenceExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "main_window/ClipPairExport.h"
#include "main_window/ModalProgress.h"
#include "player/EvidenceExporter.h"
#include "util/Failure.h"

namespace corvid {

QString EvidenceExport::targetFor(const QString& recording, double from) {
    return ClipPairExport::clipName(recording, from) + QStringLiteral(".mp4");
}

QString EvidenceExport::run(QWidget* parent, const Request& request) {
    if (request.cameras.empty())
        throw Failure(
            Failure::InvalidArgument,
            QCoreApplication::translate("EvidenceExport", "No recording is loaded.").toStdString());
    if (!(request.to > request.from))
        throw Failure(Failure::InvalidArgument,
                      QCoreApplication::translate("EvidenceExport",
                                                  "The end (O) must come after the start (I).")
                          .toStdString());
    const QString target = targetFor(request.cameras.front().file, request.from);
    if (QFileInfo::exists(target))
        throw Failure(Failure::FileSystem, QCoreApplication::translate(
                                               "EvidenceExport", "A file named %1 already exists.")
                                               .arg(QDir::toNativeSeparators(target))
                                               .toStdString());

    EvidenceExporter::Request span;
    for (const Camera& camera : request.cameras)
        span.cameras.push_back({camera.file.toStdString(), camera.offset,
                                camera.label.toStdString(), camera.recordedAt, camera.heard});
    span.from = request.from;
    span.to = request.to;
    span.target = target.toStdString();
    EvidenceExporter exporter(span);
    const bool complete = ModalProgress::run(
        parent, QStringLiteral("EvidenceExportProgress"),
        QCoreApplication::translate("EvidenceExport", "Exporting the marked span as video…"),
        [&exporter](const ModalProgress::Report& report) { return exporter.write(report); },
        [&exporter] { exporter.cancel(); });
    if (!complete) return {};
    exporter.publish();
    return target;
}

}  // namespace corvid
