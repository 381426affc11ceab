#include "player/CatchUpPolicy.h"

namespace corvid {

namespace {

// Behind by this much, pictures start to be left out; key frames only when far behind, or
// at once at the speeds where no decoder keeps up with every picture of a large recording.
constexpr double kBehind = 0.15;
constexpr double kFarBehind = 0.4;
constexpr double kFastRate = 8.0;
// Up to twice the speed a reviewer watches every moment: a picture or two late beats seconds
// of one key frame, and the last pictures of a file are still shown at its end.
constexpr double kReviewRate = 2.0;
// Pictures this late count as on time again: well under kBehind, so a decoder that just
// caught up is not sent back at the next picture.
constexpr double kCaughtUp = 0.02;

}  // namespace

void CatchUpPolicy::observe(double lateSeconds, double rate) {
    if (lateSeconds < kCaughtUp && wanted_ != AVDISCARD_DEFAULT) {
        crossedAt_.reset();
        wanted_ = wanted_ == AVDISCARD_NONKEY ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
        return;
    }
    if (lateSeconds <= kBehind) {
        crossedAt_.reset();
        return;
    }
    const bool losing = crossedAt_ && lateSeconds > *crossedAt_;
    if (!crossedAt_ || losing) crossedAt_ = lateSeconds;
    if (!losing || wanted_ == AVDISCARD_NONKEY) return;
    // Codecs without pictures that others do not need gain nothing from the first level:
    // they go on losing until key frames only.
    if (rate > kReviewRate && (lateSeconds > kFarBehind || rate >= kFastRate))
        wanted_ = AVDISCARD_NONKEY;
    else
        wanted_ = AVDISCARD_NONREF;
}

void CatchUpPolicy::decodeAll() {
    crossedAt_.reset();
    wanted_ = AVDISCARD_DEFAULT;
}

void CatchUpPolicy::reset() {
    crossedAt_.reset();
    wanted_ = AVDISCARD_DEFAULT;
    applied_ = AVDISCARD_DEFAULT;
}

AVDiscard CatchUpPolicy::discardFor(bool keyPacket) {
    if (applied_ == AVDISCARD_NONKEY && wanted_ != AVDISCARD_NONKEY && !keyPacket) return applied_;
    applied_ = wanted_;
    return applied_;
}

}  // namespace corvid
