// Elapse: the fixed order of one frame. Every step is named here, top to bottom, with the parts of
// the plug-in it reads and writes.
#include "corvane/lifecycle.h"
#include "sound/motor_noise.h"

namespace corvane {
namespace {

// The motor-noise layers' inputs, as the simulation left them this frame.
sound::MotorNoiseInputs motorNoiseInputs(const sim::ModeState& m, const sim::TractionState& t,
                                         const sim::InstrumentState& ins, bool negativePowerActive,
                                         const sim::FrameContext& frame) {
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

}  // namespace

host::Handles elapse(Plugin& p, const host::VehicleState& state, int32_t* panel, int32_t* sound,
                     const sim::FrameKeys& keys) {
    sim::InputState& in = p.input;
    sim::SimState& model = p.sim;
    sim::FrameContext f{state, p.config, panel, sound};
    // The pause key first: a paused engine restarts before this frame's requests.
    sound::beginAudioFrame(p.audio, keys.pauseDown);
    sim::beginOperationSet(model.frame, f);
    sim::motionStep(model.frame, f);
    sim::chainedPluginsStep(p.chain, model.keyboard, keys.keyboard, in, f);
    sim::outputHandleRules(in, f);
    sim::emergencyLatchStep(model.brakes, in, f);
    sim::releaseSequencingStep(model.brakes, in, model.frame, f);
    sim::emergencyLatchSounds(in.triggers, sound);
    sim::learningStep(model.brakes, in.brakePressureTable, in.ebLatch, model.frame, f);
    sim::clockStep(model.frame, f);
    sim::regenNoLoadCurrentStep(model.traction, f);
    sim::cabSoundsStep(in.triggers, model.frame, f);
    sim::tractionStep(model.traction, in, model.instruments.lineVoltage, f);
    sim::blendingStep(model.brakes, in, model.traction, f);
    sim::displayedSapStep(model.brakes, p.audio, in, model.frame, f);
    sim::finalHandlesStep(model.brakes, f);
    sim::cylinderExhaustMuteStep(p.audio, model.brakes, in, f);
    sim::motorCurrentStep(model.traction);
    const sim::LayerRewinds rewinds =
        sim::modeMachineStep(model.mode, model.traction, in, model.instruments.lineVoltage, f);
    sim::negativeNotchFlashStep(in.negativeNotchFlash, model.frame, f);
    sim::lineVoltageStep(model.instruments, model.traction, in, f);
    sim::regenerationMatchStep(in.regenerationMatch, model.traction, model.frame, f);
    sim::indicatorLampsStep(in, model.mode, model.traction, model.frame, f);
    sim::needlesStep(p.needles, model.traction, model.mode, model.brakes, model.instruments, f);
    sim::modeStepTimerAdvance(model.mode, f);
    sim::switchTwelveLampStep(in, f);
    sim::adjustmentDisplayStep(in, f);
    sim::previousValuesStep(model.frame, model.brakes, model.instruments, f);
    sim::noiseSharesStep(model.mode, model.traction, in.driverHandles, f);
    sound::motorNoiseStep(p.audio, rewinds.layers,
                          motorNoiseInputs(model.mode, model.traction, model.instruments, in.negativePowerActive, f),
                          f.operationSet);
    // One commit for every audio change of the frame.
    sound::endAudioFrame(p.audio, f.operationSet);
    return f.out;
}

}  // namespace corvane
