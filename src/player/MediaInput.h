#pragma once

#include <cstdint>

#include "player/AvHandles.h"
#include "player/FileReader.h"

namespace corvid {

// The FFmpeg libraries' view of a file (a custom AVIOContext): their reads and seeks go to
// a FileReader, so that a read the storage does not answer can be given up. Give it to a
// format context as its `pb` before the context is opened; it must outlive that context.
class MediaInput {
public:
    // Throws Failure(CannotOpen) when out of memory.
    explicit MediaInput(FileReader& reader);
    ~MediaInput();
    MediaInput(const MediaInput&) = delete;
    MediaInput& operator=(const MediaInput&) = delete;

    AVIOContext* context() const { return context_; }

    // Refuses the opening of further files that some containers ask for (playlists,
    // references to other files): a recording plays from its own bytes only.
    static int refuseNestedOpen(AVFormatContext* format, AVIOContext** io, const char* url,
                                int flags, AVDictionary** options);

private:
    static int readPacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);

    FileReader& reader_;
    std::int64_t position_ = 0;
    AVIOContext* context_ = nullptr;
};

}  // namespace corvid
