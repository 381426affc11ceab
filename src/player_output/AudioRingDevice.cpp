#include "player_output/AudioRingDevice.h"

#include <cstring>
#include <utility>

#include "player/PlayerLog.h"

namespace corvid {

AudioRingDevice::AudioRingDevice(std::shared_ptr<AudioRing> ring,
                                 std::shared_ptr<const ChannelGains> gains, QObject* parent)
    : QIODevice(parent), ring_(std::move(ring)), gains_(std::move(gains)) {
    // Unbuffered, so that what the sink asked for is all that left the ring.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 AudioRingDevice::bytesAvailable() const {
    return static_cast<qint64>(ring_->size() * sizeof(float)) + QIODevice::bytesAvailable();
}

qint64 AudioRingDevice::readData(char* data, qint64 maxSize) {
    const std::size_t wanted = static_cast<std::size_t>(maxSize) / (2 * sizeof(float)) * 2;
    auto* samples = reinterpret_cast<float*>(data);
    const std::size_t got = ring_->read(samples, wanted);
    if (got < wanted && !dry_) qCDebug(lcPlayer) << "sound ring" << this << "ran dry";
    dry_ = got < wanted;
    gains_->apply(samples, got / 2);
    // An underrun plays silence rather than stopping the device.
    std::memset(samples + got, 0, (wanted - got) * sizeof(float));
    framesHanded_ += static_cast<std::int64_t>(wanted / 2);
    return static_cast<qint64>(wanted * sizeof(float));
}

}  // namespace corvid
