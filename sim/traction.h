// Power-notch rewriting and the main-circuit currents, motor speed, voltage and voltage ratio.
#pragma once

#include <cstdint>

#include "sim/frame_context.h"

namespace sim {

struct InputState;
// A straight line y = slope * x + offset.
struct StraightLine {
    float slope = 0.0f;
    float offset = 0.0f;
};

struct TractionState {
    int32_t effectiveNotch = 0;  // main-circuit power notch, 1-based like the output power notch
    bool notch2Hold = false;
    int32_t repowerNotch = 0;  // table index chosen for re-applying power at speed; 0 = none
    bool repowering = false;
    float repowerSpeed = 0.0f;  // km/h, absolute speed at which repowering began
    int32_t repowerTimer = 0;   // ms
    int32_t fullVoltageNotch = 0;
    float fullVoltageSpeed = 0.0f;  // km/h
    float r15 = 0.0f;               // A, notch-2 current at 15 km/h, the starting-current reference
    float noLoadCurrent = 0.0f;     // A, of the effective notch
    float excitationBoost = 0.0f;   // A, 0 to 11
    float motorCurrent = 0.0f;      // A
    float voltageRatio = 0.0f;
    float r5 = 0.0f, r7 = 0.0f;  // brake maximum current tables 5 and 7 at the absolute speed
    float loadCurrent = 0.0f, excitationCurrent = 0.0f, regenNoLoadCurrent = 0.0f;
    float motorSpeed = 0.0f;      // km/h, never negative
    float motorFrequency = 0.0f;  // Hz
    float motorVoltage = 0.0f;    // V
    bool regenLimitLatch = false;
    // Jerk thresholds (A) and the lines through 0 at the quarter and 1 at the half threshold.
    float powerJerkHalf = 0.0f, powerJerkQuarter = 0.0f;
    float brakeJerkHalf = 0.0f, brakeJerkQuarter = 0.0f;
    StraightLine powerJerkLine, brakeJerkLine;
};

// In Load, after the needle tables: reference current, jerk thresholds and start values.
void loadTraction(TractionState& traction, const config::NotchConfig& config);
// After the notch pressures are learned: the no-load current of regeneration.
void regenNoLoadCurrentStep(TractionState& traction, const FrameContext& frame);
// After the cab sounds: notch progression, current limiting and the power rewrites. The line
// voltage is the previous frame's: it moves later in the frame.
void tractionStep(TractionState& traction, InputState& input, float lineVoltage, FrameContext& frame);
// Once the handles are final, before the main-circuit mode.
void motorCurrentStep(TractionState& traction);

}  // namespace sim
