#include "player/ClipExporter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QWidget>
#include <cmath>
#include <fstream>
#include <optional>

#include "platform/graph/FfmpegGraph.h"
#include "platform/graph/IVideoWindow.h"
#include "platform/widgets/WindowHandles.h"
#include "player/AsfHeaderReader.h"
#include "player/AvHandles.h"
#include "player/LocalFileStorage.h"
#include "player/MediaSource.h"
#include "support/CapturingAudioOutput.h"
#include "support/Eventually.h"
#include "support/ManualClock.h"
#include "support/PictureReader.h"
#include "support/SmallFileSystem.h"
#include "support/TestMedia.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using test::MediaRecipe;
using test::PictureReader;
using test::TestMedia;

struct Packet {
    AVMediaType type;
    double time;  // seconds from the container's start
    bool key;
    std::string data;
};

// Every video and audio packet of a file, in file order, read by libavformat.
std::vector<Packet> packetsOf(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return {};
    FormatContextHandle format(raw);
    avformat_find_stream_info(raw, nullptr);
    const double start =
        raw->start_time != AV_NOPTS_VALUE ? raw->start_time / double(AV_TIME_BASE) : 0;
    std::vector<Packet> packets;
    PacketHandle packet = makePacket();
    while (av_read_frame(raw, packet.get()) >= 0) {
        const AVStream* stream = raw->streams[packet->stream_index];
        const std::int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        packets.push_back({stream->codecpar->codec_type, ts * av_q2d(stream->time_base) - start,
                           (packet->flags & AV_PKT_FLAG_KEY) != 0,
                           std::string(reinterpret_cast<const char*>(packet->data), packet->size)});
        av_packet_unref(packet.get());
    }
    return packets;
}

std::vector<Packet> ofType(const std::vector<Packet>& packets, AVMediaType type) {
    std::vector<Packet> kept;
    for (const Packet& p : packets)
        if (p.type == type) kept.push_back(p);
    return kept;
}

// The source's packets a clip of [start, end] must hold, in order: the video from the
// key frame at or before start, the sound from that key frame's time, both up to end.
std::vector<Packet> expectedClip(const std::vector<Packet>& source, AVMediaType type,
                                 double keyTime, double end) {
    std::vector<Packet> kept;
    for (const Packet& p : ofType(source, type))
        if (p.time >= keyTime - 1e-6 && p.time <= end + 1e-6) kept.push_back(p);
    return kept;
}

// The key frame at or before t; the first key frame when there is none before t.
double keyFrameAtOrBefore(const std::vector<Packet>& source, double t) {
    std::optional<double> key;
    for (const Packet& p : ofType(source, AVMEDIA_TYPE_VIDEO))
        if (p.key && (!key || p.time <= t + 1e-6)) key = p.time;
    return key.value_or(-1);
}

void expectSamePackets(const std::vector<Packet>& clip, const std::vector<Packet>& expected,
                       const char* what) {
    ASSERT_EQ(clip.size(), expected.size()) << what;
    for (std::size_t i = 0; i < clip.size(); ++i) {
        EXPECT_EQ(clip[i].data, expected[i].data) << what << " packet " << i;
        EXPECT_EQ(clip[i].key, expected[i].key) << what << " packet " << i;
    }
}

class ClipExporterTest : public ::testing::Test {
protected:
    // 10 s, a key frame every second, frame-numbered pictures and a tone.
    static std::string source() {
        MediaRecipe recipe;
        recipe.seconds = 10;
        recipe.gop = 25;
        recipe.creationTime = "2022-02-03T04:05:06.700Z";
        return TestMedia::make(recipe);
    }

    std::string target(const std::string& name = "clip-1.asf") const {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }

    QStringList leftInDir() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
};

TEST_F(ClipExporterTest, write_copiesEveryPacketByteForByte_fromTheKeyFrameAtOrBeforeTheStart) {
    const auto original = packetsOf(source());
    for (const auto& [start, end] :
         {std::pair{3.3, 6.5}, std::pair{5.0, 5.5}, std::pair{0.0, 2.02}}) {
        SCOPED_TRACE(testing::Message() << start << ".." << end);
        ClipExporter exporter(source(), target());
        ASSERT_TRUE(exporter.write(start, end));
        exporter.publish();
        const double key = keyFrameAtOrBefore(original, start);
        EXPECT_NEAR(exporter.clipStart(), key, 1e-6);
        const auto clip = packetsOf(target());
        expectSamePackets(ofType(clip, AVMEDIA_TYPE_VIDEO),
                          expectedClip(original, AVMEDIA_TYPE_VIDEO, key, end), "video");
        expectSamePackets(ofType(clip, AVMEDIA_TYPE_AUDIO),
                          expectedClip(original, AVMEDIA_TYPE_AUDIO, key, end), "audio");
        // The clip starts at zero and plays as long as the marks, give or take the
        // lead-in from the key frame.
        ASSERT_FALSE(clip.empty());
        EXPECT_NEAR(ofType(clip, AVMEDIA_TYPE_VIDEO).front().time, 0.0, 0.002);
        const double duration =
            MediaSource(std::make_shared<LocalFileStorage>(), target(), std::chrono::seconds(10))
                .duration();
        EXPECT_GE(duration, end - start - 0.05);
        EXPECT_LE(duration, end - start + 1.0 + 0.05);
        EXPECT_EQ(leftInDir(), QStringList{"clip-1.asf"});
        QFile::remove(QString::fromStdString(target()));
    }
}

TEST_F(ClipExporterTest, write_findsTheKeyFrame_inARecordingWithoutIndex) {
    const std::string killed = TestMedia::killedRecording();
    const auto original = packetsOf(killed);
    const double last = ofType(original, AVMEDIA_TYPE_VIDEO).back().time;
    const double start = last * 0.6;
    const double end = start + 1.5;
    ClipExporter exporter(killed, target());
    ASSERT_TRUE(exporter.write(start, end));
    exporter.publish();
    const double key = keyFrameAtOrBefore(original, start);
    const auto clip = packetsOf(target());
    expectSamePackets(ofType(clip, AVMEDIA_TYPE_VIDEO),
                      expectedClip(original, AVMEDIA_TYPE_VIDEO, key, end), "video");
}

TEST_F(ClipExporterTest, publishedClip_playsInTheGraph_fromItsKeyFrame) {
    ClipExporter exporter(source(), target());
    ASSERT_TRUE(exporter.write(4.5, 7.0));
    exporter.publish();
    auto clock = std::make_shared<ManualClock>();
    FfmpegGraph::Options options;
    options.clock = clock;
    // Sound played on a device would steer the clock in real time: captured, it does not.
    options.audioOutput = [](int rate) { return std::make_unique<CapturingAudioOutput>(rate); };
    FfmpegGraph graph(options);
    graph.RenderFile(target());
    QWidget host;
    host.resize(352, 288);
    host.show();
    graph.put_WindowStyle(IVideoWindow::kStyleVisible);
    graph.put_Owner(WindowHandles::handleOf(&host));
    graph.SetWindowPosition(0, 0, 352, 288);
    int shown = -1;
    // Frame 100 is the key frame at 4 s; a second into the clip is frame 125.
    EXPECT_TRUE(test::eventually([&] {
        return (shown = PictureReader::frameShownIn(&host)) == 100;
    })) << shown;
    graph.Run();
    clock->set(1.0);
    EXPECT_TRUE(test::eventually([&] {
        return (shown = PictureReader::frameShownIn(&host)) == 125;
    })) << shown;
    EXPECT_NEAR(graph.get_Duration(), 3.0, 0.1);
}

TEST_F(ClipExporterTest, write_datesTheClipFromItsFirstPicture) {
    ClipExporter exporter(source(), target());
    ASSERT_TRUE(exporter.write(2.5, 3.5));
    exporter.publish();
    const auto created = AsfHeaderReader::creationTime(source());
    ASSERT_TRUE(created);
    const auto clipCreated = AsfHeaderReader::creationTime(target());
    ASSERT_TRUE(clipCreated);
    EXPECT_NEAR(exporter.clipStart(), 2.0, 0.1);
    EXPECT_NEAR(std::chrono::duration<double>(*clipCreated - *created).count(),
                exporter.clipStart(), 0.001);
}

TEST_F(ClipExporterTest, write_leavesNothing_whenCancelledHalfWay) {
    ClipExporter exporter(source(), target());
    double last = 0;
    const bool done = exporter.write(1.0, 9.0, [&](double share) {
        last = share;
        if (share >= 0.3) exporter.cancel();
    });
    EXPECT_FALSE(done);
    EXPECT_GE(last, 0.3);
    EXPECT_LT(last, 1.0);
    EXPECT_TRUE(leftInDir().isEmpty()) << leftInDir().join(", ").toStdString();
    EXPECT_THROW(exporter.publish(), Failure);
    EXPECT_TRUE(leftInDir().isEmpty());
}

TEST_F(ClipExporterTest, write_leavesNothing_whenTheDiskFillsUp) {
    const test::SmallFileSystem disk(dir.filePath("small"), "200k");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a small file system here: " << disk.error().toStdString();
    const std::string clip = disk.filePath("clip-1.asf").toStdString();
    ClipExporter exporter(source(), clip);
    try {
        exporter.write(0.0, 9.0);
        FAIL() << "a clip larger than the disk was written";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), Failure::FileSystem);
        EXPECT_NE(std::string(failure.what()).find(clip), std::string::npos) << failure.what();
    }
    EXPECT_TRUE(disk.files().isEmpty()) << disk.files().join(", ").toStdString();
    // With room again, the same export succeeds.
    ClipExporter small(source(), clip);
    EXPECT_TRUE(small.write(0.0, 0.5));
}

TEST_F(ClipExporterTest, write_refusesSpans_thatHoldNothing) {
    for (const auto& [start, end] : {std::pair{5.0, 5.0}, std::pair{6.0, 2.0}, std::pair{-1.0, 2.0},
                                     std::pair{std::nan(""), 2.0}, std::pair{1.0, HUGE_VAL}}) {
        ClipExporter exporter(source(), target());
        EXPECT_THROW(exporter.write(start, end), Failure) << start << ".." << end;
    }
    ClipExporter beyond(source(), target());
    EXPECT_THROW(beyond.write(30.0, 40.0), Failure);
    ClipExporter missing(TestMedia::missing(), target());
    EXPECT_THROW(missing.write(0.0, 1.0), Failure);
    ClipExporter garbage(TestMedia::garbage(), target());
    EXPECT_THROW(garbage.write(0.0, 1.0), Failure);
    EXPECT_TRUE(leftInDir().isEmpty());
}

TEST_F(ClipExporterTest, publish_keepsAFileOfTheSameName) {
    std::ofstream(target()) << "an earlier clip";
    {
        ClipExporter exporter(source(), target());
        ASSERT_TRUE(exporter.write(1.0, 2.0));
        EXPECT_THROW(exporter.publish(), Failure);
    }
    std::ifstream in(target());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an earlier clip");
    EXPECT_EQ(leftInDir(), QStringList{"clip-1.asf"});
    // A written clip that is never published goes with its exporter.
    {
        ClipExporter exporter(source(), target("other-1.asf"));
        ASSERT_TRUE(exporter.write(1.0, 2.0));
        EXPECT_EQ(leftInDir().size(), 2);
    }
    EXPECT_EQ(leftInDir(), QStringList{"clip-1.asf"});
}

TEST_F(ClipExporterTest, write_copiesSoundOnlyRecordings) {
    const std::string sound = TestMedia::audioOnly();
    const auto original = packetsOf(sound);
    ClipExporter exporter(sound, target());
    ASSERT_TRUE(exporter.write(1.0, 2.0));
    exporter.publish();
    const auto clip = packetsOf(target());
    ASSERT_FALSE(clip.empty());
    EXPECT_TRUE(ofType(clip, AVMEDIA_TYPE_VIDEO).empty());
    // Every sound packet is a key: the clip starts at the packet at or before 1 s.
    double first = 0;
    for (const Packet& p : original)
        if (p.time <= 1.0 + 1e-6) first = p.time;
    expectSamePackets(clip, expectedClip(original, AVMEDIA_TYPE_AUDIO, first, 2.0), "audio");
}

}  // namespace
}  // namespace corvid
