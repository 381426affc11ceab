#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvid {

// The ordered record of every call made on fake graphs and their factory, shared by all
// of them, with faults that make chosen calls throw. A call reads "name(arg, arg)".
class FakeCallLog {
public:
    // The code of a failure the log injects, apart from every code the product uses.
    static constexpr std::int32_t kInjected = -1000;

    struct Entry {
        int graph;  // 0 for the factory, else the graph's number (1 for the first)
        std::string call;
        bool failed;  // the call threw
    };

    // Appends the call; throws Failure(kInjected) when a fault is armed for `name`.
    void record(int graph, const std::string& name, const std::string& args = {});

    // Marks the call recorded last as failed (a fake failing on its own account).
    void markLastFailed();

    // Makes every later call of `name` fail.
    void failOn(const std::string& name);
    // Makes only the nth later call of `name` fail (1 = the next one).
    void failOn(const std::string& name, int nth);
    void clearFaults();

    // Forgets the calls recorded so far (faults stay armed).
    void clear();

    const std::vector<Entry>& entries() const { return entries_; }
    std::vector<std::string> calls() const;
    std::vector<std::string> callsOn(int graph) const;
    // Only calls whose name is one of `names`, in order.
    std::vector<std::string> callsNamed(const std::vector<std::string>& names) const;
    std::vector<std::string> failedCalls() const;
    // Calls whose name (the text before '(') is `name`.
    int count(const std::string& name) const;
    bool contains(const std::string& call) const;
    // Position of the first call equal to `call` at or after `from`, or -1.
    int indexOf(const std::string& call, int from = 0) const;

    static std::string nameOf(const std::string& call);
    static std::string arg(double value);
    static std::string arg(std::int32_t value);

private:
    struct Fault {
        std::string name;
        int nth;  // 0: every call
        int seen;
    };

    std::vector<Entry> entries_;
    std::vector<Fault> faults_;
};

}  // namespace corvid
