#pragma once

#include <map>
#include <string>

namespace corvid::bench {

// The running process's own cost, as the kernel accounts it.
class ProcessStats {
public:
    // User plus system CPU time of all threads, in seconds.
    static double cpuSeconds();
    // CPU time of the live threads, in seconds, summed by thread name.
    static std::map<std::string, double> cpuSecondsByThread();
    // Resident size now and at its peak, in kB.
    static long residentKb();
    static long peakResidentKb();
};

}  // namespace corvid::bench
