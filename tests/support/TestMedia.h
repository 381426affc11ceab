#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvid::test {

// How a generated file looks and sounds. Every video frame carries its own index as a
// binary code (see PictureReader), so tests can tell which frame is shown.
struct MediaRecipe {
    // Gradient: brightness grows to the right and blue to the bottom, so that every
    // place in the picture has a colour of its own.
    enum class Pattern { Solid, Stripes, Gradient };

    int width = 352;
    int height = 288;
    double fps = 25.0;
    double seconds = 4.0;
    std::string videoCodec = "wmv2";  // empty: no video
    bool audio = true;
    std::string audioCodec = "wmav2";
    int toneHz = 440;
    int sampleRate = 44100;
    std::uint32_t colour = 0x4060C0;  // 0xRRGGBB, the picture's background
    Pattern pattern = Pattern::Solid;
    int gop = 0;           // key frame distance in frames; 0 lets the encoder choose
    int videoQuality = 3;  // the encoder's q scale: lower is better and bigger
    // The header's creation date, ISO 8601 in UTC ("2021-06-15T10:20:30.250Z"); empty
    // leaves it unset.
    std::string creationTime;
    // The muxer starts the pictures of a file with WMA sound after the sound encoder's
    // delay (46 ms) and the file ends that much later. True puts the delay before the
    // sound instead and ends the sound 0.1 s early, so that the pictures and the length
    // are those of a file without sound: two cameras of one recording on one time base.
    bool picturesFromZero = false;
    // Seconds added to every timestamp, as a recorder whose clock ran before the file
    // began writes them: the file's first timestamp.
    double startTime = 0;
};

// A camera of a generated pair: camera 1 red with a 440 Hz tone, camera 2 blue with 880 Hz.
std::string camera(int number, double seconds);

// Test media generated with the ffmpeg command-line tool into CORVID_TEST_MEDIA_DIR.
// Files are cached by recipe and written under a temporary name first, so several test
// binaries may ask for the same file at once. Every call throws std::runtime_error when
// the file cannot be made.
class TestMedia {
public:
    static std::string directory();

    // The cached file for a recipe (extension .asf).
    static std::string make(const MediaRecipe& recipe);

    // WMV2 352x288, 25 fps, 4 s, with a 440 Hz WMA tone (stereo, 44.1 kHz).
    static std::string wmv2WithAudio();
    // MS-MPEG4 (v3) 704x576, 25 fps, 3 s, no audio.
    static std::string msmpeg4NoAudio();
    // WMA only, 440 Hz, 3 s.
    static std::string audioOnly();
    // Random bytes named .asf.
    static std::string garbage();
    // A path that does not exist.
    static std::string missing();
    // A WMV2 + WMA recording whose writer was killed with SIGKILL after a few seconds:
    // its header was never finished and it has no index.
    static std::string killedRecording();
    // Ten hours of 128x96 video at 1 fps, no audio.
    static std::string tenHourRecording();
    // A camera of a pair whose sound tells the cameras apart: 176x144, camera 1 red with a
    // 440 Hz tone, camera 2 blue with 1 kHz, both on one time base (picturesFromZero).
    static std::string soundCamera(int number, double seconds);

    // Presentation times in seconds of the video packets, in file order (ffprobe).
    static std::vector<double> videoPacketTimes(const std::string& path);
    // The end time of the last packet of any stream (ffprobe).
    static double lastPacketEnd(const std::string& path);

private:
    static std::string run(const std::vector<std::string>& arguments, int timeoutMs);
};

}  // namespace corvid::test
