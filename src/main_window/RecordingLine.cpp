#include "main_window/RecordingLine.h"

#include <QListWidgetItem>
#include <algorithm>
#include <utility>

namespace corvid {

namespace {

const QString kPairMarker = QStringLiteral("AB");
const QString kCamera1Marker = QStringLiteral("A ");
const QString kCamera2Marker = QStringLiteral(" B");
const QString kSingleMarker = QStringLiteral("--");
const QString kExtension = QStringLiteral(".asf");
const QString kCamera1Suffix = QStringLiteral("-1") + kExtension;
const QString kCamera2Suffix = QStringLiteral("-2") + kExtension;

const QString& markerOf(RecordingLine::Kind kind) {
    switch (kind) {
        case RecordingLine::Kind::Pair:
            return kPairMarker;
        case RecordingLine::Kind::Camera1Only:
            return kCamera1Marker;
        case RecordingLine::Kind::Camera2Only:
            return kCamera2Marker;
        case RecordingLine::Kind::Single:
            break;
    }
    return kSingleMarker;
}

// A suffix alone is no camera's file: it has no base name before it.
bool endsWithSuffix(const QString& name, const QString& suffix) {
    return name.size() > suffix.size() && name.right(suffix.size()).toLower() == suffix;
}

}  // namespace

RecordingLine::RecordingLine(Kind kind, const QString& baseName)
    : marker_(markerOf(kind)), baseName_(baseName) {}

RecordingLine::RecordingLine(QString marker, QString baseName)
    : marker_(std::move(marker)), baseName_(std::move(baseName)) {}

std::optional<RecordingLine> RecordingLine::ofFile(
    const QString& fileName, const std::function<bool(const QString& partner)>& partnerExists) {
    if (endsWithSuffix(fileName, kCamera1Suffix)) {
        const QString base = fileName.chopped(kCamera1Suffix.size());
        const bool pair = partnerExists(cameraFile(base, 2));
        return RecordingLine(pair ? Kind::Pair : Kind::Camera1Only, base);
    }
    if (endsWithSuffix(fileName, kCamera2Suffix)) {
        const QString base = fileName.chopped(kCamera2Suffix.size());
        if (partnerExists(cameraFile(base, 1))) return std::nullopt;
        return RecordingLine(Kind::Camera2Only, base);
    }
    return RecordingLine(Kind::Single,
                         fileName.chopped(std::min(kExtension.size(), fileName.size())));
}

QString RecordingLine::cameraFile(const QString& baseName, int camera) {
    return baseName + (camera == 2 ? kCamera2Suffix : kCamera1Suffix);
}

std::optional<RecordingLine> RecordingLine::of(const QListWidgetItem* item) {
    if (item == nullptr) return std::nullopt;
    const QStringList fields = item->text().split(u'\t');
    if (fields.size() < 2) return std::nullopt;
    const QVariant marker = item->data(MarkerRole);
    const QVariant base = item->data(BaseNameRole);
    return RecordingLine(marker.isValid() ? marker.toString() : fields[0],
                         base.isValid() ? base.toString() : fields[1]);
}

std::optional<RecordingLine::Kind> RecordingLine::kind() const {
    for (const Kind kind : {Kind::Pair, Kind::Camera1Only, Kind::Camera2Only, Kind::Single}) {
        if (marker_ == markerOf(kind)) return kind;
    }
    return std::nullopt;
}

QStringList RecordingLine::fileNames() const {
    const std::optional<Kind> known = kind();
    if (!known) return {};
    switch (*known) {
        case Kind::Pair:
            return {cameraFile(baseName_, 1), cameraFile(baseName_, 2)};
        case Kind::Camera1Only:
            return {cameraFile(baseName_, 1)};
        case Kind::Camera2Only:
            return {cameraFile(baseName_, 2)};
        case Kind::Single:
            break;
    }
    return {baseName_ + kExtension};
}

QListWidgetItem* RecordingLine::toItem() const {
    auto* item = new QListWidgetItem(marker_ + u'\t' + baseName_);
    item->setData(BaseNameRole, baseName_);
    item->setData(MarkerRole, marker_);
    return item;
}

}  // namespace corvid
