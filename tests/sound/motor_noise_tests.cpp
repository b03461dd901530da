// The motor-noise layers: each mode's rows, the full-voltage speed bands, the unclamped rows, the
// requests the engine receives, and non-finite inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/audio.h"
#include "platform/test_hooks.h"
#include "sound/motor_layers.h"
#include "sound/motor_noise.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace platform;
using sound::MotorNoiseInputs;
using sound::motorNoiseLevels;

float clamp01(float x) {
    return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
}

// A frame in a mode with full gains, no field ramp and an acceleration share of 1.
MotorNoiseInputs inMode(int32_t mode, float r, float s = 20.0f, float v = 20.0f) {
    MotorNoiseInputs in;
    in.mode = mode;
    in.r = r;
    in.s = s;
    in.v = v;
    in.n = 5;
    in.a = 3.0f;
    in.gp = 1.0f;
    in.gb = 1.0f;
    in.f = 1.0f;
    in.u = 1500.0f;
    return in;
}

// The layers that sound (volume not 0).
std::vector<int> audible(const MotorNoiseInputs& in) {
    std::vector<int> layers;
    const auto levels = motorNoiseLevels(in);
    for (int l = 0; l < 41; ++l)
        if (levels.volume[l] != 0.0f) layers.push_back(l);
    return layers;
}

float volume(const MotorNoiseInputs& in, int layer) {
    return motorNoiseLevels(in).volume[layer];
}

using Layers = std::vector<int>;

TEST(MotorNoiseLowModes, StandstillInModeNinetyNineAndTheSwitchAtOnePointFive) {
    MotorNoiseInputs in = inMode(99, 0.05f, 0.0f);
    in.gp = 0.8f;
    EXPECT_EQ(audible(in), (Layers{0}));
    EXPECT_EQ(volume(in, 0), 0.8f);

    in.s = 1.4999999f;
    EXPECT_EQ(volume(in, 1), 0.8f);  // the steep ramp, clamped to 1
    in.s = 1.5f;
    EXPECT_EQ(volume(in, 1), clamp01(0.42122766f * 1.5f - 0.053069115f) * 0.8f);
    in.s = 2.5f;
    EXPECT_EQ(volume(in, 2), clamp01(2.0f * 2.5f - 4.0f) * 0.8f);
    EXPECT_EQ(volume(in, 0), 0.0f);
}

TEST(MotorNoiseLowModes, EachPulseModeSoundsItsOwnLayers) {
    EXPECT_EQ(audible(inMode(45, 0.17f)), (Layers{3}));
    EXPECT_EQ(audible(inMode(145, 0.17f)), (Layers{3}));
    EXPECT_EQ(audible(inMode(27, 0.25f)), (Layers{4, 5}));
    EXPECT_EQ(audible(inMode(15, 0.45f)), (Layers{6, 7}));
    EXPECT_EQ(volume(inMode(9, 0.7f), 8), 0.5f);        // layer 8 never drops below half in its mode
    EXPECT_EQ(volume(inMode(9, 0.7537357f), 8), 0.0f);  // and stops at its threshold
    EXPECT_EQ(audible(inMode(3, 0.939f)), (Layers{12, 13}));
    EXPECT_EQ(audible(inMode(3, 0.94f)), (Layers{13}));
    EXPECT_EQ(audible(inMode(3, 0.9531526f)), (Layers{26}));  // the top of mode 3 hands over to layer 26
    EXPECT_EQ(audible(inMode(100, 0.5f)), (Layers{}));
}

TEST(MotorNoiseLowModes, UnclampedRowsPassValuesBelowZeroAndAboveTheGain) {
    MotorNoiseInputs in = inMode(5, 0.5f);
    in.gp = 0.5f;
    EXPECT_EQ(volume(in, 10), (7.378005f - 7.978585f * 0.5f) * 0.5f);
    EXPECT_GT(volume(in, 10), in.gp);
    EXPECT_EQ(volume(in, 11), (7.978585f * 0.5f - 6.378005f) * 0.5f);
    EXPECT_LT(volume(in, 11), 0.0f);

    in = inMode(2, 0.5f);
    EXPECT_EQ(volume(in, 13), 21.3459f - 21.3459f * 0.5f);
    in = inMode(102, 0.5f);
    in.gb = 0.25f;
    EXPECT_EQ(volume(in, 30), (10.658596f - 10.658596f * 0.5f) * 0.25f);
    EXPECT_GT(volume(in, 30), in.gb);
    in.h = true;
    EXPECT_EQ(volume(in, 30), 0.25f);  // capped at 1 before the gain while H is set
}

TEST(MotorNoiseLowModes, LayerFourteenFadesOutInBrakingUnclamped) {
    MotorNoiseInputs in = inMode(101, 1.0f);
    const float v0 = in.u * 39.561718f / 1650.0f;
    in.v = v0;
    in.s = v0 - 1.3f;  // two fade lengths below the end: the line gives 2
    const float fade = (v0 + 1.3f - in.s) / 1.3f;
    EXPECT_GT(fade, 1.5f);
    EXPECT_EQ(volume(in, 14), fade);
    in.v = v0 + 1.3f;  // the train is past the fade's end
    EXPECT_EQ(volume(in, 14), 0.0f);
    in.v = v0;
    in.h = true;
    EXPECT_EQ(volume(in, 14), 0.0f);
    in = inMode(102, 0.9f);
    EXPECT_EQ(volume(in, 14), 1.0f);
}

TEST(MotorNoiseFullVoltage, PowerAtFiftyWithTwoOrMoreNotchesSoundsOnlyTwentyAndTwentyOne) {
    MotorNoiseInputs in = inMode(1, 1.0f, 48.0f, 50.0f);
    Layers banded;
    for (int l : audible(in))
        if (l >= 15 && l <= 25) banded.push_back(l);
    EXPECT_EQ(banded, (Layers{20, 21}));
    EXPECT_EQ(volume(in, 20), std::min(12.75f - 0.25f * 50.0f, 6.625f - 0.125f * 50.0f));
    EXPECT_EQ(volume(in, 21), 1.0f);

    in.n = 1;
    for (int l : audible(in)) EXPECT_FALSE(l >= 15 && l <= 25) << l;
    EXPECT_EQ(volume(in, 26), std::clamp(1.6800001f - 0.024f * 50.0f, 0.0f, 0.6f) * 0.5f);
}

TEST(MotorNoiseFullVoltage, LayerSixteenSwitchesToItsFallingFormulaAtThirtyFivePointTwo) {
    MotorNoiseInputs in = inMode(2, 1.0f, 34.0f, 35.2f);
    EXPECT_EQ(volume(in, 16), 1.0f);  // min(20 − 0.5 × 35.2, A) with A = 1
    in.v = 35.1f;
    EXPECT_EQ(volume(in, 16), 0.3124999f * 35.1f - 9.999998f);
    in.v = 35.2f;
    in.a = 0.8f;  // the falling formula is still capped by A
    EXPECT_EQ(volume(in, 16), clamp01(0.6666667f * 0.8f - 0.33333334f));
}

TEST(MotorNoiseFullVoltage, BrakingBandsIgnoreTheNotchAndUseTheirOwnFormulas) {
    MotorNoiseInputs in = inMode(101, 1.0f, 48.0f, 50.0f);
    in.n = 0;
    in.gb = 0.5f;
    EXPECT_EQ(volume(in, 20), std::min(25.5f - 0.5f * 50.0f, 1.0f) * 0.5f);
    EXPECT_EQ(volume(in, 21), 0.5f);
    in.v = 61.0f;
    EXPECT_EQ(volume(in, 23), std::min(31.0f - 0.5f * 61.0f, 1.0f) * 0.5f);
    EXPECT_EQ(volume(in, 24), std::min(15.0f - 0.2f * 61.0f, 1.0f) * 0.5f);
    in.v = 120.0f;
    EXPECT_EQ(volume(in, 25), 0.25f);

    // Layer 17 below full voltage in mode 102 is cut by the voltage ratio.
    in = inMode(102, 0.96f, 38.0f, 39.0f);
    EXPECT_EQ(volume(in, 17), std::min(42.0f - 39.0f, 1.0f) * std::min(42.691746f * 0.96f - 40.69175f, 1.0f));
}

TEST(MotorNoiseFullVoltage, TheRisingShareScalesTheFullVoltageLayers) {
    MotorNoiseInputs in = inMode(2, 1.0f, 48.0f, 50.0f);
    in.f = 0.25f;
    EXPECT_EQ(volume(in, 21), 0.5f);                                                               // × Fup = 0.5
    EXPECT_EQ(volume(in, 26), std::clamp(1.6800001f - 0.024f * 50.0f, 0.0f, 0.6f) * 1.0f * 1.0f);  // × Fdown × Gp
}

TEST(MotorNoiseFullVoltage, ANegativeHostSpeedKeepsTheSpeedBandedLayersSilent) {
    for (int mode : {1, 2, 101, 102}) {
        for (float v : {-38.0f, -45.0f, -50.0f, -65.0f, -90.0f, -120.0f}) {
            MotorNoiseInputs in = inMode(mode, 1.0f, -v, v);
            const auto levels = motorNoiseLevels(in);
            for (int l = 16; l <= 25; ++l) EXPECT_EQ(levels.volume[l], 0.0f) << mode << " " << v << " " << l;
        }
    }
}

TEST(MotorNoiseTopLayers, StartingLayerAndTheHeldNegativeNotch) {
    EXPECT_EQ(volume(inMode(3, 0.96f, 20.0f, 20.0f), 26), 0.6f);
    EXPECT_EQ(volume(inMode(3, 0.95f, 20.0f, 20.0f), 26), 0.0f);

    MotorNoiseInputs in = inMode(102, 0.97f, 30.0f, 30.0f);
    in.h = true;
    EXPECT_EQ(volume(in, 27),
              std::min(42.691746f * 0.97f - 40.69175f, 1.0f) * std::min(10.428572f - 0.2857143f * 30.0f, 1.0f));
    in = inMode(101, 1.0f, 30.0f, 30.0f);
    in.h = true;
    EXPECT_EQ(volume(in, 27), std::min(10.428572f - 0.2857143f * 30.0f, 1.0f));
    in.h = false;
    EXPECT_EQ(volume(in, 27), 0.0f);
    in = inMode(2, 0.99f);
    in.a = 1.1f;
    EXPECT_EQ(volume(in, 27), std::min(21.3459f * 0.99f - 20.3459f, 1.0f - clamp01(0.6666667f * 1.1f - 0.33333334f)));
}

TEST(MotorNoiseTopLayers, ModeOneHundredThreeSplitsWhereHSays) {
    MotorNoiseInputs in = inMode(103, 0.92f);
    EXPECT_EQ(audible(in), (Layers{26}));  // upper part while H is clear
    in.h = true;
    EXPECT_EQ(audible(in), (Layers{30}));
    EXPECT_EQ(volume(in, 30), clamp01(53.266415f * 0.92f - 40.41891f));
    in.r = 0.77f;
    EXPECT_EQ(audible(in), (Layers{30, 31}));
    EXPECT_EQ(volume(in, 31), clamp01(41.41891f - 53.266415f * 0.77f));
    in = inMode(103, 0.7f);
    EXPECT_EQ(volume(in, 31), std::max(53.266415f * 0.7f - 38.418915f, 0.0f));
    EXPECT_EQ(volume(in, 32), clamp01(39.418915f - 53.266415f * 0.7f));
}

TEST(MotorNoiseTopLayers, TheLowBrakeModesCrossfadeByRatioAndSpeed) {
    EXPECT_EQ(audible(inMode(105, 0.58f)), (Layers{33, 34}));
    MotorNoiseInputs in = inMode(109, 0.5f);
    EXPECT_EQ(volume(in, 35), clamp01(20.461056f * 0.5f - 8.7560835f));
    EXPECT_EQ(volume(in, 36), clamp01(28.317017f - 57.29092f * 0.5f));
    in.r = 0.4f;
    EXPECT_EQ(volume(in, 36), clamp01(14.158507f - 28.64546f * 0.4f));
    in.h = true;
    EXPECT_EQ(volume(in, 36), clamp01(17.54423f - 24.198723f * 0.4f));
    in.r = 0.71f;
    EXPECT_EQ(volume(in, 36), clamp01(35.08846f - 48.397446f * 0.71f));
    EXPECT_EQ(audible(inMode(115, 0.35f)), (Layers{37, 38}));
    EXPECT_EQ(volume(inMode(127, 0.1f, 6.5f), 39), clamp01(0.6666667f * 6.5f - 3.666667f));
    EXPECT_EQ(volume(inMode(127, 0.1f, 6.5f), 40), clamp01(18.499996f - 2.4999995f * 6.5f));
}

TEST(MotorNoiseTopLayers, LayersTwentyEightAndTwentyNineAreNeverRequested) {
    for (int mode : {1, 2, 3, 5, 9, 15, 27, 45, 99, 100, 101, 102, 103, 105, 109, 115, 127, 145}) {
        const auto levels = motorNoiseLevels(inMode(mode, 0.5f));
        EXPECT_EQ(levels.volume[28], 0.0f);
        EXPECT_EQ(levels.volume[29], 0.0f);
    }
}

TEST(MotorNoisePitch, EveryLayerFollowsTheMotorSpeedByItsFactor) {
    const auto levels = motorNoiseLevels(inMode(1, 1.0f, 40.0f, 40.0f));
    for (int l = 0; l <= 2; ++l) EXPECT_EQ(levels.ratio[l], 1.0f);
    EXPECT_EQ(levels.ratio[3], 40.0f * 0.22379488f);
    EXPECT_EQ(levels.ratio[14], 40.0f * 0.03228322f);
    EXPECT_EQ(levels.ratio[15], levels.ratio[14]);
    EXPECT_EQ(levels.ratio[25], 40.0f * 0.012020906f);
    EXPECT_EQ(levels.ratio[26], levels.ratio[8]);
    EXPECT_EQ(levels.ratio[40], 40.0f * 0.12967394f);
    EXPECT_EQ(levels.ratio[28], 0.0f);
}

TEST(MotorNoiseBadInput, NonFiniteInputsGiveFiniteRequests) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int mode : {2, 5, 99, 101, 102, 103, 127}) {
        for (int which = 0; which < 8; ++which) {
            MotorNoiseInputs in = inMode(mode, mode == 2 || mode == 101 ? 1.0f : 0.5f, 30.0f, 30.0f);
            const float bad = which % 2 ? inf : nan;
            switch (which / 2) {
                case 0: in.r = bad; break;
                case 1:
                    in.s = bad;
                    in.v = bad;
                    break;
                case 2: in.gp = in.gb = bad; break;
                case 3:
                    in.a = bad;
                    in.f = bad;
                    in.u = -bad;
                    break;
            }
            const auto levels = motorNoiseLevels(in);
            for (int l = 0; l < 41; ++l) {
                EXPECT_TRUE(std::isfinite(levels.volume[l])) << mode << " " << which << " " << l;
                EXPECT_TRUE(std::isfinite(levels.ratio[l])) << mode << " " << which << " " << l;
            }
        }
    }
}

// ---- The requests as the engine applies them ----

class MotorNoiseRequests : public soundtest::AudioTest {};

TEST_F(MotorNoiseRequests, OneVolumeThenOneRatioPerLoadedLayerInSlotOrderInTheFrameSet) {
    for (int n = 0; n < 41; ++n)
        if (n != 7) vehicle.writeLayer(n);
    sound::audioStartup(state, vehicle.pluginDirectory());
    audioClearAppliedRequests();

    const MotorNoiseInputs in = inMode(5, 0.5f, 10.0f, 10.0f);
    sound::applyMotorNoise(state.motorNoise, motorNoiseLevels(in), 77);
    EXPECT_TRUE(audioAppliedRequests().empty());  // nothing before the commit
    audioCommitChanges(state.engine, 77);

    std::vector<uint32_t> volumeOrder, ratioOrder;
    std::vector<uint32_t> expected;
    for (int n = 0; n < 41; ++n)
        if (n != 7 && n != 28 && n != 29) expected.push_back(audioVoiceId(state.motorNoise[n].voice));
    const auto& records = audioAppliedRequests();
    ASSERT_EQ(records.size(), 1 + 2 * expected.size());
    for (size_t i = 1; i < records.size(); ++i) {
        EXPECT_EQ(records[i].operationSet, 77u);
        if (i <= expected.size()) {
            EXPECT_EQ(records[i].call, AudioCall::SetVolume);
            volumeOrder.push_back(records[i].voiceId);
        } else {
            EXPECT_EQ(records[i].call, AudioCall::SetFrequencyRatio);
            ratioOrder.push_back(records[i].voiceId);
        }
    }
    EXPECT_EQ(volumeOrder, expected);
    EXPECT_EQ(ratioOrder, expected);

    // The unclamped layers reach the engine as they are.
    AudioVoiceInfo layer10{}, layer11{}, layer3{};
    audioVoiceInfo(state.motorNoise[10].voice, &layer10);
    audioVoiceInfo(state.motorNoise[11].voice, &layer11);
    audioVoiceInfo(state.motorNoise[3].voice, &layer3);
    EXPECT_EQ(layer10.volume, 7.378005f - 7.978585f * 0.5f);
    EXPECT_EQ(layer11.volume, 7.978585f * 0.5f - 6.378005f);
    EXPECT_EQ(layer3.frequencyRatio, 10.0f * 0.22379488f);
    AudioVoiceInfo layer28{};
    audioVoiceInfo(state.motorNoise[28].voice, &layer28);
    EXPECT_EQ(layer28.volume, 0.0f);
}

// Each request takes the engine's lock, which its mixing thread holds too: a value the voice
// already has is not sent again, and a frame with nothing to change commits nothing.
TEST_F(MotorNoiseRequests, OnlyChangesAreSentInOrderAndAnEmptyFrameCommitsNothing) {
    vehicle.writeEverySound();
    sound::audioStartup(state, vehicle.pluginDirectory());
    const auto frame = [&](const MotorNoiseInputs& in, uint32_t set) {
        audioClearAppliedRequests();
        sound::applyMotorNoise(state.motorNoise, motorNoiseLevels(in), set);
        sound::endAudioFrame(state, set);
        std::vector<std::pair<AudioCall, int>> sent;  // call and layer
        for (const auto& r : audioAppliedRequests()) {
            if (r.call == AudioCall::CommitChanges) {
                sent.push_back({r.call, -1});
                continue;
            }
            for (int n = 0; n < 41; ++n)
                if (audioVoiceId(state.motorNoise[n].voice) == r.voiceId) sent.push_back({r.call, n});
        }
        return sent;
    };
    using Sent = std::vector<std::pair<AudioCall, int>>;
    const auto everything = [] {
        Sent all{{AudioCall::CommitChanges, -1}};
        for (AudioCall call : {AudioCall::SetVolume, AudioCall::SetFrequencyRatio})
            for (int n = 0; n < 41; ++n)
                if (n != 28 && n != 29) all.push_back({call, n});
        return all;
    }();

    // The first frame after Load sends every layer its volume, then its ratio, in slot order.
    EXPECT_EQ(frame(inMode(5, 0.5f, 10.0f, 10.0f), 1), everything);
    // The same state again: nothing is sent and nothing committed.
    EXPECT_EQ(frame(inMode(5, 0.5f, 10.0f, 10.0f), 2), Sent{});
    // Only the voltage ratio moves: mode 5's two crossfading layers change their volumes.
    EXPECT_EQ(frame(inMode(5, 0.55f, 10.0f, 10.0f), 3),
              (Sent{{AudioCall::CommitChanges, -1}, {AudioCall::SetVolume, 10}, {AudioCall::SetVolume, 11}}));
    // Only the motor speed moves: every layer off its recorded pitch changes its ratio.
    Sent ratios{{AudioCall::CommitChanges, -1}};
    for (int n = 3; n < 41; ++n)
        if (n != 28 && n != 29) ratios.push_back({AudioCall::SetFrequencyRatio, n});
    EXPECT_EQ(frame(inMode(5, 0.55f, 12.0f, 10.0f), 4), ratios);

    // A request the engine refused is not remembered: the next frame sends it again.
    audioFailNext(AudioCall::SetVolume, AudioErrorFail);
    EXPECT_EQ(frame(inMode(5, 0.6f, 12.0f, 10.0f), 5),
              (Sent{{AudioCall::CommitChanges, -1}, {AudioCall::SetVolume, 11}}));
    EXPECT_EQ(frame(inMode(5, 0.6f, 12.0f, 10.0f), 6),
              (Sent{{AudioCall::CommitChanges, -1}, {AudioCall::SetVolume, 10}}));

    // A reset or a new Load forgets what the voices had: the same state is sent whole again.
    state.motorNoise[3].reset();
    sound::audioStartup(state, vehicle.pluginDirectory());
    EXPECT_EQ(frame(inMode(5, 0.6f, 12.0f, 10.0f), 7), everything);

    // A start alone fills the set too, and is committed.
    audioClearAppliedRequests();
    state.sapHighSound.start(8);
    sound::endAudioFrame(state, 8);
    EXPECT_EQ(applied(AudioCall::CommitChanges).size(), 1u);
    EXPECT_EQ(applied(AudioCall::Start).size(), 1u);
}

TEST_F(MotorNoiseRequests, NonFiniteInputsNeverReachTheEngine) {
    vehicle.writeEverySound();
    sound::audioStartup(state, vehicle.pluginDirectory());
    MotorNoiseInputs in =
        inMode(5, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 30.0f);
    sound::applyMotorNoise(state.motorNoise, motorNoiseLevels(in), 3);
    audioCommitChanges(state.engine, 3);
    EXPECT_EQ(audioRejectedNonFinite(), 0u);
    for (const auto& r : audioAppliedRequests()) EXPECT_TRUE(std::isfinite(r.value));
}

TEST_F(MotorNoiseRequests, EnteringAPowerModeRewindsItsLayersAtOnce) {
    vehicle.writeEverySound();
    sound::AudioState& global = state;
    sound::audioStartup(global, vehicle.pluginDirectory());
    std::vector<float> mix(2 * 4800);
    audioRender(global.engine, mix.data(), 4800);
    AudioVoiceInfo before{};
    audioVoiceInfo(global.motorNoise[4].voice, &before);
    ASSERT_GT(before.positionFrames, 0.0);
    sound::rewindMotorLayer(global, 4);
    sound::rewindMotorLayer(global, 41);
    sound::rewindMotorLayer(global, -1);
    AudioVoiceInfo after{};
    audioVoiceInfo(global.motorNoise[4].voice, &after);
    EXPECT_EQ(after.positionFrames, 0.0);
    EXPECT_TRUE(after.started);
    sound::audioShutdown(global);
}

}  // namespace
