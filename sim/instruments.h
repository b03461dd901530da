// Gauge needles through their calibration tables, the simulated line voltage and the needle
// adjustment display.
#pragma once

#include <cstdint>

#include "config/needle_tables.h"
#include "platform/platform.h"
#include "sim/frame_context.h"

namespace sim {

struct InputState;
struct BrakeState;
struct ModeState;
struct TractionState;

// A uniform 32-bit value; tests hand in a scripted one.
using RandomSource = uint32_t (*)();

struct InstrumentState {
    float nominalVoltage = 0.0f;  // V, the free-running overhead-line voltage
    float lineVoltage = 0.0f;     // V, what the voltmeter and the traction model see
    int32_t voltageTimer = 0;     // ms
    float previousLineVoltage = 0.0f;
    RandomSource random = &platform::randomU32;
};

// Load: a fresh nominal voltage from 1400 to 1599 V; the line voltage reads 0 until its first update.
void loadInstruments(InstrumentState& instruments);

// After the negative-notch flash.
void lineVoltageStep(InstrumentState& instruments, const TractionState& traction, const InputState& input,
                     const FrameContext& frame);
// The line voltage with its inputs spelled out: every 500 ms a random walk of the nominal voltage
// and a sag under the traction current.
void updateLineVoltage(InstrumentState& instruments, float current, float voltageRatio, float carFactor,
                       int32_t timeStepMs);

// After the indicator lamps: the seven needles. The ammeter reads modeStepTimer before the mode machine
// advances it in the same frame.
void needlesStep(const config::NeedleTables& tables, const TractionState& traction, const ModeState& mode,
                 const BrakeState& brakes, const InstrumentState& instruments, FrameContext& frame);
void writeNeedles(const config::NeedleTables& tables, int32_t* panel, float absoluteSpeed, float motorCurrent,
                  int32_t modeStepTimerMs, float bcPressure, float displayedSap, float bpPressure, float mrPressure,
                  float lineVoltage);
// After panel 252: the adjusted needle and the four digits of the adjustment value.
void adjustmentDisplayStep(InputState& input, FrameContext& frame);

// A float as a panel value: truncated toward zero, NaN as 0, saturated at the int32 range.
int32_t toPanelValue(float value);

}  // namespace sim
