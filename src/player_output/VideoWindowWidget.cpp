#include "player_output/VideoWindowWidget.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QStyleHints>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/widgets/FocusMark.h"
#include "player/TimeCaption.h"

namespace corvid {

namespace {

constexpr double kNotchZoom = 1.25;

}  // namespace

VideoWindowWidget::VideoWindowWidget(std::shared_ptr<FrameSlot> slot, QSize nativeSize)
    : slot_(std::move(slot)),
      nativeSize_(nativeSize),
      placement_(QPoint(0, 0), nativeSize),
      view_(nativeSize) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    resize(nativeSize);
    slot_->setTargetSize(nativeSize);
    slot_->setView(view_);
    // Queued: the presenter publishes on its own thread.
    slot_->attach([this] {
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    });
}

VideoWindowWidget::~VideoWindowWidget() {
    slot_->attach({});
}

void VideoWindowWidget::setOwner(QWidget* owner) {
    owner_ = owner;
    if (fullScreen_) return;  // goes back to the new owner when full screen ends
    // A click on the picture gives the focus to its owner, which marks it and takes the
    // picture's keys.
    setFocusProxy(owner);
    const bool visible = isVisible() || !isHidden();
    if (owner != nullptr) {
        setParent(owner, Qt::Widget);
    } else {
        setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    }
    setGeometry(placement_);
    if (visible) show();
}

void VideoWindowWidget::setPlacement(const QRect& rect) {
    placement_ = rect;
    if (!fullScreen_) setGeometry(rect);
}

QRect VideoWindowWidget::placement() const {
    return placement_;
}

QRect VideoWindowWidget::pictureRect() const {
    if (!fullScreen_ || nativeSize_.isEmpty()) return rect();
    const QSize fitted = nativeSize_.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void VideoWindowWidget::setFullScreen(bool on) {
    if (on == fullScreen_) return;
    fullScreen_ = on;
    // Also when the size stays: the picture's own size changes with the mode.
    slot_->setTargetSize(pictureRect().size());
    if (on) {
        focusBefore_ = QApplication::focusWidget();
        setFocusProxy(nullptr);
        setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
        showFullScreen();
        activateWindow();
        setFocus();
    } else {
        // The full-screen state stays with the widget through its return to the owner;
        // left there, the next window made of it would take that state as already
        // reached and open at the widget's own size in the screen's corner.
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        if (owner_) {
            setParent(owner_, Qt::Widget);
        } else {
            setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
        }
        setGeometry(placement_);
        setFocusProxy(owner_);
        show();
        // The keyboard goes on where it was before, in the window the picture went back to.
        if (owner_) owner_->window()->activateWindow();
        if (focusBefore_ && focusBefore_ != this) focusBefore_->setFocus();
    }
}

void VideoWindowWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const FrameSlot::Shown shown = slot_->shown();
    // The picture is scaled for this size and zoom off the GUI thread; until a new one
    // has been rendered the old picture is shown as it was made.
    // Black only where the picture does not reach: every pixel is written once per frame.
    // A zoomed picture reaches past its place, which the bars of full screen must hide.
    const QRect place = pictureRect();
    const QPoint at = place.topLeft() + shown.offset;
    const QRect covered =
        shown.picture.isNull() ? QRect() : place & QRect(at, shown.picture.size());
    for (const QRect& bare : QRegion(rect()) - covered) painter.fillRect(bare, Qt::black);
    if (!shown.picture.isNull()) {
        painter.save();
        painter.setClipRect(covered);
        painter.drawImage(at, shown.picture);
        painter.restore();
    }
    if (timeOverlay_ && shown.frame) paintOverlay(painter, overlayTextAt(shown.time));
    // The picture covers its owner, which has the keyboard's focus for it.
    if (!fullScreen_ && owner_ && owner_->hasFocus()) FocusMark::paint(painter, rect());
}

bool VideoWindowWidget::pictureFitsView() const {
    const FrameSlot::Shown shown = slot_->shown();
    return shown.frame && shown.view == view_ && shown.target == pictureRect().size();
}

void VideoWindowWidget::resetZoom() {
    view_.reset();
    applyView();
}

void VideoWindowWidget::applyView() {
    slot_->setView(view_);
    if (view_.isZoomed()) {
        setCursor(dragFrom_ ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    } else {
        unsetCursor();
    }
    update();
}

void VideoWindowWidget::setTimeOverlay(bool shown) {
    if (shown == timeOverlay_) return;
    timeOverlay_ = shown;
    update();
}

void VideoWindowWidget::setRecordedAt(std::optional<std::chrono::system_clock::time_point> start) {
    recordedAt_ = start;
    update();
}

void VideoWindowWidget::setTimeOffset(double seconds) {
    if (seconds == timeOffset_) return;
    timeOffset_ = seconds;
    update();
}

QString VideoWindowWidget::overlayText() const {
    const FrameSlot::Shown shown = slot_->shown();
    if (!timeOverlay_ || !shown.frame) return {};
    return overlayTextAt(shown.time);
}

QString VideoWindowWidget::overlayTextAt(double time) const {
    QString text = TimeCaption::text(time, recordedAt_);
    if (std::abs(timeOffset_) >= 0.0005)
        text += QStringLiteral("\noffset %1%2 s")
                    .arg(timeOffset_ > 0 ? QStringLiteral("+") : QString())
                    .arg(timeOffset_, 0, 'f', 3);
    return text;
}

void VideoWindowWidget::paintOverlay(QPainter& painter, const QString& text) {
    // Too small a picture would be mostly overlay.
    if (text.isEmpty() || width() < 160 || height() < 90) return;
    const int pixelSize = std::clamp(height() / 22, 10, 18);
    QString shape = text;
    for (QChar& c : shape)
        if (c.isDigit()) c = QLatin1Char('0');
    OverlayLayout& layout = overlayLayout_;
    const int margin = pixelSize / 2;
    if (layout.pixelSize != pixelSize || layout.shape != shape || layout.base != painter.font()) {
        layout.base = painter.font();
        layout.pixelSize = pixelSize;
        layout.shape = shape;
        QFont font = layout.base;
        font.setPixelSize(pixelSize);
        font.setStyleHint(QFont::Monospace);
        font.setFamily(QStringLiteral("monospace"));
        if (!layout.glyphs || layout.glyphs->font() != font) layout.glyphs.emplace(font);
        const QFontMetrics metrics(font);
        layout.ascent = metrics.ascent();
        layout.lineHeight = metrics.height();
        layout.box = metrics.boundingRect(QRect(0, 0, width(), height()), Qt::AlignLeft, text)
                         .adjusted(-margin, -margin / 2, margin, margin / 2);
    }
    const QRect box = layout.box;
    // Top right: recorders burn their own captions into the other corners most often.
    const QRect placed =
        box.translated(width() - margin - box.width() - box.left(), margin - box.top());
    painter.fillRect(placed, QColor(0, 0, 0, 140));
    painter.setPen(QColor(235, 235, 235));
    const QRect textRect = placed.adjusted(margin, margin / 2, -margin, -margin / 2);
    // The time changes with every picture: its glyphs are placed, not shaped again.
    const std::optional<std::vector<GlyphCache::Line>> lines = layout.glyphs->lines(text);
    if (!lines) {
        painter.setFont(layout.glyphs->font());
        painter.drawText(textRect, Qt::AlignRight, text);
        return;
    }
    int baseline = textRect.y() + layout.ascent;
    for (const GlyphCache::Line& line : *lines) {
        painter.drawGlyphRun(QPointF(textRect.x() + textRect.width() - line.width, baseline),
                             line.glyphs);
        baseline += layout.lineHeight;
    }
}

void VideoWindowWidget::resizeEvent(QResizeEvent* event) {
    slot_->setTargetSize(pictureRect().size());
    QWidget::resizeEvent(event);
}

void VideoWindowWidget::forward(QEvent* event) {
    if (drain_) QCoreApplication::sendEvent(drain_, event);
}

void VideoWindowWidget::forwardMouse(QMouseEvent* event) {
    if (!drain_) return;
    QMouseEvent mapped(event->type(), drain_->mapFromGlobal(event->globalPosition()),
                       event->scenePosition(), event->globalPosition(), event->button(),
                       event->buttons(), event->modifiers());
    QCoreApplication::sendEvent(drain_, &mapped);
}

// The toolkit turns two quick presses into a double-click only as it tracks them itself;
// on the picture's own window under X11 it never did, so the picture counts them too.
bool VideoWindowWidget::completesDoubleClick(const QMouseEvent& press) {
    // A press the window system did not time (one a program sent) is never half of one.
    if (press.button() != Qt::LeftButton || press.timestamp() == 0) {
        lastPress_.reset();
        return false;
    }
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool second = lastPress_ &&
                        press.timestamp() - lastPress_->time <=
                            static_cast<quint64>(hints->mouseDoubleClickInterval()) &&
                        (press.globalPosition() - lastPress_->at).manhattanLength() <=
                            hints->mouseDoubleClickDistance();
    if (second) {
        lastPress_.reset();
    } else {
        lastPress_ = Press{press.timestamp(), press.globalPosition()};
    }
    return second;
}

void VideoWindowWidget::mousePressEvent(QMouseEvent* event) {
    if (completesDoubleClick(*event)) {
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, event->position(),
                                event->scenePosition(), event->globalPosition(), event->button(),
                                event->buttons(), event->modifiers());
        doubleClick.setTimestamp(event->timestamp());
        mouseDoubleClickEvent(&doubleClick);
        return;
    }
    if (event->button() == Qt::LeftButton && view_.isZoomed()) {
        dragFrom_ = event->position();
        applyView();
    }
    forwardMouse(event);
}

void VideoWindowWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragFrom_) {
        dragFrom_.reset();
        applyView();
    }
    forwardMouse(event);
}

void VideoWindowWidget::mouseMoveEvent(QMouseEvent* event) {
    if (dragFrom_ && (event->buttons() & Qt::LeftButton)) {
        view_.panBy(event->position() - *dragFrom_, pictureRect().size());
        dragFrom_ = event->position();
        applyView();
        return;
    }
    forwardMouse(event);
}

void VideoWindowWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    lastPress_.reset();
    if (fullScreen_) {
        setFullScreen(false);
        return;
    }
    forwardMouse(event);
}

void VideoWindowWidget::keyPressEvent(QKeyEvent* event) {
    if (fullScreen_ && event->key() == Qt::Key_Escape) {
        setFullScreen(false);
        return;
    }
    forward(event);
}

void VideoWindowWidget::keyReleaseEvent(QKeyEvent* event) {
    forward(event);
}

void VideoWindowWidget::wheelEvent(QWheelEvent* event) {
    // A notch (120) zooms by a quarter; touchpads send fractions of a notch.
    const int delta = event->angleDelta().y();
    if (delta == 0 || view_.picture().isEmpty()) {
        forward(event);
        return;
    }
    const QRect place = pictureRect();
    view_.zoomAbout(event->position() - place.topLeft(), place.size(),
                    std::pow(kNotchZoom, delta / 120.0));
    applyView();
    event->accept();
}

}  // namespace corvid
