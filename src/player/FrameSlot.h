#pragma once

#include <QImage>
#include <QSize>
#include <mutex>

class QWidget;

namespace corvid {

// The picture on show, handed from the presenter's thread to the video widget: the
// presenter stores a new picture, scaled to the size the widget last asked for, and
// asks the widget to repaint through a queued call.
class FrameSlot {
public:
    // GUI thread: the widget that shows the pictures, or null when it goes away.
    void attach(QWidget* widget);
    void setTargetSize(QSize size);

    // Presenter thread.
    QSize targetSize() const;
    void publish(QImage picture);

    QImage picture() const;

private:
    mutable std::mutex mutex_;
    QWidget* widget_ = nullptr;
    QSize target_;
    QImage picture_;
};

}  // namespace corvid
