// Gauge needles through their calibration tables, the simulated line voltage and the needle
// adjustment display.
#include "sim/instruments.h"

#include <algorithm>

#include "interface/indices.h"
#include "sim/frame_step.h"
#include "sim/input_state.h"

namespace sim {

int32_t toPanelValue(float value) {
    if (value != value) return 0;
    // 2^31 is exact in float; everything below it and at or above -2^31 converts without overflow.
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value < -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}

void loadInstruments(InstrumentState& ins) {
    ins.nominalVoltage = 1400.0f + static_cast<float>(ins.random() % 200u);
    ins.lineVoltage = 0.0f;
}

void updateLineVoltage(InstrumentState& ins, float current, float voltageRatio, float carFactor, int32_t timeStepMs) {
    if (ins.voltageTimer >= 500) {
        const uint32_t r = ins.random() % 100u;
        if (r > 96) {
            ins.nominalVoltage += 10.0f;
        } else if (r < 3) {
            ins.nominalVoltage -= 10.0f;
        }
        ins.nominalVoltage = std::clamp(ins.nominalVoltage, 1380.0f, 1620.0f);
        float v = ins.nominalVoltage;
        if (current != 0.0f) {
            // Until the line voltage is first known the voltage ratio is not a number; a sag that is
            // not a number would keep the line voltage undefined for as long as current flows.
            const float sag = current * voltageRatio * carFactor * 0.25f;
            if (sag == sag) v -= sag;
        }
        ins.lineVoltage = std::clamp(v, 1310.0f, 1700.0f);
        ins.voltageTimer %= 500;
    } else if (ins.voltageTimer < 0) {
        ins.voltageTimer = 0;
    }
    ins.voltageTimer = addWrapping(ins.voltageTimer, timeStepMs);
}

void lineVoltageStep(InstrumentState& ins, const TractionState& t, const InputState& in, const FrameContext& f) {
    updateLineVoltage(ins, f.state.current, t.voltageRatio, in.carFactor, f.timeStep);
}

void writeNeedles(const config::NeedleTables& t, int32_t* panel, float absoluteSpeed, float motorCurrent,
                  int32_t modeStepTimerMs, float bcPressure, float displayedSap, float bpPressure, float mrPressure,
                  float lineVoltage) {
    // The ammeter dips to 70 % for the first 100 ms after the circuit steps to 27 or 15.
    const float k = modeStepTimerMs < 100 ? 0.7f : 1.0f;
    using namespace host::PanelIndex;
    panel[Speedometer] = toPanelValue(t.speedNeedle.lookup(absoluteSpeed) * 100.0f);
    panel[Ammeter] = toPanelValue(t.currentNeedle.lookup(k * motorCurrent * 4.0f));
    panel[CylinderNeedle] = toPanelValue(t.pressureLeftNeedle.lookup(bcPressure));
    panel[StraightAirPipeNeedle] = toPanelValue(t.pressureLeftNeedle.lookup(displayedSap));
    panel[BrakePipeNeedle] = toPanelValue(t.pressureRightNeedle.lookup(bpPressure));
    panel[MainReservoirNeedle] = toPanelValue(t.pressureRightNeedle.lookup(mrPressure));
    panel[Voltmeter] = toPanelValue(t.voltageNeedle.lookup(lineVoltage));
}

void needlesStep(const config::NeedleTables& tables, const TractionState& t, const ModeState& m, const BrakeState& b,
                 const InstrumentState& ins, FrameContext& f) {
    writeNeedles(tables, f.panel, f.absoluteSpeed, t.motorCurrent, m.modeStepTimer, f.state.bcPressure, b.displayedSap,
                 f.state.bpPressure, f.state.mrPressure, ins.lineVoltage);
}

void adjustmentDisplayStep(InputState& in, FrameContext& f) {
    int32_t* panel = f.panel;
    using namespace host::PanelIndex;
    // The gauge each adjustment target (1 to 7) shows its value on.
    static constexpr int AdjustedPanel[8] = {
        -1,      CylinderNeedle, StraightAirPipeNeedle, BrakePipeNeedle, MainReservoirNeedle, Speedometer,
        Ammeter, Voltmeter};
    const int32_t target = in.adjustTarget;
    const bool showing = in.panelModifyMode && target >= 1 && target <= 7;
    if (in.panelModifyMode) {
        if (showing) panel[AdjustedPanel[target]] = in.adjustValue;
        // The panel has had the negative value for this frame; the digits show 0 from now on.
        if (in.adjustValue < 0) in.adjustValue = 0;
    }
    if (!showing) {
        for (int i = AdjustmentDigitFirst; i <= AdjustmentDigitLast; ++i) panel[i] = 10;
        return;
    }
    // The speedometer is scaled by 100, so its digits start two places higher.
    int32_t divisor = target == 5 ? 100000 : 1000;
    for (int i = AdjustmentDigitFirst; i <= AdjustmentDigitLast; ++i) {
        panel[i] = (in.adjustValue / divisor) % 10;
        divisor /= 10;
    }
}

}  // namespace sim
