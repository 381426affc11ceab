#include "platform/player/QtAudioOutput.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
#include <QMetaObject>

#include "platform/Failure.h"
#include "platform/player/AudioRingDevice.h"

namespace corvid {

namespace {

constexpr double kRingSeconds = 0.15;

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

    context_ = new QObject;
    context_->moveToThread(&thread_);
    thread_.start();
    bool started = false;
    onSinkThread(
        [&] {
            sink_ = new QAudioSink(device, format, context_);
            sink_->setBufferSize(static_cast<qsizetype>(0.1 * sampleRate_) * kChannels *
                                 sizeof(float));
            device_ = new AudioRingDevice(ring_, gains_, context_);
            sink_->start(device_);
            sink_->suspend();
            started = sink_->error() == QAudio::NoError;
            deviceLatency_ = static_cast<double>(sink_->bufferSize()) /
                             (sampleRate_ * kChannels * sizeof(float));
        },
        true);
    if (!started) {
        onSinkThread([&] { delete context_; }, true);
        thread_.quit();
        thread_.wait();
        throw Failure(Failure::CannotOpen, "The audio device cannot be started");
    }
}

QtAudioOutput::~QtAudioOutput() {
    onSinkThread(
        [this] {
            sink_->stop();
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
    ring_->write(samples, frames * kChannels);
}

void QtAudioOutput::setPlaying(bool playing) {
    onSinkThread(
        [this, playing] {
            if (playing) {
                sink_->resume();
            } else {
                sink_->suspend();
            }
        },
        false);
}

void QtAudioOutput::discard() {
    ring_->clear();
}

double QtAudioOutput::latency() {
    return static_cast<double>(ring_->size()) / (sampleRate_ * kChannels) + deviceLatency_.load();
}

}  // namespace corvid
