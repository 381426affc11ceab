#include "support/ProcessStats.h"

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace corvid::bench {

namespace {

long statusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name + ":", 0) == 0) return std::stol(line.substr(name.size() + 1));
    }
    return -1;
}

}  // namespace

double ProcessStats::cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long ProcessStats::residentKb() {
    return statusField("VmRSS");
}

long ProcessStats::peakResidentKb() {
    return statusField("VmHWM");
}

}  // namespace corvid::bench
