#include "support/ProcessStats.h"

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

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

std::map<std::string, double> ProcessStats::cpuSecondsByThread() {
    std::map<std::string, double> byName;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream file(task.path() / "stat");
        std::string stat;
        std::getline(file, stat);
        // "tid (name) state ...": the name may hold spaces; utime and stime are the 14th
        // and 15th fields, the 12th and 13th after the closing parenthesis.
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 2));
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i)
            if (i >= 14) ticks += std::stod(field);
        std::string name = stat.substr(open + 1, close - open - 1);
        std::replace(name.begin(), name.end(), ' ', '_');  // one word in reports
        byName[name] += ticks / tick;
    }
    return byName;
}

std::map<int, ProcessStats::Task> ProcessStats::runTimeByTask() {
    std::map<int, Task> tasks;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream comm(task.path() / "comm");
        std::ifstream schedstat(task.path() / "schedstat");
        Task entry;
        if (!std::getline(comm, entry.name) || !(schedstat >> entry.ns)) continue;
        std::replace(entry.name.begin(), entry.name.end(), ' ', '_');  // as cpuSecondsByThread
        tasks[std::stoi(task.path().filename().string())] = entry;
    }
    return tasks;
}

std::map<std::string, double> ProcessStats::switchesByThread() {
    std::map<std::string, double> byName;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream status(task.path() / "status");
        std::string name;
        double switches = 0;
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Name:", 0) == 0) {
                name = line.substr(line.find_first_not_of(" \t", 5));
                std::replace(name.begin(), name.end(), ' ', '_');  // as cpuSecondsByThread
            } else if (line.find("voluntary_ctxt_switches:") != std::string::npos) {
                switches += std::stod(line.substr(line.find(':') + 1));  // both kinds
            }
        }
        byName[name] += switches;
    }
    return byName;
}

long ProcessStats::residentKb() {
    return statusField("VmRSS");
}

long ProcessStats::peakResidentKb() {
    return statusField("VmHWM");
}

ProcessStats::Memory ProcessStats::memory() {
    Memory memory;
    memory.anonKb = statusField("RssAnon");
    memory.fileKb = statusField("RssFile");
    memory.sharedKb = statusField("RssShmem");
    memory.threads = static_cast<int>(statusField("Threads"));
    const struct mallinfo2 heap = mallinfo2();
    memory.heapInUseKb = static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
    memory.heapFreeKb = static_cast<long>(heap.fordblks / 1024);
    return memory;
}

}  // namespace corvid::bench
