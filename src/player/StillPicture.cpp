#include "player/StillPicture.h"

#include "player/AvHandles.h"

namespace corvid {

QImage StillPicture::fromFrame(const AVFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0) return {};
    // Bicubic is the tool's own choice; at the same size only the colour conversion runs.
    ScalerHandle scaler(sws_getContext(
        frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
        frame.height, AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler) return {};
    QImage image(frame.width, frame.height, QImage::Format_RGB888);
    if (image.isNull()) return {};
    std::uint8_t* planes[] = {image.bits()};
    const int strides[] = {static_cast<int>(image.bytesPerLine())};
    if (sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) !=
        frame.height)
        return {};
    return image;
}

}  // namespace corvid
