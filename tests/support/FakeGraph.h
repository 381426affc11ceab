#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/graph/FilgraphManager.h"
#include "support/FakeCallLog.h"
#include "support/FakePlaybackClock.h"

namespace corvid {

// What a fake graph finds in a file it renders.
struct FakeMedia {
    std::int32_t width = 320;
    std::int32_t height = 240;  // 0: the file has no video
    // Without video, get_Width/get_Height read 0 instead of failing.
    bool sizeReadsZero = false;
    double duration = 10.0;
    bool hasAudio = true;
    double frameRate = 25.0;
    double startTime = 0.0;  // the file's first timestamp
};

// The files fake graphs can render, shared by a factory and its graphs.
struct FakeMediaCatalog {
    // Media of any file not listed below; none makes such files fail to render.
    std::optional<FakeMedia> defaultMedia = FakeMedia{};
    std::map<std::string, FakeMedia> files;
    std::set<std::string> unplayable;

    std::optional<FakeMedia> find(const std::string& fileName) const;
};

// A media graph for tests. Every call is recorded in the shared log (and may be made to
// fail there); the public fields are its state, which tests read and may set directly
// without a call being recorded.
class FakeGraph : public FilgraphManager, public IClockFollower {
public:
    enum class State { Stopped, Paused, Running };

    FakeGraph(int number, std::shared_ptr<FakeCallLog> log,
              std::shared_ptr<const FakeMediaCatalog> catalog);
    ~FakeGraph() override;

    const int number;
    State state = State::Stopped;
    std::optional<FakeMedia> media;  // set by a successful RenderFile
    std::string renderedFile;
    double position = 0.0;
    // Where the graph was placed on its clock when that lies outside its file.
    std::optional<double> clockPosition;
    // Readings handed out by get_CurrentPosition before it reads `position` again.
    std::deque<double> positionReadings;
    double rate = 1.0;
    std::int32_t volume = 0;
    std::int32_t balance = 0;
    std::int32_t windowStyle = 0;
    WindowHandle owner = 0;
    WindowHandle messageDrain = 0;
    std::int32_t windowLeft = 0;
    std::int32_t windowTop = 0;
    std::int32_t windowWidth = 0;
    std::int32_t windowHeight = 0;
    std::int32_t fullScreenMode = 0;
    // What WaitForCompletion reports; when unset, kComplete once a running graph is at its
    // end, else kNone.
    std::optional<std::int32_t> completionCode;
    // The clock followed; null for a clock of its own.
    std::shared_ptr<FakePlaybackClock> clock;
    // The last timeout WaitForCompletion was given.
    std::int32_t lastWaitTimeout = -1;
    // What GetErrorText answers.
    std::string errorText;
    WindowHandle notifyWindow = 0;

    // Moves a running graph on by `seconds` of wall time at its rate, up to the end.
    void advance(double seconds);
    // Fails part-way as a real graph does on a read error: WaitForCompletion reports
    // kErrorAbort, GetErrorText `what`, and the notify window is sent a GraphNotice.
    void failPlayback(const std::string& what);
    bool hasVideo() const { return media && media->height != 0; }
    bool hasAudio() const { return media && media->hasAudio; }
    double duration() const { return media ? media->duration : 0.0; }

    std::shared_ptr<IMediaControl> QueryMediaControl() override;
    std::shared_ptr<IBasicAudio> QueryBasicAudio() override;
    std::shared_ptr<IVideoWindow> QueryVideoWindow() override;
    std::shared_ptr<IMediaEvent> QueryMediaEvent() override;
    std::shared_ptr<IMediaPosition> QueryMediaPosition() override;
    std::shared_ptr<IVideoFrameStep> QueryVideoFrameStep() override;
    std::shared_ptr<IClockFollower> QueryClockFollower() override;

    void RenderFile(const std::string& fileName) override;
    void Run() override;
    void Pause() override;
    void Stop() override;

    double get_Duration() override;
    double get_CurrentPosition() override;
    void put_CurrentPosition(double seconds) override;
    double get_Rate() override;
    void put_Rate(double rate) override;

    void put_Volume(std::int32_t volume) override;
    std::int32_t get_Volume() override;
    void put_Balance(std::int32_t balance) override;
    std::int32_t get_Balance() override;

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

    std::int32_t WaitForCompletion(std::int32_t msTimeout) override;
    std::string GetErrorText() override;
    void SetNotifyWindow(WindowHandle window) override;

    void Step(std::int32_t frames) override;

    // Records "FollowClock(n)" with the fake clock's number, "FollowClock(none)" for null;
    // a clock that is not a fake one fails.
    void FollowClock(std::shared_ptr<IPlaybackClock> clock) override;
    // Placing records "PlaceOnClock(s)" and keeps the unbounded time in `clockPosition`;
    // `position` reads it bounded by the file.
    void PlaceOnClock(double seconds) override;
    double get_StartTime() override;
    double get_ClockPosition() override;
    bool GetShownPicture(double& time, double& interval) override;

private:
    void record(const std::string& name, const std::string& args = {});
    // Throws a failure of the graph itself and marks the call being made as failed.
    [[noreturn]] void fail(std::int32_t code, const std::string& message);
    void requireVideo();
    void requireMedia();
    void requireAudio();

    std::shared_ptr<FakeCallLog> log_;
    std::shared_ptr<const FakeMediaCatalog> catalog_;
};

}  // namespace corvid
