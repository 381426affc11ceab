#pragma once

#include <string>

#include "support/TestMedia.h"

namespace corvid::test {

// Recordings as real folders contain them after power cuts, copy errors and odd tools:
// made at test time from generated media into CORVID_TEST_MEDIA_DIR/damaged, cached
// like TestMedia's files. Every call throws std::runtime_error when a file cannot be made.
class DamagedMedia {
public:
    static constexpr double kHealthySeconds = 10.0;

    // The recipe and file every damaged recording is cut from: WMV2 352x288 at 25 fps
    // with WMA sound, 10 s, a key frame every second; its frames carry their index.
    static MediaRecipe healthyRecipe();
    static std::string healthy();

    static std::string zeroBytes();
    static std::string randomBytes();
    // The healthy recording cut after `percent` of its bytes: a recorder that lost power.
    static std::string cutAt(int percent);
    // A minute of busy WMV2 video with WMA sound (about 18 MB) cut after 60 % of its
    // bytes: more than the tail any end scan reads at once.
    static std::string longCut();
    // Only the header object of the healthy recording, no data.
    static std::string headerOnly();
    // An MP4 file (MPEG-4 video, AAC sound) named .asf.
    static std::string otherContainer();
    // A WAV file named .asf.
    static std::string wavNamedAsf();

    // Camera 2 of a pair that differs from healthy() in length (4 s), picture size
    // (176x144) and frame rate (15 fps), MS-MPEG4 without sound.
    static std::string mismatchedPartner();

    // Copies `source` to folder/name, creating the folder; returns the full name.
    static std::string place(const std::string& folder, const std::string& name,
                             const std::string& source);
    // Places a recording pair: folder/base-1.asf and folder/base-2.asf.
    static void placePair(const std::string& folder, const std::string& base,
                          const std::string& camera1, const std::string& camera2);

private:
    static std::string directory();
    static std::string writeOnce(const std::string& name, const std::string& bytes);
    static std::string encodeOnce(const std::string& name, const std::string& arguments);
};

}  // namespace corvid::test
