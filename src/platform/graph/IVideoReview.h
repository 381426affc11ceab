#pragma once

#include <QImage>
#include <chrono>
#include <optional>

namespace corvid {

// What a reviewer does with a graph's picture beyond playing it: zooms into it (the
// mouse wheel over the video), reads each picture's time over it, and keeps the
// picture on show. Every call throws Failure when the graph has no video.
class IVideoReview {
public:
    virtual ~IVideoReview() = default;

    // The magnification of the picture, 1 when it is shown whole.
    virtual double get_Zoom() = 0;
    // Shows the whole picture again.
    virtual void ResetZoom() = 0;
    // Shows or hides the picture's time in a corner of the video.
    virtual void put_TimeOverlay(bool shown) = 0;
    virtual bool get_TimeOverlay() = 0;
    // The decoded picture on show, at its native size and unzoomed, and its media time.
    // Throws Failure(NotReady) before the first picture is shown.
    virtual QImage GetCurrentImage(double& time) = 0;
    // Shows, under the picture's time, how far this camera is moved against the other of
    // its recording; 0 shows nothing.
    virtual void put_TimeOffset(double seconds) = 0;
    // When the file's header says it was recorded; nothing when it does not.
    virtual std::optional<std::chrono::system_clock::time_point> get_RecordedAt() = 0;
};

}  // namespace corvid
