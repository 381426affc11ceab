#include "player_output/QtAudioOutput.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "player/PlayerLog.h"
#include "player_output/AudioRingDevice.h"
#include "util/Failure.h"

namespace corvid {

namespace {

constexpr double kRingSeconds = 0.15;
// How often the sound heard is asked of the server; between probes it is extrapolated.
// Each probe wakes the sound thread and the server's client, so not more often than this.
constexpr int kProbeMs = 20;
// A playing stream whose sound has not moved on for this long is started again.
constexpr double kStuckSeconds = 1.0;

}  // namespace

QtAudioOutput::QtAudioOutput() {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) throw Failure(Failure::CannotOpen, "No audio output device");
    QAudioFormat format;
    format.setSampleRate(
        device.preferredFormat().sampleRate() > 0 ? device.preferredFormat().sampleRate() : 48000);
    format.setChannelCount(kChannels);
    format.setSampleFormat(QAudioFormat::Float);
    if (!device.isFormatSupported(format))
        throw Failure(Failure::CannotOpen, "The audio device refuses float stereo");
    sampleRate_ = format.sampleRate();
    ring_ = std::make_shared<AudioRing>(static_cast<std::size_t>(kRingSeconds * sampleRate_) *
                                        kChannels);

    thread_.setObjectName(QStringLiteral("corvid-sound"));
    context_ = new QObject;
    context_->moveToThread(&thread_);
    thread_.start();
    // The stream starts on its own thread once there is sound for it, while the caller
    // goes on. A pair writes its first sound once both its pictures are on their way to the
    // screen: the sound server's work then no longer takes the cores the opens and the first
    // pictures of a click need. Sound written meanwhile waits in the ring.
    startStream_ = [this, device, format] { startStream(device, format); };
}

void QtAudioOutput::startStreamOnce() {
    std::call_once(streamRequested_, [this] { onSinkThread(startStream_, false); });
}

void QtAudioOutput::startStream(const QAudioDevice& device, const QAudioFormat& format) {
    sink_ = new QAudioSink(device, format, context_);
    sink_->setBufferSize(static_cast<qsizetype>(0.1 * sampleRate_) * kChannels * sizeof(float));
    device_ = new AudioRingDevice(ring_, gains_, context_);
    sink_->start(device_);
    sink_->suspend();
    // A stream the server refuses is a device that stopped working: the player says so.
    if (sink_->error() != QAudio::NoError) failed_ = true;
    probe_ = new QTimer(context_);
    probe_->setTimerType(Qt::PreciseTimer);
    QObject::connect(probe_, &QTimer::timeout, context_, [this] { probeHeard(); });
    probeHeard();
    applyPlaying();  // as asked before the stream was there
}

QtAudioOutput::~QtAudioOutput() {
    onSinkThread(
        [this] {
            if (sink_ != nullptr) sink_->stop();
            delete context_;  // the sink and the device with it
        },
        true);
    thread_.quit();
    thread_.wait();
}

void QtAudioOutput::onSinkThread(std::function<void()> work, bool wait) {
    QMetaObject::invokeMethod(context_, std::move(work),
                              wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

std::size_t QtAudioOutput::writable() {
    return ring_->space() / kChannels;
}

void QtAudioOutput::write(const float* samples, std::size_t frames) {
    startStreamOnce();
    ring_->write(samples, frames * kChannels);
}

double QtAudioOutput::steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void QtAudioOutput::probeHeard() {
    // The server's own count of what it played, its latency taken off, against what the
    // device handed it: the buffer of the sink alone would miss the server's latency.
    // Before the server has its first timing report after a resume, it reckons all the
    // time since its last report as played; nothing plays faster than real time.
    const double now = steadySeconds();
    if (sink_->error() == QAudio::FatalError) failed_ = true;
    const double handed = static_cast<double>(device_->framesHanded()) / sampleRate_;
    if (playing_) {
        const double processed = static_cast<double>(sink_->processedUSecs()) / 1e6;
        heard_ = std::min(processed, heardAtResume_ + (now - resumedAt_));
        if (processed != processed_) {
            processed_ = processed;
            progressAt_ = now;
        } else if (now - progressAt_ > kStuckSeconds) {
            restartStream(now);
        }
    }
    unheard_ = std::max(0.0, handed - heard_);
    played_ = heard_;
    probedAt_ = now;
}

void QtAudioOutput::restartStream(double now) {
    // A server can stop taking sound from a stream for good (one that ran dry, waiting
    // for more than it will be given before it plays again); suspending and resuming the
    // stream makes it play whatever it holds.
    qCDebug(lcPlayer) << "sound stream" << this << "took nothing for" << now - progressAt_
                      << "s: started again";
    sink_->suspend();
    sink_->resume();
    heardAtResume_ = heard_;
    resumedAt_ = now;
    progressAt_ = now;
}

void QtAudioOutput::setPlaying(bool playing) {
    onSinkThread(
        [this, playing] {
            wantPlaying_ = playing;
            if (sink_ != nullptr) applyPlaying();
        },
        false);
}

void QtAudioOutput::applyPlaying() {
    if (wantPlaying_ == playing_) return;
    if (wantPlaying_) {
        heardAtResume_ = heard_;
        resumedAt_ = steadySeconds();
        progressAt_ = resumedAt_;
        sink_->resume();
        probe_->start(kProbeMs);
        playing_ = true;
        probeHeard();
    } else {
        sink_->suspend();
        probe_->stop();
        probeHeard();  // what was heard up to the pause
        playing_ = false;
    }
}

void QtAudioOutput::discard() {
    ring_->clear();
}

double QtAudioOutput::latency() {
    double unheard = unheard_.load();
    // Sound plays on since the last probe, but for no longer than a probe's interval
    // would have told: a stalled server must not seem to play.
    if (playing_)
        unheard -= std::clamp(steadySeconds() - probedAt_.load(), 0.0, 2 * kProbeMs / 1000.0);
    return static_cast<double>(ring_->size()) / (sampleRate_ * kChannels) + std::max(0.0, unheard);
}

}  // namespace corvid
