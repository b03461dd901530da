// Elapse: the fixed order of one frame.
#include "sim/frame_step.h"

#include <atomic>
#include <cmath>

#include "chain/chain.h"
#include "interface/indices.h"
#include "sim/plugin_state.h"
#include "sound/audio.h"
#include "sound/motor_noise.h"

namespace sim {
namespace {

using frame::PanelIndex::AlwaysOnFirst;
using frame::PanelIndex::AlwaysOnSecond;
using frame::PanelIndex::Blinker;
using frame::PanelIndex::BlinkerSource;

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

// Every change of the frame joins one operation set, committed at the end of the frame.
void beginOperationSet(FrameState& fs, FrameContext& f) {
    f.operationSet = std::atomic_ref<uint32_t>(fs.frameCounter).fetch_add(1) + 1;
}

// The chained plug-ins take the driver's handles; the brake handle passes only when the keyboard
// gate lets it through.
void chainedPluginsStep(chain::ChainState& chain, KeyboardState& keyboard, KeyboardReader readKeyboard,
                        const frame::InputState& in, FrameContext& f) {
    chain::Gates gates;
    gates.brake = brakeGate(keyboard, readKeyboard, in.serviceNotches, in.driverHandles.brake);
    f.out = chain::stepChainedPlugins(chain, f.state, f.panel, f.sound, in.driverHandles.power, in.driverHandles.brake,
                                      in.driverHandles.reverser, gates);
}

void emergencyLatchSounds(frame::SoundTriggers& tr, int32_t* sound) {
    using namespace frame::SoundIndex;
    sound[EmergencyLatchSetHeld] = tr.ebOn227.consume();
    sound[EmergencyLatchReleasedHeld] = tr.ebOff228.consume();
    sound[CylinderRefilling] = tr.ebReleased229.consume();
    sound[EmergencyLatchSet] = tr.ebOn223.consume();
    sound[EmergencyLatchReleased] = tr.ebOff224.consume();
}

// The time step of the next frame is measured from here.
void clockStep(FrameState& fs, const FrameContext& f) {
    fs.previousTime = f.state.time;
}

// The switches and handles of the cab, the brake pipe charging and the doors and speed events.
void cabSoundsStep(frame::SoundTriggers& tr, FrameState& fs, FrameContext& f) {
    using namespace frame::SoundIndex;
    int32_t* sound = f.sound;
    sound[CabSwitchOn] = tr.switchOn107.consume();
    sound[CabSwitchOff] = tr.switchOff108.consume();
    sound[SwitchSixOffOrLimitUp] = tr.step109.consume();
    sound[SwitchSixOnOrLimitDown] = tr.step110.consume();
    sound[BrakeToRelease] = tr.brakeReleased243.consume();
    sound[BrakeStep] = tr.brakeStep244.consume();
    sound[BrakeFromEmergency] = tr.brakeFromEmergency220.consume();
    if (!fs.firstFrameDone) {
        sound[BrakePipeCharging] = host::SoundStop;
        fs.firstFrameDone = true;
    } else {
        sound[BrakePipeCharging] = f.state.bpPressure > fs.previousBpPressure ? host::SoundLoop : host::SoundStop;
    }
    sound[DoorsClosed] = tr.door95.consume();
    sound[DoorsOpened] = tr.door96.consume();
    if (fs.previousAbsoluteSpeed >= 5.0f && fs.absoluteSpeed < 5.0f) tr.speedDown97.requestPlay();
    if (fs.previousAbsoluteSpeed < 5.0f && fs.absoluteSpeed >= 5.0f) tr.speedUp98.requestPlay();
    sound[SpeedFellBelowFive] = tr.speedDown97.consume();
    sound[SpeedRoseToFive] = tr.speedUp98.consume();
}

// The handles are final from here on.
void finalHandlesStep(const BrakeState& b, FrameContext& f) {
    using namespace frame::PanelIndex;
    f.panel[PowerNotchSent] = f.out.power;
    f.panel[BrakeNotchSent] = f.out.brake;
    f.panel[ElectricBrakeHolds] = b.holdFlag ? 1 : 0;
}

void negativeNotchFlashStep(frame::InputState& in, FrameState& fs, const FrameContext& f) {
    if (in.negativeNotchFlash) {
        fs.flashTimer = addWrapping(fs.flashTimer, f.timeStep);
        if (fs.flashTimer > 99) {
            in.negativeNotchFlash = false;
            fs.flashTimer = 0;
        }
    }
    if (fs.flashTimer < 0) fs.flashTimer = 0;
}

void indicatorLampsStep(const frame::InputState& in, const ModeState& m, const TractionState& t, FrameState& fs,
                        FrameContext& f) {
    using namespace frame::PanelIndex;
    int32_t* panel = f.panel;
    panel[RegenerationMatchLamp] = ((m.pulseMode == 1 && t.repowerTimer > 750) || in.regenerationMatch) ? 1 : 0;
    panel[AlwaysOnFirst] = 1;
    panel[AlwaysOnSecond] = 1;
    panel[NegativeNotchFlash] = in.negativeNotchFlash ? 1 : 0;
    blinkLamp(fs, f);
    panel[SwitchFiveOnly] = (in.toggle5 && !in.toggle6) ? 1 : 0;
    panel[SwitchesFiveAndSix] = (in.toggle5 && in.toggle6) ? 1 : 0;
}

void switchTwelveLampStep(const frame::InputState& in, FrameContext& f) {
    f.panel[frame::PanelIndex::SwitchTwelve] = in.toggle12 ? 1 : 0;
}

sound::MotorNoiseInputs motorNoiseInputs(const ModeState& m, const TractionState& t, const InstrumentState& ins,
                                         bool negativePowerActive, const FrameContext& frame) {
    sound::MotorNoiseInputs in;
    in.mode = m.pulseMode;
    in.r = t.voltageRatio;
    in.s = t.motorSpeed;
    in.v = frame.state.speed;
    in.n = t.effectiveNotch;
    in.h = negativePowerActive;
    in.a = frame.acceleration;
    in.gp = m.powerGain;
    in.gb = m.brakeGain;
    in.f = m.fieldRamp;
    in.u = ins.lineVoltage;
    return in;
}

// What the next frame compares against.
void previousValuesStep(FrameState& fs, BrakeState& b, InstrumentState& ins, const FrameContext& f) {
    fs.previousOutputBrake = f.out.brake;
    fs.previousBcPressure = f.state.bcPressure;
    fs.previousBpPressure = f.state.bpPressure;
    fs.previousSapPressure = f.state.sapPressure;
    b.previousDisplayedSap = b.displayedSap;
    fs.previousAbsoluteSpeed = fs.absoluteSpeed;
    ins.previousLineVoltage = ins.lineVoltage;
}

}  // namespace

void loadStartValues(SimState& sim, const config::NotchConfig& notch) {
    FrameState& fs = sim.frame;
    fs.previousBcPressure = fs.previousBpPressure = fs.previousSapPressure = 0.0f;
    fs.blinkTimer = 0;
    fs.r30 = notch.brakeMaxCurrent.empty() ? 0.0f : notch.brakeMaxCurrent.back().lookup(30.0f);
    loadTraction(sim.traction, notch);
    loadInstruments(sim.instruments);
    loadModeMachine(sim.mode);
}

void regenerationMatchStep(frame::InputState& in, const TractionState& t, const FrameState& fs, const FrameContext& f) {
    const float r7 = t.r7;
    const float current = f.state.current;
    bool& match = in.regenerationMatch;
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

void outputHandleRules(const frame::InputState& in, FrameContext& f) {
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

host::Handles elapse(frame::Plugin& p, const host::VehicleState& state, int32_t* panel, int32_t* sound,
                     const FrameKeys& keys) {
    frame::InputState& in = p.input;
    SimState& sim = p.sim;
    FrameContext f{state, p.config, panel, sound};
    // The pause key first: a paused engine restarts before this frame's requests.
    sound::beginAudioFrame(p.audio, keys.pauseDown);
    beginOperationSet(sim.frame, f);
    motionStep(sim.frame, f);
    chainedPluginsStep(p.chain, sim.keyboard, keys.readKeyboard, in, f);
    outputHandleRules(in, f);
    emergencyLatchStep(sim.brakes, in, f);
    releaseSequencingStep(sim.brakes, in, sim.frame, f);
    emergencyLatchSounds(in.triggers, sound);
    learningStep(sim.brakes, in, sim.frame, f);
    clockStep(sim.frame, f);
    regenNoLoadCurrentStep(sim.traction, f);
    cabSoundsStep(in.triggers, sim.frame, f);
    tractionStep(sim.traction, in, sim.instruments.lineVoltage, f);
    blendingStep(sim.brakes, in, sim.traction, f);
    displayedSapStep(sim.brakes, p.audio, in, sim.frame, f);
    finalHandlesStep(sim.brakes, f);
    cylinderExhaustMuteStep(p.audio, sim.brakes, in, f);
    motorCurrentStep(sim.traction);
    const LayerRewinds rewinds = modeMachineStep(sim.mode, sim.traction, in, sim.instruments.lineVoltage, f);
    negativeNotchFlashStep(in, sim.frame, f);
    lineVoltageStep(sim.instruments, sim.traction, in, f);
    regenerationMatchStep(in, sim.traction, sim.frame, f);
    indicatorLampsStep(in, sim.mode, sim.traction, sim.frame, f);
    needlesStep(p.needles, sim.traction, sim.mode, sim.brakes, sim.instruments, f);
    modeStepTimerAdvance(sim.mode, f);
    switchTwelveLampStep(in, f);
    adjustmentDisplayStep(in, f);
    previousValuesStep(sim.frame, sim.brakes, sim.instruments, f);
    noiseSharesStep(sim.mode, sim.traction, in.driverHandles, f);
    sound::motorNoiseStep(p.audio, rewinds.layers,
                          motorNoiseInputs(sim.mode, sim.traction, sim.instruments, in.negativePowerActive, f),
                          f.operationSet);
    // One commit for every audio change of the frame.
    sound::endAudioFrame(p.audio, f.operationSet);
    return f.out;
}

}  // namespace sim
