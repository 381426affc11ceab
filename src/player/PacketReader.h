#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

namespace corvid {

// Reads one file's packets in order with the one policy for damage that every reader of a
// recording follows: a read that fails before the end of the file is a damaged stretch,
// passed over up to kDamagedLimit times in a row; the end of the file, a read the caller
// interrupted, storage that failed and more damage than that end the reading.
class PacketReader {
public:
    static constexpr int kDamagedLimit = 1000;

    explicit PacketReader(AVFormatContext* format) : format_(format) {}

    // The next packet into `packet`, which the caller unreferences; false at the end.
    bool next(AVPacket* packet);

private:
    AVFormatContext* format_;
    int damaged_ = 0;
};

}  // namespace corvid
