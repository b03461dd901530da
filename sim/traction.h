// Power-notch rewriting and the main-circuit currents, motor speed, voltage and voltage ratio.
#pragma once

#include <cstdint>

#include "sim/frame_context.h"

namespace frame {
struct Plugin;
}

namespace sim {

struct TractionState {
    int32_t effectiveNotch = 0;
    float motorCurrent = 0.0f;  // A
    float voltageRatio = 0.0f;
    int32_t repowerTimer = 0;  // ms
    float r5 = 0.0f, r7 = 0.0f;  // brake maximum current tables 5 and 7 at the absolute speed
    float loadCurrent = 0.0f, excitationCurrent = 0.0f, regenNoLoadCurrent = 0.0f;
    float motorSpeed = 0.0f;
};

// Load step 6: reference current, jerk thresholds and start values.
void loadTraction(frame::Plugin& plugin, const config::NotchConfig& config);
// Frame step 9.
void regenNoLoadCurrentStep(frame::Plugin& plugin, FrameContext& frame);
// Frame step 11: notch progression, current limiting and the power rewrites.
void tractionStep(frame::Plugin& plugin, FrameContext& frame);
// Start of frame step 15.
void motorCurrentStep(frame::Plugin& plugin, FrameContext& frame);

}  // namespace sim
