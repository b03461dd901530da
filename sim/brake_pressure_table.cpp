#include "sim/brake_pressure_table.h"

namespace sim {

void BrakePressureTable::build(int32_t n) {
    entries.assign(static_cast<size_t>(n) + 1, BrakePressureEntry{});
    entries[0] = {true, 0.0f};
    const float step = 420.0f / static_cast<float>(n - 1);
    for (int32_t i = 2; i < n; ++i) entries[i].pressure = static_cast<float>(i) * step - step;
    entries[n].pressure = 420.0f;
    if (n == 1) entries[1].pressure = 420.0f;
    learnedCount = 1;
}

float BrakePressureTable::pressure(int32_t notch) const {
    if (notch < 0 || notch > serviceNotches()) return 0.0f;
    return entries[notch].pressure;
}

bool BrakePressureTable::canLearn(int32_t notch) const {
    const int32_t n = serviceNotches();
    return notch >= 0 && notch <= n && learnedCount < n + 1 && !entries[notch].learned;
}

void BrakePressureTable::learn(int32_t notch, float sap) {
    const int32_t n = serviceNotches();
    if (notch < 0 || notch > n) return;
    if (notch > 1 && sap == 0.0f) return;
    entries[notch] = {true, sap};
    learnedCount += 1;
    if (learnedCount >= n + 1) return;

    int32_t hi = n;
    for (int32_t i = notch + 1; i <= n; ++i) {
        if (entries[i].learned) {
            hi = i;
            break;
        }
    }
    if (hi > notch) {
        const float slope = (entries[hi].pressure - sap) / static_cast<float>(hi - notch);
        for (int32_t i = notch + 1; i < hi; ++i) entries[i].pressure = sap + slope * static_cast<float>(i - notch);
    }

    int32_t lo = 1;
    for (int32_t i = notch - 1; i >= 1; --i) {
        if (entries[i].learned) {
            lo = i;
            break;
        }
    }
    if (lo < notch) {
        const float slope = (sap - entries[lo].pressure) / static_cast<float>(notch - lo);
        for (int32_t i = lo + 1; i < notch; ++i)
            entries[i].pressure = entries[lo].pressure + slope * static_cast<float>(i - lo);
    }
}

}  // namespace sim
