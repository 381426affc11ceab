#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QWidget;

namespace corvid::bench {

// Runs the ffmpeg tool with `arguments` (inputs and options, no output) writing `path`:
// under a temporary name first, renamed once complete, so that a run cut short never
// leaves a file that looks finished. False when the tool is missing or fails.
bool writeWithFfmpeg(const QStringList& arguments, const QString& path);

// Sound for a generated camera whose pictures last `seconds`: the input of a tone that ends
// a little before the pictures, and its WMA encoding with the encoder's delay put before the
// sound, not before the pictures, so that the pictures start at 0 as a silent camera's do.
QStringList toneInput(int hz, double seconds);
QStringList toneEncoding();

// One camera of a generated D1 recording whose every picture shows its frame number in
// the code the tests' PictureReader reads; both cameras of a pair start their pictures at
// 0, with or without sound.
struct NumberedCamera {
    double seconds = 20;
    double fps = 25;
    double keyFrameSeconds = 2;
    bool sound = true;
    std::uint32_t colour = 0xC03030;  // 0xRRGGBB, the picture's background
    int toneHz = 440;
    QString videoCodec = "wmv2";
};

// Writes `camera` to `path` unless a file is there already; false when it cannot.
bool makeNumberedCamera(const QString& path, const NumberedCamera& camera);

// The frame number that `video` (a panel's picture box) shows, read from its pixels; -1
// when none can be read. Read until two reads agree, so that a picture drawn between the
// reads is not taken for the one shown.
int readFrameNumber(QWidget* video);

}  // namespace corvid::bench
