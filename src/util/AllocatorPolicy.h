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
    // The allocator's thresholds keep their defaults. Fixed low (every buffer of 64 kB or
    // more mapped on its own and unmapped when freed) they kept the heap from spreading, but
    // every open then mapped and faulted in its decoders' buffers anew: a click took 30 ms
    // instead of 17. Buffers used for every picture are kept for the next recording instead
    // (DecoderBuffers, PictureBuffers), and what the heap keeps freed between loads is given
    // back once the window is idle (returnFreedMemory).
    //
    // Call it first thing in main. (The benchmarks call it by this name on earlier commits
    // too, which is why it keeps it.)
    static void shareOneArena();

    // Gives the freed pages the heap keeps back to the system. It holds the allocator while
    // it runs (a few milliseconds), so it is for moments when nothing is being opened.
    static void returnFreedMemory();
};

}  // namespace corvid
