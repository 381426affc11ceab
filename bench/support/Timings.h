#pragma once

#include <vector>

namespace corvid::bench {

// Repeated measurements of one thing, in milliseconds.
class Timings {
public:
    void add(double ms) { values_.push_back(ms); }
    double median() const;
    double min() const;
    int count() const { return static_cast<int>(values_.size()); }

private:
    std::vector<double> values_;
};

}  // namespace corvid::bench
