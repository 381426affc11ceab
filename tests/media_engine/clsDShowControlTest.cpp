#include "media_engine/clsDShowControl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/graph/IMediaEvent.h"
#include "support/FakeGraphFactory.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr WindowHandle kHost = 77;

// The calls of one successful open of a file, in order.
std::vector<std::string> openCalls(const std::string& file) {
    return {"CreateFilgraphManager()",
            "QueryMediaControl()",
            "RenderFile(" + file + ")",
            "QueryBasicAudio()",
            "put_Volume(0)",
            "put_Balance(0)",
            "QueryVideoWindow()",
            "get_Width()",
            "get_Height()",
            "put_WindowStyle(268435456)",
            "put_Owner(77)",
            "put_Width(400)",
            "put_Height(300)",
            "put_Top(0)",
            "put_Left(0)",
            "put_MessageDrain(77)",
            "put_FullScreenMode(0)",
            "QueryMediaEvent()",
            "QueryMediaPosition()",
            "put_Rate(1)"};
}

class clsDShowControlTest : public ::testing::Test {
protected:
    void open(const QString& file = QStringLiteral("/media/day1-1.asf")) {
        engine.DS_OpenFile(file, 0, 0, 400, 300, kHost);
    }
    // Opens a file and forgets the calls of the open, with the graph's position and duration.
    std::shared_ptr<FakeGraph> openAt(double position, double duration) {
        factory->catalog().defaultMedia->duration = duration;
        open();
        auto graph = factory->lastGraph();
        graph->position = position;
        factory->log().clear();
        return graph;
    }
    FakeCallLog& log() { return factory->log(); }

    std::shared_ptr<FakeGraphFactory> factory = std::make_shared<FakeGraphFactory>();
    clsDShowControl engine{factory};
};

TEST_F(clsDShowControlTest, openFile_attachesVideoWindowAndRecordsSize_whenFileHasVideo) {
    open();

    EXPECT_THAT(log().calls(), ElementsAreArray(openCalls("/media/day1-1.asf")));
    EXPECT_EQ(engine.MediaFile, "/media/day1-1.asf");
    EXPECT_FALSE(engine.IsAudioOnly);
    EXPECT_EQ(engine.orgmwidth, 320);
    EXPECT_EQ(engine.orgmheight, 240);
    auto graph = factory->lastGraph();
    EXPECT_EQ(graph->owner, kHost);
    EXPECT_EQ(graph->messageDrain, kHost);
    EXPECT_EQ(graph->windowStyle, IVideoWindow::kStyleVisible);
    EXPECT_EQ(graph->windowWidth, 400);
    EXPECT_EQ(graph->windowHeight, 300);
}

struct OpenFault {
    const char* call;
    std::int32_t width;  // the size recorded afterwards; a height of 0 means audio-only
    std::int32_t height;
    std::vector<std::string> skipped;  // calls never made because a reference is missing
};

class clsDShowControlOpenFaultTest : public clsDShowControlTest,
                                     public ::testing::WithParamInterface<OpenFault> {};

TEST_P(clsDShowControlOpenFaultTest, openFile_attemptsEveryStep_whenOneStepFails) {
    const OpenFault& fault = GetParam();
    log().failOn(fault.call);

    open();

    std::vector<std::string> expected;
    for (const std::string& call : openCalls("/media/day1-1.asf")) {
        if (std::find(fault.skipped.begin(), fault.skipped.end(), call) == fault.skipped.end()) {
            expected.push_back(call);
        }
    }
    EXPECT_THAT(log().calls(), ElementsAreArray(expected));
    EXPECT_EQ(engine.MediaFile, "/media/day1-1.asf");
    EXPECT_EQ(engine.IsAudioOnly, fault.height == 0);
    EXPECT_EQ(engine.orgmwidth, fault.width);
    EXPECT_EQ(engine.orgmheight, fault.height);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, clsDShowControlOpenFaultTest,
    ::testing::Values(OpenFault{"QueryMediaControl", 0, 0, {"RenderFile(/media/day1-1.asf)"}},
                      OpenFault{"RenderFile", 0, 0, {}},
                      OpenFault{"QueryBasicAudio", 320, 240, {"put_Volume(0)", "put_Balance(0)"}},
                      OpenFault{"put_Volume", 320, 240, {}}, OpenFault{"put_Balance", 320, 240, {}},
                      OpenFault{"QueryVideoWindow",
                                0,
                                0,
                                {"get_Width()", "get_Height()", "put_WindowStyle(268435456)",
                                 "put_Owner(77)", "put_Width(400)", "put_Height(300)", "put_Top(0)",
                                 "put_Left(0)", "put_MessageDrain(77)", "put_FullScreenMode(0)"}},
                      // The height read afterwards still decides.
                      OpenFault{"get_Width", 0, 240, {}}, OpenFault{"get_Height", 0, 0, {}},
                      OpenFault{"put_WindowStyle", 0, 0, {}}, OpenFault{"put_Owner", 0, 0, {}},
                      OpenFault{"put_Width", 0, 0, {}}, OpenFault{"put_Height", 0, 0, {}},
                      OpenFault{"put_Top", 0, 0, {}}, OpenFault{"put_Left", 0, 0, {}},
                      OpenFault{"put_MessageDrain", 0, 0, {}},
                      OpenFault{"put_FullScreenMode", 0, 0, {}},
                      OpenFault{"QueryMediaEvent", 0, 0, {}},
                      OpenFault{"QueryMediaPosition", 0, 0, {"put_Rate(1)"}},
                      OpenFault{"put_Rate", 0, 0, {}}),
    [](const auto& info) { return std::string(info.param.call); });

TEST_F(clsDShowControlTest, openFile_leavesEngineWithoutGraph_whenNoGraphCanBeCreated) {
    log().failOn("CreateFilgraphManager");

    open();

    EXPECT_THAT(log().calls(), ElementsAre("CreateFilgraphManager()"));
    EXPECT_EQ(engine.MediaFile, "/media/day1-1.asf");
    EXPECT_TRUE(engine.IsAudioOnly);
    EXPECT_EQ(engine.orgmwidth, 0);
    EXPECT_EQ(engine.orgmheight, 0);
    EXPECT_EQ(engine.DS_GetDuration(), 0.0);
    EXPECT_FALSE(engine.DS_StillPlaying(10));
}

TEST_F(clsDShowControlTest, openFile_keepsGraphForQueries_whenFileCannotBeRendered) {
    factory->catalog().unplayable.insert("/media/missing.asf");

    open(QStringLiteral("/media/missing.asf"));

    EXPECT_TRUE(engine.IsAudioOnly);
    EXPECT_EQ(engine.orgmwidth, 0);
    EXPECT_EQ(engine.MediaFile, "/media/missing.asf");
    log().clear();
    EXPECT_EQ(engine.DS_GetDuration(), 0.0);
    EXPECT_EQ(engine.DS_GetVolume(), 0);  // no audio: the failing read gives 0
    EXPECT_THAT(log().calls(), ElementsAre("get_Duration()", "get_Volume()"));
}

TEST_F(clsDShowControlTest, openFile_marksAudioOnlyAndKeepsAudioWorking_whenFileHasNoVideo) {
    for (bool sizeReadsZero : {false, true}) {
        factory->catalog().defaultMedia =
            FakeMedia{.width = 0, .height = 0, .sizeReadsZero = sizeReadsZero};
        open(QStringLiteral("/media/song.wma"));

        EXPECT_TRUE(engine.IsAudioOnly);
        EXPECT_EQ(engine.orgmwidth, 0);
        EXPECT_EQ(engine.orgmheight, 0);
        engine.DS_SetVolume(50);
        engine.DS_SetBalance(-300);
        EXPECT_EQ(engine.DS_GetVolume(), 50);
        EXPECT_EQ(engine.DS_GetBalance(), -300);
        engine.DS_SetPosition(4);
        EXPECT_EQ(engine.DS_GetPosition(), 4.0);
    }
}

TEST_F(clsDShowControlTest, newEngine_neutralResultsAndOnlyPlayingFlagChanges) {
    engine.DS_Remove();
    engine.DS_Play();
    EXPECT_TRUE(engine.DS_Playing);
    engine.DS_Pause();
    EXPECT_FALSE(engine.DS_Playing);
    engine.DS_Play();
    engine.DS_Stop();
    EXPECT_FALSE(engine.DS_Playing);
    engine.DS_Seek(5);
    engine.DS_SetPosition(3);
    engine.DS_SetVolume(50);
    engine.DS_SetBalance(100);
    engine.DS_CorrectAspect(400, 300);
    engine.DS_StretchMovie(400, 300);
    engine.DS_FullScreenMovie();
    engine.DS_UpdateMovie();
    EXPECT_EQ(engine.DS_GetRate(), 0.0);
    EXPECT_EQ(engine.DS_GetDuration(), 0.0);
    EXPECT_EQ(engine.DS_GetPosition(), 0.0);
    EXPECT_EQ(engine.DS_GetVolume(), 0);
    EXPECT_EQ(engine.DS_GetBalance(), 0);
    EXPECT_FALSE(engine.DS_StillPlaying(10));
    EXPECT_THAT(log().calls(), IsEmpty());
    EXPECT_TRUE(engine.MediaFile.isEmpty());
    EXPECT_FALSE(engine.IsAudioOnly);
}

TEST_F(clsDShowControlTest, remove_stopsAndReleasesAllButTheEventReference) {
    open();
    engine.DS_Play();
    log().clear();

    engine.DS_Remove();

    EXPECT_THAT(log().calls(), ElementsAre("Stop()"));
    ASSERT_EQ(factory->alive(), 1);  // the event reference keeps the stopped graph
    EXPECT_EQ(engine.DS_GetDuration(), 0.0);
    EXPECT_EQ(engine.DS_GetVolume(), 0);
    EXPECT_TRUE(engine.DS_StillPlaying(10));
    EXPECT_THAT(log().calls(), ElementsAre("Stop()", "WaitForCompletion(10)"));
    EXPECT_EQ(engine.MediaFile, "/media/day1-1.asf");
    EXPECT_EQ(engine.orgmwidth, 320);
    EXPECT_TRUE(engine.DS_Playing);
}

TEST_F(clsDShowControlTest, remove_keepsEveryReference_whenStopFails) {
    open();
    log().failOn("Stop");

    engine.DS_Remove();
    EXPECT_EQ(engine.DS_GetDuration(), 10.0);
    engine.DS_SetVolume(30);
    EXPECT_EQ(factory->lastGraph()->volume, -7000);
}

TEST_F(clsDShowControlTest, destroyingEngine_releasesGraphAtOnce) {
    {
        clsDShowControl other(factory);
        other.DS_OpenFile(QStringLiteral("a.asf"), 0, 0, 10, 10, kHost);
        other.DS_Remove();
        EXPECT_EQ(factory->alive(), 1);
    }
    EXPECT_EQ(factory->alive(), 0);
    EXPECT_EQ(factory->destroyed(), 1);
}

TEST_F(clsDShowControlTest, secondOpen_stopsFirstGraphAndStartsNeutral) {
    open();
    engine.DS_SetVolume(20);
    engine.DS_SetBalance(5000);
    factory->lastGraph()->rate = 2.0;
    engine.DS_Play();
    log().clear();

    open(QStringLiteral("/media/day2-1.asf"));

    const auto calls = log().calls();
    EXPECT_EQ(calls.front(), "Stop()");
    EXPECT_EQ(log().entries().front().graph, 1);
    // The first graph lives on through its event reference until the new one replaces it.
    EXPECT_LT(log().indexOf("put_FullScreenMode(0)"), log().indexOf("Destroyed()"));
    EXPECT_EQ(factory->alive(), 1);
    EXPECT_EQ(engine.DS_GetVolume(), 100);
    EXPECT_EQ(engine.DS_GetBalance(), 0);
    EXPECT_EQ(engine.DS_GetRate(), 1.0);
    EXPECT_TRUE(engine.DS_Playing);
}

TEST_F(clsDShowControlTest, secondOpen_neverUsesPreviousGraph_whenItCannotBeStopped) {
    open();
    log().failOn("Stop");

    open(QStringLiteral("/media/day2-1.asf"));
    EXPECT_EQ(factory->alive(), 1);
    EXPECT_EQ(factory->lastGraph()->number, 2);
    EXPECT_EQ(engine.orgmwidth, 320);

    // With no new graph either, nothing of the old one may stay in use.
    log().failOn("CreateFilgraphManager");
    open(QStringLiteral("/media/day3-1.asf"));
    EXPECT_EQ(factory->alive(), 0);
    EXPECT_EQ(log().count("RenderFile"), 2);
    EXPECT_EQ(engine.DS_GetDuration(), 0.0);
}

TEST_F(clsDShowControlTest, playingFlag_keepsValueAcrossOpenAndRemove) {
    for (bool playing : {true, false}) {
        playing ? engine.DS_Play() : engine.DS_Pause();
        open();
        EXPECT_EQ(engine.DS_Playing, playing);
        engine.DS_Remove();
        EXPECT_EQ(engine.DS_Playing, playing);
    }
}

struct PlayAtEnd {
    double position;
    double duration;
    bool restarts;
};

class clsDShowControlPlayTest : public clsDShowControlTest,
                                public ::testing::WithParamInterface<PlayAtEnd> {};

TEST_P(clsDShowControlPlayTest, play_restartsOnlyWhenRoundedPositionIsRoundedDuration) {
    const PlayAtEnd& play = GetParam();
    auto graph = openAt(play.position, play.duration);

    engine.DS_Play();

    EXPECT_EQ(graph->state, FakeGraph::State::Running);
    EXPECT_EQ(graph->position, play.restarts ? 0.0 : play.position);
    EXPECT_TRUE(engine.DS_Playing);
}

INSTANTIATE_TEST_SUITE_P(EndOfMedia, clsDShowControlPlayTest,
                         ::testing::Values(PlayAtEnd{9.6, 10.4, true}, PlayAtEnd{11.4, 11.5, false},
                                           PlayAtEnd{10.5, 10.5, true},
                                           PlayAtEnd{0.0, 10.0, false}));

TEST_F(clsDShowControlTest, transport_passesFailureOnAndKeepsPlayingFlag) {
    struct Operation {
        const char* failingCall;
        std::function<void()> run;
        bool playingOnSuccess;
    };
    const std::vector<Operation> operations = {
        {"get_CurrentPosition", [&] { engine.DS_Play(); }, true},
        {"Run", [&] { engine.DS_Play(); }, true},
        {"Pause", [&] { engine.DS_Pause(); }, false},
        {"Stop", [&] { engine.DS_Stop(); }, false},
        {"put_CurrentPosition", [&] { engine.DS_Stop(); }, false},
    };
    openAt(2.0, 10.0);
    for (const Operation& operation : operations) {
        SCOPED_TRACE(operation.failingCall);
        engine.DS_Playing = !operation.playingOnSuccess;
        log().failOn(operation.failingCall, 1);
        EXPECT_THROW(operation.run(), Failure);
        EXPECT_EQ(engine.DS_Playing, !operation.playingOnSuccess);
    }
    for (const char* call : {"get_Duration", "get_Rate", "put_CurrentPosition"}) {
        log().failOn(call, 1);
    }
    EXPECT_THROW(engine.DS_GetDuration(), Failure);
    EXPECT_THROW(engine.DS_GetRate(), Failure);
    EXPECT_THROW(engine.DS_Seek(1.0), Failure);
}

TEST_F(clsDShowControlTest, stop_stopsThenRewindsSoPlayStartsFromBeginning) {
    auto graph = openAt(6.0, 10.0);
    engine.DS_Play();

    engine.DS_Stop();

    EXPECT_THAT(log().callsNamed({"Stop", "put_CurrentPosition"}),
                ElementsAre("Stop()", "put_CurrentPosition(0)"));
    EXPECT_EQ(graph->position, 0.0);
    EXPECT_FALSE(engine.DS_Playing);
}

TEST_F(clsDShowControlTest, seek_clampsToMedia) {
    auto graph = openAt(3.0, 10.0);
    engine.DS_Seek(-5);
    EXPECT_EQ(graph->position, 0.0);
    EXPECT_EQ(log().count("get_Duration"), 0);

    graph->position = 8.0;
    engine.DS_Seek(5);
    EXPECT_EQ(graph->position, 10.0);

    graph->position = 4.25;
    engine.DS_Seek(0);
    EXPECT_EQ(graph->position, 4.25);

    graph->position = 4.0;
    engine.DS_Seek(-1.5);
    EXPECT_EQ(graph->position, 2.5);
}

TEST_F(clsDShowControlTest, seek_movesFromFreshPosition_whenGraphRunsMeanwhile) {
    auto graph = openAt(0.0, 10.0);
    // Only the second reading puts the target past the end.
    graph->positionReadings = {3.0, 6.0};
    engine.DS_Seek(5);
    EXPECT_EQ(graph->position, 10.0);

    // The target is taken from the third reading.
    graph->positionReadings = {3.0, 3.5, 4.0};
    engine.DS_Seek(5);
    EXPECT_EQ(graph->position, 9.0);
}

TEST_F(clsDShowControlTest, setPosition_clampsToMedia) {
    auto graph = openAt(5.0, 10.0);
    engine.DS_SetPosition(-1);
    EXPECT_EQ(graph->position, 0.0);
    engine.DS_SetPosition(12.5);
    EXPECT_EQ(graph->position, 10.0);
    engine.DS_SetPosition(7.25);
    EXPECT_EQ(graph->position, 7.25);
}

TEST_F(clsDShowControlTest, positionMoves_rejectNotANumber) {
    auto graph = openAt(5.0, 10.0);
    EXPECT_THROW(engine.DS_SetPosition(std::nan("")), Failure);
    EXPECT_THROW(engine.DS_Seek(std::nan("")), Failure);
    EXPECT_EQ(log().count("put_CurrentPosition"), 0);
    EXPECT_EQ(graph->position, 5.0);
}

TEST_F(clsDShowControlTest, volume_clampsAndConvertsWithHalvesToEven) {
    auto graph = openAt(0.0, 10.0);
    engine.DS_SetVolume(150);
    EXPECT_EQ(graph->volume, 0);
    EXPECT_EQ(engine.DS_GetVolume(), 100);
    engine.DS_SetVolume(-20);
    EXPECT_EQ(graph->volume, -10000);
    EXPECT_EQ(engine.DS_GetVolume(), 0);
    engine.DS_SetVolume(50);
    EXPECT_EQ(graph->volume, -5000);

    graph->volume = -50;
    EXPECT_EQ(engine.DS_GetVolume(), 100);
    graph->volume = -150;
    EXPECT_EQ(engine.DS_GetVolume(), 98);
}

TEST_F(clsDShowControlTest, balance_clampsToPlatformRange) {
    auto graph = openAt(0.0, 10.0);
    engine.DS_SetBalance(12000);
    EXPECT_EQ(graph->balance, 10000);
    engine.DS_SetBalance(-12000);
    EXPECT_EQ(graph->balance, -10000);
    engine.DS_SetBalance(-2500);
    EXPECT_EQ(engine.DS_GetBalance(), -2500);
}

TEST_F(clsDShowControlTest, audio_swallowsFailuresWithNeutralResult) {
    auto graph = openAt(0.0, 10.0);
    graph->volume = -2000;
    graph->balance = 300;
    for (const char* call : {"get_Volume", "get_Balance", "put_Volume", "put_Balance"}) {
        log().failOn(call);
    }
    EXPECT_EQ(engine.DS_GetVolume(), 0);
    EXPECT_EQ(engine.DS_GetBalance(), 0);
    EXPECT_NO_THROW(engine.DS_SetVolume(10));
    EXPECT_NO_THROW(engine.DS_SetBalance(10));
    EXPECT_EQ(graph->volume, -2000);
}

TEST_F(clsDShowControlTest, stillPlaying_trueOnlyWhileNoEventCame) {
    auto graph = openAt(0.0, 10.0);
    EXPECT_TRUE(engine.DS_StillPlaying(250));
    EXPECT_EQ(graph->lastWaitTimeout, 250);
    for (std::int32_t code :
         {IMediaEvent::kComplete, IMediaEvent::kUserAbort, IMediaEvent::kErrorAbort}) {
        graph->completionCode = code;
        EXPECT_FALSE(engine.DS_StillPlaying(0));
    }
    log().failOn("WaitForCompletion");
    EXPECT_TRUE(engine.DS_StillPlaying(0));
}

struct AspectCase {
    std::int32_t videoWidth;
    std::int32_t videoHeight;
    std::int16_t targetWidth;
    std::int16_t targetHeight;
    std::string placement;
};

class clsDShowControlAspectTest : public clsDShowControlTest,
                                  public ::testing::WithParamInterface<AspectCase> {};

TEST_P(clsDShowControlAspectTest, correctAspect_fitsAndCentresWithHalvesToEven) {
    const AspectCase& aspect = GetParam();
    factory->catalog().defaultMedia =
        FakeMedia{.width = aspect.videoWidth, .height = aspect.videoHeight};
    open();
    log().clear();

    engine.DS_CorrectAspect(aspect.targetWidth, aspect.targetHeight);

    EXPECT_THAT(log().calls(), ElementsAre("SetWindowPosition(" + aspect.placement + ")"));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, clsDShowControlAspectTest,
    ::testing::Values(AspectCase{320, 240, 400, 400, "0, 50, 400, 300"},
                      AspectCase{320, 240, 400, 200, "66, 0, 267, 200"},
                      AspectCase{352, 288, 352, 288, "0, 0, 352, 288"},
                      // w = 33 equals the width: the height bound still holds (not 99).
                      AspectCase{100, 300, 33, 100, "0, 0, 33, 100"},
                      AspectCase{100, 100, 105, 100, "2, 0, 100, 100"},
                      AspectCase{100, 100, 107, 100, "4, 0, 100, 100"},
                      AspectCase{100, 100, 100, 105, "0, 2, 100, 100"},
                      AspectCase{100, 100, 100, 107, "0, 4, 100, 100"},
                      // 30000 x 100000 does not fit 32 bits: the width step is skipped.
                      AspectCase{100000, 1, 400, 30000, "200, 0, 0, 30000"}));

TEST_F(clsDShowControlTest, geometry_changesNothing_whenFileHasNoVideo) {
    factory->catalog().defaultMedia = FakeMedia{.width = 0, .height = 0};
    open(QStringLiteral("/media/song.wma"));
    log().clear();

    EXPECT_NO_THROW(engine.DS_CorrectAspect(400, 300));
    EXPECT_NO_THROW(engine.DS_StretchMovie(400, 300));
    EXPECT_NO_THROW(engine.DS_FullScreenMovie());

    EXPECT_THAT(log().calls(),
                ElementsAre("SetWindowPosition(200, 0, 0, 300)",
                            "SetWindowPosition(0, 0, 400, 300)", "put_FullScreenMode(-1)"));
    EXPECT_THAT(log().failedCalls(), ElementsAreArray(log().calls()));
}

TEST_F(clsDShowControlTest, stretchAndFullScreen_placeVideoWindow) {
    factory->catalog().defaultMedia = FakeMedia{.width = 352, .height = 288};
    open();
    auto graph = factory->lastGraph();

    engine.DS_StretchMovie(400, 300);
    std::int32_t left, top, width, height;
    graph->GetWindowPosition(left, top, width, height);
    EXPECT_EQ((std::vector<std::int32_t>{left, top, width, height}),
              (std::vector<std::int32_t>{0, 0, 400, 300}));

    engine.DS_FullScreenMovie();
    EXPECT_EQ(graph->fullScreenMode, -1);
}

TEST(clsDShowControlTimeTest, secToTime_formatsWholeSecondsAndCaps) {
    const std::vector<std::pair<double, const char*>> cases = {
        {0, "00:00:00"},
        {0.999, "00:00:00"},
        {-0.5, "00:00:00"},
        {-4000, "00:00:00"},
        {std::nan(""), "00:00:00"},
        {-std::numeric_limits<double>::infinity(), "00:00:00"},
        {1, "00:00:01"},
        {59.9, "00:00:59"},
        {3599.999, "00:59:59"},
        {3600, "01:00:00"},
        {3725, "01:02:05"},
        {86399, "23:59:59"},
        {86400, "24:00:00"},
        {86707, "24:05:07"},
        {89999.9, "24:59:59"},
        {90000, "24:59:59"},
        {1e300, "24:59:59"},
        {std::numeric_limits<double>::infinity(), "24:59:59"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(clsDShowControl::SecToTime(seconds), QString::fromLatin1(text)) << seconds;
    }
}

TEST_F(clsDShowControlTest, setRate_clampsToReviewRange_andPassesFailureOn) {
    engine.DS_SetRate(4.0);  // no graph yet
    EXPECT_THAT(log().calls(), IsEmpty());

    auto graph = openAt(2.0, 10.0);
    for (const auto& [asked, set] : std::vector<std::pair<double, double>>{
             {4.0, 4.0}, {0.5, 0.5}, {100.0, 16.0}, {0.01, 0.125}, {0.0, 0.125}, {-2.0, 0.125}}) {
        engine.DS_SetRate(asked);
        EXPECT_EQ(graph->rate, set) << asked;
    }
    EXPECT_THROW(engine.DS_SetRate(std::nan("")), Failure);
    log().failOn("put_Rate", 1);
    EXPECT_THROW(engine.DS_SetRate(2.0), Failure);
    EXPECT_EQ(graph->rate, 0.125);

    // A new open starts at normal speed again.
    open();
    EXPECT_EQ(factory->lastGraph()->rate, 1.0);
}

TEST_F(clsDShowControlTest, stepFrame_stepsTheOpenGraph_andLeavesItPaused) {
    engine.DS_StepFrame(1);  // no graph yet
    EXPECT_THAT(log().calls(), IsEmpty());

    auto graph = openAt(2.0, 10.0);
    engine.DS_Play();
    log().clear();
    engine.DS_StepFrame(5);
    EXPECT_THAT(log().calls(), ElementsAre("QueryVideoFrameStep()", "Step(5)"));
    EXPECT_EQ(graph->state, FakeGraph::State::Paused);
    EXPECT_FALSE(engine.DS_Playing);
    EXPECT_DOUBLE_EQ(graph->position, 2.2);
    engine.DS_StepFrame(-1);
    EXPECT_DOUBLE_EQ(graph->position, 2.16);

    log().clear();
    engine.DS_StepFrame(0);
    EXPECT_THAT(log().calls(), IsEmpty());

    // A graph without pictures refuses, and the caller hears of it.
    factory->catalog().defaultMedia->height = 0;
    open();
    engine.DS_Play();
    EXPECT_THROW(engine.DS_StepFrame(1), Failure);
    EXPECT_TRUE(engine.DS_Playing);

    // Once the graph is torn down, stepping reaches nothing, also while the stopped graph
    // lives on through its event reference.
    engine.DS_Remove();
    log().clear();
    engine.DS_StepFrame(1);
    EXPECT_THAT(log().calls(), IsEmpty());
}

TEST_F(clsDShowControlTest, stepFrame_neverReachesPreviousGraph_whenNewGraphCannotBeMade) {
    open();
    log().failOn("CreateFilgraphManager");
    open();
    log().clear();
    engine.DS_StepFrame(1);
    engine.DS_SetRate(2.0);
    EXPECT_THAT(log().calls(), IsEmpty());
}

}  // namespace
}  // namespace corvid
