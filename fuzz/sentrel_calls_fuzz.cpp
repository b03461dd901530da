// Sentrel driven by a host whose calls, order and values come from the input.
#include <fuzzer/FuzzedDataProvider.h>

#include "atstimer/ats_timer.h"
#include "fuzz_files.h"

namespace {

float anyFloat(FuzzedDataProvider& in) {
    const uint8_t choice = in.ConsumeIntegral<uint8_t>();
    return fuzz::interestingFloat(choice, in.ConsumeIntegral<uint32_t>());
}

int32_t anyInt(FuzzedDataProvider& in) {
    const uint8_t choice = in.ConsumeIntegral<uint8_t>();
    return fuzz::interestingInt(choice, in.ConsumeIntegral<uint32_t>());
}

double anyLocation(FuzzedDataProvider& in, double previous) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: return previous + in.ConsumeIntegralInRange<int>(-50, 400) * 0.05;
        case 1: return static_cast<double>(anyFloat(in));
        case 2: return in.ConsumeFloatingPoint<double>();
        default: return previous;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    atstimer::AtsState s;
    int32_t panel[host::PanelArraySize] = {};
    int32_t sound[host::SoundArraySize] = {};
    host::VehicleState state{};
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange<int>(0, 13)) {
            case 0:
                atstimer::setVehicleSpec(s,
                                         host::VehicleSpec{anyInt(in), anyInt(in), anyInt(in), anyInt(in), anyInt(in)});
                break;
            case 1: atstimer::initialize(s); break;
            case 2: {
                state.location = anyLocation(in, state.location);
                // Time forwards by a frame, standing still, backwards, or anywhere.
                switch (in.ConsumeIntegralInRange<int>(0, 3)) {
                    case 0:
                        state.time = static_cast<int32_t>(static_cast<uint32_t>(state.time) +
                                                          in.ConsumeIntegralInRange<uint32_t>(0, 200));
                        break;
                    case 1: break;
                    case 2:
                        state.time =
                            static_cast<int32_t>(static_cast<uint32_t>(state.time) - in.ConsumeIntegral<uint16_t>());
                        break;
                    default: state.time = anyInt(in); break;
                }
                state.speed = anyFloat(in);
                state.current = anyFloat(in);
                const host::Handles out = atstimer::elapse(s, state, panel, sound);
                if (s.atsTripped && out.brake != s.emergencyPosition) __builtin_trap();
                if (panel[atstimer::TrippedLamp] + panel[atstimer::NormalLamp] != 1) __builtin_trap();
                break;
            }
            case 3: atstimer::setPower(s, anyInt(in)); break;
            case 4: atstimer::setBrake(s, anyInt(in)); break;
            case 5: atstimer::setReverser(s, anyInt(in)); break;
            case 6: atstimer::doorOpen(s); break;
            case 7: atstimer::doorClose(s); break;
            case 8: atstimer::keyDown(s, in.ConsumeBool() ? atstimer::ResetKey : anyInt(in), in.ConsumeBool()); break;
            case 9: atstimer::keyUp(s, in.ConsumeBool() ? atstimer::ResetKey : anyInt(in)); break;
            case 10: {
                host::BeaconData beacon{};
                beacon.type = in.ConsumeBool() ? atstimer::TimerBeaconType : anyInt(in);
                beacon.signal = anyInt(in);
                beacon.extraFloat = anyFloat(in);
                beacon.optional = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-1, 6) : anyInt(in);
                atstimer::setBeaconData(s, beacon);
                break;
            }
            case 11: (void)atstimer::checkSpeedForDistance(in.ConsumeFloatingPoint<double>()); break;
            case 12: (void)atstimer::overspeed(s); break;
            default: {
                const int32_t n = atstimer::checkSpeedForDistance(static_cast<double>(anyFloat(in)));
                if (n < 5 || n > 80) __builtin_trap();
                break;
            }
        }
    }
    return 0;
}
