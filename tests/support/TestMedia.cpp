#include "support/TestMedia.h"

#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/PictureReader.h"

namespace corvid::test {

namespace {

namespace fs = std::filesystem;

std::string hex(std::uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(colour & 0xFFFFFF));
    return text;
}

std::string number(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// A unique name next to the final one; renamed into place when complete.
std::string temporaryNameFor(const std::string& path) {
    static std::atomic<int> counter{0};
    return path + ".part-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".asf";
}

void publish(const std::string& temporary, const std::string& path) {
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        if (!fs::exists(path)) throw std::runtime_error("Cannot publish test media " + path);
    }
}

// The filter chain drawing the background and the frame code boxes.
std::string videoSource(const MediaRecipe& r, double seconds) {
    const int w = r.width;
    const int h = r.height;
    std::string chain = "color=c=" + hex(r.colour) + ":s=" + std::to_string(w) + "x" +
                        std::to_string(h) + ":r=" + number(r.fps) + ":d=" + number(seconds);
    if (r.pattern == MediaRecipe::Pattern::Gradient) {
        chain += ",format=yuv420p,geq=lum='16+X*219/W':cb='16+Y*224/H':cr=128";
    }
    if (r.pattern == MediaRecipe::Pattern::Stripes) {
        chain += ",drawgrid=w=" + std::to_string(w / 4) + ":h=" + std::to_string(h + 1) +
                 ":t=" + std::to_string(w / 8) + ":c=0xD0D0D0";
    }
    for (int bit = 0; bit < PictureReader::kCodeBits; ++bit) {
        const QRect cell = PictureReader::codeCell(bit, w, h);
        const std::string box =
            "drawbox=x=" + std::to_string(cell.x()) + ":y=" + std::to_string(cell.y()) +
            ":w=" + std::to_string(cell.width()) + ":h=" + std::to_string(cell.height());
        chain += "," + box + ":color=black:t=fill";
        chain += "," + box + ":color=white:t=fill:enable='mod(floor(n/" + std::to_string(1 << bit) +
                 "),2)'";
    }
    return chain;
}

std::vector<std::string> encodeArguments(const MediaRecipe& r, double seconds,
                                         const std::string& output) {
    std::vector<std::string> args = {"-v", "error", "-nostdin", "-y"};
    const bool video = !r.videoCodec.empty();
    if (video) {
        args.insert(args.end(), {"-f", "lavfi", "-i", videoSource(r, seconds)});
    }
    if (r.audio) {
        args.insert(args.end(),
                    {"-f", "lavfi", "-i",
                     "sine=f=" + std::to_string(r.toneHz) + ":r=" + std::to_string(r.sampleRate) +
                         ":d=" + number(r.picturesFromZero ? seconds - 0.1 : seconds)});
    }
    if (video) {
        args.insert(args.end(), {"-c:v", r.videoCodec, "-q:v", std::to_string(r.videoQuality)});
        if (r.gop > 0) args.insert(args.end(), {"-g", std::to_string(r.gop)});
    }
    if (r.audio) args.insert(args.end(), {"-c:a", r.audioCodec, "-b:a", "64k", "-ac", "2"});
    // The encoder's delay (2048 samples) goes before the sound, not before the pictures.
    if (r.audio && r.picturesFromZero) args.insert(args.end(), {"-af", "asetpts=PTS+2048"});
    if (!r.creationTime.empty())
        args.insert(args.end(), {"-metadata", "creation_time=" + r.creationTime});
    if (r.startTime != 0) args.insert(args.end(), {"-output_ts_offset", number(r.startTime)});
    args.insert(args.end(), {"-f", "asf", output});
    return args;
}

std::string recipeKey(const MediaRecipe& r) {
    std::ostringstream key;
    key << r.width << 'x' << r.height << '_' << r.fps << "fps_" << r.seconds << "s_"
        << (r.videoCodec.empty() ? "novideo" : r.videoCodec) << '_'
        << (r.audio ? r.audioCodec + std::to_string(r.toneHz) + "Hz" + std::to_string(r.sampleRate)
                    : std::string("noaudio"))
        << '_' << hex(r.colour)
        << (r.pattern == MediaRecipe::Pattern::Stripes    ? "_stripes"
            : r.pattern == MediaRecipe::Pattern::Gradient ? "_gradient"
                                                          : "")
        << "_g" << r.gop << "_q" << r.videoQuality;
    if (!r.creationTime.empty()) key << "_created" << r.creationTime;
    if (r.picturesFromZero) key << "_picturesFromZero";
    if (r.startTime != 0) key << "_start" << r.startTime;
    return key.str();
}

}  // namespace

std::string TestMedia::directory() {
    const std::string dir = CORVID_TEST_MEDIA_DIR;
    fs::create_directories(dir);
    return dir;
}

std::string TestMedia::run(const std::vector<std::string>& arguments, int timeoutMs) {
    QStringList args;
    for (const auto& a : arguments) args << QString::fromStdString(a);
    const QString program = args.takeFirst();
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(10000))
        throw std::runtime_error("Cannot start " + program.toStdString());
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        throw std::runtime_error(program.toStdString() + " timed out");
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        throw std::runtime_error(program.toStdString() +
                                 " failed: " + process.readAllStandardError().toStdString());
    }
    return process.readAllStandardOutput().toStdString();
}

std::string TestMedia::make(const MediaRecipe& recipe) {
    const std::string key = recipeKey(recipe);
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(key), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    const std::string path = directory() + "/gen-" + digest.toStdString() + ".asf";
    if (fs::exists(path)) return path;
    const std::string temporary = temporaryNameFor(path);
    std::vector<std::string> args = {"ffmpeg"};
    const auto encode = encodeArguments(recipe, recipe.seconds, temporary);
    args.insert(args.end(), encode.begin(), encode.end());
    run(args, 300000);
    publish(temporary, path);
    return path;
}

std::string TestMedia::wmv2WithAudio() {
    return make(MediaRecipe{});
}

std::string TestMedia::msmpeg4NoAudio() {
    MediaRecipe r;
    r.width = 704;
    r.height = 576;
    r.seconds = 3;
    r.videoCodec = "msmpeg4";
    r.audio = false;
    r.colour = 0xC06040;
    return make(r);
}

std::string TestMedia::audioOnly() {
    MediaRecipe r;
    r.seconds = 3;
    r.videoCodec.clear();
    return make(r);
}

std::string TestMedia::garbage() {
    const std::string path = directory() + "/garbage.asf";
    if (fs::exists(path)) return path;
    const std::string temporary = temporaryNameFor(path);
    {
        std::ofstream out(temporary, std::ios::binary);
        QRandomGenerator random(20240607);  // fixed seed: the same bytes every time
        for (int i = 0; i < 64 * 1024; ++i) out.put(static_cast<char>(random.bounded(256)));
    }
    publish(temporary, path);
    return path;
}

std::string TestMedia::missing() {
    return directory() + "/does-not-exist/nothing-here.asf";
}

std::string TestMedia::killedRecording() {
    const std::string path = directory() + "/killed-recording.asf";
    if (fs::exists(path)) return path;
    const std::string temporary = temporaryNameFor(path);
    MediaRecipe r;
    r.colour = 0x40A060;
    // A long recording written at a few times real speed, killed once a few seconds
    // of it are on disk, the way a recorder that lost power leaves its file.
    std::vector<std::string> args = {"-readrate", "8"};
    const auto encode = encodeArguments(r, 600, temporary);
    args.insert(args.end(), encode.begin(), encode.end());
    QStringList qargs;
    for (const auto& a : args) qargs << QString::fromStdString(a);
    QProcess process;
    process.start("ffmpeg", qargs);
    if (!process.waitForStarted(10000)) throw std::runtime_error("Cannot start ffmpeg");
    QElapsedTimer timer;
    timer.start();
    while (QFileInfo(QString::fromStdString(temporary)).size() < 160 * 1024) {
        if (process.state() == QProcess::NotRunning || timer.elapsed() > 60000) {
            process.kill();
            process.waitForFinished(5000);
            throw std::runtime_error("The recording to be killed did not grow");
        }
        process.waitForFinished(20);
    }
    process.kill();  // SIGKILL: the writer gets no chance to finish the file
    process.waitForFinished(10000);
    publish(temporary, path);
    return path;
}

std::string TestMedia::tenHourRecording() {
    MediaRecipe r;
    r.width = 128;
    r.height = 96;
    r.fps = 1;
    r.seconds = 36000;
    r.audio = false;
    r.gop = 300;
    r.videoQuality = 5;
    return make(r);
}

std::string camera(int number, double seconds) {
    MediaRecipe recipe;
    recipe.seconds = seconds;
    recipe.colour = number == 1 ? 0xC03030 : 0x3050D0;
    recipe.toneHz = number == 1 ? 440 : 880;
    return TestMedia::make(recipe);
}

std::string TestMedia::soundCamera(int number, double seconds) {
    MediaRecipe recipe;
    recipe.width = 176;
    recipe.height = 144;
    recipe.seconds = seconds;
    recipe.colour = number == 1 ? 0xC03030 : 0x3050D0;
    recipe.toneHz = number == 1 ? 440 : 1000;
    recipe.picturesFromZero = true;
    return make(recipe);
}

std::vector<double> TestMedia::videoPacketTimes(const std::string& path) {
    const std::string out = run({"ffprobe", "-v", "error", "-select_streams", "v:0",
                                 "-show_entries", "packet=pts_time", "-of", "csv=p=0", path},
                                60000);
    std::vector<double> times;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line != "N/A") times.push_back(std::stod(line));
    }
    return times;
}

double TestMedia::lastPacketEnd(const std::string& path) {
    const std::string out = run({"ffprobe", "-v", "error", "-show_entries",
                                 "packet=pts_time,duration_time", "-of", "csv=p=0", path},
                                60000);
    double end = 0;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto comma = line.find(',');
        if (comma == std::string::npos) continue;
        try {
            double pts = std::stod(line.substr(0, comma));
            const std::string d = line.substr(comma + 1);
            if (d != "N/A" && !d.empty()) pts += std::stod(d);
            end = std::max(end, pts);
        } catch (const std::exception&) {
            // a packet without a time says nothing about the end
        }
    }
    return end;
}

}  // namespace corvid::test
