#include "support/FakeCallLog.h"

#include <iomanip>
#include <sstream>

#include "util/Failure.h"

namespace corvid {

void FakeCallLog::record(int graph, const std::string& name, const std::string& args) {
    bool fail = false;
    for (Fault& fault : faults_) {
        if (fault.name != name) continue;
        ++fault.seen;
        if (fault.nth == 0 || fault.nth == fault.seen) fail = true;
    }
    entries_.push_back({graph, name + "(" + args + ")", fail});
    if (fail) throw Failure(kInjected, "Injected failure of " + name);
}

void FakeCallLog::markLastFailed() {
    if (!entries_.empty()) entries_.back().failed = true;
}

void FakeCallLog::failOn(const std::string& name) {
    faults_.push_back({name, 0, 0});
}

void FakeCallLog::failOn(const std::string& name, int nth) {
    faults_.push_back({name, nth, 0});
}

void FakeCallLog::clearFaults() {
    faults_.clear();
}

void FakeCallLog::clear() {
    entries_.clear();
}

std::vector<std::string> FakeCallLog::calls() const {
    std::vector<std::string> result;
    for (const Entry& entry : entries_) result.push_back(entry.call);
    return result;
}

std::vector<std::string> FakeCallLog::callsOn(int graph) const {
    std::vector<std::string> result;
    for (const Entry& entry : entries_) {
        if (entry.graph == graph) result.push_back(entry.call);
    }
    return result;
}

std::vector<std::string> FakeCallLog::callsNamed(const std::vector<std::string>& names) const {
    std::vector<std::string> result;
    for (const Entry& entry : entries_) {
        for (const std::string& name : names) {
            if (nameOf(entry.call) == name) {
                result.push_back(entry.call);
                break;
            }
        }
    }
    return result;
}

std::vector<std::string> FakeCallLog::failedCalls() const {
    std::vector<std::string> result;
    for (const Entry& entry : entries_) {
        if (entry.failed) result.push_back(entry.call);
    }
    return result;
}

int FakeCallLog::count(const std::string& name) const {
    int result = 0;
    for (const Entry& entry : entries_) {
        if (nameOf(entry.call) == name) ++result;
    }
    return result;
}

bool FakeCallLog::contains(const std::string& call) const {
    return indexOf(call) >= 0;
}

int FakeCallLog::indexOf(const std::string& call, int from) const {
    for (int i = from; i < static_cast<int>(entries_.size()); ++i) {
        if (entries_[i].call == call) return i;
    }
    return -1;
}

std::string FakeCallLog::nameOf(const std::string& call) {
    return call.substr(0, call.find('('));
}

std::string FakeCallLog::arg(double value) {
    std::ostringstream text;
    text << std::setprecision(15) << value;
    return text.str();
}

std::string FakeCallLog::arg(std::int32_t value) {
    return std::to_string(value);
}

}  // namespace corvid
