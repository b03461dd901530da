// What the input entry points record for the next frame, and the cab switches they flip.
#pragma once

#include <bitset>
#include <cstdint>

#include "interface/host_interface.h"
#include "interface/indices.h"
#include "platform/platform.h"
#include "sim/brake_pressure_table.h"

namespace sim {

struct DriverHandles {
    int32_t brake = 0;
    int32_t power = 0;
    int32_t reverser = 0;
};

// The sound indices raised through requests, one trigger each, named as host::SoundIndex names the
// index; consumed by the frame step.
struct SoundTriggers {
    host::SoundTrigger doorsClosed, doorsOpened;
    host::SoundTrigger speedFellBelowFive, speedRoseToFive;
    host::SoundTrigger cabSwitchOn, cabSwitchOff, switchSixOffOrLimitUp, switchSixOnOrLimitDown;
    host::SoundTrigger brakeFromEmergency;
    host::SoundTrigger emergencyLatchSet, emergencyLatchReleased, emergencyLatchSetHeld, emergencyLatchReleasedHeld,
        cylinderRefilling;
    host::SoundTrigger brakeToRelease, brakeStep;
};

struct InputState {
    DriverHandles driverHandles;
    int32_t serviceNotches = 0;  // N, from brakeNotches
    int32_t emergencyNotch = 0;  // N + 1
    float carFactor = 0.0f;      // carCount as a float
    BrakePressureTable brakePressureTable;
    float limitValueEmpty = 0.0f;  // kPa thresholds and reference speed copied from the notch file
    float limitValueFull = 0.0f;
    float brakeReferenceSpeed = 0.0f;

    float peakCurrent = 0.0f;  // A, starting-current reference of the notch progression
    bool doorsClosed = false;
    bool panelModifyMode = false;
    int32_t adjustTarget = 0;
    int32_t adjustValue = 0;
    bool toggle5 = false, toggle6 = false, toggle7 = false, toggle8 = false, toggle12 = false;
    bool ebLatch = false;
    int32_t powerLimitMode = 0;
    // The keys down since their KeyDown, by host::KeyIndex: a held key repeats KeyDown, and a
    // switch acts on the first only.
    std::bitset<host::KeyIndex::Switch12 + 1> keysHeld;
    bool negativePowerActive = false;
    bool negativeNotchFlash = false;
    bool regenerationMatch = false;  // lamp condition of panel 41

    SoundTriggers triggers;
};

}  // namespace sim
