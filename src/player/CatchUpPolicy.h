#pragma once

#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace corvid {

// Decides how much of the video a decoder that cannot keep up with the clock may leave
// undecoded: first the pictures no other picture needs, then all but the key frames, and
// back to every picture once it caught up. Lateness is in wall seconds, so that one figure
// serves every speed. Being late is not enough: a decoder that is gaining on the clock (after
// a stall, or a clock moved on by hand) catches up with every picture; only lateness that
// still grows after it crossed a threshold leaves pictures out. The thresholds lie apart so
// that a decoder near one does not switch back and forth.
class CatchUpPolicy {
public:
    // Pictures are late by `lateSeconds` of wall time (negative: early) at `rate`.
    void observe(double lateSeconds, double rate);
    // The clock stands or a picture must be exact: every picture from the next key frame on.
    void decodeAll();
    // Every picture at once: after a flush the decoder has no reference to miss.
    void reset();
    // What the decoder may leave out of the next packet. Pictures skipped as not key frames
    // are references of the pictures after them, so leaving that mode waits for a key frame.
    AVDiscard discardFor(bool keyPacket);
    // Whether the last packet was decoded with pictures left out.
    bool skipping() const { return applied_ != AVDISCARD_DEFAULT; }

private:
    // How late the pictures were when they last crossed into a level; none while on time.
    std::optional<double> crossedAt_;
    AVDiscard wanted_ = AVDISCARD_DEFAULT;
    AVDiscard applied_ = AVDISCARD_DEFAULT;
};

}  // namespace corvid
