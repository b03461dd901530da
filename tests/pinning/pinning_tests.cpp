// What the host sees of the frame's order and its rules' thresholds, on a train whose tables give
// every expected value by hand; the driver's handles come through a chained plug-in that passes them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "corvane/lifecycle.h"
#include "platform/audio.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace {

namespace fs = std::filesystem;

// Ten power notches: notch 1 draws 100 A, notch 2 400 A (so the reference R15 is 400 A), notches 3
// to 8 600 A, notch 9 (table 8) 200 A and notch 10 (table 9) 420 A; every no-load current is 20 A.
// Eight brake notches, brake table k allows 100 × (k + 1) A (R5 600 A, R7 800 A); limits 150 and
// 250 kPa, reference speed 30 km/h.
void writeTrain(const fs::path& plugin) {
    fs::create_directories(plugin / "notch");
    std::ofstream(plugin / "Notch.txt") << "[Power]\nParams = notch/P.txt\nCurrent = notch/PC.csv\n"
                                           "NoLoadCurrent = notch/PN.csv\n[Brake]\nParams = notch/B.txt\n"
                                           "MaxCurrent = notch/BM.csv\nNoLoadCurrent = notch/BN.csv\n";
    std::ofstream(plugin / "notch/P.txt") << "RequiredNotch_Up,1,2,3,4,5,6,7,8,9,10\nJerkRegulation_Down,0,200\n";
    std::ofstream(plugin / "notch/PC.csv") << "v,1,2,3,4,5,6,7,8,9,10\n0,100,400,600,600,600,600,600,600,200,420\n";
    std::ofstream(plugin / "notch/PN.csv") << "v,1,2,3,4,5,6,7,8,9,10\n0,20,20,20,20,20,20,20,20,20,20\n";
    std::ofstream(plugin / "notch/B.txt") << "RequiredNotch_Up,0,0,0,0,0,0,0,30\nCurrentLimitingValue_Empty,150000\n"
                                             "CurrentLimitingValue_Full,250000\nJerkRegulation_Down,0,400\n";
    std::ofstream(plugin / "notch/BM.csv") << "v,1,2,3,4,5,6,7,8\n0,100,200,300,400,500,600,700,800\n";
    std::ofstream(plugin / "notch/BN.csv") << "v,1,2,3,4,5,6,7,8\n0,50,50,50,50,50,50,50,50\n";
}

struct Train {
    corvane::Plugin p;
    host::VehicleState state{};
    std::vector<int32_t> panel = std::vector<int32_t>(256, 0);
    std::vector<int32_t> sound = std::vector<int32_t>(256, 0);
    fs::path root;

    explicit Train(int32_t cars = 4, bool sounds = false) {
        std::string pattern = (fs::temp_directory_path() / "corvane-pinning-XXXXXX").native();
        if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "no temporary folder";
        root = pattern;
        writeTrain(root / "plugin");
        fs::copy_file(PASS_PLUGIN, root / "plugin/pass.so");
        std::ofstream(root / "plugin/detailmodules.txt") << "pass.so\n";
        if (sounds) {
            fs::copy(fs::path(SAMPLE_VEHICLE_DIR) / "atsmotornoise", root / "atsmotornoise");
            fs::copy_file(fs::path(SAMPLE_VEHICLE_DIR) / "bc.wav", root / "bc.wav");
        }
        corvane::libraryAttach(p, root / "plugin/libCorvane.so");
        corvane::load(p);
        corvane::setVehicleSpec(p, host::VehicleSpec{8, 0, 0, 0, cars});
        corvane::initialize(p, 0);
        corvane::doorClose(p);
        corvane::setReverser(p, 1);
    }
    ~Train() {
        corvane::dispose(p);
        std::error_code error;
        fs::remove_all(root, error);
    }

    // One frame dt ms after the last one.
    host::Handles frame(int32_t dt, float speed, float current, float sap = 0.0f) {
        state.time += dt;
        state.speed = speed;
        state.current = current;
        state.sapPressure = sap;
        return corvane::elapse(p, state, panel.data(), sound.data(), sim::FrameKeys{});
    }
    void frames(int count, int32_t dt, float speed, float current, float sap = 0.0f) {
        for (int i = 0; i < count; ++i) frame(dt, speed, current, sap);
    }
};

// Each pair of steps whose order matters, with the panel values the right order gives. Traction
// reads last frame's line voltage and ratio: notch 2 goes through for two frames after the voltage
// first exists, then the ratio is 1 and the output walks to notch 8 (table 9: 420 A > 400 A).
// Learning reads last frame's hold: at 600 ms steady it learns 100 kPa for notch 2 although the
// blending sets the hold in that frame, so the brake becomes N + 2 = 10, not power −6.
TEST(FrameOrder, EachStepReadsTheValueItsRuleNames) {
    {
        Train t;
        corvane::setPower(t.p, 2);
        t.frames(5, 100, 80.0f, 300.0f);  // voltage timer 100 … 500
        t.frame(100, 80.0f, 300.0f);      // the line voltage exists from the end of this frame
        EXPECT_EQ(t.panel[37], 2);
        t.frame(100, 80.0f, 300.0f);  // traction still reads the undefined ratio of the frame before
        EXPECT_EQ(t.panel[37], 2) << "traction ran after the line voltage";
        t.frame(100, 80.0f, 300.0f);  // the ratio of the frame before is 1
        EXPECT_EQ(t.panel[37], 8);
    }
    {
        Train t;
        corvane::setBrake(t.p, 2, corvane::PlatformKeyboard);
        t.frames(6, 100, 50.0f, 0.0f, 100.0f);  // steady 0 … 500 ms, no current: no hold
        EXPECT_EQ(t.panel[38], 2);
        EXPECT_EQ(t.panel[39], 0);
        t.frame(100, 50.0f, -300.0f, 100.0f);  // 600 ms steady, the electric brake carries
        EXPECT_EQ(t.panel[39], 1);
        EXPECT_EQ(t.panel[38], 10) << "learning saw this frame's hold";
        EXPECT_EQ(t.panel[37], 0);
    }
    {
        // The mode machine reads last frame's line voltage: in the frame that first computes it, the
        // brake ladder still sees 0 V, so 20 km/h is above its 3 km/h and the mode drops to 101.
        Train t;
        corvane::setBrake(t.p, 2, corvane::PlatformKeyboard);
        t.frames(4, 200, 20.0f, -300.0f);  // the voltage timer reaches 500 ms in the fourth
        EXPECT_EQ(t.p.sim.mode.pulseMode, 101) << "the mode machine ran after the line voltage";
    }
    {
        // In emergency (N + 1) the emptying cylinder stays silent: the mute comes after the level
        // that the displayed pressure's step sets, here 100 / 240 in the third frame.
        Train t(4, true);
        corvane::setBrake(t.p, 9, corvane::PlatformKeyboard);
        for (float bc : {400.0f, 300.0f, 200.0f}) {
            t.state.bcPressure = bc;
            t.frame(100, 0.0f, 0.0f, 400.0f);
        }
        platform::AudioVoiceInfo bc{};
        ASSERT_TRUE(platform::audioVoiceInfo(t.p.audio.bcSound.voice, &bc));
        EXPECT_EQ(bc.volume, 0.0f) << "the level came after the mute";
    }
    {
        // The first regenerating frame already takes this frame's 50 A no-load current: load
        // 250 A, excitation 50 A, so the ammeter (no table) shows trunc(4 × √65000) = 1019.
        Train t;
        t.frame(100, 50.0f, -300.0f);
        EXPECT_EQ(t.panel[26], 1019);
    }
}

// The blending at its limits, one frame on notch 2 (unlearned 60 kPa) or 3 (120 kPa) with the
// electric brake carrying: hold below 150 kPa above 30 km/h, below 250 kPa at or below; held 60 kPa
// gives −6 while 250 kPa > SAP above 30 km/h, −7 while 150 kPa > SAP at or below; 120 kPa gives
// N + 2 above 30 km/h, N + 3 at or below. Released and power off, −I > 800 A below 30 km/h gives −8.
TEST(Thresholds, BlendingAtItsLimits) {
    const float below150 = std::nextafter(150.0f, 0.0f);
    const struct {
        float speed, sap, current;
        int32_t brake;
        int32_t power, outBrake, hold;
    } rows[] = {{50.0f, below150, -300.0f, 2, -6, 2, 1},
                {50.0f, 150.0f, -300.0f, 2, 0, 2, 0},
                {30.0f, std::nextafter(250.0f, 0.0f), -300.0f, 2, 0, 2, 1},
                {30.0f, 250.0f, -300.0f, 2, 0, 2, 0},
                {std::nextafter(30.0f, 100.0f), 200.0f, -300.0f, 2, 0, 2, 0},
                {30.0f, 200.0f, -300.0f, 2, 0, 2, 1},
                {30.0f, 150.0f, -300.0f, 2, 0, 2, 1},
                {30.0f, below150, -300.0f, 2, -7, 2, 1},
                {std::nextafter(30.0f, 100.0f), 100.0f, -300.0f, 3, 0, 10, 1},
                {30.0f, 100.0f, -300.0f, 3, 0, 11, 1},
                {20.0f, 0.0f, -800.0f, 0, 0, 0, 0},
                {20.0f, 0.0f, std::nextafter(-800.0f, -1000.0f), 0, -8, 0, 0},
                {30.0f, 0.0f, -900.0f, 0, 0, 0, 0},
                {std::nextafter(30.0f, 0.0f), 0.0f, -900.0f, 0, -8, 0, 0}};
    for (const auto& row : rows) {
        Train t;
        corvane::setBrake(t.p, row.brake, corvane::PlatformKeyboard);
        t.frame(100, row.speed, row.current, row.sap);
        EXPECT_EQ(t.panel[37], row.power) << row.speed << " " << row.sap << " " << row.current;
        EXPECT_EQ(t.panel[38], row.outBrake) << row.speed << " " << row.sap << " " << row.current;
        EXPECT_EQ(t.panel[39], row.hold) << row.speed << " " << row.sap << " " << row.current;
    }
}

// A learned notch-2 pressure ends the hold only above the limit (150 kPa above 30 km/h); held, 80 kPa
// or more moves the brake to N + 2, one below asks for power −6.
TEST(Thresholds, LearnedPressureAgainstTheHoldLimitAndEightyKilopascals) {
    const struct {
        float learned;
        int32_t hold, brake, power;
    } rows[] = {{std::nextafter(150.0f, 0.0f), 1, 10, 0},
                {150.0f, 1, 10, 0},
                {std::nextafter(150.0f, 1000.0f), 0, 2, 0},
                {80.0f, 1, 10, 0},
                {std::nextafter(80.0f, 0.0f), 1, 2, -6}};
    for (const auto& row : rows) {
        Train t;
        corvane::setBrake(t.p, 2, corvane::PlatformKeyboard);
        t.frames(7, 100, 50.0f, 0.0f, row.learned);  // learns notch 2 at 600 ms
        const float sap = std::min(row.learned - 1.0f, 149.0f);
        t.frame(100, 50.0f, -300.0f, sap);  // below the limit: the hold sets
        EXPECT_EQ(t.panel[39], row.hold) << row.learned;
        EXPECT_EQ(t.panel[38], row.brake) << row.learned;
        EXPECT_EQ(t.panel[37], row.power) << row.learned;
    }
}

// Panel 41 lights in mode 1 once the repower timer exceeds 750 ms. The timer restarts while power
// is re-applied at speed and runs again from the frame that reaches full voltage.
TEST(Thresholds, RepowerLampLightsAbove750) {
    Train t;
    corvane::setPower(t.p, 2);
    t.frames(7, 100, 5.0f, 600.0f);  // the hold of notch 2 sets, the reference becomes 600 A
    corvane::setPower(t.p, 1);
    t.frame(100, 5.0f, 410.0f);  // table 9 (420 A) is the first above 410 A and within the reference
    EXPECT_EQ(t.panel[37], 2);
    t.frame(100, 5.0f, 550.0f);  // above 420 A: power is re-applied on notch 10
    EXPECT_EQ(t.panel[37], 10);
    t.frame(100, 80.0f, 550.0f);  // full voltage; traction still reads the ratio of the frame before
    EXPECT_EQ(t.panel[37], 10);
    const struct { int32_t dt, lamp; } rows[] = {{749, 0}, {1, 0}, {1, 1}};
    for (const auto& row : rows) {
        t.frame(row.dt, 80.0f, 550.0f);  // full voltage, mode 1
        EXPECT_EQ(t.panel[37], 2);
        EXPECT_EQ(t.panel[41], row.lamp) << row.dt;
    }
}

// The negative-notch lamp (panel 45), lit at random by a negative power notch, goes out in the
// frame whose flash time exceeds 99 ms.
TEST(Thresholds, NegativeNotchLampGoesOutAbove99Milliseconds) {
    Train t;
    for (int i = 0; i < 100000 && t.panel[45] != 1; ++i) {
        corvane::setPower(t.p, -1);
        t.frame(10, 0.0f, 0.0f);  // flash time 10 ms in the frame that shows it
    }
    ASSERT_EQ(t.panel[45], 1);
    const struct { int32_t dt, lamp; } rows[] = {{88, 1}, {1, 1}, {1, 0}};  // 98, 99, 100 ms
    for (const auto& row : rows) {
        t.frame(row.dt, 0.0f, 0.0f);
        EXPECT_EQ(t.panel[45], row.lamp) << row.dt;
    }
}

// Panel 68 blinks while the host's panel 3 is 1: 1 up to 500 ms of the phase, 2 after it, and at
// 1000 ms the phase starts again without growing in that frame.
TEST(Thresholds, BlinkLampPhases) {
    Train t;
    const struct {
        int32_t panel3, dt, lamp;
    } rows[] = {{1, 500, 1}, {1, 1, 1},   {1, 498, 2}, {1, 1, 2}, {1, 7, 2},
                {1, 1, 1},   {0, 600, 0}, {1, 1, 1},   {5, 1, 2}};  // phases 0, 500, 501, 999, 1000, 0; reset; 0, 1
    for (const auto& row : rows) {
        t.panel[3] = row.panel3;
        t.frame(row.dt, 0.0f, 0.0f);
        EXPECT_EQ(t.panel[68], row.lamp) << row.panel3 << " " << row.dt;
    }
}

// The starting-current reference follows the current below 15 km/h of signed speed: backing at 20 km/h
// raises it to 450 A, so at full voltage no high notch exceeds it and the kept choice, 0, goes out.
TEST(Thresholds, ReferenceCurrentUsesSignedSpeed) {
    Train t;
    corvane::setPower(t.p, 2);
    t.frames(7, 100, -20.0f, 450.0f);
    t.frames(2, 100, -80.0f, 450.0f);  // traction reads the full-voltage ratio in the second
    EXPECT_EQ(t.panel[37], 0);
}

// Entering a power mode on a rising ratio rewinds that mode's layers at once, and no other layer.
// With the line held at 1310 V and 30 A the ratio is about 0.0444 × (speed + 0.105).
TEST(ModeEntry, RewindsTheLayersOfTheMode) {
    Train t(2000, true);  // the sag holds the line voltage at 1310 V once the ratio exists
    corvane::setPower(t.p, 2);
    t.frames(12, 100, 0.9f, 30.0f);  // ratio about 0.045: mode 99
    const struct {
        float speed;  // ratio about 0.173, 0.25, 0.40, 0.65, 0.85
        std::vector<int> layers;
        float current = 30.0f;
    } rows[] = {{3.8f, {3}, 36.0f}, {5.53f, {4}}, {8.91f, {6}}, {14.54f, {8}}, {19.05f, {10, 11}}};
    platform::audioRecordRequests(true);
    for (const auto& row : rows) {
        platform::audioClearAppliedRequests();
        t.frame(100, row.speed, row.current);
        // The voice of each layer from the frame's ratio requests, in slot order: layers 0 to 2
        // keep ratio 1 and 28, 29 get none, so the list runs 3 … 27, 30 … 40.
        std::vector<uint32_t> ratioVoices;
        std::vector<uint32_t> flushed;
        std::vector<std::pair<uint32_t, float>> volumes;
        for (const auto& r : platform::audioAppliedRequests()) {
            if (r.call == platform::AudioCall::SetFrequencyRatio) ratioVoices.push_back(r.voiceId);
            if (r.call == platform::AudioCall::FlushBuffers) flushed.push_back(r.voiceId);
            if (r.call == platform::AudioCall::SetVolume) volumes.emplace_back(r.voiceId, r.value);
        }
        ASSERT_EQ(ratioVoices.size(), 36u) << row.speed;
        std::vector<uint32_t> expected;
        for (int layer : row.layers) expected.push_back(ratioVoices[static_cast<size_t>(layer - 3)]);
        EXPECT_EQ(flushed, expected) << row.speed;
        if (row.layers[0] == 3) {
            // Mode 45 sounds layer 3 at this frame's power share: 16 A of load current, 16 / 12
            // clamped to 1.
            EXPECT_NE(std::find(volumes.begin(), volumes.end(), std::make_pair(ratioVoices[0], 1.0f)), volumes.end());
        }
    }
    platform::audioRecordRequests(false);
}

}  // namespace
