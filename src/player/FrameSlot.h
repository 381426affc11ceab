#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <memory>
#include <mutex>

#include "player/AvHandles.h"
#include "player/ZoomView.h"

class QWidget;

namespace corvid {

// The picture on show, handed from the presenter's thread to the video widget: the
// presenter stores a new picture, made for the size and zoom the widget last asked for,
// and asks the widget to repaint through a queued call.
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

    // GUI thread: the widget that shows the pictures, or null when it goes away.
    void attach(QWidget* widget);
    void setTargetSize(QSize size);
    void setView(const ZoomView& view);

    // Presenter thread.
    QSize targetSize() const;
    ZoomView view() const;
    void publish(Shown shown);

    Shown shown() const;
    QImage picture() const;

private:
    mutable std::mutex mutex_;
    QWidget* widget_ = nullptr;
    QSize target_;
    ZoomView view_;
    Shown shown_;
};

}  // namespace corvid
