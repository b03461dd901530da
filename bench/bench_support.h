// What the benchmarks share: the recorded departure on a private view of the sample vehicle, and
// the per-frame statistics they report.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "bench/departure.h"

namespace bench {

// The sample vehicle in a private folder with the departure recorded on it, built on first use.
// chained: Sentrel is chained, as in the departure scenario (the driver's handles reach the host
// only through a chained plug-in); otherwise the vehicle as shipped, with no chain.
struct DepartureSetup {
    TempFolder temp;
    VehicleView view;
    Departure departure;
    explicit DepartureSetup(bool chained);
};
DepartureSetup& departureSetup(bool chained);

using Clock = std::chrono::steady_clock;

inline double nanoseconds(Clock::duration d) {
    return std::chrono::duration<double, std::nano>(d).count();
}

// The q-quantile (0 to 1) of the values, which it reorders.
inline double quantile(std::vector<double>& values, double q) {
    if (values.empty()) return 0.0;
    const size_t k = std::min(values.size() - 1, static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

}  // namespace bench
