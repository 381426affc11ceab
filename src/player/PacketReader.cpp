#include "player/PacketReader.h"

namespace corvid {

bool PacketReader::next(AVPacket* packet) {
    for (;;) {
        const int read = av_read_frame(format_, packet);
        if (read >= 0) {
            damaged_ = 0;
            return true;
        }
        // A failed read of the storage leaves the input at its end; so does the real end.
        const bool ended = read == AVERROR_EOF || read == AVERROR_EXIT ||
                           (format_->pb != nullptr && avio_feof(format_->pb));
        if (ended || ++damaged_ > kDamagedLimit) return false;
    }
}

}  // namespace corvid
