#include "player/EvidenceExporter.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "player/FrameReader.h"
#include "player/Mp4Writer.h"
#include "player/SideBySideFilter.h"
#include "player/SoundTrack.h"
#include "player/TimeCaption.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// A picture this close after a time counts as at it (timestamp rounding).
constexpr double kSlack = 0.001;
constexpr double kFastestRate = 60.0;

// The faster camera's picture rate, as an exact fraction where it is a common one.
AVRational pictureRate(double perSecond) {
    perSecond = std::clamp(perSecond, 1.0, kFastestRate);
    const double whole = std::round(perSecond);
    if (std::abs(perSecond - whole) < 0.01) return {static_cast<int>(whole), 1};
    return av_d2q(perSecond, 1001000);
}

// The camera's label over its time, lines padded on the left so that they end together
// in the monospaced caption.
std::string captionOf(const EvidenceExporter::Camera& camera, double time) {
    QStringList lines = TimeCaption::text(time, camera.recordedAt).split(QLatin1Char('\n'));
    if (!camera.label.empty()) lines.prepend(QString::fromStdString(camera.label));
    qsizetype widest = 0;
    for (const QString& line : lines) widest = std::max(widest, line.size());
    for (QString& line : lines) line = line.rightJustified(widest);
    return lines.join(QLatin1Char('\n')).toStdString();
}

// ISO 8601 in UTC, as libavformat reads a creation time.
std::string isoUtc(EvidenceExporter::TimePoint time) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc())
        .toString(Qt::ISODateWithMs)
        .toStdString();
}

}  // namespace

// One camera while the span is rendered: its pictures, read forward.
struct EvidenceExporter::Source {
    const Camera* camera = nullptr;
    std::unique_ptr<FrameReader> pictures;
    double end = 0;  // media seconds at which its recording ends
    std::optional<FrameReader::Frame> shown;
    std::optional<FrameReader::Frame> ahead;
    bool ended = false;

    // The picture the camera shows at media time `t`, which never goes back: the last one
    // starting at or before it, or the first one when none does. Null without pictures.
    const FrameReader::Frame* pictureAt(double t) {
        for (;;) {
            if (!ahead && !ended) {
                ahead = pictures->next();
                ended = !ahead;
            }
            if (!ahead || (shown && ahead->time > t + kSlack)) break;
            shown = std::move(ahead);
            ahead.reset();
        }
        return shown ? &*shown : nullptr;
    }
    bool outside(double t) const { return t < 0 || t >= end; }
};

EvidenceExporter::EvidenceExporter(Request request)
    : request_(std::move(request)), file_(request_.target) {}

bool EvidenceExporter::write(const Progress& progress) {
    const Request& r = request_;
    if (r.cameras.empty() || r.cameras.size() > 2)
        throw Failure(Failure::InvalidArgument, "An export shows one or two cameras");
    if (!std::isfinite(r.from) || !std::isfinite(r.to) || r.to <= r.from)
        throw Failure(Failure::InvalidArgument, "The span's end must come after its start");
    if (r.target.empty()) throw Failure(Failure::InvalidArgument, "The export has no file name");
    file_.discard();
    written_ = false;
    try {
        written_ = render(progress);
    } catch (...) {
        file_.discard();
        // A write or read that a cancel broke off is the cancel, not a failure.
        if (cancelled_) return false;
        throw;
    }
    if (!written_) file_.discard();
    return written_;
}

void EvidenceExporter::publish() {
    if (!written_) throw Failure(Failure::NotReady, "No export has been written");
    written_ = false;
    file_.publish();
}

bool EvidenceExporter::render(const Progress& progress) {
    const Request& r = request_;

    // Each camera's pictures, and the heard camera's sound.
    std::vector<Source> cameras;
    std::unique_ptr<FrameReader> sound;
    double shift = 0;  // the heard camera's media time to the export's
    for (const Camera& camera : r.cameras) {
        Source source;
        source.camera = &camera;
        source.pictures =
            std::make_unique<FrameReader>(camera.path, AVMEDIA_TYPE_VIDEO, cancelled_);
        const double duration = source.pictures->file().duration();
        source.end = duration > 0 ? duration : std::numeric_limits<double>::infinity();
        if (camera.heard && !sound) {
            sound = std::make_unique<FrameReader>(camera.path, AVMEDIA_TYPE_AUDIO, cancelled_);
            if (!sound->present()) sound.reset();
            shift = camera.offset - r.from;
        }
        if (source.pictures->present()) cameras.push_back(std::move(source));
    }
    if (cameras.empty()) throw Failure(Failure::NoVideo, "No camera of the export has pictures");

    // Something recorded in the span.
    const bool recorded = std::any_of(cameras.begin(), cameras.end(), [&](const Source& s) {
        return s.camera->offset < r.to && s.camera->offset + s.end > r.from;
    });
    if (!recorded)
        throw Failure(Failure::InvalidArgument, "No camera recorded anything in the span");

    // Each camera from the span's start, at the faster camera's picture rate.
    double fastest = 0;
    std::vector<SideBySideFilter::Input> inputs;
    for (Source& s : cameras) {
        s.pictures->start(r.from - s.camera->offset);
        fastest = std::max(fastest, 1.0 / s.pictures->file().frameInterval());
        const FrameReader::Frame* first = s.pictureAt(r.from - s.camera->offset);
        if (cancelled_) return false;
        if (first == nullptr)
            throw Failure(Failure::CannotOpen, "No picture could be decoded in " + s.camera->path);
        inputs.push_back({first->frame->width, first->frame->height,
                          static_cast<AVPixelFormat>(first->frame->format),
                          first->frame->sample_aspect_ratio});
    }
    const AVRational rate = pictureRate(fastest);
    const double step = av_q2d(av_inv_q(rate));
    const std::int64_t count = std::max<std::int64_t>(1, std::llround((r.to - r.from) / step));

    // The filter, the file and the sound.
    SideBySideFilter filter(inputs, rate);
    std::string created;
    for (const Camera& camera : r.cameras) {
        if (!camera.recordedAt || !created.empty()) continue;
        created = isoUtc(*camera.recordedAt +
                         std::chrono::duration_cast<std::chrono::system_clock::duration>(
                             std::chrono::duration<double>(r.from - camera.offset)));
    }
    std::optional<Mp4Writer::Sound> soundFormat;
    if (sound) soundFormat = SoundTrack::formatFor(*sound->codec());
    Mp4Writer writer(file_.temporaryPath(), r.target, {filter.width(), filter.height(), rate},
                     soundFormat, created, cancelled_);
    std::optional<SoundTrack> track;
    if (sound) track.emplace(*sound, shift, static_cast<double>(count) * step, writer);

    // Every picture: each camera's picture due at its time, side by side.
    const auto writeComposed = [&] {
        while (FrameHandle composed = filter.pull()) writer.writePicture(*composed);
    };
    double reported = -1;
    for (std::int64_t n = 0; n < count; ++n) {
        const double pairTime = r.from + static_cast<double>(n) * step;
        for (std::size_t i = 0; i < cameras.size(); ++i) {
            Source& s = cameras[i];
            const double media = pairTime - s.camera->offset;
            const FrameReader::Frame* picture = s.pictureAt(media);
            if (cancelled_) return false;
            filter.push(i, *picture->frame, n, captionOf(*s.camera, picture->time),
                        s.outside(media));
        }
        writeComposed();
        if (track) track->writeUntil(static_cast<double>(n + 1) * step);
        if (cancelled_) return false;
        const double share = static_cast<double>(n + 1) / static_cast<double>(count);
        if (progress && share - reported >= 0.005) {
            reported = share;
            progress(share);
        }
    }

    // The end: what the filter and the encoders hold, the index, the file on storage.
    filter.finish();
    writeComposed();
    if (track) track->finish();
    if (cancelled_) return false;
    writer.finish();
    if (cancelled_) return false;
    file_.sync();
    return true;
}

}  // namespace corvid
