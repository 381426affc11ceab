#pragma once

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>

#include "player/FrameSlot.h"
#include "player/ZoomView.h"
#include "player_output/GlyphCache.h"

namespace corvid {

// The graph's video window: paints the picture the presenter left in the frame slot,
// already scaled to this widget's size (full screen: to the part of the screen that keeps
// the picture's proportions, with black bars beside it). Its input can be passed on to a
// drain widget,
// and it can leave its owner for full screen and come back with Esc or a double-click.
// The mouse wheel zooms into the picture about the pointer and a left-button drag moves
// a zoomed picture; a quiet overlay in its top-right corner can show the picture's time.
class VideoWindowWidget : public QWidget {
    Q_OBJECT
    // Readable through the meta-object, so the windows above can ask without this header.
    Q_PROPERTY(QWidget* owner READ owner)
    Q_PROPERTY(bool fullScreenMode READ isFullScreenMode)
public:
    VideoWindowWidget(std::shared_ptr<FrameSlot> slot, QSize nativeSize);
    ~VideoWindowWidget() override;

    // Becomes a child of `owner` (or a window of its own for null).
    void setOwner(QWidget* owner);
    QWidget* owner() const { return owner_; }
    void setDrain(QWidget* drain) { drain_ = drain; }
    void setFullScreen(bool on);
    bool isFullScreenMode() const { return fullScreen_; }
    // The geometry in the owner while windowed; kept while full screen.
    void setPlacement(const QRect& rect);
    QRect placement() const;

    const ZoomView& zoomView() const { return view_; }
    void resetZoom();
    // The overlay: the picture's media time and, where the file says when it was
    // recorded, the wall-clock time of the picture in local time.
    void setTimeOverlay(bool shown);
    bool timeOverlay() const { return timeOverlay_; }
    void setRecordedAt(std::optional<std::chrono::system_clock::time_point> start);
    std::optional<std::chrono::system_clock::time_point> recordedAt() const { return recordedAt_; }
    // How far this camera is moved against the other of its recording, shown under its
    // times while it is not 0.
    void setTimeOffset(double seconds);
    // The overlay's text for the picture on show; empty when it is hidden.
    QString overlayText() const;
    // Whether the picture on show was made for the present size and zoom.
    bool pictureFitsView() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Where the picture goes: the whole widget while windowed (its owner fits the widget
    // to the picture), the largest rectangle of the picture's proportions, centred, while
    // full screen.
    QRect pictureRect() const;
    void forwardMouse(QMouseEvent* event);
    // Whether this press of the left button is the second of a double-click.
    bool completesDoubleClick(const QMouseEvent& press);
    void forward(QEvent* event);
    void applyView();
    QString overlayTextAt(double time) const;
    void paintOverlay(QPainter& painter, const QString& text);

    std::shared_ptr<FrameSlot> slot_;
    QPointer<QWidget> owner_;
    QPointer<QWidget> drain_;
    QPointer<QWidget> focusBefore_;
    const QSize nativeSize_;
    bool fullScreen_ = false;
    QRect placement_;
    ZoomView view_;
    std::optional<QPointF> dragFrom_;
    struct Press {
        quint64 time;
        QPointF at;
    };
    std::optional<Press> lastPress_;
    bool timeOverlay_ = true;
    std::optional<std::chrono::system_clock::time_point> recordedAt_;
    double timeOffset_ = 0;
    // The overlay's font and box, laid out again only when the text's shape (its digits
    // aside, which the font gives one width) or the font changes, not for every picture.
    struct OverlayLayout {
        QFont base;
        int pixelSize = 0;
        QString shape;
        QRect box;
        int ascent = 0;
        int lineHeight = 0;
        std::optional<GlyphCache> glyphs;
    };
    OverlayLayout overlayLayout_;
};

}  // namespace corvid
