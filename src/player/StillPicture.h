#pragma once

#include <QImage>

extern "C" {
#include <libavutil/frame.h>
}

namespace corvid {

// A decoded picture as an image to keep: its native size, every pixel converted the
// way the ffmpeg tool converts a picture it writes as PNG, so that a still and the
// tool's picture of the same frame are the same pixels.
class StillPicture {
public:
    // A null image when the picture's format cannot be converted.
    static QImage fromFrame(const AVFrame& frame);
};

}  // namespace corvid
