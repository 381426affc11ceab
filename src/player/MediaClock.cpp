#include "player/MediaClock.h"

#include <utility>

namespace corvid {

MediaClock::MediaClock(std::shared_ptr<IClock> source)
    : MediaClock(std::make_shared<PlaybackClock>(std::move(source)), false) {}

MediaClock::MediaClock(std::shared_ptr<PlaybackClock> shared, bool waitsForPicture)
    : clock_(std::move(shared)), member_(clock_->join(waitsForPicture)) {}

MediaClock::~MediaClock() {
    clock_->leave(member_);
}

}  // namespace corvid
