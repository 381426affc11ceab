#pragma once

#include <QString>
#include <chrono>
#include <optional>
#include <vector>

class QWidget;

namespace corvid {

// Exports a marked span of a recording pair as one MP4 video beside the recording (both
// cameras side by side, their times burned in), on worker threads behind a progress
// dialog that can cancel it. The file appears once complete, or not at all, and never
// replaces a file.
class EvidenceExport {
public:
    struct Camera {
        QString file;
        double offset = 0;  // seconds: pair time = the camera's media time + offset
        QString label;
        std::optional<std::chrono::system_clock::time_point> recordedAt;
        bool heard = false;
    };
    // One or two cameras, left to right, and the span in pair time.
    struct Request {
        std::vector<Camera> cameras;
        double from = 0;
        double to = 0;
    };

    // The video of a recording from `from`: "day1-1.asf" at 723.4 s gives
    // "day1-clip-00-12-03.mp4" beside it.
    static QString targetFor(const QString& recording, double from);

    // Runs the export with a modal progress dialog over `parent`. Returns the file written,
    // or an empty name when cancelled; throws Failure when the request shows nothing, the
    // video could not be written, or its file exists.
    static QString run(QWidget* parent, const Request& request);
};

}  // namespace corvid
