#pragma once

namespace corvid::bench {

// The running process's own cost, as the kernel accounts it.
class ProcessStats {
public:
    // User plus system CPU time of all threads, in seconds.
    static double cpuSeconds();
    // Resident size now and at its peak, in kB.
    static long residentKb();
    static long peakResidentKb();
};

}  // namespace corvid::bench
