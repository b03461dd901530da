// The train protection's rules: the timing window, the overspeed test, the beacon kinds, the
// reset key with its sounds and lamps, and what Initialize resets and keeps.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "atstimer/ats_timer.h"

namespace {

using atstimer::AtsState;
using host::SoundContinue;
using host::SoundPlayOnce;
using host::SoundStop;

constexpr int32_t Notches = 8;
constexpr int32_t Emergency = Notches + 1;
constexpr double Pair50M = 50 / 7.2;  // beacon distance for 50 km/h

class AtsTest : public ::testing::Test {
protected:
    void SetUp() override {
        atstimer::setVehicleSpec(s, host::VehicleSpec{Notches, 0, 0, 0, 4});
        atstimer::initialize(s);
    }

    host::Handles frame(int32_t timeMs, double locationM = 0.0) {
        host::VehicleState state{};
        state.time = timeMs;
        state.location = locationM;
        return atstimer::elapse(s, state, panel, sound);
    }

    void beacon(int32_t optional, int32_t signal = 0, int32_t type = 7) {
        atstimer::setBeaconData(s, host::BeaconData{type, signal, 0.0f, optional});
    }
    void timerBeacon() { beacon(-1); }

    // First beacon at (t0, x0), one frame at (t1, x1), second beacon: the pair's verdict.
    bool pairTrips(int32_t t0, double x0, int32_t t1, double x1) {
        frame(t0, x0);
        timerBeacon();
        frame(t1, x1);
        timerBeacon();
        return s.atsTripped;
    }

    AtsState s;
    int32_t panel[256] = {};
    int32_t sound[256] = {};
};

// ---- Timing window -------------------------------------------------------------------------------

// The timing window as the driver meets it: whether the last timer beacon applies the brake (the
// returned brake and the lamps of the next frame). A pair 6.944 m apart (the 50 km/h entry) trips
// at 400 ms (62.5 km/h) and passes at 500 ms (50 km/h).
TEST_F(AtsTest, TimingWindowSeenThroughTheBrakeAndTheLamps) {
    struct Step {
        int32_t time;
        double location;
        bool beaconAfter = true;
    };
    const double gap50 = 50.0 / 7.2;
    const struct {
        const char* what;
        std::vector<Step> steps;
        bool trips;
    } rows[] = {
        {"the pair starts at the latest frame: 400 ms", {{1000, 120.5, true}, {1400, 120.5 + gap50, true}}, true},
        {"the pair starts at the latest frame: 500 ms", {{1000, 120.5, true}, {1500, 120.5 + gap50, true}}, false},
        {"second beacon at 599 ms is checked", {{0, 0.0, true}, {599, 1000.0, true}}, true},
        {"second beacon at 600 ms is not checked", {{0, 0.0, true}, {600, 1000.0, true}}, false},
        {"open at 600 ms: no new pair", {{0, 0.0, true}, {600, 0.0, true}, {1000, gap50, true}}, false},
        {"closed past 600 ms: a new pair", {{0, 0.0, true}, {601, 0.0, true}, {1001, gap50, true}}, true},
        {"a clock going back closes the window",
         {{5000, 0.0, true}, {5100, 0.0, false}, {4900, 100.0, true}, {5400, 100.0 + gap50, true}},
         false},
        {"a further beacon in the window measures from the first", {{0, 0.0}, {100, 0.1}, {400, gap50}}, true},
        {"no time and no distance is no speed", {{0, 0.0}, {0, 0.0}}, false},
        {"distance in no time is overspeed", {{0, 0.0}, {0, 1.0}}, true},
        {"a wrap of the clock is an ordinary interval",
         {{std::numeric_limits<int32_t>::max() - 100, 0.0, true},
          {std::numeric_limits<int32_t>::min() + 299, gap50, true}},
         true},
    };
    for (const auto& row : rows) {
        AtsState fresh;
        s = fresh;
        atstimer::setVehicleSpec(s, host::VehicleSpec{Notches, 0, 0, 0, 4});
        atstimer::initialize(s);
        for (const Step& step : row.steps) {
            frame(step.time, step.location);
            if (step.beaconAfter) timerBeacon();
        }
        const host::Handles out = frame(row.steps.back().time, row.steps.back().location);
        EXPECT_EQ(out.brake, row.trips ? Notches + 1 : 0) << row.what;
        EXPECT_EQ(panel[121], row.trips ? 1 : 0) << row.what;
        EXPECT_EQ(panel[120], row.trips ? 0 : 1) << row.what;
    }
}

// ---- Overspeed test ------------------------------------------------------------------------------

TEST_F(AtsTest, FiftyPairTripsAt400MsAndPassesAt500Ms) {
    EXPECT_TRUE(pairTrips(1000, 100.0, 1400, 100.0 + Pair50M));  // 62.5 km/h
    EXPECT_EQ(frame(1420, 110.0).brake, Emergency);

    AtsState fresh;
    s = fresh;
    atstimer::setVehicleSpec(s, host::VehicleSpec{Notches, 0, 0, 0, 4});
    atstimer::initialize(s);
    EXPECT_FALSE(pairTrips(1000, 100.0, 1500, 100.0 + Pair50M));  // 50 km/h
}

TEST_F(AtsTest, ToleranceIsStrictlyOneKmh) {
    // 5.5 m picks the 40 entry; 41 km/h over 5.5 m takes 482.9 ms.
    frame(0, 0.0);
    timerBeacon();
    frame(483, 5.5);  // 40.99 km/h
    timerBeacon();
    EXPECT_FALSE(s.atsTripped);
    s.timingActive = false;
    frame(1000, 10.0);
    timerBeacon();
    frame(1482, 15.5);  // 41.08 km/h
    timerBeacon();
    EXPECT_TRUE(s.atsTripped);
}

TEST_F(AtsTest, SpeedExactlyAtTheLimitDoesNotTrip) {
    // 0.75 m lies nearest the 5 entry, and 0.75 m in 450 ms is exactly 6 km/h in float64.
    EXPECT_EQ(atstimer::checkSpeedForDistance(0.75), 5);
    EXPECT_FALSE(pairTrips(0, 0.0, 450, 0.75));
}

TEST_F(AtsTest, FortyFiveGapPicksFortyFirst) {
    EXPECT_EQ(atstimer::checkSpeedForDistance(6.25), 40);
    // 6.25 m in 500 ms is 45 km/h: over the 40 entry's limit of 41, under 51.
    EXPECT_TRUE(pairTrips(0, 0.0, 500, 6.25));
}

TEST_F(AtsTest, DistancePicksTheNearestEntry) {
    for (int32_t entry : atstimer::CheckSpeedTable) {
        EXPECT_EQ(atstimer::checkSpeedForDistance(entry / 7.2), entry) << entry;
        EXPECT_EQ(atstimer::checkSpeedForDistance(-entry / 7.2), entry) << "backwards " << entry;
    }
    EXPECT_EQ(atstimer::checkSpeedForDistance(0.0), 5);
    EXPECT_EQ(atstimer::checkSpeedForDistance(1000.0), 80);
    EXPECT_EQ(atstimer::checkSpeedForDistance(6.2), 40);
    EXPECT_EQ(atstimer::checkSpeedForDistance(6.3), 50);
}

TEST_F(AtsTest, TrainMovingBackwardsNeverTrips) {
    EXPECT_FALSE(pairTrips(0, 100.0, 100, 100.0 - Pair50M));  // -250 km/h
}

TEST_F(AtsTest, NonFiniteLocationsDoNotCrashAndNaNNeverTrips) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(atstimer::checkSpeedForDistance(nan), 5);
    EXPECT_EQ(atstimer::checkSpeedForDistance(inf), 5);

    EXPECT_FALSE(pairTrips(0, nan, 400, 5.0));
    s.timingActive = false;
    EXPECT_FALSE(pairTrips(1000, 0.0, 1400, nan));
    s.timingActive = false;
    EXPECT_FALSE(pairTrips(2000, inf, 2400, inf));  // inf - inf is NaN
    s.timingActive = false;
    EXPECT_FALSE(pairTrips(3000, inf, 3400, 0.0));  // -inf: backwards
    s.timingActive = false;
    EXPECT_TRUE(pairTrips(4000, 0.0, 4400, inf));  // an infinite forward jump is overspeed
    EXPECT_EQ(panel[121], 0);                      // lamps follow on the next frame
    frame(4420, inf);
    EXPECT_EQ(panel[121], 1);
}

// ---- Beacon kinds --------------------------------------------------------------------------------

TEST_F(AtsTest, OnlyTypeSevenActs) {
    frame(0);
    for (int32_t type : {0, 1, 6, 8, -7, std::numeric_limits<int32_t>::min()}) {
        beacon(6, 0, type);
        beacon(-1, 0, type);
    }
    EXPECT_FALSE(s.atsTripped);
    EXPECT_FALSE(s.timingActive);
}

TEST_F(AtsTest, SignalGatedTimerBeacons) {
    frame(0);
    beacon(2, 3);
    EXPECT_FALSE(s.timingActive);
    beacon(2, 2);
    EXPECT_TRUE(s.timingActive);
    for (int32_t optional : {0, 1, 3}) {
        s.timingActive = false;
        beacon(optional, optional + 1);
        EXPECT_FALSE(s.timingActive) << optional;
        beacon(optional, optional);
        EXPECT_TRUE(s.timingActive) << optional;
    }
    s.timingActive = false;
    beacon(-1, 9);
    EXPECT_TRUE(s.timingActive);
}

TEST_F(AtsTest, SignalGatedSecondBeaconChecks) {
    frame(0, 0.0);
    beacon(1, 1);
    frame(400, Pair50M);
    beacon(1, 0);  // wrong aspect: ignored
    EXPECT_FALSE(s.atsTripped);
    beacon(1, 1);
    EXPECT_TRUE(s.atsTripped);
}

TEST_F(AtsTest, StopBeaconTripsOnlyAtAspectZero) {
    frame(0);
    beacon(5, 1);
    EXPECT_FALSE(s.atsTripped);
    beacon(5, 0);
    EXPECT_TRUE(s.atsTripped);
    EXPECT_FALSE(s.timingActive);
}

TEST_F(AtsTest, UnconditionalTripBeacon) {
    frame(0);
    beacon(6, 42);
    EXPECT_TRUE(s.atsTripped);
}

TEST_F(AtsTest, OtherOptionalValuesAreIgnored) {
    frame(0);
    for (int32_t optional : {-2, 4, 7, 100, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
        beacon(optional, optional);
        beacon(optional, 0);
    }
    EXPECT_FALSE(s.atsTripped);
    EXPECT_FALSE(s.timingActive);
}

// ---- Keys, sounds and lamps ------------------------------------------------------------------------

TEST_F(AtsTest, ShiftResetKeyTripsThenResetKeyReleasesWithSounds) {
    frame(0);
    EXPECT_EQ(panel[120], 1);
    EXPECT_EQ(panel[121], 0);
    EXPECT_EQ(sound[24], SoundContinue);
    EXPECT_EQ(sound[25], SoundContinue);

    atstimer::keyDown(s, 4, true);
    EXPECT_TRUE(s.atsTripped);
    EXPECT_FALSE(s.resetKeyHeld);  // a test trip changes nothing else
    EXPECT_FALSE(s.pressSoundPending);
    host::Handles out = frame(20);
    EXPECT_EQ(out.brake, Emergency);
    EXPECT_EQ(panel[120], 0);
    EXPECT_EQ(panel[121], 1);
    EXPECT_EQ(sound[24], SoundContinue);

    atstimer::keyDown(s, 4, false);
    EXPECT_FALSE(s.atsTripped);
    sound[25] = 777;
    out = frame(40);
    EXPECT_EQ(out.brake, 0);
    EXPECT_EQ(panel[120], 1);
    EXPECT_EQ(panel[121], 0);
    EXPECT_EQ(sound[24], SoundPlayOnce);
    EXPECT_EQ(sound[25], 777);  // not written in the press frame

    frame(60);
    EXPECT_EQ(sound[24], SoundContinue);
    EXPECT_EQ(sound[25], SoundContinue);

    atstimer::keyUp(s, 4);
    frame(80);
    EXPECT_EQ(sound[24], SoundStop);
    EXPECT_EQ(sound[25], SoundPlayOnce);
    frame(100);
    EXPECT_EQ(sound[24], SoundContinue);
    EXPECT_EQ(sound[25], SoundContinue);
}

TEST_F(AtsTest, HeldResetKeyActsOnlyOnce) {
    atstimer::keyDown(s, 4, false);
    frame(0);
    EXPECT_EQ(sound[24], SoundPlayOnce);
    s.atsTripped = true;
    atstimer::keyDown(s, 4, false);  // key repeat
    EXPECT_TRUE(s.atsTripped);
    frame(20);
    EXPECT_EQ(sound[24], SoundContinue);
    // Shift still trips while the key is held.
    s.atsTripped = false;
    atstimer::keyDown(s, 4, true);
    EXPECT_TRUE(s.atsTripped);
}

TEST_F(AtsTest, KeyUpWithoutPressDoesNothing) {
    atstimer::keyUp(s, 4);
    frame(0);
    EXPECT_EQ(sound[24], SoundContinue);
    EXPECT_EQ(sound[25], SoundContinue);
}

TEST_F(AtsTest, OtherKeysAreIgnored) {
    s.atsTripped = true;
    for (int32_t key : {0, 3, 5, 16, -4, std::numeric_limits<int32_t>::max()}) {
        atstimer::keyDown(s, key, false);
        atstimer::keyUp(s, key);
    }
    EXPECT_TRUE(s.atsTripped);
    EXPECT_FALSE(s.resetKeyHeld);
    EXPECT_FALSE(s.pressSoundPending);
    EXPECT_FALSE(s.releaseSoundPending);
}

TEST_F(AtsTest, PressAndReleaseBetweenFramesPlayInTurn) {
    atstimer::keyDown(s, 4, false);
    atstimer::keyUp(s, 4);
    frame(0);
    EXPECT_EQ(sound[24], SoundPlayOnce);
    frame(20);
    EXPECT_EQ(sound[24], SoundStop);
    EXPECT_EQ(sound[25], SoundPlayOnce);
}

TEST_F(AtsTest, PressRightAfterReleaseFrameDoesNotLeaveReleaseSoundPlaying) {
    atstimer::keyDown(s, 4, false);
    frame(0);
    atstimer::keyUp(s, 4);
    frame(20);
    EXPECT_EQ(sound[25], SoundPlayOnce);
    atstimer::keyDown(s, 4, false);
    frame(40);
    EXPECT_EQ(sound[24], SoundPlayOnce);
    EXPECT_EQ(sound[25], SoundContinue);  // a second play-once would replay the release sound
}

TEST_F(AtsTest, ResetKeyRestartsTheWindowClockButNotThePairStart) {
    frame(0, 0.0);
    timerBeacon();
    frame(500, 1.0);
    atstimer::keyDown(s, 4, false);
    EXPECT_EQ(s.timingElapsed, 0);
    frame(900, 1.0 + Pair50M);
    EXPECT_TRUE(s.timingActive);  // 400 ms since the press
    EXPECT_EQ(s.startTime, 0);
    timerBeacon();  // 7.94 m in 900 ms: 31.8 km/h over the 50 pair, no trip
    EXPECT_FALSE(s.atsTripped);
}

TEST_F(AtsTest, OnlyLampsAndSoundElementsAreWritten) {
    for (int i = 0; i < 256; ++i) panel[i] = sound[i] = 12345;
    frame(0);
    for (int i = 0; i < 256; ++i) {
        if (i != 120 && i != 121) {
            EXPECT_EQ(panel[i], 12345) << "panel " << i;
        }
        if (i != 24 && i != 25) {
            EXPECT_EQ(sound[i], 12345) << "sound " << i;
        }
    }
}

// ---- Handles and lifecycle -------------------------------------------------------------------------

TEST_F(AtsTest, HandlesPassThroughWithDoorGatedReverser) {
    atstimer::setPower(s, 3);
    atstimer::setBrake(s, 2);
    atstimer::setReverser(s, -1);
    host::Handles out = frame(0);
    EXPECT_EQ(out.power, 3);
    EXPECT_EQ(out.brake, 2);
    EXPECT_EQ(out.reverser, 0);  // doors never reported closed
    EXPECT_EQ(out.auxCommand, 0);
    atstimer::doorClose(s);
    EXPECT_EQ(frame(20).reverser, -1);
    atstimer::doorOpen(s);
    EXPECT_EQ(frame(40).reverser, 0);
}

TEST_F(AtsTest, TripHoldsEmergencyOverTheDriversBrake) {
    atstimer::setBrake(s, 3);
    atstimer::setPower(s, -2);
    beacon(6);
    host::Handles out = frame(0);
    EXPECT_EQ(out.brake, Emergency);
    EXPECT_EQ(out.power, -2);
}

TEST_F(AtsTest, EmergencyPositionFromTheNotchCount) {
    atstimer::setVehicleSpec(s, host::VehicleSpec{0, 1, 2, 3, 4});
    EXPECT_EQ(s.emergencyPosition, 1);
    atstimer::setVehicleSpec(s, host::VehicleSpec{-5, 0, 0, 0, 0});
    EXPECT_EQ(s.emergencyPosition, -4);
    atstimer::setVehicleSpec(s, host::VehicleSpec{std::numeric_limits<int32_t>::max(), 0, 0, 0, 0});
    EXPECT_EQ(s.emergencyPosition, std::numeric_limits<int32_t>::max());
}

TEST(AtsLifecycle, FreshStateBeforeInitialize) {
    AtsState s;
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    host::Handles out = atstimer::elapse(s, host::VehicleState{}, panel, sound);
    EXPECT_EQ(out.brake, 0);
    EXPECT_EQ(s.timingElapsed, 0);
    EXPECT_EQ(panel[120], 1);
    EXPECT_EQ(sound[24], SoundContinue);
}

// Initialize releases the brake and closes the window, and keeps the handles, the doors and a
// pending press sound: a beacon afterwards opens a new pair from the latest frame.
TEST_F(AtsTest, InitializeReleasesTheTripAndClosesTheWindowButKeepsTheRest) {
    atstimer::setPower(s, 2);
    atstimer::setBrake(s, 1);
    atstimer::setReverser(s, 1);
    atstimer::doorClose(s);
    frame(5000, 300.0);
    timerBeacon();
    frame(5100, 301.0);
    atstimer::keyDown(s, 4, false);
    beacon(6);

    atstimer::initialize(s);
    host::Handles out = frame(20, 301.0);
    EXPECT_EQ(out.power, 2);
    EXPECT_EQ(out.brake, 1);
    EXPECT_EQ(out.reverser, 1);
    EXPECT_EQ(panel[120], 1);
    EXPECT_EQ(panel[121], 0);
    EXPECT_EQ(sound[24], SoundPlayOnce);
    timerBeacon();  // a new pair, not the second beacon of the one from 5000 ms
    frame(420, 301.0 + Pair50M);
    timerBeacon();
    EXPECT_EQ(frame(420, 301.0 + Pair50M).brake, Emergency);
}

TEST_F(AtsTest, InitializeThenFirstFrameMeasuresFromZero) {
    // After Initialize the clock reference is 0: the first frame's interval is its whole time,
    // which a closed window ignores; a pair opened afterwards measures normally.
    frame(100000, 0.0);
    EXPECT_FALSE(s.timingActive);
    EXPECT_TRUE(pairTrips(100020, 0.0, 100420, Pair50M));
}

}  // namespace
