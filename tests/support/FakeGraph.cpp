#include "support/FakeGraph.h"

#include <QCoreApplication>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "platform/graph/GraphNotice.h"
#include "platform/widgets/WindowHandles.h"
#include "util/Failure.h"

namespace corvid {

namespace {

std::string args(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    return FakeCallLog::arg(a) + ", " + FakeCallLog::arg(b) + ", " + FakeCallLog::arg(c) + ", " +
           FakeCallLog::arg(d);
}

}  // namespace

std::optional<FakeMedia> FakeMediaCatalog::find(const std::string& fileName) const {
    if (unplayable.count(fileName) != 0) return std::nullopt;
    const auto listed = files.find(fileName);
    if (listed != files.end()) return listed->second;
    return defaultMedia;
}

FakeGraph::FakeGraph(int number, std::shared_ptr<FakeCallLog> log,
                     std::shared_ptr<const FakeMediaCatalog> catalog)
    : number(number), log_(std::move(log)), catalog_(std::move(catalog)) {}

FakeGraph::~FakeGraph() {
    // Recording a destruction never fails, whatever faults are armed.
    try {
        log_->record(number, "Destroyed");
    } catch (const Failure&) {
    }
}

void FakeGraph::record(const std::string& name, const std::string& args) {
    log_->record(number, name, args);
}

void FakeGraph::fail(std::int32_t code, const std::string& message) {
    log_->markLastFailed();
    throw Failure(code, message);
}

void FakeGraph::requireVideo() {
    if (!hasVideo()) fail(Failure::NoVideo, "The graph has no video");
}

void FakeGraph::requireMedia() {
    if (!media) fail(Failure::NotReady, "No media file has been rendered");
}

void FakeGraph::requireAudio() {
    if (!hasAudio()) fail(Failure::NotImplemented, "The graph has no audio");
}

void FakeGraph::advance(double seconds) {
    if (state != State::Running) return;
    if (clockPosition) {
        *clockPosition += seconds * rate;
        position = std::clamp(*clockPosition, 0.0, duration());
        return;
    }
    position = std::min(duration(), position + seconds * rate);
}

std::shared_ptr<IMediaControl> FakeGraph::QueryMediaControl() {
    record("QueryMediaControl");
    return FilgraphManager::QueryMediaControl();
}

std::shared_ptr<IBasicAudio> FakeGraph::QueryBasicAudio() {
    record("QueryBasicAudio");
    return FilgraphManager::QueryBasicAudio();
}

std::shared_ptr<IVideoWindow> FakeGraph::QueryVideoWindow() {
    record("QueryVideoWindow");
    return FilgraphManager::QueryVideoWindow();
}

std::shared_ptr<IMediaEvent> FakeGraph::QueryMediaEvent() {
    record("QueryMediaEvent");
    return FilgraphManager::QueryMediaEvent();
}

std::shared_ptr<IMediaPosition> FakeGraph::QueryMediaPosition() {
    record("QueryMediaPosition");
    return FilgraphManager::QueryMediaPosition();
}

std::shared_ptr<IClockFollower> FakeGraph::QueryClockFollower() {
    record("QueryClockFollower");
    return std::shared_ptr<IClockFollower>(shared_from_this(), static_cast<IClockFollower*>(this));
}

void FakeGraph::FollowClock(std::shared_ptr<IPlaybackClock> followed) {
    auto fake = std::dynamic_pointer_cast<FakePlaybackClock>(followed);
    record("FollowClock", fake ? FakeCallLog::arg(fake->number) : std::string("none"));
    if (followed && !fake) fail(Failure::InvalidArgument, "Not a clock of fake graphs");
    clock = std::move(fake);
}

void FakeGraph::PlaceOnClock(double seconds) {
    record("PlaceOnClock", FakeCallLog::arg(seconds));
    requireMedia();
    position = std::clamp(seconds, 0.0, duration());
    clockPosition = seconds;
}

double FakeGraph::get_StartTime() {
    record("get_StartTime");
    requireMedia();
    return media->startTime;
}

double FakeGraph::get_ClockPosition() {
    requireMedia();
    return clockPosition.value_or(position);
}

bool FakeGraph::GetShownPicture(double& time, double& interval) {
    requireMedia();
    time = position;
    interval = 1.0 / media->frameRate;
    return true;
}

std::shared_ptr<IVideoFrameStep> FakeGraph::QueryVideoFrameStep() {
    record("QueryVideoFrameStep");
    return FilgraphManager::QueryVideoFrameStep();
}

void FakeGraph::RenderFile(const std::string& fileName) {
    record("RenderFile", fileName);
    if (media) fail(Failure::NotReady, "The graph already holds a file");
    media = catalog_->find(fileName);
    if (!media) fail(Failure::CannotOpen, "Cannot render " + fileName);
    renderedFile = fileName;
    if (hasVideo()) {
        windowWidth = media->width;
        windowHeight = media->height;
    }
}

void FakeGraph::Run() {
    record("Run");
    state = State::Running;
}

void FakeGraph::Pause() {
    record("Pause");
    state = State::Paused;
}

void FakeGraph::Stop() {
    record("Stop");
    state = State::Stopped;
    position = 0.0;
}

double FakeGraph::get_Duration() {
    record("get_Duration");
    return duration();
}

double FakeGraph::get_CurrentPosition() {
    record("get_CurrentPosition");
    if (positionReadings.empty()) return position;
    const double reading = positionReadings.front();
    positionReadings.pop_front();
    return reading;
}

void FakeGraph::put_CurrentPosition(double seconds) {
    record("put_CurrentPosition", FakeCallLog::arg(seconds));
    position = seconds;
    clockPosition.reset();
}

double FakeGraph::get_Rate() {
    record("get_Rate");
    return rate;
}

void FakeGraph::put_Rate(double newRate) {
    record("put_Rate", FakeCallLog::arg(newRate));
    if (!(newRate > 0.0)) fail(Failure::InvalidArgument, "Rate must be positive");
    rate = newRate;
}

void FakeGraph::put_Volume(std::int32_t newVolume) {
    record("put_Volume", FakeCallLog::arg(newVolume));
    requireAudio();
    if (newVolume < -10000 || newVolume > 0) {
        fail(Failure::InvalidArgument, "Volume out of range");
    }
    volume = newVolume;
}

std::int32_t FakeGraph::get_Volume() {
    record("get_Volume");
    requireAudio();
    return volume;
}

void FakeGraph::put_Balance(std::int32_t newBalance) {
    record("put_Balance", FakeCallLog::arg(newBalance));
    requireAudio();
    if (newBalance < -10000 || newBalance > 10000) {
        fail(Failure::InvalidArgument, "Balance out of range");
    }
    balance = newBalance;
}

std::int32_t FakeGraph::get_Balance() {
    record("get_Balance");
    requireAudio();
    return balance;
}

std::int32_t FakeGraph::get_Width() {
    record("get_Width");
    if (media && media->height == 0 && media->sizeReadsZero) return 0;
    requireVideo();
    return media->width;
}

std::int32_t FakeGraph::get_Height() {
    record("get_Height");
    if (media && media->height == 0 && media->sizeReadsZero) return 0;
    requireVideo();
    return media->height;
}

void FakeGraph::put_WindowStyle(std::int32_t style) {
    record("put_WindowStyle", FakeCallLog::arg(style));
    requireVideo();
    windowStyle = style;
}

void FakeGraph::put_Owner(WindowHandle newOwner) {
    record("put_Owner", FakeCallLog::arg(newOwner));
    requireVideo();
    owner = newOwner;
}

void FakeGraph::put_Width(std::int32_t width) {
    record("put_Width", FakeCallLog::arg(width));
    requireVideo();
    windowWidth = width;
}

void FakeGraph::put_Height(std::int32_t height) {
    record("put_Height", FakeCallLog::arg(height));
    requireVideo();
    windowHeight = height;
}

void FakeGraph::put_Top(std::int32_t top) {
    record("put_Top", FakeCallLog::arg(top));
    requireVideo();
    windowTop = top;
}

void FakeGraph::put_Left(std::int32_t left) {
    record("put_Left", FakeCallLog::arg(left));
    requireVideo();
    windowLeft = left;
}

void FakeGraph::put_MessageDrain(WindowHandle drain) {
    record("put_MessageDrain", FakeCallLog::arg(drain));
    requireVideo();
    messageDrain = drain;
}

void FakeGraph::put_FullScreenMode(std::int32_t mode) {
    record("put_FullScreenMode", FakeCallLog::arg(mode));
    requireVideo();
    fullScreenMode = mode;
}

std::int32_t FakeGraph::get_FullScreenMode() {
    record("get_FullScreenMode");
    requireVideo();
    return fullScreenMode;
}

void FakeGraph::SetWindowPosition(std::int32_t left, std::int32_t top, std::int32_t width,
                                  std::int32_t height) {
    record("SetWindowPosition", args(left, top, width, height));
    requireVideo();
    windowLeft = left;
    windowTop = top;
    windowWidth = width;
    windowHeight = height;
}

void FakeGraph::GetWindowPosition(std::int32_t& left, std::int32_t& top, std::int32_t& width,
                                  std::int32_t& height) {
    record("GetWindowPosition");
    requireVideo();
    left = windowLeft;
    top = windowTop;
    width = windowWidth;
    height = windowHeight;
}

std::int32_t FakeGraph::WaitForCompletion(std::int32_t msTimeout) {
    record("WaitForCompletion", FakeCallLog::arg(msTimeout));
    lastWaitTimeout = msTimeout;
    if (completionCode) return *completionCode;
    const bool atEnd = media && state == State::Running && position >= duration();
    return atEnd ? kComplete : kNone;
}

std::string FakeGraph::GetErrorText() {
    record("GetErrorText");
    return errorText;
}

void FakeGraph::SetNotifyWindow(WindowHandle window) {
    record("SetNotifyWindow", FakeCallLog::arg(window));
    notifyWindow = window;
}

void FakeGraph::failPlayback(const std::string& what) {
    completionCode = kErrorAbort;
    errorText = what;
    if (QWidget* window = WindowHandles::widgetOf(notifyWindow))
        QCoreApplication::postEvent(window, new GraphNotice);
}

void FakeGraph::Step(std::int32_t frames) {
    record("Step", FakeCallLog::arg(frames));
    requireVideo();
    state = State::Paused;
    position = std::clamp(position + frames / media->frameRate, 0.0, duration());
}

}  // namespace corvid
