// The frame's own state, and the steps of a frame that belong to no single part of the train. The
// frame's order is Corvane's elapse, in corvane/frame.cpp.
#pragma once

#include <cstdint>

#include "interface/host_interface.h"
#include "sim/brakes.h"
#include "sim/instruments.h"
#include "sim/keyboard.h"
#include "sim/mode_machine.h"
#include "sim/traction.h"

namespace chain {
struct ChainState;
}

namespace sim {

struct InputState;
struct SoundTriggers;

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
// First of a frame: every change of the frame joins one operation set, committed at its end.
void beginOperationSet(FrameState& frameState, FrameContext& frame);
// Absolute speed, time step and acceleration.
void motionStep(FrameState& frameState, FrameContext& frame);
// The chained plug-ins take the driver's handles; the brake handle passes only when the keyboard
// gate lets it through.
void chainedPluginsStep(chain::ChainState& chain, KeyboardState& keyboardState, const KeyboardReader* keyboard,
                        const InputState& input, FrameContext& frame);
// After the chained plug-ins: the reverser and power rules on the chained plug-ins' result.
void outputHandleRules(const InputState& input, FrameContext& frame);
// After the release sequencing has raised them: the emergency latch's sounds.
void emergencyLatchSounds(SoundTriggers& triggers, int32_t* sound);
// The time step of the next frame is measured from here.
void clockStep(FrameState& frameState, const FrameContext& frame);
// The switches and handles of the cab, the brake pipe charging and the doors and speed events.
void cabSoundsStep(SoundTriggers& triggers, FrameState& frameState, FrameContext& frame);
// The handles are final from here on: the notches sent and the electric brake's hold lamp.
void finalHandlesStep(const BrakeState& brakes, FrameContext& frame);
// The negative-notch lamp's flash ends after 100 ms.
void negativeNotchFlashStep(bool& negativeNotchFlash, FrameState& frameState, const FrameContext& frame);
// Before the indicator lamps: the lamp condition of the regeneration-match lamp.
void regenerationMatchStep(bool& regenerationMatch, const TractionState& traction, const FrameState& frameState,
                           const FrameContext& frame);
void indicatorLampsStep(const InputState& input, const ModeState& mode, const TractionState& traction,
                        FrameState& frameState, FrameContext& frame);
void switchTwelveLampStep(const InputState& input, FrameContext& frame);
// Last of the simulation: what the next frame compares against.
void previousValuesStep(FrameState& frameState, BrakeState& brakes, InstrumentState& instruments,
                        const FrameContext& frame);

}  // namespace sim
