#include "recording_pair/RecordingPair.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "media_engine/clsDShowControl.h"
#include "platform/graph/ClockHold.h"
#include "platform/widgets/Guarded.h"
#include "player_control/QVRControl.h"
#include "player_control/VideoSurface.h"
#include "util/Attempt.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// Times closer than this are one moment: ASF keeps picture times to the millisecond.
constexpr double kSameMoment = 0.0015;
// A picture this close after a moment is the one due at it (timestamp rounding).
constexpr double kPictureSlack = 0.001;
// How long a step waits for the pictures of the one before it.
constexpr int kStepWaitTicks = 300;
constexpr int kStepTickMs = 10;
// How long a load may hold the window for its files before it waits for them in the
// background: local files mostly open within it.
constexpr auto kOpenGrace = std::chrono::milliseconds(20);
constexpr int kOpenTickMs = 10;

QString clockText(double seconds) {
    return clsDShowControl::SecToTime(std::max(0.0, seconds));
}

}  // namespace

RecordingPair::RecordingPair(QVRControl& camera1, QVRControl& camera2)
    : panels_{&camera1, &camera2} {
    stepTimer_ = new QTimer(this);
    stepTimer_->setInterval(kStepTickMs);
    connect(stepTimer_, &QTimer::timeout, this, [this] {
        if (!settled() && ++stepWaits_ < kStepWaitTicks) return;
        // Pictures that never came (storage that stopped answering) drop the steps.
        if (stepWaits_ >= kStepWaitTicks) return cancelSteps();
        const int direction = pendingSteps_ > 0 ? 1 : -1;
        pendingSteps_ -= direction;
        stepWaits_ = 0;
        if (pendingSteps_ == 0) stepTimer_->stop();
        guarded(panels_[0]->window(), [&] { runStep(direction); });
    });
    openTimer_ = new QTimer(this);
    openTimer_->setInterval(kOpenTickMs);
    connect(openTimer_, &QTimer::timeout, this, [this] {
        // The opens give up within their own time limit, so this wait ends too.
        if (!opening_) return;
        guarded(panels_[0]->window(), [&] {
            if (!setUpOpened({})) return;
            openTimer_->stop();
            finishLoad();
        });
    });
    hintTimer_ = new QTimer(this);
    hintTimer_->setInterval(250);
    connect(hintTimer_, &QTimer::timeout, this, [this] { attempt([&] { showHints(); }); });
    for (int camera = 0; camera < kCameras; ++camera) {
        QVRControl* panel = panels_[camera];
        connect(panel, &QVRControl::pairSeekByRequested, this,
                [this, panel](double seconds) { guarded(panel, [&] { seekBy(seconds); }); });
        connect(panel, &QVRControl::pairPositionRequested, this,
                [this, panel, camera](double seconds) {
                    guarded(panel, [&] { seekTo(momentOf(camera, seconds)); });
                });
        connect(panel, &QVRControl::leftPair, this, [this, camera] { leave(camera); });
    }
}

RecordingPair::~RecordingPair() = default;

// ---- Loading ---------------------------------------------------------------------------

void RecordingPair::load(const QString& camera1, const QString& camera2,
                         const std::function<void()>& then,
                         const std::function<void()>& meanwhile) {
    const std::array<QString, kCameras> files{camera1, camera2};
    for (int camera = 0; camera < kCameras; ++camera) panels_[camera]->PrepareFile(files[camera]);
    if (meanwhile) meanwhile();
    const bool pair = !files[0].isEmpty() && !files[1].isEmpty();
    // The two cameras follow one clock that stands still until both are in place; then it
    // starts once each shows its first picture.
    if (pair) clock_ = panels_[0]->NewClock();
    opening_ = Opening{files, then, {false, false}, std::make_shared<ClockHold>(clock_)};
    if (pair) {
        for (QVRControl* panel : panels_) panel->FollowClock(clock_);
    }
    if (setUpOpened(std::chrono::steady_clock::now() + kOpenGrace)) return finishLoad();
    if (!opening_) return;
    for (int camera = 0; camera < kCameras; ++camera) {
        if (!files[camera].isEmpty() && !opening_->setUp[camera])
            panels_[camera]->PicVid->setHint(tr("Opening %1").arg(files[camera].section('/', -1)));
    }
    openTimer_->start();
}

bool RecordingPair::setUpOpened(std::chrono::steady_clock::time_point until) {
    // A camera is set up while the other still opens: its set-up takes the time that
    // open would have kept the window waiting.
    using namespace std::chrono_literals;
    for (;;) {
        std::optional<int> waiting;
        for (int camera = 0; camera < kCameras; ++camera) {
            if (opening_->setUp[camera]) continue;
            const QString& file = opening_->files[camera];
            if (!panels_[camera]->FileReady(file, {})) {
                if (!waiting) waiting = camera;
                continue;
            }
            opening_->setUp[camera] = true;
            setUpCamera(camera);
            if (!opening_) return false;  // stopped meanwhile
        }
        if (!waiting) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) return false;
        // Woken by the first file, or soon after the second is ready.
        panels_[*waiting]->FileReady(opening_->files[*waiting], std::min(until, now + 250us));
    }
}

void RecordingPair::setUpCamera(int camera) {
    QVRControl& panel = *panels_[camera];
    const QString& file = opening_->files[camera];
    panel.PicVid->setHint({});
    if (file.isEmpty()) return;
    // A file that cannot be played is the panel's to report; the other camera plays on.
    try {
        panel.OpenFile2(file);
        loaded_[camera] = true;
    } catch (const Failure& failure) {
        if (panel.notice().isEmpty())
            panel.setNotice(
                tr("%1\n%2").arg(file.section('/', -1), QString::fromStdString(failure.what())));
    }
    const bool pair = !opening_->files[0].isEmpty() && !opening_->files[1].isEmpty();
    panel.SetPairMember(pair && loaded_[camera]);
}

void RecordingPair::finishLoad() {
    const std::function<void()> then = opening_->then;
    if (clock_) {
        defaultOffsets();
        applyOffsets(start());
        hintTimer_->start();
    }
    // The clock goes once both cameras are in place and the camera heard is chosen: a
    // camera that sounded meanwhile would have started a sound stream for nothing.
    const std::shared_ptr<ClockHold> hold = std::move(opening_->hold);
    opening_.reset();
    if (then) then();
}

void RecordingPair::cancelSteps() {
    stepTimer_->stop();
    pendingSteps_ = 0;
}

void RecordingPair::stop() {
    cancelSteps();
    openTimer_->stop();
    if (opening_) {
        for (QVRControl* panel : panels_) panel->PicVid->setHint({});
    }
    opening_.reset();
    hintTimer_->stop();
    for (QVRControl* panel : panels_) {
        panel->SetPairMember(false);
        panel->UserControl_Initialize();
    }
    clock_.reset();
    loaded_ = {false, false};
    offsets_ = {0, 0};
}

bool RecordingPair::hasSound(int camera) const {
    if (!loaded_[camera]) return false;
    try {
        return panels_[camera]->HasSound();
    } catch (const Failure&) {
        return false;
    }
}

void RecordingPair::leave(int camera) {
    loaded_[camera] = false;
    offsets_[camera] = 0;
    panels_[camera]->PicVid->setHint(QString());
    emit timelineChanged();
}

double RecordingPair::duration(int camera) const {
    if (!loaded_[camera]) return 0;
    try {
        return panels_[camera]->engine()->DS_GetDuration();
    } catch (const Failure&) {
        return 0;
    }
}

// ---- Offsets ---------------------------------------------------------------------------

void RecordingPair::defaultOffsets() {
    offsets_ = {0, 0};
    if (!loaded_[0] || !loaded_[1]) return;
    std::array<double, kCameras> first{0, 0};
    for (int camera = 0; camera < kCameras; ++camera)
        attempt([&] { first[camera] = panels_[camera]->StartTime(); });
    // Files whose first timestamps lie further apart than the shorter one is long were not
    // recorded together: their starts are put together instead.
    if (std::abs(first[0] - first[1]) > std::min(duration(0), duration(1))) return;
    const double zero = std::min(first[0], first[1]);
    for (int camera = 0; camera < kCameras; ++camera) offsets_[camera] = first[camera] - zero;
}

void RecordingPair::applyOffsets(double moment) {
    for (int camera = 0; camera < kCameras; ++camera) {
        const double against = offsets_[camera] - offsets_[1 - camera];
        if (loaded_[camera]) attempt([&] { panels_[camera]->SetTimeOffset(against); });
    }
    if (offsets_[0] != 0 || offsets_[1] != 0) placeAll(moment);
    showHints();
    emit timelineChanged();
}

bool RecordingPair::alignByRecorderClock() {
    if (!clock_ || !loaded_[0] || !loaded_[1]) return false;
    std::array<std::optional<std::chrono::system_clock::time_point>, kCameras> recorded;
    for (int camera = 0; camera < kCameras; ++camera)
        attempt([&] { recorded[camera] = panels_[camera]->RecordedAt(); });
    if (!recorded[0] || !recorded[1]) return false;
    const ClockHold hold(clock_);
    // Camera 1 keeps the picture it shows; camera 2 moves to the recorder's same instant.
    const double camera1At = position() - offsets_[0];
    const auto earliest = std::min(*recorded[0], *recorded[1]);
    for (int camera = 0; camera < kCameras; ++camera)
        offsets_[camera] = std::chrono::duration<double>(*recorded[camera] - earliest).count();
    applyOffsets(camera1At + offsets_[0]);
    return true;
}

void RecordingPair::nudgeCamera2(int pictures) {
    if (!clock_ || !loaded_[0] || !loaded_[1] || pictures == 0) return;
    double shown = 0;
    double interval = 0;
    attempt([&] { panels_[1]->ShownPicture(shown, interval); });
    if (!(interval > 0)) interval = 0.04;
    const ClockHold hold(clock_);
    const double moment = position();
    offsets_[1] += pictures * interval;
    applyOffsets(moment);
    placeAll(moment);
}

// ---- Transport -------------------------------------------------------------------------

void RecordingPair::forEachPanel(const std::function<void(QVRControl&)>& command) {
    const ClockHold hold(clock_);
    std::optional<Failure> unreported;
    for (QVRControl* panel : panels_) {
        try {
            command(*panel);
        } catch (const Failure& failure) {
            if (panel->notice().isEmpty() && !unreported) unreported = failure;
        }
    }
    if (unreported) throw *unreported;
}

void RecordingPair::play() {
    cancelSteps();
    if (!clock_) return forEachPanel(&QVRControl::cmdPlay);
    // A camera that ended first waits at its end, in step with the other: the pair starts
    // over only once every camera is at its end.
    const auto atEnd = [this](int camera) {
        if (!loaded_[camera]) return true;
        try {
            return panels_[camera]->AtEnd();
        } catch (const Failure&) {
            return true;  // as cmdPlay would find it
        }
    };
    const ClockHold hold(clock_);
    if (atEnd(0) && atEnd(1)) placeAll(start());
    forEachPanel(&QVRControl::cmdResume);
}

void RecordingPair::pause() {
    cancelSteps();
    forEachPanel(&QVRControl::cmdPause);
}

void RecordingPair::setSpeed(double speed) {
    forEachPanel([speed](QVRControl& panel) { panel.SetRate(speed); });
}

double RecordingPair::speed() const {
    return panels_[0]->Rate();
}

void RecordingPair::hear(int camera, int volume) {
    panels_[camera]->SetVol(volume);
    panels_[1 - camera]->SetVol(0);
}

// ---- The timeline ----------------------------------------------------------------------

double RecordingPair::start() const {
    double earliest = std::numeric_limits<double>::infinity();
    for (int camera = 0; camera < kCameras; ++camera)
        if (loaded_[camera]) earliest = std::min(earliest, offsets_[camera]);
    return std::isfinite(earliest) ? earliest : 0.0;
}

double RecordingPair::end() const {
    double latest = start();
    for (int camera = 0; camera < kCameras; ++camera)
        if (loaded_[camera]) latest = std::max(latest, offsets_[camera] + duration(camera));
    return latest;
}

double RecordingPair::position() const {
    // The first camera still within its file tells the moment; once both ended, the later
    // end is it.
    std::optional<double> ended;
    for (int camera = 0; camera < kCameras; ++camera) {
        if (!loaded_[camera]) continue;
        double at = 0;
        try {
            at = clock_ ? panels_[camera]->ClockPosition()
                        : panels_[camera]->engine()->DS_GetPosition();
        } catch (const Failure&) {
            continue;
        }
        if (at < duration(camera) - kPictureSlack) return at + offsets_[camera];
        ended = std::max(ended.value_or(at + offsets_[camera]), at + offsets_[camera]);
    }
    return ended.value_or(start());
}

void RecordingPair::place(int camera, double seconds) {
    QVRControl& panel = *panels_[camera];
    if (clock_ && (seconds < 0 || seconds > duration(camera))) return panel.PlaceOnClock(seconds);
    panel.engine()->DS_SetPosition(seconds);
}

void RecordingPair::placeAll(double moment) {
    // Both cameras are placed at one instant of the clock; a camera that fails leaves the
    // other to move all the same.
    struct Hints {
        RecordingPair& pair;
        ~Hints() {
            attempt([&] { pair.showHints(); });
        }
    } hints{*this};
    forEachPanel([&](QVRControl& panel) {
        const int camera = &panel == panels_[0] ? 0 : 1;
        if (loaded_[camera]) place(camera, moment - offsets_[camera]);
    });
}

void RecordingPair::seekTo(double moment) {
    cancelSteps();
    placeAll(std::clamp(moment, start(), end()));
}

void RecordingPair::seekToPercentage(float percentage) {
    cancelSteps();
    // Without a pair each panel moves to the share of its own file, as it always did.
    if (!clock_) {
        for (QVRControl* panel : panels_) panel->SetPosition(percentage);
        return;
    }
    const ClockHold hold(clock_);
    const double moment = start() + length() / 100.0 * percentage;
    for (int camera = 0; camera < kCameras; ++camera) {
        attempt([&] { panels_[camera]->cmdPause(); });
        if (loaded_[camera])
            attempt([&] { place(camera, std::clamp(moment, start(), end()) - offsets_[camera]); });
    }
    showHints();
}

void RecordingPair::seekBy(double seconds) {
    cancelSteps();
    if (!clock_) return forEachPanel([seconds](QVRControl& panel) { panel.SeekBy(seconds); });
    seekTo(position() + seconds);
}

bool RecordingPair::settled() const {
    for (int camera = 0; camera < kCameras; ++camera) {
        if (!loaded_[camera] || panels_[camera]->engine()->IsAudioOnly) continue;
        double shown = 0;
        double interval = 0;
        try {
            if (!panels_[camera]->ShownPicture(shown, interval)) return false;
        } catch (const Failure&) {
        }
    }
    return true;
}

void RecordingPair::step(int direction, bool repeated) {
    if (direction == 0) return;
    direction = direction > 0 ? 1 : -1;
    if (pendingSteps_ == 0 && settled()) return runStep(direction);
    // A held key adds nothing while a step waits; a press of its own waits its turn.
    if (repeated && pendingSteps_ != 0) return;
    if (pendingSteps_ * direction < 0) pendingSteps_ = 0;  // the other way: the last word
    pendingSteps_ += direction;
    stepWaits_ = 0;
    stepTimer_->start();
}

void RecordingPair::runStep(int direction) {
    // A camera alone steps the same way: placed at its next picture's time without the
    // window waiting for the picture; settled() holds the next step until it is shown.
    for (int camera = 0; camera < kCameras; ++camera) {
        QVRControl& panel = *panels_[camera];
        if (loaded_[camera] && panel.engine()->DS_Playing) attempt([&] { panel.cmdPause(); });
    }
    const double moment = position();
    std::optional<double> next;
    for (int camera = 0; camera < kCameras; ++camera) {
        if (!loaded_[camera] || panels_[camera]->engine()->IsAudioOnly) continue;
        double shown = 0;
        double interval = 0;
        try {
            panels_[camera]->ShownPicture(shown, interval);
        } catch (const Failure&) {
            continue;
        }
        if (!(interval > 0)) continue;
        // The camera's picture due at the moment, counted on from the one on show, which
        // may still lag the clock a little.
        const double at = moment - offsets_[camera];
        const double ahead = std::floor((at - shown) / interval + 1e-6);
        const double due = ahead > 0 ? shown + ahead * interval : shown;
        if (direction > 0) {
            const double after = due > at + kSameMoment ? due : due + interval;
            if (after > duration(camera) + kPictureSlack) continue;  // its last picture is on
            next = std::min(next.value_or(after + offsets_[camera]), after + offsets_[camera]);
        } else {
            const double before = due < at - kSameMoment ? due : due - interval;
            if (before < -kPictureSlack) continue;  // its first picture is on
            next = std::max(next.value_or(before + offsets_[camera]), before + offsets_[camera]);
        }
    }
    if (next) placeAll(*next);
}

// ---- Hints -----------------------------------------------------------------------------

void RecordingPair::showHints() {
    if (!clock_) return;
    const double moment = position();
    for (int camera = 0; camera < kCameras; ++camera) {
        if (!loaded_[camera] || panels_[camera]->engine()->IsAudioOnly) continue;
        const double at = moment - offsets_[camera];
        QString hint;
        if (at < -kPictureSlack) {
            hint = tr("Camera %1 starts at %2").arg(camera + 1).arg(clockText(offsets_[camera]));
        } else if (at > duration(camera) + kPictureSlack) {
            hint = tr("Camera %1 ended at %2")
                       .arg(camera + 1)
                       .arg(clockText(offsets_[camera] + duration(camera)));
        }
        if (panels_[camera]->PicVid->hint() != hint) panels_[camera]->PicVid->setHint(hint);
    }
}

// ---- Evidence --------------------------------------------------------------------------

RecordingPair::Mark RecordingPair::markNow() const {
    Mark mark;
    mark.moment = position();
    for (int camera = 0; camera < kCameras; ++camera) {
        if (!loaded_[camera]) continue;
        const double at = mark.moment - offsets_[camera];
        if (at < -kPictureSlack || at > duration(camera) + kPictureSlack) continue;
        double shown = at;
        double interval = 0;
        attempt([&] { panels_[camera]->ShownPicture(shown, interval); });
        mark.pictures[camera] = std::clamp(shown, 0.0, duration(camera));
    }
    return mark;
}

std::array<std::optional<RecordingPair::Span>, RecordingPair::kCameras> RecordingPair::spans(
    const Mark& from, const Mark& to, QString& problem) const {
    std::array<std::optional<Span>, kCameras> spans;
    if (to.moment <= from.moment + kSameMoment) {
        problem = tr("The clip's end (O) must come after its start (I).");
        return {};
    }
    for (int camera = 0; camera < kCameras; ++camera) {
        if (!loaded_[camera]) continue;
        const double length = duration(camera);
        const double first = from.moment - offsets_[camera];
        const double last = to.moment - offsets_[camera];
        // A camera whose recording does not reach into the clip has no part in it.
        if (first >= length - kPictureSlack || last <= kPictureSlack) continue;
        Span span;
        span.file = panels_[camera]->engine()->MediaFile;
        span.offset = offsets_[camera];
        span.start = from.pictures[camera].value_or(std::max(0.0, first));
        // The picture shown at the end mark is the clip's last one.
        span.end =
            to.pictures[camera] ? *to.pictures[camera] + kPictureSlack : std::min(length, last);
        span.end = std::min(std::max(span.end, span.start + kPictureSlack), length);
        if (span.end > span.start) spans[camera] = span;
    }
    if (!spans[0] && !spans[1]) problem = tr("The clip lies outside every camera's recording.");
    return spans;
}

}  // namespace corvid
