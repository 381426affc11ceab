#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <functional>
#include <memory>
#include <mutex>

#include "player/AvHandles.h"
#include "player/ZoomView.h"

namespace corvid {

// The picture on show, handed from the presenter's thread to the video widget: the
// presenter stores a new picture, made for the size and zoom the widget last asked for,
// and tells the widget, which repaints on its own thread.
class FrameSlot {
public:
    // What the presenter made of one decoded picture.
    struct Shown {
        QImage picture;  // the part of the picture in view, scaled for the window
        QPoint offset;   // where the picture's top-left corner goes in the window
        QSize target;    // the window size and zoom it was made for
        ZoomView view;
        std::shared_ptr<const AVFrame> frame;  // the decoded picture itself
        double time = 0;                       // its media time
    };

    // GUI thread: what tells the widget that shows the pictures of a new one (called on the
    // presenter's thread, so it must only queue the repaint), or empty when it goes away.
    void attach(std::function<void()> onPublished);
    void setTargetSize(QSize size);
    void setView(const ZoomView& view);

    // Presenter's: what wakes it when the widget asks for another size or view (called on
    // the GUI thread), or empty when it goes away.
    void watch(std::function<void()> onAsked);
    // Presenter thread.
    QSize targetSize() const;
    ZoomView view() const;
    void publish(Shown shown);

    Shown shown() const;

private:
    mutable std::mutex mutex_;
    std::function<void()> onPublished_;
    std::function<void()> onAsked_;
    QSize target_;
    ZoomView view_;
    Shown shown_;
};

}  // namespace corvid
