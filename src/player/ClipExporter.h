#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "player/PendingFile.h"

namespace corvid {

// Copies a span of an ASF recording into a new ASF file without decoding anything: the
// packets from the key frame at or before the span's start to its end, retimed to start
// at zero, written by libavformat's ASF muxer. The copy is written under a hidden
// temporary name beside the target and renamed into place only by publish(), so a
// failed, cancelled or abandoned export leaves nothing behind.
class ClipExporter {
public:
    // The share of the span written so far, 0..1; called on the exporting thread.
    using Progress = std::function<void(double)>;

    ClipExporter(std::string source, std::string target);
    ClipExporter(const ClipExporter&) = delete;
    ClipExporter& operator=(const ClipExporter&) = delete;

    // Stops write() at its next packet or blocking read; callable from any thread.
    void cancel() { cancelled_ = true; }

    // Writes [start, end] in media seconds from the source's start. Returns false when
    // cancelled. Throws Failure when the span is empty or lies beyond the recording, the
    // source cannot be read, or the copy cannot be written (a full disk). Unless it
    // returns true, nothing of the copy is left on disk.
    // `zero`, when given, is where the copy's time 0 lies in the source (at or before the
    // clip's first key frame), so that clips of several cameras share one zero.
    bool write(double start, double end, const Progress& progress = {},
               std::optional<double> zero = std::nullopt);
    // The key frame a clip starting at `start` begins at, in media seconds.
    double keyFrameAtOrBefore(double start);
    // Where the copy begins in the source, in media seconds; known after write().
    double clipStart() const { return clipStart_; }
    // Moves the written copy to the target name. Throws Failure(FileSystem), removing
    // the copy, when a file of that name exists or the rename fails.
    void publish();
    // Removes the written copy unpublished.
    void discard();

    const std::string& temporaryPath() const { return file_.temporaryPath(); }

private:
    struct Copy;
    static int interruptCallback(void* opaque);
    bool copy(double start, double end, const Progress& progress, std::optional<double> zero);
    void openSource(Copy& pass);
    static void seekTo(Copy& pass, double seconds);
    // A place to read from whose first key frame is at or before `start`.
    double seekPointFor(double start);

    std::string source_;
    std::string target_;
    PendingFile file_;  // removes a copy that was written but not published
    std::atomic<bool> cancelled_{false};
    bool written_ = false;
    double clipStart_ = 0;
};

}  // namespace corvid
