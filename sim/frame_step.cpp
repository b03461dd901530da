// Elapse: the fixed order of one frame.
#include "sim/frame_step.h"

#include <atomic>
#include <cmath>

#include "chain/chain.h"
#include "frame/plugin.h"
#include "sound/audio.h"
#include "sound/motor_noise.h"

namespace sim {
namespace {

void writeConstantLamps(int32_t* panel) {
    panel[42] = 1;
    panel[43] = 1;
}

// Panel 68 blinks while panel 3 (as the array holds it after the chained plug-ins) is 1.
void blinkLamp(FrameState& fs, FrameContext& f) {
    const int32_t source = f.panel[3];
    if (source == 0) {
        f.panel[68] = 0;
        fs.blinkTimer = 0;
    } else if (source == 1) {
        if (fs.blinkTimer <= 500) {
            f.panel[68] = 1;
            fs.blinkTimer = addWrapping(fs.blinkTimer, f.timeStep);
        } else if (fs.blinkTimer < 1000) {
            f.panel[68] = 2;
            fs.blinkTimer = addWrapping(fs.blinkTimer, f.timeStep);
        } else {
            f.panel[68] = 2;
            fs.blinkTimer %= 1000;
        }
    } else {
        f.panel[68] = 2;
        fs.blinkTimer %= 1000;
    }
}

}  // namespace

void loadStartValues(frame::Plugin& p) {
    FrameState& fs = p.sim.frame;
    fs.previousBcPressure = fs.previousBpPressure = fs.previousSapPressure = 0.0f;
    fs.blinkTimer = 0;
    const config::NotchConfig& notch = p.config;
    fs.r30 = notch.brakeMaxCurrent.empty() ? 0.0f : notch.brakeMaxCurrent.back().lookup(30.0f);
    loadTraction(p, p.config);
    loadBrakes(p);
    loadInstruments(p);
    loadModeMachine(p);
}

void regenerationMatchStep(frame::Plugin& p, FrameContext& f) {
    const float r7 = p.sim.traction.r7;
    const float current = f.state.current;
    bool& match = p.input.regenerationMatch;
    const bool newMatch = r7 < p.sim.frame.r30 - 1.0f && (r7 + current < 0.0f ? -(r7 + current) : r7 + current) < 1.0f;
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

void outputHandleRules(frame::Plugin& p, FrameContext& f) {
    const frame::InputState& in = p.input;
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
    if (in.ebLatch) emergencyLatchStep(p, f);
}

host::Handles elapse(frame::Plugin& p, const host::VehicleState& state, int32_t* panel, int32_t* sound) {
    frame::InputState& in = p.input;
    frame::SoundTriggers& tr = in.triggers;
    FrameState& fs = p.sim.frame;
    FrameContext f{state, p.config, panel, sound};

    // 1. Pause handling.
    sound::beginAudioFrame(p.audio);

    // 2. The operation set of this frame.
    f.operationSet = std::atomic_ref<uint32_t>(fs.frameCounter).fetch_add(1) + 1;

    // 3. Speed, time step, acceleration.
    motionStep(fs, f);

    // 4. Keyboard snapshot and the brake-forward gate.
    const bool forwardBrake = brakeGate(p.sim.keyboard, in.serviceNotches, in.driverHandles.brake);

    // 5. Chained plug-ins.
    chain::Gates gates;
    gates.brake = forwardBrake;
    host::Handles& out = f.out;
    out = chain::stepChainedPlugins(p.chain, state, panel, sound, in.driverHandles.power, in.driverHandles.brake,
                                    in.driverHandles.reverser, gates);

    // 6. Output handle rules.
    outputHandleRules(p, f);

    // 7. Emergency-latch release sequencing, then its sounds.
    releaseSequencingStep(p, f);
    sound[227] = tr.ebOn227.consume();
    sound[228] = tr.ebOff228.consume();
    sound[229] = tr.ebReleased229.consume();
    sound[223] = tr.ebOn223.consume();
    sound[224] = tr.ebOff224.consume();

    // 8. Steady-pressure timer and learning of the notch pressures.
    learningStep(p, f);
    fs.previousTime = state.time;

    // 9.
    regenNoLoadCurrentStep(p, f);

    // 10. Cab sounds.
    sound[107] = tr.switchOn107.consume();
    sound[108] = tr.switchOff108.consume();
    sound[109] = tr.step109.consume();
    sound[110] = tr.step110.consume();
    sound[243] = tr.brakeReleased243.consume();
    sound[244] = tr.brakeStep244.consume();
    sound[220] = tr.brakeFromEmergency220.consume();
    if (!fs.firstFrameDone) {
        sound[239] = host::SoundStop;
        fs.firstFrameDone = true;
    } else {
        sound[239] = state.bpPressure > fs.previousBpPressure ? host::SoundLoop : host::SoundStop;
    }
    sound[95] = tr.door95.consume();
    sound[96] = tr.door96.consume();
    if (fs.previousAbsoluteSpeed >= 5.0f && fs.absoluteSpeed < 5.0f) tr.speedDown97.requestPlay();
    if (fs.previousAbsoluteSpeed < 5.0f && fs.absoluteSpeed >= 5.0f) tr.speedUp98.requestPlay();
    sound[97] = tr.speedDown97.consume();
    sound[98] = tr.speedUp98.consume();

    // 11 to 13. Traction, brake blending, displayed SAP and exhaust events.
    tractionStep(p, f);
    blendingStep(p, f);
    displayedSapStep(p, f);

    // 14. The handles are final from here on.
    panel[37] = out.power;
    panel[38] = out.brake;
    panel[39] = p.sim.brakes.holdFlag ? 1 : 0;
    cylinderExhaustMuteStep(p, f);

    // 15. Motor current and the main-circuit mode.
    motorCurrentStep(p, f);
    modeMachineStep(p, f);

    // 16. Negative notch flash.
    if (in.negativeNotchFlash) {
        fs.flashTimer = addWrapping(fs.flashTimer, f.timeStep);
        if (fs.flashTimer > 99) {
            in.negativeNotchFlash = false;
            fs.flashTimer = 0;
        }
    }
    if (fs.flashTimer < 0) fs.flashTimer = 0;

    // 17. Line voltage.
    lineVoltageStep(p, f);

    // 18. Indicator lamps.
    regenerationMatchStep(p, f);
    panel[41] = ((p.sim.mode.pulseMode == 1 && p.sim.traction.repowerTimer > 750) || in.regenerationMatch) ? 1 : 0;
    writeConstantLamps(panel);
    panel[45] = in.negativeNotchFlash ? 1 : 0;
    blinkLamp(fs, f);
    panel[135] = (in.toggle5 && !in.toggle6) ? 1 : 0;
    panel[136] = (in.toggle5 && in.toggle6) ? 1 : 0;

    // 19. Needles, the switch lamp, the adjustment display.
    needlesStep(p, f);
    modeStepTimerAdvance(p, f);
    panel[252] = in.toggle12 ? 1 : 0;
    adjustmentDisplayStep(p, f);

    // 20. Previous values.
    fs.previousOutputBrake = out.brake;
    fs.previousBcPressure = state.bcPressure;
    fs.previousBpPressure = state.bpPressure;
    fs.previousSapPressure = state.sapPressure;
    storePreviousBrakeValues(p, f);
    fs.previousAbsoluteSpeed = fs.absoluteSpeed;
    p.sim.instruments.previousLineVoltage = p.sim.instruments.lineVoltage;
    noiseSharesStep(p, f);

    // 21. Motor noise.
    sound::motorNoiseStep(p, f);

    // 22. One commit for every audio change of the frame.
    sound::endAudioFrame(p.audio, f.operationSet);
    return out;
}

}  // namespace sim
