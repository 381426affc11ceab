#pragma once

namespace corvid {

// How the process's memory allocator serves our threads.
class AllocatorPolicy {
public:
    // Every recording loaded starts its own demuxer, decoder, presenter, opening and reading
    // threads. With the allocator's default of one arena per new thread, the pictures freed
    // by earlier recordings stayed resident in arenas no thread used any more: the process
    // grew by about 2.7 kB per load/stop of a D1 pair without end. One shared arena keeps
    // them out (and costs less CPU in playback).
    //
    // In that one arena, large buffers (the decoders' picture pools, 440 kB a D1 luma plane,
    // 8.9 MB of the heap's 19.8 MB peak in a profile) came from the heap once the allocator
    // had raised its threshold for mapping them on their own, which it does the first time
    // such a buffer is freed. Their freed space stayed resident between a pair's loads, and
    // every new arrangement of live blocks spread the heap further: 4 MB more freed but kept
    // memory after 250 load/stop cycles, in use flat. With the thresholds fixed, a buffer of
    // 64 kB or more is mapped on its own and given back when freed, and the heap's free top
    // is returned past 64 kB: the same cycles grew 0.3-0.4 MB, none of it over their second
    // 250, and nothing is trimmed by hand. Buffers used for every picture are kept for the
    // next rather than mapped anew: the decoders' planes (DecoderBuffers, which also spares a
    // new recording's opens from mapping them) and the pictures shown (PictureBuffers).
    //
    // Call it first thing in main. (The benchmarks call it by this name on earlier commits
    // too, which is why it keeps it.)
    static void shareOneArena();
};

}  // namespace corvid
