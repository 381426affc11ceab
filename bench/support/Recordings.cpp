#include "support/Recordings.h"

#include <QFile>
#include <QProcess>
#include <QRect>
#include <cmath>

// The tests' reader of the frame code, compiled in here: one code for what the tests and
// the benchmarks generate and read.
#include "support/PictureReader.h"

namespace corvid::bench {

using test::PictureReader;

bool writeWithFfmpeg(const QStringList& arguments, const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", QStringList(arguments) << path + ".part");
    if (!ffmpeg.waitForFinished(1800000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0)
        return false;
    QFile::remove(path);
    return QFile::rename(path + ".part", path);
}

QStringList toneInput(int hz, double seconds) {
    return {"-f", "lavfi", "-i", QString("sine=f=%1:r=44100:d=%2").arg(hz).arg(seconds - 0.1)};
}

QStringList toneEncoding() {
    return {"-c:a", "wmav2", "-b:a", "64k", "-ac", "2", "-af", "asetpts=PTS+2048"};
}

bool makeNumberedCamera(const QString& path, const NumberedCamera& camera) {
    if (QFile::exists(path)) return true;
    constexpr int kWidth = 704;
    constexpr int kHeight = 576;
    QString video = QString("color=c=0x%1:s=%2x%3:r=%4:d=%5")
                        .arg(camera.colour, 6, 16, QChar('0'))
                        .arg(kWidth)
                        .arg(kHeight)
                        .arg(camera.fps)
                        .arg(camera.seconds);
    for (int bit = 0; bit < PictureReader::kCodeBits; ++bit) {
        const QRect cell = PictureReader::codeCell(bit, kWidth, kHeight);
        const QString box = QString("drawbox=x=%1:y=%2:w=%3:h=%4")
                                .arg(cell.x())
                                .arg(cell.y())
                                .arg(cell.width())
                                .arg(cell.height());
        video += QString(",%1:color=black:t=fill,%1:color=white:t=fill:enable='mod(floor(n/%2),2)'")
                     .arg(box)
                     .arg(1 << bit);
    }
    QStringList arguments{"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", video};
    if (camera.sound) arguments << toneInput(camera.toneHz, camera.seconds);
    const int keyFrameDistance = static_cast<int>(std::lround(camera.keyFrameSeconds * camera.fps));
    arguments << "-c:v" << camera.videoCodec << "-q:v"
              << "3"
              << "-g" << QString::number(keyFrameDistance);
    if (camera.sound) arguments << toneEncoding();
    arguments << "-f"
              << "asf";
    return writeWithFfmpeg(arguments, path);
}

int readFrameNumber(QWidget* video) {
    int last = PictureReader::frameShownIn(video);
    for (int read = 0; read < 5; ++read) {
        const int now = PictureReader::frameShownIn(video);
        if (now == last) return now;
        last = now;
    }
    return -1;
}

}  // namespace corvid::bench
