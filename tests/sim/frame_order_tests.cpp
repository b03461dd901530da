// The order of one frame as the host and a chained plug-in see it: what is read after the chained
// plug-ins, what Corvane writes over them, and the quantities derived from the clock and speed.
#include "tests/sim/sim_test_support.h"

namespace {

using host::SoundContinue;
using host::SoundLoop;
using host::SoundPlayOnce;
using host::SoundStop;
using simtest::SimTest;

using FrameOrder = SimTest;

TEST_F(FrameOrder, PanelsWrittenByAChainedPlugInAreOverwrittenWhereCorvaneDrivesThem) {
    const int driven[] = {22,  26,  37,  38,  39,  41,  42,  43,  45,  68,  130,
                          131, 132, 133, 135, 136, 220, 221, 222, 223, 232, 252};
    for (int i = 0; i < 256; ++i) panel[i] = -777;
    panel[3] = 0;
    frameAt(20);
    for (int index : driven) EXPECT_NE(panel[index], -777) << index;
    int untouched = 0;
    for (int i = 0; i < 256; ++i) untouched += panel[i] == -777;
    EXPECT_EQ(untouched, 256 - 1 - static_cast<int>(std::size(driven)));
    EXPECT_EQ(panel[42], 1);
    EXPECT_EQ(panel[43], 1);
    EXPECT_EQ(panel[220], 10);  // blank digits outside the adjustment mode
}

TEST_F(FrameOrder, TheFirstFrameMeasuresItsTimeStepFromZero) {
    panel[3] = 1;
    frameAt(7000);
    EXPECT_EQ(p.sim.frame.blinkTimer, 7000);
    EXPECT_EQ(p.sim.frame.previousTime, 7000);
    frameAt(7020);
    EXPECT_EQ(panel[68], 2);
    EXPECT_EQ(p.sim.frame.blinkTimer, 0);
}

TEST_F(FrameOrder, SoundTwoThirtyNineStopsFirstThenLoopsWhileTheBrakePipeRises) {
    host::VehicleState state{};
    state.time = 20;
    state.bpPressure = 300.0f;  // higher than the stored 0, but the first frame only stops
    frame(state);
    EXPECT_EQ(sound[239], SoundStop);
    state.time = 40;
    state.bpPressure = 310.0f;
    frame(state);
    EXPECT_EQ(sound[239], SoundLoop);
    state.time = 60;
    frame(state);
    EXPECT_EQ(sound[239], SoundStop);  // equal is not rising
    state.time = 80;
    state.bpPressure = 305.0f;
    frame(state);
    EXPECT_EQ(sound[239], SoundStop);
    state.time = 100;
    state.bpPressure = 305.5f;
    frame(state);
    EXPECT_EQ(sound[239], SoundLoop);
}

TEST_F(FrameOrder, CrossingFiveKilometresPerHourSoundsInTheSameFrame) {
    frameAt(20, 0.0f);  // the first frame stops everything
    frameAt(40, 4.9f);
    EXPECT_EQ(sound[97], SoundContinue);
    EXPECT_EQ(sound[98], SoundContinue);
    frameAt(60, 5.0f);
    EXPECT_EQ(sound[98], SoundPlayOnce);
    EXPECT_EQ(sound[97], SoundContinue);
    frameAt(80, 30.0f);
    EXPECT_EQ(sound[98], SoundContinue);
    frameAt(100, -5.0f);  // the direction does not count
    EXPECT_EQ(sound[97], SoundContinue);
    frameAt(120, -4.99f);
    EXPECT_EQ(sound[97], SoundPlayOnce);
    EXPECT_EQ(sound[98], SoundContinue);
}

TEST_F(FrameOrder, RequestsConsumedAfterTheirEventsSoundInTheirFrame) {
    frameAt(20);
    corvane::keyDown(p, 9, false);  // latch on: stop 228, play 227 and 223
    frameAt(40);
    EXPECT_EQ(sound[227], SoundPlayOnce);
    EXPECT_EQ(sound[223], SoundPlayOnce);
    EXPECT_EQ(sound[228], SoundStop);
    frameAt(60);
    EXPECT_EQ(sound[227], SoundContinue);
    corvane::keyUp(p, 9);
    corvane::keyDown(p, 9, false);
    frameAt(80);
    EXPECT_EQ(sound[227], SoundStop);
    EXPECT_EQ(sound[228], SoundPlayOnce);
    EXPECT_EQ(sound[224], SoundPlayOnce);
}

TEST_F(FrameOrder, SwitchLampsFollowTheirToggles) {
    frameAt(20);
    EXPECT_EQ(panel[135], 0);
    EXPECT_EQ(panel[136], 0);
    EXPECT_EQ(panel[252], 0);
    corvane::keyDown(p, 5, false);
    corvane::keyDown(p, 12, false);
    frameAt(40);
    EXPECT_EQ(panel[135], 1);
    EXPECT_EQ(panel[136], 0);
    EXPECT_EQ(panel[252], 1);
    corvane::keyDown(p, 6, false);
    frameAt(60);
    EXPECT_EQ(panel[135], 0);
    EXPECT_EQ(panel[136], 1);
}

TEST_F(FrameOrder, WithNoChainedPlugInTheHandlesStartFromZero) {
    corvane::doorClose(p);
    corvane::setPower(p, 3);
    corvane::setBrake(p, 2, corvane::PlatformKeyboard);
    corvane::setReverser(p, 1);
    const host::Handles out = frameAt(20, 50.0f);
    EXPECT_EQ(out.power, 0);
    EXPECT_EQ(out.brake, 0);
    EXPECT_EQ(out.reverser, 1);  // the reverser comes from the driver once the doors are closed
    EXPECT_EQ(out.auxCommand, 0);
    EXPECT_EQ(panel[37], 0);
    EXPECT_EQ(panel[38], 0);
}

}  // namespace
