#pragma once

#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "player/AudioRing.h"
#include "player/ChannelGains.h"
#include "player/IAudioOutput.h"

class QAudioDevice;
class QAudioFormat;
class QAudioSink;
class QObject;
class QTimer;

namespace corvid {

class AudioRingDevice;

// Plays through QAudioSink on the default device. The sink lives on a thread of its
// own so that a busy or blocked GUI thread never starves it.
class QtAudioOutput : public IAudioOutput {
public:
    // Throws Failure(CannotOpen) when there is no device or it refuses the format; a stream
    // the server then refuses shows as failed().
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
    double played() override { return played_.load(); }
    bool drivesClock() const override { return true; }
    bool failed() const override { return failed_.load(); }

private:
    // Asks for the stream the first time there is sound for it.
    void startStreamOnce();
    void startStream(const QAudioDevice& device, const QAudioFormat& format);
    // On the sink thread: plays or holds the stream as last asked.
    void applyPlaying();
    void onSinkThread(std::function<void()> work, bool wait);
    // On the sink thread: how much of the sound handed to the server is not heard yet.
    void probeHeard();
    void restartStream(double now);
    static double steadySeconds();

    QThread thread_;
    QObject* context_ = nullptr;  // lives on thread_
    QAudioSink* sink_ = nullptr;  // lives on thread_
    QTimer* probe_ = nullptr;     // lives on thread_
    std::function<void()> startStream_;
    std::once_flag streamRequested_;
    bool wantPlaying_ = false;  // on the sink thread
    // On the sink thread: sound heard when play last resumed, and when that was.
    double heard_ = 0;
    double heardAtResume_ = 0;
    double resumedAt_ = 0;
    // On the sink thread: the server's count when it last moved, and when that was.
    double processed_ = 0;
    double progressAt_ = 0;
    AudioRingDevice* device_ = nullptr;
    std::shared_ptr<AudioRing> ring_;
    std::shared_ptr<ChannelGains> gains_ = std::make_shared<ChannelGains>();
    int sampleRate_ = 48000;
    // Seconds handed to the server and not heard yet, as of steady time probedAt_.
    std::atomic<double> unheard_{0};
    std::atomic<double> probedAt_{0};
    std::atomic<double> played_{0};
    std::atomic<bool> playing_{false};
    std::atomic<bool> failed_{false};
};

}  // namespace corvid
