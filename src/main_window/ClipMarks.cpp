#include "main_window/ClipMarks.h"

#include <QEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "media_engine/clsDShowControl.h"
#include "player_control/QVRControl.h"

namespace corvid {

ClipMarks::ClipMarks(QWidget* bar, RecordingPair& pair) : QWidget(bar), pair_(pair) {
    setObjectName("ClipMarks");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(bar->rect());
    bar->installEventFilter(this);
    raise();
    // Another recording loaded, or the cameras moved against each other, takes the ticks
    // away.
    auto* watch = new QTimer(this);
    watch->setInterval(500);
    connect(watch, &QTimer::timeout, this, [this] {
        const bool shown = current() && (start_ || end_);
        if (shown != ticksShown_) update();
    });
    watch->start();
}

std::array<QString, RecordingPair::kCameras> ClipMarks::files() const {
    std::array<QString, RecordingPair::kCameras> names;
    for (int camera = 0; camera < RecordingPair::kCameras; ++camera)
        if (pair_.loaded(camera)) names[camera] = pair_.panel(camera).engine()->MediaFile;
    return names;
}

bool ClipMarks::current() const {
    return files() == markedFiles_ &&
           markedOffsets_ == std::array{pair_.offset(0), pair_.offset(1)};
}

void ClipMarks::remember() {
    if (!current()) {
        start_.reset();
        end_.reset();
        markedFiles_ = files();
        markedOffsets_ = {pair_.offset(0), pair_.offset(1)};
    }
}

void ClipMarks::markStart() {
    remember();
    start_ = pair_.markNow();
    update();
}

void ClipMarks::markEnd() {
    remember();
    end_ = pair_.markNow();
    update();
}

std::array<std::optional<ClipMarks::Span>, RecordingPair::kCameras> ClipMarks::spans(
    QString& problem) const {
    if (!start() || !end()) {
        problem = tr("Mark the start of the clip with I and its end with O first.");
        return {};
    }
    return pair_.spans(*start_, *end_, problem);
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
    const double length = pair_.length();
    const auto tick = [&](const std::optional<Mark>& mark, const QColor& colour) {
        if (!mark || !(length > 0)) return;
        const double share = std::clamp((mark->moment - pair_.start()) / length, 0.0, 1.0);
        const int x = static_cast<int>(std::lround(share * (width() - 1)));
        painter.fillRect(QRect(x - 1, 0, 3, height()), colour);
    };
    tick(start(), QColor(0, 160, 0));
    tick(end(), QColor(200, 0, 0));
}

}  // namespace corvid
