#pragma once

#include <QIODevice>
#include <atomic>
#include <memory>

#include "player/AudioRing.h"
#include "player/ChannelGains.h"

namespace corvid {

// The device an audio sink pulls from: the ring's samples, silence when it runs dry.
class AudioRingDevice : public QIODevice {
    Q_OBJECT
public:
    AudioRingDevice(std::shared_ptr<AudioRing> ring, std::shared_ptr<const ChannelGains> gains,
                    QObject* parent = nullptr);

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

    // Sample frames handed to the sink so far, the silence of underruns included.
    std::int64_t framesHanded() const { return framesHanded_.load(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::shared_ptr<AudioRing> ring_;
    std::shared_ptr<const ChannelGains> gains_;
    std::atomic<std::int64_t> framesHanded_{0};
    bool dry_ = false;  // the last read found the ring short
};

}  // namespace corvid
