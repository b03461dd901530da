// Writes the sample departure, as recorded by the stand-in host's train model, to a text file that
// the Windows benchmark program replays into the DLLs under Wine (tests/wine/frame_bench.cpp).
// Line 1: brakeNotches hostValue2 hostValue3 hostValue4 carCount initializeValue frameCount; then one
// line per frame: location speed time bcPressure mrPressure erPressure bpPressure sapPressure
// current reverser power brake doorsClosed. Every value round-trips exactly.
// Usage: corvane_departure_dump OUTPUT_FILE
#include <cstdio>
#include <exception>

#include "bench/departure.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: corvane_departure_dump OUTPUT_FILE\n");
        return 2;
    }
    try {
        bench::TempFolder temp("corvane-departure-dump");
        bench::VehicleView view(SAMPLE_PLUGIN_DIR, temp.path / "vehicle", {SENTREL_LIBRARY});
        const bench::Departure d = bench::recordDeparture(DEPARTURE_SCENARIO, view.pluginDirectory());
        std::FILE* out = std::fopen(argv[1], "w");
        if (!out) {
            std::fprintf(stderr, "corvane_departure_dump: cannot write %s\n", argv[1]);
            return 1;
        }
        std::fprintf(out, "%d %d %d %d %d %d %zu\n", d.spec.brakeNotches, d.spec.hostValue2, d.spec.hostValue3,
                     d.spec.hostValue4, d.spec.carCount, d.initializeValue, d.frames.size());
        for (const bench::DepartureFrame& f : d.frames) {
            const host::VehicleState& s = f.state;
            std::fprintf(out, "%.17g %.9g %d %.9g %.9g %.9g %.9g %.9g %.9g %d %d %d %d\n", s.location, s.speed, s.time,
                         s.bcPressure, s.mrPressure, s.erPressure, s.bpPressure, s.sapPressure, s.current, f.reverser,
                         f.power, f.brake, f.doorsClosed ? 1 : 0);
        }
        if (std::fclose(out) != 0) return 1;
        std::printf("frames %zu\n", d.frames.size());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "corvane_departure_dump: %s\n", error.what());
        return 1;
    }
    return 0;
}
