#include "main_window/ClipMarks.h"

#include <QEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "media_engine/clsDShowControl.h"
#include "platform/util/Failure.h"
#include "player_control/QVRControl.h"

namespace corvid {

namespace {

// A mark this close past a recording's end is its end: positions are read while the
// pictures move.
constexpr double kEndTolerance = 0.05;

}  // namespace

ClipMarks::ClipMarks(QWidget* bar, QVRControl& camera1, QVRControl& camera2)
    : QWidget(bar), cameras_{&camera1, &camera2} {
    setObjectName("ClipMarks");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(bar->rect());
    bar->installEventFilter(this);
    raise();
    // Another recording loaded takes the ticks away.
    auto* watch = new QTimer(this);
    watch->setInterval(500);
    connect(watch, &QTimer::timeout, this, [this] {
        const bool shown = current() && (start_ || end_);
        if (shown != ticksShown_) update();
    });
    watch->start();
}

std::array<QString, 2> ClipMarks::files() const {
    return {cameras_[0]->engine()->MediaFile, cameras_[1]->engine()->MediaFile};
}

bool ClipMarks::current() const {
    return files() == markedFiles_;
}

ClipMarks::Mark ClipMarks::markNow() const {
    Mark mark;
    double share = -1;
    for (std::size_t i = 0; i < 2; ++i) {
        clsDShowControl& engine = *cameras_[i]->engine();
        if (engine.MediaFile.isEmpty()) continue;
        try {
            const double position = engine.DS_GetPosition();
            mark.positions[i] = position;
            const double duration = engine.DS_GetDuration();
            // The bar follows camera 1 when it plays, camera 2 otherwise.
            if (share < 0 && duration > 0) share = std::clamp(position / duration, 0.0, 1.0);
        } catch (const Failure&) {
            mark.positions[i].reset();  // a camera whose file does not play has no part
        }
    }
    mark.share = std::max(0.0, share);
    return mark;
}

void ClipMarks::remember() {
    if (!current()) {
        start_.reset();
        end_.reset();
        markedFiles_ = files();
    }
}

void ClipMarks::markStart() {
    remember();
    start_ = markNow();
    update();
}

void ClipMarks::markEnd() {
    remember();
    end_ = markNow();
    update();
}

std::array<std::optional<ClipMarks::Span>, 2> ClipMarks::spans(QString& problem) const {
    std::array<std::optional<Span>, 2> spans;
    if (!start() || !end()) {
        problem = tr("Mark the start of the clip with I and its end with O first.");
        return {};
    }
    for (std::size_t i = 0; i < 2; ++i) {
        const std::optional<double> from = start_->positions[i];
        const std::optional<double> to = end_->positions[i];
        if (!from || !to) continue;
        const QString camera = tr("camera %1").arg(i + 1);
        double duration = 0;
        try {
            duration = cameras_[i]->engine()->DS_GetDuration();
        } catch (const Failure&) {
        }
        // A camera whose recording ended before the clip starts has no part in it.
        if (*from >= duration - kEndTolerance && *to >= duration - kEndTolerance) continue;
        if (*to <= *from) {
            problem = tr("The clip's end (O) must come after its start (I) on %1.").arg(camera);
            return {};
        }
        if (*from < 0 || *to > duration + kEndTolerance) {
            problem = tr("The clip reaches beyond the end of %1's recording (%2).")
                          .arg(camera, clsDShowControl::SecToTime(duration));
            return {};
        }
        spans[i] = Span{markedFiles_[i], *from, std::min(*to, duration)};
    }
    if (!spans[0] && !spans[1])
        problem = tr("The clip lies after the end of every camera's recording.");
    return spans;
}

bool ClipMarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return false;
}

void ClipMarks::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ticksShown_ = current() && (start_ || end_);
    const auto tick = [&](const std::optional<Mark>& mark, const QColor& colour) {
        if (!mark) return;
        const int x = static_cast<int>(std::lround(mark->share * (width() - 1)));
        painter.fillRect(QRect(x - 1, 0, 3, height()), colour);
    };
    tick(start(), QColor(0, 160, 0));
    tick(end(), QColor(200, 0, 0));
}

}  // namespace corvid
