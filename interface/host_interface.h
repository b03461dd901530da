// The host's records, arrays and sound values, shared by both plug-ins.
// The layouts are the host's: every offset below is part of the interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/entry_convention.h"

namespace host {

constexpr int32_t PluginInterfaceVersion = 0x20000;

struct VehicleSpec {
    int32_t brakeNotches;
    int32_t hostValue2;
    int32_t hostValue3;
    int32_t hostValue4;
    int32_t carCount;
};

struct VehicleState {
    double location;   // m
    float speed;       // km/h, signed
    int32_t time;      // ms
    float bcPressure;  // kPa
    float mrPressure;
    float erPressure;
    float bpPressure;
    float sapPressure;
    float current;     // A, signed
};

struct Handles {
    int32_t brake;
    int32_t power;
    int32_t reverser;
    int32_t auxCommand;
};

struct BeaconData {
    int32_t type;
    int32_t signal;
    float extraFloat;
    int32_t optional;
};

static_assert(sizeof(VehicleSpec) == 20, "VehicleSpec is 20 bytes");
static_assert(offsetof(VehicleSpec, brakeNotches) == 0 && offsetof(VehicleSpec, hostValue2) == 4 &&
                  offsetof(VehicleSpec, hostValue3) == 8 && offsetof(VehicleSpec, hostValue4) == 12 &&
                  offsetof(VehicleSpec, carCount) == 16,
              "VehicleSpec field offsets");
static_assert(sizeof(VehicleState) == 40, "VehicleState is 40 bytes");
static_assert(offsetof(VehicleState, location) == 0 && offsetof(VehicleState, speed) == 8 &&
                  offsetof(VehicleState, time) == 12 && offsetof(VehicleState, bcPressure) == 16 &&
                  offsetof(VehicleState, mrPressure) == 20 && offsetof(VehicleState, erPressure) == 24 &&
                  offsetof(VehicleState, bpPressure) == 28 && offsetof(VehicleState, sapPressure) == 32 &&
                  offsetof(VehicleState, current) == 36,
              "VehicleState field offsets");
static_assert(sizeof(Handles) == 16, "Handles is 16 bytes");
static_assert(offsetof(Handles, brake) == 0 && offsetof(Handles, power) == 4 &&
                  offsetof(Handles, reverser) == 8 && offsetof(Handles, auxCommand) == 12,
              "Handles field offsets");
static_assert(sizeof(BeaconData) == 16, "BeaconData is 16 bytes");
static_assert(offsetof(BeaconData, type) == 0 && offsetof(BeaconData, signal) == 4 &&
                  offsetof(BeaconData, extraFloat) == 8 && offsetof(BeaconData, optional) == 12,
              "BeaconData field offsets");

// Values written into the sound array.
constexpr int32_t SoundPlayOnce = 1;
constexpr int32_t SoundContinue = 2;
constexpr int32_t SoundStop = -10000;
constexpr int32_t SoundLoop = 0;

// The host's arrays are at least this long; elements beyond are never written.
constexpr int PanelArraySize = 256;
constexpr int SoundArraySize = 256;

// One host sound index driven by requests. A later request between two frames replaces an earlier one.
struct SoundTrigger {
    bool play = false;
    bool stop = false;
    bool reset = true;  // the first frame after loading sends a stop before anything else

    void requestPlay() { play = true, stop = false; }
    void requestStop() { play = false, stop = true; }

    // The sound-array value of this frame.
    int32_t consume() {
        if (reset) {
            reset = false;
            return SoundStop;
        }
        if (play) {
            play = false;
            return SoundPlayOnce;
        }
        if (stop) {
            stop = false;
            return SoundStop;
        }
        return SoundContinue;
    }
};
static_assert(sizeof(SoundTrigger) == 3, "SoundTrigger is three one-byte flags");

}  // namespace host
