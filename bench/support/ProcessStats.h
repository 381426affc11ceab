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
    // The time each live thread ran, in nanoseconds, by thread id, with its name: precise
    // where the CPU times above count in ticks of 10 ms.
    struct Task {
        std::string name;
        double ns = 0;
    };
    static std::map<int, Task> runTimeByTask();
    // Times the live threads were switched out (slept, waited or were preempted), summed by
    // thread name: each is a wake-up, which costs more than the work of many a one.
    static std::map<std::string, double> switchesByThread();
    // Resident size now and at its peak, in kB.
    static long residentKb();
    static long peakResidentKb();
    // Where the resident size is, in kB: anonymous memory, mapped files, shared memory;
    // and what the allocator holds: in use by the program, and freed but kept.
    struct Memory {
        long anonKb = 0, fileKb = 0, sharedKb = 0;
        long heapInUseKb = 0, heapFreeKb = 0;
        int threads = 0;
    };
    static Memory memory();
};

}  // namespace corvid::bench
