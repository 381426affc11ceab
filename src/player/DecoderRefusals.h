#pragma once

extern "C" {
#include <libavutil/error.h>
}

namespace corvid {

// Counts what a decoder refuses in a row, packets it would not take or frames it could
// not give, to tell a decoder that failed for good from a damaged stretch of a recording,
// which is far shorter.
class DecoderRefusals {
public:
    static constexpr int kForGood = 100;

    // Notes the decoder's answer to a packet or to a request for a frame; true once, when
    // the refusals in a row reach kForGood.
    bool failedForGood(int answer) {
        if (answer >= 0) {
            inARow_ = 0;
        } else if (answer != AVERROR(EAGAIN) && answer != AVERROR_EOF) {
            ++inARow_;
        }
        return inARow_ == kForGood && answer < 0;
    }

private:
    int inARow_ = 0;
};

}  // namespace corvid
