// One number for everything read from the sample vehicle, so that every build (native, and the
// Windows builds under Wine) can show it read the same bits.
#pragma once

#include <cstdint>
#include <cstring>

#include "config/vehicle_check.h"

namespace config_test {

// Update together with the sample vehicle's files.
constexpr uint64_t SampleVehicleFingerprint = 0xB31A6C2CE2E2E9C2ULL;

class Fingerprint {
public:
    void add(uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            hash_ ^= (value >> (8 * i)) & 0xFF;
            hash_ *= 0x100000001B3ULL;
        }
    }
    void add(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        add(uint64_t{bits});
    }
    void add(const config::CurveTable& table) {
        add(uint64_t{table.points.size()});
        for (const config::CurvePoint& p : table.points) {
            add(p.x);
            add(p.y);
        }
    }
    uint64_t value() const { return hash_; }

private:
    uint64_t hash_ = 0xCBF29CE484222325ULL;
};

inline uint64_t fingerprintOf(const config::VehicleCheck& check) {
    Fingerprint f;
    const config::NotchConfig& c = check.config;
    f.add(uint64_t{c.powerNotchCount});
    f.add(uint64_t{c.brakeNotchCount});
    for (float v : {c.powerJerk, c.brakeJerk, c.limitValueEmpty, c.limitValueFull, c.brakeReferenceSpeed}) f.add(v);
    for (const auto& t : c.powerCurrent) f.add(t);
    for (const auto& t : c.powerNoLoadCurrent) f.add(t);
    for (const auto& t : c.brakeMaxCurrent) f.add(t);
    f.add(c.brakeNoLoadCurrent);
    const config::NeedleTables& n = check.needles;
    for (const auto* t :
         {&n.pressureLeftNeedle, &n.pressureRightNeedle, &n.speedNeedle, &n.currentNeedle, &n.voltageNeedle}) {
        f.add(*t);
    }
    // Lookups between rows exercise the interpolation arithmetic as well.
    for (float v = -7.5f; v < 130.0f; v += 2.25f) {
        for (int i = 0; i < 16; ++i) f.add(c.powerCurrentAt(i, v));
        f.add(c.brakeMaxCurrentAt(5, v));
        f.add(n.speedNeedle.lookup(v));
    }
    return f.value();
}

}  // namespace config_test
