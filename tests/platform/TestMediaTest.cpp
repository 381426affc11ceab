#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <filesystem>

#include "support/PictureReader.h"
#include "support/TestMedia.h"

namespace corvid::test {
namespace {

QImage extractFrame(const std::string& path, int index) {
    const QString png = QString::fromStdString(TestMedia::directory()) + "/extract-" +
                        QString::number(QCoreApplication::applicationPid()) + ".png";
    QProcess::execute("ffmpeg",
                      {"-v", "error", "-nostdin", "-y", "-i", QString::fromStdString(path), "-vf",
                       QString("select=eq(n\\,%1)").arg(index), "-frames:v", "1", png});
    QImage image(png);
    std::filesystem::remove(png.toStdString());
    return image.convertToFormat(QImage::Format_RGB32);
}

TEST(TestMediaTest, frameIndex_readsBack_afterLossyCoding) {
    for (const auto& path : {TestMedia::wmv2WithAudio(), TestMedia::msmpeg4NoAudio()}) {
        for (int index : {0, 1, 37, 74}) {
            const QImage image = extractFrame(path, index);
            ASSERT_FALSE(image.isNull()) << path;
            EXPECT_EQ(PictureReader::findPicture(image), image.rect()) << path;
            EXPECT_EQ(PictureReader::readFrameIndex(image, image.rect()), index) << path;
        }
    }
}

TEST(TestMediaTest, killedRecording_hasPacketsBeyondItsHeader) {
    const std::string path = TestMedia::killedRecording();
    const auto times = TestMedia::videoPacketTimes(path);
    ASSERT_GT(times.size(), 25u);
    EXPECT_GT(TestMedia::lastPacketEnd(path), 2.0);
}

}  // namespace
}  // namespace corvid::test
