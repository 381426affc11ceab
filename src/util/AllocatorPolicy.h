#pragma once

namespace corvid {

// How the process's memory allocator serves our threads.
class AllocatorPolicy {
public:
    // Every recording loaded starts its own demuxer, decoder and presenter threads. With
    // the allocator's default of one arena per new thread, the pictures freed by earlier
    // recordings stay resident in arenas no thread uses any more: the process grew by
    // about 2.7 kB per load/stop of a D1 pair without end. One shared arena keeps it
    // flat (and costs less CPU in playback). Call it first thing in main.
    static void shareOneArena();
};

}  // namespace corvid
