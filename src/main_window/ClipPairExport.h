#pragma once

#include <QString>
#include <vector>

class QWidget;

namespace corvid {

// Exports a marked span of a recording's camera files without re-encoding, as a new
// recording beside it, on a worker thread behind a progress dialog that can cancel it.
// The new files appear together once all are complete, or none of them does.
class ClipPairExport {
public:
    struct Part {
        QString source;
        QString target;
        double start = 0;
        double end = 0;
        // The camera's offset on the pair's timeline: the parts share one zero there, so
        // that the clip plays as a pair at the same moments as its source.
        double offset = 0;
    };

    // The clip of a recording's file from `start`, as a path without its camera and type:
    // "day1-2.asf" at 723.4 s gives "day1-clip-00-12-03" beside it.
    static QString clipName(const QString& source, double start);
    // The clip files for a camera file and the start of the span: "day1-2.asf" at 723.4 s
    // gives "day1-clip-00-12-03-2.asf" beside it.
    static QString targetFor(const QString& source, int camera, double start);

    // Runs the export with a modal progress dialog over `parent`. Returns true when every
    // part was written, false when cancelled; throws Failure when a part could not be
    // written or a target exists. Either way, only a complete export leaves files.
    static bool run(QWidget* parent, const std::vector<Part>& parts);
};

}  // namespace corvid
