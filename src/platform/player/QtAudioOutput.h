#pragma once

#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

#include "platform/player/AudioRing.h"
#include "platform/player/ChannelGains.h"
#include "platform/player/IAudioOutput.h"

class QAudioSink;
class QObject;

namespace corvid {

class AudioRingDevice;

// Plays through QAudioSink on the default device. The sink lives on a thread of its
// own so that a busy or blocked GUI thread never starves it.
class QtAudioOutput : public IAudioOutput {
public:
    // Throws Failure(CannotOpen) when there is no device or it refuses the format.
    QtAudioOutput();
    ~QtAudioOutput() override;
    QtAudioOutput(const QtAudioOutput&) = delete;
    QtAudioOutput& operator=(const QtAudioOutput&) = delete;

    int sampleRate() const override { return sampleRate_; }
    std::size_t writable() override;
    void write(const float* samples, std::size_t frames) override;
    void setPlaying(bool playing) override;
    void discard() override;
    void setGains(float left, float right) override { gains_->set(left, right); }
    double latency() override;
    bool drivesClock() const override { return true; }

private:
    void onSinkThread(std::function<void()> work, bool wait);

    QThread thread_;
    QObject* context_ = nullptr;  // lives on thread_
    QAudioSink* sink_ = nullptr;  // lives on thread_
    AudioRingDevice* device_ = nullptr;
    std::shared_ptr<AudioRing> ring_;
    std::shared_ptr<ChannelGains> gains_ = std::make_shared<ChannelGains>();
    int sampleRate_ = 48000;
    std::atomic<double> deviceLatency_{0};
};

}  // namespace corvid
