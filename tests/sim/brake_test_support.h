// A plug-in with eight service notches and one frame's context, for driving the brake steps one
// at a time.
#pragma once

#include "sim/brakes.h"
#include "tests/sim/sim_test_support.h"

namespace simtest {

class BrakeStepTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        p.input.limitValueEmpty = 150.0f;     // A
        p.input.limitValueFull = 250.0f;      // B
        p.input.brakeReferenceSpeed = 40.0f;  // Vt
    }

    // A context over the step frame's state; out starts as given.
    sim::FrameContext context(host::Handles out = {}, int32_t timeStepMs = 20) {
        sim::FrameContext f = step.context(timeStepMs);
        f.out = out;
        return f;
    }

    // The end of a frame as the frame step stores it.
    void storePrevious(const sim::FrameContext& f) {
        p.sim.frame.previousOutputBrake = f.out.brake;
        p.sim.frame.previousBcPressure = step.state.bcPressure;
        p.sim.frame.previousSapPressure = step.state.sapPressure;
        p.sim.brakes.previousDisplayedSap = p.sim.brakes.displayedSap;
    }

    StepFrame step;
};

}  // namespace simtest
