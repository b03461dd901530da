// A train with a known set of notch tables, and the traction and mode steps of one frame run in
// the frame's order with the handles that the earlier frame steps would have built.
#pragma once

#include <cmath>

#include "corvane/lifecycle.h"

namespace traction_test {

inline config::CurveTable flat(float current) {
    return config::CurveTable{{{0.0f, current}}};
}

inline config::CurveTable line(float x0, float y0, float x1, float y1) {
    return config::CurveTable{{{x0, y0}, {x1, y1}}};
}

// Twenty power notches: notch 1 draws 100 A, notch 2 falls from 400 A at rest to 0 at 100 km/h
// (340 A at 15 km/h), table i from 8 up draws 100 × i A. Brake table k allows 100 × (k + 1) A.
inline config::NotchConfig twentyNotchTrain() {
    config::NotchConfig c;
    c.powerNotchCount = 20;
    for (int i = 0; i < 20; ++i) {
        c.powerCurrent.push_back(i == 0   ? flat(100.0f)
                                 : i == 1 ? line(0.0f, 400.0f, 100.0f, 0.0f)
                                 : i < 8  ? flat(600.0f)
                                          : flat(100.0f * static_cast<float>(i)));
        c.powerNoLoadCurrent.push_back(i == 0 ? line(0.0f, 10.0f, 100.0f, 110.0f) : flat(20.0f));
    }
    c.brakeNotchCount = 8;
    for (int k = 0; k < 8; ++k) c.brakeMaxCurrent.push_back(flat(100.0f * static_cast<float>(k + 1)));
    c.brakeNoLoadCurrent = flat(50.0f);
    c.powerJerk = 200.0f;  // thresholds 100 and 50 A
    c.brakeJerk = 400.0f;  // thresholds 200 and 100 A
    return c;
}

struct Rig {
    config::NotchConfig config = twentyNotchTrain();
    corvane::Plugin p;
    host::VehicleState state{};
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    int32_t timeStep = 100;
    sim::LayerRewinds rewinds;  // what the last mode step named

    Rig() {
        p.input.serviceNotches = 7;
        p.sim.instruments.lineVoltage = 1500.0f;
        reload();
    }
    void reload() {
        sim::loadTraction(p.sim.traction, config);
        sim::loadModeMachine(p.sim.mode);
    }
    sim::TractionState& t() { return p.sim.traction; }
    sim::ModeState& m() { return p.sim.mode; }
    void driver(int32_t power, int32_t brake = 0) { p.input.driverHandles = {brake, power, 1}; }

    sim::FrameContext context(const host::Handles& out) {
        sim::FrameContext f{state, config, panel, sound};
        f.out = out;
        f.absoluteSpeed = state.speed < 0.0f ? -state.speed : state.speed;
        f.timeStep = timeStep;
        return f;
    }

    // Frame steps 9, 11 and the motor current; returns the handles after the traction rewrites.
    host::Handles traction(float speed, float current, int32_t power, int32_t brake = 0, int32_t reverser = 1) {
        state.speed = speed;
        state.current = current;
        sim::FrameContext f = context({brake, power, reverser, 0});
        sim::regenNoLoadCurrentStep(p.sim.traction, f);
        sim::tractionStep(p.sim.traction, p.input, p.sim.instruments.lineVoltage, f);
        sim::motorCurrentStep(p.sim.traction);
        return f.out;
    }

    // Frame steps 15, 19 (the step timer) and 20 with the given ratio and load current.
    void mode(float ratio, float current, int32_t power, int32_t brake = 0, float load = 0.0f) {
        t().voltageRatio = ratio;
        t().loadCurrent = load;
        state.current = current;
        sim::FrameContext f = context({brake, power, 1, 0});
        rewinds = sim::modeMachineStep(p.sim.mode, p.sim.traction, p.input, p.sim.instruments.lineVoltage, f);
        sim::modeStepTimerAdvance(p.sim.mode, f);
        sim::noiseSharesStep(p.sim.mode, p.sim.traction, p.input.driverHandles, f);
    }
};

}  // namespace traction_test
