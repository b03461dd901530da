// One frame of Corvane: the fixed order of work inside Elapse.
#pragma once

#include <cstdint>

#include "interface/host_interface.h"
#include "sim/brakes.h"
#include "sim/instruments.h"
#include "sim/keyboard.h"
#include "sim/mode_machine.h"
#include "sim/traction.h"

namespace frame {
struct InputState;
struct Plugin;
}  // namespace frame

namespace sim {

// Frame-derived quantities kept between frames.
struct FrameState {
    uint32_t frameCounter = 0;
    float absoluteSpeed = 0.0f;
    float previousAbsoluteSpeed = 0.0f;
    int32_t previousTime = 0;
    float previousBcPressure = 0.0f, previousBpPressure = 0.0f, previousSapPressure = 0.0f;
    int32_t previousOutputBrake = 0;
    int32_t blinkTimer = 0;
    int32_t flashTimer = 0;
    bool firstFrameDone = false;  // sound 239 sends a stop on the first frame
    float r30 = 0.0f;             // last brake maximum current table at 30 km/h, from Load
};

struct SimState {
    FrameState frame;
    KeyboardState keyboard;
    TractionState traction;
    BrakeState brakes;
    InstrumentState instruments;
    ModeState mode;
};

// Last of Load: the start values of the simulation.
void loadStartValues(SimState& sim, const config::NotchConfig& config);
// Absolute speed, time step and acceleration.
void motionStep(FrameState& frameState, FrameContext& frame);
// After the chained plug-ins: the reverser and power rules on the chained plug-ins' result.
void outputHandleRules(const frame::InputState& input, FrameContext& frame);
// Before the indicator lamps: the lamp condition of the regeneration-match lamp.
void regenerationMatchStep(frame::InputState& input, const TractionState& traction, const FrameState& frameState,
                           const FrameContext& frame);
// One frame of Corvane: every step in its fixed order.
host::Handles elapse(frame::Plugin& plugin, const host::VehicleState& state, int32_t* panel, int32_t* sound,
                     const FrameKeys& keys);

}  // namespace sim
