// The power notch returned to the host and the main-circuit values derived from the host's current.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "traction_rig.h"

namespace {

using traction_test::flat;
using traction_test::line;
using traction_test::Rig;

TEST(NotchTwoHold, HoldsNotchTwoUnderCurrentAndReleasesAtZeroCurrent) {
    Rig rig;
    rig.driver(3);
    EXPECT_EQ(rig.traction(20.0f, 300.0f, 3).power, 3);  // notch 1 draws 100 A < 340 A: hold set
    EXPECT_TRUE(rig.t().notch2Hold);
    rig.driver(1);
    EXPECT_EQ(rig.traction(20.0f, 300.0f, 1).power, 2);  // notch 2 draws 320 A < 340 A
    EXPECT_EQ(rig.t().effectiveNotch, 2);
    EXPECT_EQ(rig.traction(20.0f, 0.0f, 1).power, 1);
    EXPECT_FALSE(rig.t().notch2Hold);

    // Below 15 km/h notch 2 draws more than the reference: notch 1 passes unless at full voltage.
    rig.driver(3);
    rig.traction(5.0f, 300.0f, 3);
    rig.driver(1);
    rig.t().voltageRatio = 0.5f;
    EXPECT_EQ(rig.traction(5.0f, 300.0f, 1).power, 1);
    rig.t().voltageRatio = 1.0f;
    EXPECT_EQ(rig.traction(5.0f, 300.0f, 1).power, 7);  // held at 2, then stepped up at full voltage
}

TEST(EffectiveNotch, NotchingOffKeepsTheNotchUntilTheCurrentHasDiedAway) {
    Rig rig;
    rig.config.powerCurrent[0] = flat(400.0f);  // no notch-2 hold
    rig.traction(30.0f, 300.0f, 3);
    EXPECT_EQ(rig.traction(30.0f, 300.0f, 1).power, 1);
    EXPECT_EQ(rig.t().effectiveNotch, 3);
    rig.traction(30.0f, 200.0f, 0);
    EXPECT_EQ(rig.t().effectiveNotch, 3);
    rig.traction(30.0f, 0.0f, 0);
    EXPECT_EQ(rig.t().effectiveNotch, 0);
}

TEST(Repower, SearchGuardApplicationAndRelease) {
    Rig rig;
    rig.traction(40.0f, 500.0f, 3);
    rig.driver(1);
    rig.t().voltageRatio = 0.5f;
    rig.traction(40.0f, 950.0f, 1);  // table 10 (1000 A) is the first above 950 A, but exceeds peakCurrent
    EXPECT_EQ(rig.t().repowerNotch, 0);
    rig.p.input.peakCurrent = 5000.0f;
    rig.t().voltageRatio = 0.5f;
    EXPECT_EQ(rig.traction(40.0f, 950.0f, 1).power, 2);
    EXPECT_EQ(rig.t().repowerNotch, 10);
    EXPECT_FALSE(rig.t().repowering);
    rig.t().voltageRatio = 0.5f;
    EXPECT_EQ(rig.traction(40.0f, 1100.0f, 1).power, 11);
    EXPECT_TRUE(rig.t().repowering);
    EXPECT_EQ(rig.t().repowerSpeed, 40.0f);
    EXPECT_EQ(rig.t().repowerTimer, 0);
    // The no-load current is scaled by the speed at which repowering began.
    EXPECT_FLOAT_EQ(rig.t().noLoadCurrent, std::max(20.0f * 40.0f / 23.217688f, 20.0f));

    // At full voltage only the timer runs: the application is not renewed.
    rig.t().voltageRatio = 1.0f;
    EXPECT_EQ(rig.traction(40.0f, 1100.0f, 1).power, 2);
    EXPECT_EQ(rig.t().repowerTimer, 100);
    EXPECT_TRUE(rig.t().repowering);

    rig.driver(2);
    rig.t().voltageRatio = 0.5f;
    rig.traction(40.0f, 1100.0f, 2);
    EXPECT_FALSE(rig.t().repowering);
    EXPECT_EQ(rig.t().repowerNotch, 0);

    rig.t().repowerTimer = std::numeric_limits<int32_t>::max() - 5;
    rig.traction(40.0f, 1100.0f, 2);
    EXPECT_EQ(rig.t().repowerTimer, 750);
}

TEST(FullVoltage, WalksTheHighNotchesAtTheEquivalentSpeed) {
    Rig rig;
    rig.config.powerCurrent[8] = line(0.0f, 200.0f, 100.0f, 500.0f);  // 260 A near 20 km/h, 350 A at 50
    rig.config.powerCurrent[9] = flat(310.0f);
    rig.p.sim.instruments.lineVoltage = 1350.0f;
    rig.p.input.peakCurrent = 300.0f;
    rig.driver(2);
    rig.t().voltageRatio = 1.0f;
    EXPECT_EQ(rig.traction(50.0f, 400.0f, 2).power, 8);  // table 9 at about 20 km/h
    EXPECT_NEAR(rig.t().fullVoltageSpeed, 23.217688f - 300.0f * 0.0104895104f, 1e-5f);

    rig.p.input.peakCurrent = 1.0e6f;  // nothing found: the earlier choice stays
    rig.t().voltageRatio = 1.0f;
    EXPECT_EQ(rig.traction(50.0f, 400.0f, 2).power, 8);
    rig.t().voltageRatio = 0.5f;
    EXPECT_EQ(rig.traction(50.0f, 400.0f, 2).power, 2);
    EXPECT_EQ(rig.t().fullVoltageNotch, 0);
    rig.t().voltageRatio = 1.0f;
    EXPECT_EQ(rig.traction(50.0f, 400.0f, 2).power, 0);

    rig.config.powerNotchCount = 8;  // no search at all
    rig.p.input.peakCurrent = 300.0f;
    rig.t().voltageRatio = 1.0f;
    EXPECT_EQ(rig.traction(50.0f, 400.0f, 2).power, 0);
    EXPECT_EQ(rig.t().fullVoltageNotch, 0);
}

TEST(ShiftSwitch, AddsFourNotchesAndStopsTheReferenceFromFollowing) {
    Rig rig;
    rig.driver(2);
    rig.traction(10.0f, 500.0f, 2);
    EXPECT_EQ(rig.p.input.peakCurrent, 500.0f);
    rig.p.input.toggle7 = true;
    rig.t().voltageRatio = 1.0f;  // the full-voltage step is off while the switch is on
    EXPECT_EQ(rig.traction(10.0f, 600.0f, 2).power, 6);
    EXPECT_EQ(rig.p.input.peakCurrent, 500.0f);
    EXPECT_EQ(rig.traction(10.0f, 600.0f, INT32_MAX - 1).power, INT32_MAX);
}

TEST(ExcitationBoost, RampsAtSixAmperesPerSecondBetweenZeroAndEleven) {
    Rig rig;
    rig.timeStep = 1000;
    rig.traction(30.0f, -300.0f, -4);
    EXPECT_EQ(rig.t().excitationBoost, 6.0f);
    EXPECT_EQ(rig.t().excitationCurrent, 56.0f);  // brake no-load current 50 A plus the boost
    rig.traction(30.0f, -300.0f, -5);
    EXPECT_EQ(rig.t().excitationBoost, 11.0f);
    rig.traction(30.0f, 300.0f, -5);  // no regeneration: decays
    EXPECT_EQ(rig.t().excitationBoost, 5.0f);
    rig.traction(30.0f, -300.0f, -3);
    EXPECT_EQ(rig.t().excitationBoost, 0.0f);
}

TEST(RegenLimitLatch, HoldsTheLoadCurrentAtTheNotchSixLimitUntilReleased) {
    Rig rig;
    rig.traction(30.0f, -700.0f, 0, 3);  // 700 A > table 5 (600 A)
    EXPECT_TRUE(rig.t().regenLimitLatch);
    EXPECT_EQ(rig.t().loadCurrent, 650.0f);
    rig.traction(30.0f, -300.0f, 0, 3);
    EXPECT_EQ(rig.t().loadCurrent, 550.0f);  // 600 A less the 50 A excitation

    struct Release {
        int32_t power, brake, reverser;
        float current;
    };
    for (const Release r : {Release{0, 8, 1, -300.0f}, Release{0, 0, 1, -300.0f}, Release{1, 3, 1, -300.0f},
                            Release{0, 3, 0, -300.0f}, Release{0, 3, 1, 10.0f}}) {
        rig.traction(30.0f, -700.0f, 0, 3);
        ASSERT_TRUE(rig.t().regenLimitLatch);
        rig.traction(30.0f, r.current, r.power, r.brake, r.reverser);
        EXPECT_FALSE(rig.t().regenLimitLatch) << r.power << ' ' << r.brake << ' ' << r.reverser;
        EXPECT_LT(rig.t().loadCurrent, 550.0f);
    }
}

TEST(MotorState, SpeedFrequencyVoltageAndRatio) {
    Rig rig;
    rig.traction(-10.0f, 120.0f, 1);  // notch 1: no-load max(20 × 0.1, 110) = 110 A
    EXPECT_EQ(rig.t().noLoadCurrent, 110.0f);
    EXPECT_EQ(rig.t().motorSpeed, std::fabs(-10.0f + 10.0f * 0.0104895104f));
    EXPECT_EQ(rig.t().motorFrequency, rig.t().motorSpeed * 1.3093468f);
    EXPECT_LT(rig.t().voltageRatio, 1.0f);

    rig.traction(80.0f, 300.0f, 2);
    EXPECT_EQ(rig.t().motorVoltage, 1500.0f);
    EXPECT_EQ(rig.t().voltageRatio, 1.0f);
    const float speed = rig.t().motorSpeed;
    rig.traction(80.0f, 0.0f, 0);
    EXPECT_EQ(rig.t().motorSpeed, speed);
    EXPECT_EQ(rig.t().motorVoltage, 0.0f);
    EXPECT_EQ(rig.t().motorCurrent, 0.0f);

    rig.traction(30.0f, -50.0f, 0, 3);  // the 50 A regenerative no-load current cancels the correction
    EXPECT_EQ(rig.t().motorSpeed, 30.0f);
    EXPECT_EQ(rig.t().motorVoltage, 30.0f * 1.3093468f / 51.8f * 1650.0f);
    rig.p.input.negativePowerActive = true;
    rig.traction(20.0f, -50.0f, -2);
    EXPECT_EQ(rig.t().motorVoltage, 20.0f * 1.3093468f / 30.4f * 1350.0f);

    rig.p.sim.instruments.lineVoltage = 0.0f;  // before the line voltage is first computed
    rig.traction(30.0f, 300.0f, 2);
    EXPECT_EQ(rig.t().motorVoltage, 0.0f);
    EXPECT_TRUE(std::isnan(rig.t().voltageRatio));
    EXPECT_EQ(rig.t().motorCurrent, std::sqrt(280.0f * 280.0f + 20.0f * 20.0f));
}

TEST(TractionWithoutNotchFile, NoTablesAndNoLineVoltageStayDefined) {
    Rig rig;
    rig.config = config::NotchConfig{};
    rig.config.powerNotchCount = 40;  // a count without tables must not be walked into them
    rig.reload();
    rig.p.sim.instruments.lineVoltage = 0.0f;
    rig.driver(1);
    for (float current : {300.0f, -300.0f, 0.0f, std::nanf("")}) {
        rig.traction(20.0f, current, 2, 3);
        rig.traction(20.0f, current, 1, 9);
        rig.mode(rig.t().voltageRatio, current, 1, 3);
    }
    EXPECT_TRUE(std::isnan(rig.t().voltageRatio));
}

}  // namespace
