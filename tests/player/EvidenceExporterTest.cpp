#include "player/EvidenceExporter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <cmath>
#include <fstream>
#include <map>

#include "player/AsfHeaderReader.h"
#include "player/AvHandles.h"
#include "support/PictureReader.h"
#include "support/SmallFileSystem.h"
#include "support/TestMedia.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using test::MediaRecipe;
using test::PictureReader;
using test::TestMedia;

// Everything the FFmpeg libraries decode from an exported file.
struct Decoded {
    int width = 0;
    int height = 0;
    AVCodecID video = AV_CODEC_ID_NONE;
    AVCodecID audio = AV_CODEC_ID_NONE;
    AVPixelFormat format = AV_PIX_FMT_NONE;
    double videoSeconds = 0;  // from the stream's first picture to its last one's end
    int errors = 0;           // packets or frames a decoder refused
    std::vector<double> pictureTimes;
    std::map<int, QImage> pictures;  // the pictures asked for, by index
    std::int64_t samples = 0;
    int sampleRate = 0;
    double loudness = 0;  // RMS of the sound's middle second
};

QImage toImage(const AVFrame& frame) {
    QImage image(frame.width, frame.height, QImage::Format_RGB888);
    ScalerHandle scaler(sws_getContext(
        frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
        frame.height, AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr));
    uint8_t* planes[1] = {image.bits()};
    const int strides[1] = {static_cast<int>(image.bytesPerLine())};
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return image;
}

// Decodes every packet of both streams, keeping the pictures at `keep`.
Decoded decodeAll(const std::string& path, const std::vector<int>& keep) {
    Decoded result;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return result;
    FormatContextHandle format(raw);
    avformat_find_stream_info(raw, nullptr);
    std::map<int, CodecContextHandle> decoders;
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVCodecParameters* p = raw->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO) result.video = p->codec_id;
        if (p->codec_type == AVMEDIA_TYPE_AUDIO) result.audio = p->codec_id;
        const AVCodec* codec = avcodec_find_decoder(p->codec_id);
        CodecContextHandle context(avcodec_alloc_context3(codec));
        avcodec_parameters_to_context(context.get(), p);
        context->pkt_timebase = raw->streams[i]->time_base;
        if (avcodec_open2(context.get(), codec, nullptr) < 0) ++result.errors;
        decoders[static_cast<int>(i)] = std::move(context);
    }
    std::vector<float> middle;
    FrameHandle frame = makeFrame();
    const auto receive = [&](int index) {
        AVCodecContext* codec = decoders[index].get();
        const double base = av_q2d(raw->streams[index]->time_base);
        int got;
        while ((got = avcodec_receive_frame(codec, frame.get())) >= 0) {
            if (codec->codec_type == AVMEDIA_TYPE_VIDEO) {
                const auto n = static_cast<int>(result.pictureTimes.size());
                result.pictureTimes.push_back(frame->best_effort_timestamp * base);
                result.width = frame->width;
                result.height = frame->height;
                result.format = static_cast<AVPixelFormat>(frame->format);
                if (std::find(keep.begin(), keep.end(), n) != keep.end())
                    result.pictures[n] = toImage(*frame);
                result.videoSeconds = result.pictureTimes.back() - result.pictureTimes.front() +
                                      frame->pkt_duration * base;
            } else {
                result.sampleRate = frame->sample_rate;
                const double t = static_cast<double>(result.samples) / frame->sample_rate;
                if (t >= 2.0 && t < 3.0)
                    middle.insert(middle.end(), reinterpret_cast<float*>(frame->data[0]),
                                  reinterpret_cast<float*>(frame->data[0]) + frame->nb_samples);
                result.samples += frame->nb_samples;
            }
            av_frame_unref(frame.get());
        }
        if (got != AVERROR(EAGAIN) && got != AVERROR_EOF) ++result.errors;
    };
    PacketHandle packet = makePacket();
    while (av_read_frame(raw, packet.get()) >= 0) {
        const int index = packet->stream_index;
        if (avcodec_send_packet(decoders[index].get(), packet.get()) < 0) ++result.errors;
        av_packet_unref(packet.get());
        receive(index);
    }
    for (auto& [index, codec] : decoders) {
        avcodec_send_packet(codec.get(), nullptr);
        receive(index);
    }
    double sum = 0;
    for (float s : middle) sum += double(s) * s;
    result.loudness = middle.empty() ? 0 : std::sqrt(sum / double(middle.size()));
    return result;
}

// The index of the frame a generated camera shows at media time `t`: the last one that
// starts at or before it, the first before them all, the last after them all.
int frameAt(const std::string& camera, double t) {
    const auto times = TestMedia::videoPacketTimes(camera);
    int shown = 0;
    for (std::size_t i = 0; i < times.size(); ++i)
        if (times[i] <= t + 0.001) shown = static_cast<int>(i);
    return shown;
}

// A part of a picture, twice as bright: a dimmed camera's frame code reads again.
QImage brightened(const QImage& image, const QRect& part) {
    QImage copy = image.copy(part).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < copy.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x)
            line[x] = qRgb(std::min(255, qRed(line[x]) * 2), std::min(255, qGreen(line[x]) * 2),
                           std::min(255, qBlue(line[x]) * 2));
    }
    return copy;
}

double meanLuma(const QImage& image, const QRect& part) {
    double sum = 0;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x) sum += qGray(image.pixel(x, y));
    return sum / (part.width() * part.height());
}

// Whether a part of a picture holds burned-in text: white, which the cameras never show
// outside their frame codes.
bool hasText(const QImage& image, const QRect& part) {
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200) return true;
        }
    return false;
}

class EvidenceExporterTest : public ::testing::Test {
protected:
    // Camera 1: 25 pictures a second for 6 s, with a tone and a recording date. Camera 2:
    // 30 a second for 4 s, other size and colour, silent.
    static std::string camera1() {
        MediaRecipe r;
        r.fps = 25;
        r.seconds = 6;
        r.gop = 25;
        r.colour = 0xC03030;
        r.picturesFromZero = true;
        r.creationTime = "2023-05-06T07:08:09.000Z";
        return TestMedia::make(r);
    }
    static std::string camera2() {
        MediaRecipe r;
        r.fps = 30;
        r.seconds = 4;
        r.width = 320;
        r.height = 240;
        r.gop = 45;
        r.colour = 0x3050D0;
        r.audio = false;
        return TestMedia::make(r);
    }

    // Camera 2 starts half a second into the pair.
    EvidenceExporter::Request request(double from, double to, const std::string& target) const {
        EvidenceExporter::Request r;
        r.cameras = {{camera1(), 0.0, "Cam1", AsfHeaderReader::creationTime(camera1()), true},
                     {camera2(), 0.5, "Cam2", std::nullopt, false}};
        r.from = from;
        r.to = to;
        r.target = target;
        return r;
    }

    std::string target(const QString& name = "day1-clip-00-00-00.mp4") const {
        return dir.filePath(name).toStdString();
    }

    QStringList leftInDir() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
};

TEST_F(EvidenceExporterTest, write_showsEachCamerasPictureAtEveryMomentOfThePair) {
    const double from = 0.2, to = 5.0;
    EvidenceExporter exporter(request(from, to, target()));
    ASSERT_TRUE(exporter.write());
    exporter.publish();
    EXPECT_EQ(leftInDir(), QStringList{"day1-clip-00-00-00.mp4"});

    // At camera 2's rate, 30 a second: 144 pictures for the 4.8 s span.
    const int count = 144;
    const int middle = count / 2;
    const Decoded file = decodeAll(target(), {0, middle, count - 1});
    EXPECT_EQ(file.errors, 0);
    EXPECT_EQ(file.video, AV_CODEC_ID_H264);
    EXPECT_EQ(file.format, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(file.audio, AV_CODEC_ID_AAC);
    ASSERT_EQ(static_cast<int>(file.pictureTimes.size()), count);
    EXPECT_NEAR(file.videoSeconds, to - from, 1.0 / 30);
    EXPECT_NEAR(double(file.samples) / file.sampleRate, to - from, 0.05);
    EXPECT_GT(file.loudness, 0.05);  // camera 1's tone
    // One height, each camera in its proportions, black between: 352 + 4 + 320 * 288 / 240.
    EXPECT_EQ(file.width, 740);
    EXPECT_EQ(file.height, 288);
    const QRect left(0, 0, 352, 288), right(356, 0, 384, 288);

    for (const int n : {0, middle, count - 1}) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(file.pictures.count(n));
        const QImage& picture = file.pictures.at(n);
        const double pair = from + n / 30.0;
        const bool outside2 = pair < 0.5 || pair >= 4.5;
        EXPECT_EQ(PictureReader::readFrameIndex(picture, left), frameAt(camera1(), pair));
        // Camera 2 before and after its recording: its nearest picture, dimmed, with a notice.
        const int shown2 = outside2 ? PictureReader::readFrameIndex(brightened(picture, right),
                                                                    QRect(QPoint(), right.size()))
                                    : PictureReader::readFrameIndex(picture, right);
        EXPECT_EQ(shown2, frameAt(camera2(), pair - 0.5));
        EXPECT_EQ(hasText(picture, QRect(right.left() + 140, 55, 100, 35)), outside2);
        EXPECT_FALSE(hasText(picture, QRect(130, 55, 100, 35)));
        // Each camera's caption in its top-right corner.
        EXPECT_TRUE(hasText(picture, QRect(200, 0, 152, 70)));
        EXPECT_TRUE(hasText(picture, QRect(right.left() + 232, 0, 152, 70)));
        for (const int x : {352, 353, 354, 355}) EXPECT_LT(qGray(picture.pixel(x, 144)), 40);
    }
    EXPECT_LT(meanLuma(file.pictures.at(0), right),
              0.7 * meanLuma(file.pictures.at(middle), right));
}

TEST_F(EvidenceExporterTest, exportedFile_playsInABrowser) {
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty())
        GTEST_SKIP() << "Chromium is not installed (scripts/setup installs it): no browser check";
    EvidenceExporter exporter(request(0.2, 5.0, target()));
    ASSERT_TRUE(exporter.write());
    exporter.publish();
    // The page writes what the browser made of the video into itself; the browser prints
    // the page once its (virtual) time has run.
    QFile page(dir.filePath("page.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write(R"(<!DOCTYPE html><html><body><pre id="result">waiting</pre>
<video id="video" src="day1-clip-00-00-00.mp4" preload="auto" muted></video>
<script>
const video = document.getElementById("video"), result = document.getElementById("result");
video.addEventListener("canplaythrough", () => {
    result.textContent = `playable ${video.duration} ${video.videoWidth}x${video.videoHeight}`;
}, {once: true});
video.addEventListener("error", () => { result.textContent = `error ${video.error.code}`; });
</script></body></html>)");
    page.close();
    QTemporaryDir profile;
    QProcess browser;
    browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                             "--no-first-run", "--disable-background-networking",
                             "--disable-component-update", "--disable-sync",
                             "--user-data-dir=" + profile.path(), "--virtual-time-budget=30000",
                             "--dump-dom", QUrl::fromLocalFile(page.fileName()).toString()});
    ASSERT_TRUE(browser.waitForFinished(180000)) << "Chromium did not finish";
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    const QRegularExpressionMatch found =
        QRegularExpression(R"(id="result">playable ([0-9.]+) (\d+)x(\d+)<)").match(dom);
    ASSERT_TRUE(found.hasMatch()) << dom.toStdString();
    EXPECT_NEAR(found.captured(1).toDouble(), 4.8, 1.0 / 30);
    EXPECT_EQ(found.captured(2).toInt(), 740);
    EXPECT_EQ(found.captured(3).toInt(), 288);
}

TEST_F(EvidenceExporterTest, write_leavesNothing_whenCancelledHalfWay) {
    EvidenceExporter exporter(request(0.0, 5.0, target()));
    double last = 0;
    const bool done = exporter.write([&](double share) {
        last = share;
        if (share >= 0.3) exporter.cancel();
    });
    EXPECT_FALSE(done);
    EXPECT_GE(last, 0.3);
    EXPECT_LT(last, 1.0);
    EXPECT_TRUE(leftInDir().isEmpty()) << leftInDir().join(", ").toStdString();
    EXPECT_THROW(exporter.publish(), Failure);
}

TEST_F(EvidenceExporterTest, write_leavesNothing_whenTheDiskFillsUp) {
    const test::SmallFileSystem disk(dir.filePath("small"), "32k");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a small file system here: " << disk.error().toStdString();
    const std::string file = disk.filePath("evidence.mp4").toStdString();
    EvidenceExporter exporter(request(0.0, 5.0, file));
    try {
        exporter.write();
        FAIL() << "a file larger than the disk was written";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), Failure::FileSystem);
        EXPECT_NE(std::string(failure.what()).find(file), std::string::npos) << failure.what();
    }
    EXPECT_TRUE(disk.files().isEmpty()) << disk.files().join(", ").toStdString();
}

TEST_F(EvidenceExporterTest, write_refusesSpansAndFilesThatShowNothing_leavingNothing) {
    for (const auto& [from, to] :
         {std::pair{2.0, 2.0}, std::pair{3.0, 1.0}, std::pair{std::nan(""), 2.0},
          std::pair{10.0, 12.0}, std::pair{-5.0, -1.0}}) {
        EvidenceExporter exporter(request(from, to, target()));
        EXPECT_THROW(exporter.write(), Failure) << from << ".." << to;
    }
    for (const std::string& bad : {TestMedia::missing(), TestMedia::garbage()}) {
        auto r = request(0.0, 1.0, target());
        r.cameras[1].path = bad;
        EvidenceExporter exporter(r);
        EXPECT_THROW(exporter.write(), Failure) << bad;
    }
    EXPECT_TRUE(leftInDir().isEmpty());
}

TEST_F(EvidenceExporterTest, publish_keepsAFileOfTheSameName) {
    std::ofstream(target()) << "earlier evidence";
    EvidenceExporter exporter(request(1.0, 1.5, target()));
    ASSERT_TRUE(exporter.write());
    EXPECT_THROW(exporter.publish(), Failure);
    std::ifstream in(target());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier evidence");
    EXPECT_EQ(leftInDir(), QStringList{"day1-clip-00-00-00.mp4"});
}

}  // namespace
}  // namespace corvid
