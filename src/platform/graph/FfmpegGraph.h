#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/graph/FilgraphManager.h"
#include "player/AudioLevels.h"
#include "player/IAudioOutput.h"
#include "player/IClock.h"
#include "player/IFileStorage.h"
#include "player/InjectedFaults.h"

class QWidget;

namespace corvid {

class Pipeline;
class PlaybackClock;
class PreparedOpens;
class VideoWindowWidget;

// A media graph played by our own core on the FFmpeg libraries: the calls below, from the
// GUI thread, check their arguments and drive a Pipeline (its threads play the file) and
// the video window widget that shows its pictures. Calls before a successful RenderFile
// throw Failure(NotReady), except Stop, which has nothing to stop.
class FfmpegGraph : public FilgraphManager, public IVideoReview, public IClockFollower {
public:
    struct Options {
        // Time source of the playback clock; real time when null.
        std::shared_ptr<IClock> clock;
        // Makes the audio output for a stream of the given sample rate; the default
        // device, or a silent real-time output where none opens, when null.
        std::function<std::unique_ptr<IAudioOutput>(int sampleRate)> audioOutput;
        // The longest RenderFile may take to open the file, decode its first picture and
        // find its duration, however long the storage takes to answer.
        std::chrono::milliseconds openTimeout{10000};
        // The longest one read of a playing file may take before the graph fails, its storage
        // taken for one that stopped answering; a disk that spun down answers well within it.
        std::chrono::milliseconds stallLimit{10000};
        // Where files are read from; the local file system when null.
        std::shared_ptr<IFileStorage> storage;
        // Failures tests make the workers of a playing file meet; none when null.
        std::shared_ptr<const InjectedFaults> faults;
        // Files opened ahead by the factory; RenderFile takes its file from there when
        // it is being opened already.
        std::shared_ptr<PreparedOpens> prepared;
    };

    FfmpegGraph();
    explicit FfmpegGraph(Options options);
    ~FfmpegGraph() override;
    FfmpegGraph(const FfmpegGraph&) = delete;
    FfmpegGraph& operator=(const FfmpegGraph&) = delete;

    // IMediaControl
    void RenderFile(const std::string& fileName) override;
    void Run() override;
    void Pause() override;
    void Stop() override;
    // IMediaPosition
    double get_Duration() override;
    double get_CurrentPosition() override;
    void put_CurrentPosition(double seconds) override;
    double get_Rate() override;
    void put_Rate(double rate) override;
    // IBasicAudio
    void put_Volume(std::int32_t volume) override;
    std::int32_t get_Volume() override;
    void put_Balance(std::int32_t balance) override;
    std::int32_t get_Balance() override;
    // IVideoWindow
    std::int32_t get_Width() override;
    std::int32_t get_Height() override;
    void put_WindowStyle(std::int32_t style) override;
    void put_Owner(WindowHandle owner) override;
    void put_Width(std::int32_t width) override;
    void put_Height(std::int32_t height) override;
    void put_Top(std::int32_t top) override;
    void put_Left(std::int32_t left) override;
    void put_MessageDrain(WindowHandle drain) override;
    void put_FullScreenMode(std::int32_t mode) override;
    std::int32_t get_FullScreenMode() override;
    void SetWindowPosition(std::int32_t left, std::int32_t top, std::int32_t width,
                           std::int32_t height) override;
    void GetWindowPosition(std::int32_t& left, std::int32_t& top, std::int32_t& width,
                           std::int32_t& height) override;
    // IMediaEvent
    std::int32_t WaitForCompletion(std::int32_t msTimeout) override;
    std::string GetErrorText() override;
    void SetNotifyWindow(WindowHandle window) override;
    // IVideoFrameStep
    void Step(std::int32_t frames) override;
    // IVideoReview
    std::shared_ptr<IVideoReview> QueryVideoReview() override;
    double get_Zoom() override;
    void ResetZoom() override;
    void put_TimeOverlay(bool shown) override;
    bool get_TimeOverlay() override;
    QImage GetCurrentImage(double& time) override;
    void put_TimeOffset(double seconds) override;
    std::optional<std::chrono::system_clock::time_point> get_RecordedAt() override;
    // IClockFollower
    std::shared_ptr<IClockFollower> QueryClockFollower() override;
    void FollowClock(std::shared_ptr<IPlaybackClock> clock) override;
    void PlaceOnClock(double seconds) override;
    double get_StartTime() override;
    double get_ClockPosition() override;
    bool GetShownPicture(double& time, double& interval) override;

    // The video window widget (tests); null without video.
    QWidget* videoWidget() const;
    // The media time of the picture on show (tests and stepping).
    double shownPictureTime() const;
    // The video packets decoded with pictures left out to keep up with a fast clock (tests
    // and benchmarks).
    std::uint64_t skippingPackets() const;
    // The pictures decoded and waiting to be shown.
    std::size_t picturesAhead() const;

private:
    void load(const std::string& fileName);
    void applyLevels();
    Pipeline& requireLoaded() const;
    Pipeline& requireAudio() const;
    VideoWindowWidget& requireVideo() const;
    void setPlacement(const QRect& rect);
    void showStandaloneWindow();
    void onFault();
    void teardown();

    Options options_;
    // The clock shared with the other graphs of a lockstep; null for a clock of its own.
    std::shared_ptr<PlaybackClock> sharedClock_;
    std::unique_ptr<Pipeline> pipeline_;
    AudioLevels levels_;
    QPointer<VideoWindowWidget> widget_;
    bool styleVisible_ = false;
    QRect placement_;
    // Carries a failure's notice from a worker to the GUI thread; lives on that thread.
    std::unique_ptr<QObject> notifier_;
    QPointer<QWidget> notifyWindow_;
};

}  // namespace corvid
