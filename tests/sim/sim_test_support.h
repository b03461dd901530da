// A plug-in instance of its own for each test, with a keyboard of its own.
#pragma once

#include <gtest/gtest.h>

#include "corvane/lifecycle.h"
#include "tests/sim/test_keyboard.h"

namespace simtest {

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::VehicleSpec spec{8, 0, 0, 0, 4};
        corvane::setVehicleSpec(p, spec);
    }

    void setServiceNotches(int32_t n) {
        host::VehicleSpec spec{n, 0, 0, 0, 4};
        corvane::setVehicleSpec(p, spec);
    }

    // One frame with the given state; returns the handles.
    host::Handles frame(const host::VehicleState& state) { return corvane::elapse(p, state, panel, sound, keys); }
    host::Handles frameAt(int32_t timeMs, float speed = 0.0f) {
        host::VehicleState state{};
        state.time = timeMs;
        state.speed = speed;
        return frame(state);
    }

    corvane::Plugin p;
    TestKeyboard keyboard;
    sim::FrameKeys keys{false, &keyboard};
    int32_t panel[256] = {};
    int32_t sound[256] = {};
};

// The context of one frame step, for driving a single model step without the whole frame.
struct StepFrame {
    host::VehicleState state{};
    config::NotchConfig config;
    int32_t panel[256] = {};
    int32_t sound[256] = {};

    sim::FrameContext context(int32_t timeStepMs = 20) {
        sim::FrameContext f{state, config, panel, sound};
        f.timeStep = timeStepMs;
        f.absoluteSpeed = state.speed < 0.0f ? -state.speed : state.speed;
        return f;
    }
};

// A table that is the same value at every speed.
inline config::CurveTable flatTable(float value) {
    return config::CurveTable{{{0.0f, value}, {100.0f, value}}};
}

}  // namespace simtest
