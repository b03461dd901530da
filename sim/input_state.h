// What the input entry points record for the next frame, and the cab switches they flip.
#pragma once

#include <cstdint>

#include "sim/brake_pressure_table.h"
#include "interface/host_interface.h"
#include "platform/platform.h"

namespace frame {

struct DriverHandles {
    int32_t brake = 0;
    int32_t power = 0;
    int32_t reverser = 0;
};

// The sound indices raised through requests, one trigger each; consumed by the frame step.
struct SoundTriggers {
    host::SoundTrigger door95, door96;
    host::SoundTrigger speedDown97, speedUp98;
    host::SoundTrigger switchOn107, switchOff108, step109, step110;
    host::SoundTrigger brakeFromEmergency220;
    host::SoundTrigger ebOn223, ebOff224, ebOn227, ebOff228, ebReleased229;
    host::SoundTrigger brakeReleased243, brakeStep244;
};

struct InputState {
    DriverHandles driverHandles;
    int32_t serviceNotches = 0;    // N, from brakeNotches
    int32_t emergencyNotch = 0;    // N + 1
    float carFactor = 0.0f;        // carCount as a float
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
    bool keyLatch5 = false, keyLatch6 = false, keyLatch8 = false, keyLatch9 = false, keyLatch10 = false,
         keyLatch11 = false, keyLatch12 = false;
    bool negativePowerActive = false;
    bool negativeNotchFlash = false;
    bool regenerationMatch = false;  // lamp condition of panel 41

    SoundTriggers triggers;
};

}  // namespace frame
