#include "support/DamagedMedia.h"

#include <unistd.h>

#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace corvid::test {

namespace {

namespace fs = std::filesystem;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string temporaryNameFor(const std::string& path) {
    return path + ".part-" + std::to_string(getpid());
}

// Another process may have made the same file meanwhile; either copy is good.
void publish(const std::string& temporary, const std::string& path) {
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        if (!fs::exists(path)) throw std::runtime_error("Cannot publish " + path);
    }
}

}  // namespace

std::string DamagedMedia::directory() {
    const std::string dir = TestMedia::directory() + "/damaged";
    fs::create_directories(dir);
    return dir;
}

std::string DamagedMedia::writeOnce(const std::string& name, const std::string& bytes) {
    const std::string path = directory() + "/" + name;
    if (fs::exists(path)) return path;
    const std::string temporary = temporaryNameFor(path);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("Cannot write " + temporary);
    }
    publish(temporary, path);
    return path;
}

std::string DamagedMedia::encodeOnce(const std::string& name, const std::string& arguments) {
    const std::string path = directory() + "/" + name;
    if (fs::exists(path)) return path;
    const std::string temporary = temporaryNameFor(path);
    QStringList args = QString::fromStdString(arguments).split(' ', Qt::SkipEmptyParts);
    args.prepend("-nostdin");
    args.prepend("error");
    args.prepend("-v");
    args << QString::fromStdString(temporary);
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", args);
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0) {
        ffmpeg.kill();
        ffmpeg.waitForFinished(5000);
        throw std::runtime_error("ffmpeg could not make " + name + ": " +
                                 ffmpeg.readAllStandardError().toStdString());
    }
    publish(temporary, path);
    return path;
}

MediaRecipe DamagedMedia::healthyRecipe() {
    MediaRecipe recipe;
    recipe.seconds = kHealthySeconds;
    recipe.gop = 25;
    recipe.colour = 0x3070B0;
    return recipe;
}

std::string DamagedMedia::healthy() {
    return TestMedia::make(healthyRecipe());
}

std::string DamagedMedia::zeroBytes() {
    return writeOnce("zero-bytes.asf", "");
}

std::string DamagedMedia::randomBytes() {
    std::string bytes(256 * 1024, '\0');
    QRandomGenerator random(7);  // the same bytes on every run
    for (char& byte : bytes) byte = static_cast<char>(random.bounded(256));
    return writeOnce("random-bytes.asf", bytes);
}

std::string DamagedMedia::cutAt(int percent) {
    const std::string whole = readAll(healthy());
    const std::size_t length = whole.size() * static_cast<std::size_t>(percent) / 100;
    return writeOnce("cut-at-" + std::to_string(percent) + ".asf", whole.substr(0, length));
}

std::string DamagedMedia::longCut() {
    const std::string whole =
        readAll(encodeOnce("long-whole.asf",
                           "-f lavfi -i testsrc2=s=352x288:r=25:d=60 -f lavfi -i sine=d=60 "
                           "-c:v wmv2 -q:v 1 -g 25 -c:a wmav2 -b:a 64k -ac 2 -f asf"));
    return writeOnce("long-cut-at-60.asf", whole.substr(0, whole.size() * 60 / 100));
}

std::string DamagedMedia::headerOnly() {
    const std::string whole = readAll(healthy());
    // The header object leads the file: a 16-byte GUID, then its size as 64-bit little endian.
    if (whole.size() < 24) throw std::runtime_error("The healthy recording has no header");
    std::uint64_t size = 0;
    for (int i = 7; i >= 0; --i) size = (size << 8) | static_cast<unsigned char>(whole[16 + i]);
    if (size < 24 || size >= whole.size())
        throw std::runtime_error("The healthy recording's header size is wrong");
    return writeOnce("header-only.asf", whole.substr(0, size));
}

std::string DamagedMedia::otherContainer() {
    return encodeOnce("mp4-named.asf",
                      "-f lavfi -i testsrc=s=320x240:r=25:d=3 -f lavfi -i sine=d=3 "
                      "-c:v mpeg4 -c:a aac -f mp4");
}

std::string DamagedMedia::wavNamedAsf() {
    return encodeOnce("wav-named.asf", "-f lavfi -i sine=f=660:d=3 -c:a pcm_s16le -f wav");
}

std::string DamagedMedia::mismatchedPartner() {
    MediaRecipe recipe;
    recipe.width = 176;
    recipe.height = 144;
    recipe.fps = 15;
    recipe.seconds = 4;
    recipe.videoCodec = "msmpeg4";
    recipe.audio = false;
    recipe.colour = 0xB07030;
    return TestMedia::make(recipe);
}

std::string DamagedMedia::place(const std::string& folder, const std::string& name,
                                const std::string& source) {
    fs::create_directories(folder);
    const std::string path = folder + "/" + name;
    fs::copy_file(source, path, fs::copy_options::overwrite_existing);
    return path;
}

void DamagedMedia::placePair(const std::string& folder, const std::string& base,
                             const std::string& camera1, const std::string& camera2) {
    place(folder, base + "-1.asf", camera1);
    place(folder, base + "-2.asf", camera2);
}

}  // namespace corvid::test
