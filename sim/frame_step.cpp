// The steps of one frame that belong to no single part of the train.
#include "sim/frame_step.h"

#include <atomic>
#include <cmath>

#include "chain/chain.h"
#include "interface/indices.h"
#include "sim/input_state.h"

namespace sim {
namespace {

using host::PanelIndex::AlwaysOnFirst;
using host::PanelIndex::AlwaysOnSecond;
using host::PanelIndex::Blinker;
using host::PanelIndex::BlinkerSource;

// Panel 68 blinks while panel 3 (as the array holds it after the chained plug-ins) is 1.
void blinkLamp(FrameState& fs, FrameContext& f) {
    const int32_t source = f.panel[BlinkerSource];
    if (source == 0) {
        f.panel[Blinker] = 0;
        fs.blinkTimer = 0;
    } else if (source == 1) {
        if (fs.blinkTimer <= 500) {
            f.panel[Blinker] = 1;
            fs.blinkTimer = addWrapping(fs.blinkTimer, f.timeStep);
        } else if (fs.blinkTimer < 1000) {
            f.panel[Blinker] = 2;
            fs.blinkTimer = addWrapping(fs.blinkTimer, f.timeStep);
        } else {
            f.panel[Blinker] = 2;
            fs.blinkTimer %= 1000;
        }
    } else {
        f.panel[Blinker] = 2;
        fs.blinkTimer %= 1000;
    }
}

}  // namespace

void beginOperationSet(FrameState& fs, FrameContext& f) {
    f.operationSet = std::atomic_ref<uint32_t>(fs.frameCounter).fetch_add(1) + 1;
}

void chainedPluginsStep(chain::ChainState& chain, KeyboardState& keyboardState, const KeyboardReader* keyboard,
                        const InputState& in, FrameContext& f) {
    chain::Gates gates;
    gates.brake = brakeGate(keyboardState, keyboard, in.serviceNotches, in.driverHandles.brake);
    f.out = chain::stepChainedPlugins(chain, f.state, f.panel, f.sound, in.driverHandles.power, in.driverHandles.brake,
                                      in.driverHandles.reverser, gates);
}

void emergencyLatchSounds(SoundTriggers& tr, int32_t* sound) {
    using namespace host::SoundIndex;
    sound[EmergencyLatchSetHeld] = tr.emergencyLatchSetHeld.consume();
    sound[EmergencyLatchReleasedHeld] = tr.emergencyLatchReleasedHeld.consume();
    sound[CylinderRefilling] = tr.cylinderRefilling.consume();
    sound[EmergencyLatchSet] = tr.emergencyLatchSet.consume();
    sound[EmergencyLatchReleased] = tr.emergencyLatchReleased.consume();
}

void clockStep(FrameState& fs, const FrameContext& f) {
    fs.previousTime = f.state.time;
}

void cabSoundsStep(SoundTriggers& tr, FrameState& fs, FrameContext& f) {
    using namespace host::SoundIndex;
    int32_t* sound = f.sound;
    sound[CabSwitchOn] = tr.cabSwitchOn.consume();
    sound[CabSwitchOff] = tr.cabSwitchOff.consume();
    sound[SwitchSixOffOrLimitUp] = tr.switchSixOffOrLimitUp.consume();
    sound[SwitchSixOnOrLimitDown] = tr.switchSixOnOrLimitDown.consume();
    sound[BrakeToRelease] = tr.brakeToRelease.consume();
    sound[BrakeStep] = tr.brakeStep.consume();
    sound[BrakeFromEmergency] = tr.brakeFromEmergency.consume();
    if (!fs.firstFrameDone) {
        sound[BrakePipeCharging] = host::SoundStop;
        fs.firstFrameDone = true;
    } else {
        sound[BrakePipeCharging] = f.state.bpPressure > fs.previousBpPressure ? host::SoundLoop : host::SoundStop;
    }
    sound[DoorsClosed] = tr.doorsClosed.consume();
    sound[DoorsOpened] = tr.doorsOpened.consume();
    if (fs.previousAbsoluteSpeed >= 5.0f && fs.absoluteSpeed < 5.0f) tr.speedFellBelowFive.requestPlay();
    if (fs.previousAbsoluteSpeed < 5.0f && fs.absoluteSpeed >= 5.0f) tr.speedRoseToFive.requestPlay();
    sound[SpeedFellBelowFive] = tr.speedFellBelowFive.consume();
    sound[SpeedRoseToFive] = tr.speedRoseToFive.consume();
}

void finalHandlesStep(const BrakeState& b, FrameContext& f) {
    using namespace host::PanelIndex;
    f.panel[PowerNotchSent] = f.out.power;
    f.panel[BrakeNotchSent] = f.out.brake;
    f.panel[ElectricBrakeHolds] = b.holdFlag ? 1 : 0;
}

void negativeNotchFlashStep(bool& negativeNotchFlash, FrameState& fs, const FrameContext& f) {
    if (negativeNotchFlash) {
        fs.flashTimer = addWrapping(fs.flashTimer, f.timeStep);
        if (fs.flashTimer > 99) {
            negativeNotchFlash = false;
            fs.flashTimer = 0;
        }
    }
    if (fs.flashTimer < 0) fs.flashTimer = 0;
}

void indicatorLampsStep(const InputState& in, const ModeState& m, const TractionState& t, FrameState& fs,
                        FrameContext& f) {
    using namespace host::PanelIndex;
    int32_t* panel = f.panel;
    panel[RegenerationMatchLamp] = ((m.pulseMode == 1 && t.repowerTimer > 750) || in.regenerationMatch) ? 1 : 0;
    panel[AlwaysOnFirst] = 1;
    panel[AlwaysOnSecond] = 1;
    panel[NegativeNotchFlash] = in.negativeNotchFlash ? 1 : 0;
    blinkLamp(fs, f);
    panel[SwitchFiveOnly] = (in.toggle5 && !in.toggle6) ? 1 : 0;
    panel[SwitchesFiveAndSix] = (in.toggle5 && in.toggle6) ? 1 : 0;
}

void switchTwelveLampStep(const InputState& in, FrameContext& f) {
    f.panel[host::PanelIndex::SwitchTwelve] = in.toggle12 ? 1 : 0;
}

void previousValuesStep(FrameState& fs, BrakeState& b, InstrumentState& ins, const FrameContext& f) {
    fs.previousOutputBrake = f.out.brake;
    fs.previousBcPressure = f.state.bcPressure;
    fs.previousBpPressure = f.state.bpPressure;
    fs.previousSapPressure = f.state.sapPressure;
    b.previousDisplayedSap = b.displayedSap;
    fs.previousAbsoluteSpeed = fs.absoluteSpeed;
    ins.previousLineVoltage = ins.lineVoltage;
}

void loadStartValues(SimState& sim, const config::NotchConfig& notch) {
    FrameState& fs = sim.frame;
    fs.previousBcPressure = fs.previousBpPressure = fs.previousSapPressure = 0.0f;
    fs.blinkTimer = 0;
    fs.r30 = notch.brakeMaxCurrent.empty() ? 0.0f : notch.brakeMaxCurrent.back().lookup(30.0f);
    loadTraction(sim.traction, notch);
    loadInstruments(sim.instruments);
    loadModeMachine(sim.mode);
}

void regenerationMatchStep(bool& match, const TractionState& t, const FrameState& fs, const FrameContext& f) {
    const float r7 = t.r7;
    const float current = f.state.current;
    const bool newMatch = r7 < fs.r30 - 1.0f && (r7 + current < 0.0f ? -(r7 + current) : r7 + current) < 1.0f;
    match = f.state.speed < 30.0f && current < 0.0f && (newMatch || match);
}

void motionStep(FrameState& fs, FrameContext& f) {
    const float speed = f.state.speed;
    fs.absoluteSpeed = speed < 0.0f ? -speed : speed;
    f.absoluteSpeed = fs.absoluteSpeed;
    // Differences of the host's clock are taken modulo 2^32, so a clock that runs backwards or jumps
    // gives a defined (if odd) time step.
    f.timeStep = static_cast<int32_t>(static_cast<uint32_t>(f.state.time) - static_cast<uint32_t>(fs.previousTime));
    // A frame without elapsed time (or with a speed that is not a number) has no measurable
    // acceleration; 0 keeps everything the sound layers derive from it finite.
    f.acceleration = f.timeStep != 0
                         ? (fs.absoluteSpeed - fs.previousAbsoluteSpeed) / static_cast<float>(f.timeStep) * 1000.0f
                         : 0.0f;
    if (!std::isfinite(f.acceleration)) f.acceleration = 0.0f;
}

void outputHandleRules(const InputState& in, FrameContext& f) {
    host::Handles& out = f.out;
    const float speed = f.state.speed;
    const float sap = f.state.sapPressure;
    out.reverser = in.doorsClosed ? in.driverHandles.reverser : 0;
    if (out.power == 0 && out.brake > 0 && ((sap < 80.0f && speed < 7.0f) || (sap < 320.0f && speed < 6.0f)))
        out.reverser = 0;
    if (in.driverHandles.power < 0 && speed < 15.0f) out.reverser = 0;
    if (in.toggle8 && out.power == 0 && out.brake > 0 && !in.negativePowerActive) out.reverser = 0;
    if (in.powerLimitMode == 0 && out.power > 2) out.power = 2;
    if (in.powerLimitMode == 1 && out.power > 3) out.power = 3;
    out.auxCommand = 0;
}

}  // namespace sim
