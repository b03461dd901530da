// The straight-air-pipe pressure of every brake notch: built from the vehicle's notch count and
// learned while the driver holds a notch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

struct BrakePressureEntry {
    bool learned = false;
    float pressure = 0.0f;  // kPa
};

struct BrakePressureTable {
    std::vector<BrakePressureEntry> entries;  // notches 0 to N
    int32_t learnedCount = 0;

    // Rebuilds the table for N service notches (N >= 1), keeping nothing of the old content.
    void build(int32_t serviceNotches);
    int32_t serviceNotches() const { return static_cast<int32_t>(entries.size()) - 1; }

    // The entry's pressure for 0 <= notch <= N, else 0.
    float pressure(int32_t notch) const;
    bool canLearn(int32_t notch) const;
    // Records the pressure held at a notch and refills the unlearned entries around it.
    void learn(int32_t notch, float sap);
};

}  // namespace sim
