// Corvane called in orders and with values that no well-behaved host uses: it must neither crash
// nor keep a bad value for good.
#include <limits>

#include "reliability_support.h"

namespace reliability {
namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr int32_t Min = std::numeric_limits<int32_t>::min();
constexpr int32_t Max = std::numeric_limits<int32_t>::max();

void everyInput(const Corvane& c, int32_t value) {
    c.setPower(value);
    c.setBrake(value);
    c.setReverser(value);
    c.keyDown(value);
    c.keyUp(value);
    c.hornBlow(value);
    c.setSignal(value);
    c.setBeaconData(host::BeaconData{value, value, static_cast<float>(value), value});
    c.initialize(value);
}

TEST(HostileCallOrder, EveryEntryPointBeforeLoadDoesNothingHarmful) {
    Vehicle vehicle;
    HostRun run(vehicle.open());
    const Corvane& c = run.c;
    c.doorClose();
    c.doorOpen();
    for (int32_t key = -1; key <= 13; ++key) everyInput(c, key);
    EXPECT_EQ(c.getPluginVersion(), host::PluginInterfaceVersion);
    // The doors were opened last: no reverser reaches the host.
    const host::Handles out = run.frame();
    EXPECT_EQ(out.reverser, 0);
    EXPECT_EQ(out.auxCommand, 0);
    run.frames(50);
    c.dispose();
    EXPECT_STREQ(c.lastError(), "");
}

TEST(HostileCallOrder, DisposeTwiceThenElapseThenLoadAgain) {
    Vehicle vehicle;
    vehicle.copySounds();
    HostRun run(vehicle.open());
    const Corvane& c = run.c;
    c.dispose();  // before any Load
    run.start();
    run.frames(20);
    c.dispose();
    c.dispose();
    run.frames(20);  // after Dispose: no chained library, no audio engine
    c.doorClose();
    everyInput(c, 5);

    run.start();
    run.frames(5);
    EXPECT_EQ(run.panel[42], 1);
    EXPECT_EQ(run.panel[43], 1);
    EXPECT_STREQ(c.lastError(), "");
    c.dispose();
}

TEST(HostileCallOrder, SecondLoadWithoutDisposeKeepsOneWorkingPlugin) {
    Vehicle vehicle;
    vehicle.copySounds();
    HostRun run(vehicle.open());
    run.start();
    run.frames(10);
    run.start();  // the host loads again without disposing
    run.state.speed = 60.0f;
    run.frames(10);
    EXPECT_STREQ(run.c.lastError(), "");
    EXPECT_EQ(run.panel[42], 1);
    run.c.dispose();
    run.c.dispose();
}

// Every float field not a number, then infinite, then back to ordinary values: the needles and
// handles must come back to what a plug-in that never saw the bad frames shows.
TEST(HostileValues, NonFiniteVehicleStateLeavesNoTrace) {
    Vehicle cleanVehicle, poisonedVehicle;
    HostRun clean(cleanVehicle.open()), poisoned(poisonedVehicle.open());
    for (HostRun* run : {&clean, &poisoned}) {
        run->start();
        run->c.doorClose();
        run->c.setReverser(1);
        run->c.setBrake(3);
    }
    for (float bad : {NaN, Inf, -Inf, -NaN}) {
        host::VehicleState& s = poisoned.state;
        s.location = bad;
        s.speed = s.bcPressure = s.mrPressure = s.erPressure = s.bpPressure = s.sapPressure = s.current = bad;
        poisoned.frames(40);
    }
    for (HostRun* run : {&clean, &poisoned}) {
        host::VehicleState& s = run->state;
        s.location = 100.0;
        s.speed = 40.0f;
        s.bcPressure = 150.0f;
        s.mrPressure = 800.0f;
        s.erPressure = 480.0f;
        s.bpPressure = 480.0f;
        s.sapPressure = 150.0f;
        s.current = 0.0f;
        run->frames(200);
    }
    for (int index : {22, 130, 131, 132, 133})
        EXPECT_EQ(poisoned.panel[index], clean.panel[index]) << "panel " << index;
    const host::Handles a = clean.frame(), b = poisoned.frame();
    EXPECT_EQ(a.power, b.power);
    EXPECT_EQ(a.brake, b.brake);
    EXPECT_EQ(a.reverser, b.reverser);
    clean.c.dispose();
    poisoned.c.dispose();
}

TEST(HostileValues, NotchCountsAndHandlesAtTheEdgesOfTheRange) {
    Vehicle vehicle;
    HostRun run(vehicle.open());
    const Corvane& c = run.c;
    c.load();
    c.doorClose();
    for (int32_t notches : {Min, -1, 0, 1, 2, 12, 255, 256, Max - 1, Max}) {
        c.setVehicleSpec(host::VehicleSpec{notches, Max, Min, -1, notches});
        for (int32_t brake : {0, 1, notches, notches + (notches < Max ? 1 : 0), Min, Max, -1}) {
            c.setBrake(brake);
            for (int32_t power : {Min, -8, 0, 1, 5, Max}) {
                c.setPower(power);
                run.state.current = power < 0 ? -300.0f : 300.0f;
                run.state.sapPressure = 200.0f;
                run.frames(40);  // long enough for a steady pressure to be learned
            }
        }
        c.keyDown(9);  // the emergency latch adds to the brake position
        run.frames(3);
        c.keyUp(9);
    }
    EXPECT_STREQ(c.lastError(), "");
    c.dispose();
}

TEST(HostileValues, ClockStandingStillRunningBackwardsAndJumping) {
    Vehicle vehicle;
    HostRun run(vehicle.open());
    run.start();
    run.c.doorClose();
    run.c.setPower(3);
    run.state.current = 400.0f;
    run.state.speed = 20.0f;
    run.panel[3] = 1;  // as a chained plug-in would set it: panel 68 blinks
    run.frames(100, 0);
    run.frames(10, -1000000);
    run.frames(3, Max);
    run.frames(3, Min);
    run.state.time = Max;
    run.frames(5);  // wraps to the negative range
    run.c.setPower(-4);
    run.state.current = -400.0f;
    run.frames(100, 250);
    for (int i = 0; i < 20; ++i) {
        run.panel[3] = 1;
        run.frame(i % 2 ? Max : Min);
        EXPECT_GE(run.panel[68], 0);
        EXPECT_LE(run.panel[68], 2);
    }
    run.c.dispose();
}

TEST(HostileValues, KeysOfAnySizeAndTheAdjustmentDigits) {
    Vehicle vehicle;
    vehicle.write("PanelModify.txt", "");
    HostRun run(vehicle.open());
    run.start();
    const Corvane& c = run.c;
    for (int32_t key : {Min, -1, 13, 255, 256, 4096, Max}) {
        c.keyDown(key);
        c.keyUp(key);
    }
    c.keyDown(0);                                 // adjustment target 1
    for (int i = 0; i < 2000; ++i) c.keyDown(6);  // far below zero
    run.frame();
    for (int i = 220; i <= 223; ++i) {
        EXPECT_GE(run.panel[i], 0) << i;
        EXPECT_LE(run.panel[i], 10) << i;
    }
    for (int target = 0; target < 5; ++target) c.keyDown(0);  // target 5: the speedometer
    for (int i = 0; i < 20000; ++i) c.keyDown(5);
    run.frame();
    for (int i = 220; i <= 223; ++i) {
        EXPECT_GE(run.panel[i], 0) << i;
        EXPECT_LE(run.panel[i], 9) << i;
    }
    c.dispose();
}

TEST(HostileValues, NullArraysFromTheHost) {
    Vehicle vehicle;
    HostRun run(vehicle.open());
    run.start();
    for (int i = 0; i < 10; ++i) {
        run.state.time += 16;
        run.c.elapse(run.state, nullptr, nullptr);
        run.c.elapse(run.state, run.panel.data(), nullptr);
        run.c.elapse(run.state, nullptr, run.sound.data());
    }
    run.c.dispose();
}

}  // namespace
}  // namespace reliability
