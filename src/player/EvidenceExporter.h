#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "player/PendingFile.h"

namespace corvid {

// Renders a span of a recording pair into one MP4 file that plays anywhere: both cameras
// side by side, each showing at every output picture the picture it shows at that moment
// of the pair's timeline, with its label and time burned in; the heard camera's sound.
// A camera outside its own recording at a moment shows its nearest picture, dimmed, with
// a notice. Output pictures come at the rate of the faster camera (at most 60 a second).
//
// The pair's timeline: pair time = a camera's media time + its offset. The file is written
// under a hidden temporary name and takes the target's name only by publish(), so a
// failed, cancelled or abandoned export leaves nothing behind.
class EvidenceExporter {
public:
    using TimePoint = std::chrono::system_clock::time_point;
    // The share of the span written so far, 0..1; called on the exporting thread.
    using Progress = std::function<void(double)>;

    struct Camera {
        std::string path;
        double offset = 0;                    // seconds: pair time = media time + offset
        std::string label;                    // burned in above its time, e.g. "Cam1"
        std::optional<TimePoint> recordedAt;  // when its first picture was recorded
        bool heard = false;                   // its sound goes into the file
    };
    struct Request {
        std::vector<Camera> cameras;  // one or two, left to right
        double from = 0;              // the span, in pair time
        double to = 0;
        std::string target;
    };

    explicit EvidenceExporter(Request request);
    EvidenceExporter(const EvidenceExporter&) = delete;
    EvidenceExporter& operator=(const EvidenceExporter&) = delete;

    // Stops write() at its next picture or blocking read; callable from any thread.
    void cancel() { cancelled_ = true; }

    // Writes the span. Returns false when cancelled. Throws Failure when the request holds
    // no span or camera, nothing was recorded in the span, a camera's file cannot be read,
    // or the file cannot be written (a full disk). Unless it returns true, nothing of the
    // file is left on disk.
    bool write(const Progress& progress = {});
    // Moves the written file to the target name. Throws Failure(FileSystem), removing the
    // file, when a file of that name exists or the rename fails.
    void publish();

private:
    struct Source;
    bool render(const Progress& progress);

    Request request_;
    PendingFile file_;
    std::atomic<bool> cancelled_{false};
    bool written_ = false;
};

}  // namespace corvid
