#include "support/Timings.h"

#include <algorithm>

namespace corvid::bench {

double Timings::median() const {
    if (values_.empty()) return 0;
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

double Timings::min() const {
    return values_.empty() ? 0 : *std::min_element(values_.begin(), values_.end());
}

}  // namespace corvid::bench
