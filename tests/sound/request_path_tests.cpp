// The per-frame request path: the motor-noise rows as each mode sees them, the bands' open ends,
// and the software engine's queued requests, which must end exactly as requests made at once do.
#include <gtest/gtest.h>

#include <bit>
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

constexpr float Inf = std::numeric_limits<float>::infinity();
const float NaN = std::numeric_limits<float>::quiet_NaN();

// ---- The rows of each mode ----

TEST(MotorLayerIndex, EachModeSeesExactlyItsRowsInTableOrder) {
    const auto rows = sound::motorLayerRows();
    for (int32_t mode = -2; mode <= 200; ++mode) {
        const auto mine = sound::motorLayerRowsOfMode(mode);
        size_t expected = 0;
        for (const sound::Row& row : rows)
            if (row.when.modes & sound::modeBit(mode)) ++expected;
        ASSERT_EQ(mine.size(), expected) << "mode " << mode;
        for (size_t i = 0; i < mine.size(); ++i) {
            ASSERT_LT(mine[i], rows.size());
            EXPECT_NE(rows[mine[i]].when.modes & sound::modeBit(mode), 0u) << "mode " << mode;
            if (i > 0) {
                EXPECT_LT(mine[i - 1], mine[i]) << "mode " << mode;
            }
        }
    }
    for (int layer = -1; layer <= 41; ++layer) {
        for (const sound::Row& row : sound::motorLayerRowsOf(layer)) EXPECT_EQ(row.layer, layer);
    }
    size_t total = 0;
    for (int layer = 0; layer < 41; ++layer) total += sound::motorLayerRowsOf(layer).size();
    EXPECT_EQ(total, rows.size());
}

// The volume as the engine would get it from one layer's own rows.
float finiteReference(float volume) {
    if (std::isnan(volume)) return 0.0f;
    if (std::isinf(volume)) return volume > 0.0f ? 1.0f : 0.0f;
    return volume;
}

TEST(MotorLayerIndex, OnePassGivesEveryLayerItsOwnFirstRowThatHolds) {
    const int32_t modes[] = {1, 2, 3, 5, 9, 15, 27, 45, 99, 100, 101, 102, 103, 105, 109, 115, 127, 145};
    const float rs[] = {0.2f, 0.47f, 0.5f, 0.72f, 0.75f, 0.8f, 0.92f, 0.96f, 0.999f, 1.0f, NaN};
    const float vs[] = {-3.0f, 0.0f,  32.5f, 34.0f, 36.0f, 37.0f, 39.0f, 40.5f, 42.5f, 44.0f,  45.5f,
                        47.0f, 50.0f, 52.0f, 53.5f, 56.0f, 59.0f, 65.0f, 72.0f, 90.0f, 110.0f, Inf};
    size_t audible = 0;
    for (int32_t mode : modes)
        for (float r : rs)
            for (float v : vs)
                for (int32_t n : {1, 3})
                    for (bool h : {false, true}) {
                        MotorNoiseInputs in;
                        in.mode = mode;
                        in.r = r;
                        in.s = v < 0.0f ? 0.0f : v * 0.98f;
                        in.v = v;
                        in.n = n;
                        in.h = h;
                        in.a = 1.1f;
                        in.gp = 0.8f;
                        in.gb = 0.6f;
                        in.f = 0.4f;
                        in.u = 1500.0f;
                        const auto levels = sound::motorNoiseLevels(in);
                        const auto shares = sound::motorNoiseShares(in);
                        for (int layer = 0; layer < 41; ++layer) {
                            const float expected = finiteReference(sound::motorLayerVolume(layer, in, shares));
                            ASSERT_EQ(std::bit_cast<uint32_t>(levels.volume[layer]), std::bit_cast<uint32_t>(expected))
                                << "mode " << mode << " r " << r << " v " << v << " n " << n << " h " << h << " layer "
                                << layer;
                            if (expected != 0.0f) ++audible;
                        }
                    }
    EXPECT_GT(audible, 1000u);  // the grid reaches the rows, not only silence
}

// ---- Open and closed ends ----

TEST(MotorLayerBands, NeighbouringFloatsAreExact) {
    for (float x : {0.0f, -0.0f, 1.0f, -1.0f, 35.2f, -40.69175f, std::numeric_limits<float>::denorm_min(),
                    std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()}) {
        EXPECT_EQ(sound::nextUp(x), std::nextafter(x, Inf)) << x;
        EXPECT_EQ(sound::nextDown(x), std::nextafter(x, -Inf)) << x;
    }
    EXPECT_EQ(sound::nextUp(-Inf), -std::numeric_limits<float>::max());
    EXPECT_EQ(sound::nextDown(Inf), std::numeric_limits<float>::max());
    EXPECT_EQ(sound::nextUp(Inf), Inf);
    static_assert(sound::nextUp(1.0f) > 1.0f && sound::nextDown(1.0f) < 1.0f);
}

TEST(MotorLayerBands, AnOpenEndExcludesItsValueAndAdmitsTheNextFloat) {
    // Layer 18 in power at full voltage: v − 40 for 40 < v < 41, min(23.631561 − 0.5263154 × v, 1)
    // for 41 ≤ v ≤ 44.9, silent elsewhere.
    MotorNoiseInputs in;
    in.mode = 1;
    in.r = 1.0f;
    in.n = 4;
    in.gp = 1.0f;
    in.f = 1.0f;
    const auto layer18 = [&](float v) {
        in.v = v;
        return sound::motorNoiseLevels(in).volume[18];
    };
    EXPECT_EQ(layer18(40.0f), 0.0f);
    const float justAbove40 = std::nextafter(40.0f, Inf);
    EXPECT_EQ(layer18(justAbove40), justAbove40 - 40.0f);
    const float justBelow41 = std::nextafter(41.0f, 0.0f);
    EXPECT_EQ(layer18(justBelow41), justBelow41 - 40.0f);
    EXPECT_EQ(layer18(41.0f), std::fmin(23.631561f - 0.5263154f * 41.0f, 1.0f));
    EXPECT_EQ(layer18(44.9f), std::fmin(23.631561f - 0.5263154f * 44.9f, 1.0f));
    EXPECT_EQ(layer18(std::nextafter(44.9f, Inf)), 0.0f);
    EXPECT_EQ(layer18(NaN), 0.0f);
}

// ---- The engine's queued requests ----

class RequestPath : public soundtest::EngineTest {
protected:
    AudioSourceVoice voice(uint32_t flags = 0, float maxRatio = 25.0f) {
        const WaveFormat format{WaveFormatPcm, 1, 22050, 44100, 2, 16, 0};
        AudioSourceVoice v = nullptr;
        EXPECT_EQ(audioCreateSourceVoice(engine, &v, format, flags, maxRatio), AudioOk);
        return v;
    }
    static AudioVoiceInfo info(AudioSourceVoice v) {
        AudioVoiceInfo i{};
        audioVoiceInfo(v, &i);
        return i;
    }
};

TEST_F(RequestPath, AQueuedValueEndsAsTheSameValueMadeAtOnce) {
    const AudioSourceVoice now = voice();
    const AudioSourceVoice queued = voice();
    const float max = AudioMaxVolumeLevel;
    for (float volume :
         {0.5f, -3.5f, -0.0f, 0.0f, max, std::nextafter(max, Inf), -std::nextafter(max, Inf), 1e30f, -1e30f}) {
        ASSERT_EQ(audioSetVolume(now, volume, AudioCommitNow), AudioOk);
        ASSERT_EQ(audioSetVolume(queued, volume, 9), AudioOk);
        audioCommitChanges(engine, 9);
        EXPECT_EQ(std::bit_cast<uint32_t>(info(queued).volume), std::bit_cast<uint32_t>(info(now).volume)) << volume;
    }
    const float min = AudioMinFrequencyRatio;
    for (float ratio :
         {1.0f, 0.0f, -0.0f, -2.0f, min, std::nextafter(min, 0.0f), 25.0f, std::nextafter(25.0f, Inf), 1e30f, -1e30f}) {
        ASSERT_EQ(audioSetFrequencyRatio(now, ratio, AudioCommitNow), AudioOk);
        ASSERT_EQ(audioSetFrequencyRatio(queued, ratio, 9), AudioOk);
        audioCommitChanges(engine, 9);
        EXPECT_EQ(std::bit_cast<uint32_t>(info(queued).frequencyRatio),
                  std::bit_cast<uint32_t>(info(now).frequencyRatio))
            << ratio;
    }

    // Non-finite values are refused and counted, and nothing waits for the commit.
    audioClearAppliedRequests();
    for (float bad : {NaN, Inf, -Inf}) {
        EXPECT_EQ(audioSetVolume(queued, bad, 9), AudioErrorInvalidArg);
        EXPECT_EQ(audioSetFrequencyRatio(queued, bad, 9), AudioErrorInvalidArg);
    }
    EXPECT_EQ(audioRejectedNonFinite(), 6u);
    audioCommitChanges(engine, 9);
    EXPECT_EQ(audioAppliedRequests().size(), 1u);  // the commit alone
    EXPECT_EQ(audioSetVolume(nullptr, 0.5f, 9), AudioErrorInvalidArg);
    EXPECT_EQ(audioSetFrequencyRatio(nullptr, 0.5f, 9), AudioErrorInvalidArg);
}

TEST_F(RequestPath, ArmedFaultsAndFixedPitchVoicesFailAQueuedRequestToo) {
    const AudioSourceVoice v = voice();
    audioFailNext(AudioCall::SetVolume, AudioErrorFail, 1, 2);
    EXPECT_EQ(audioSetVolume(v, 0.1f, 4), AudioOk);
    EXPECT_EQ(audioSetVolume(v, 0.2f, 4), AudioOk);
    EXPECT_EQ(audioSetVolume(v, 0.3f, 4), AudioErrorFail);
    EXPECT_EQ(audioSetVolume(v, 0.4f, 4), AudioOk);
    audioFailNext(AudioCall::SetFrequencyRatio, AudioErrorFail);
    EXPECT_EQ(audioSetFrequencyRatio(v, 0.0f, 4), AudioErrorFail);
    EXPECT_EQ(audioSetFrequencyRatio(v, 0.0f, 4), AudioOk);

    const AudioSourceVoice fixedPitch = voice(AudioVoiceNoPitch, 2.0f);
    EXPECT_EQ(audioSetFrequencyRatio(fixedPitch, 1.5f, 4), AudioErrorInvalidCall);
    EXPECT_EQ(audioSetFrequencyRatio(fixedPitch, 0.0f, 4), AudioErrorInvalidCall);

    audioCommitChanges(engine, 4);
    const auto volumes = applied(AudioCall::SetVolume);
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].value, 0.1f);
    EXPECT_EQ(volumes[1].value, 0.2f);
    EXPECT_EQ(volumes[2].value, 0.4f);
    const auto ratios = applied(AudioCall::SetFrequencyRatio);
    ASSERT_EQ(ratios.size(), 1u);
    EXPECT_EQ(ratios[0].voiceId, audioVoiceId(v));
    EXPECT_EQ(ratios[0].value, AudioMinFrequencyRatio);
}

TEST_F(RequestPath, ALongQueueKeepsEveryRequestInOrderThroughCommitsAndDestruction) {
    const AudioSourceVoice a = voice();
    const AudioSourceVoice b = voice();
    // Far more than the room made for two voices, alternating sets and voices.
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(audioSetVolume(i % 3 ? a : b, static_cast<float>(i), 1 + i % 2), AudioOk);
        ASSERT_EQ(audioSetFrequencyRatio(i % 3 ? a : b, 1.0f + static_cast<float>(i) / 1000.0f, 1 + i % 2), AudioOk);
    }
    audioClearAppliedRequests();
    audioCommitChanges(engine, 2);
    const auto& records = audioAppliedRequests();
    ASSERT_EQ(records.size(), 1u + 1000u);
    for (size_t k = 1; k < records.size(); ++k) {
        const int i = 1 + 2 * static_cast<int>((k - 1) / 2);
        EXPECT_EQ(records[k].operationSet, 2u);
        EXPECT_EQ(records[k].voiceId, audioVoiceId(i % 3 ? a : b));
        EXPECT_EQ(records[k].value, k % 2 ? static_cast<float>(i) : 1.0f + static_cast<float>(i) / 1000.0f) << k;
    }

    // Destroying a voice drops its waiting requests; the others still apply in order, and without
    // recording the commit ends the same.
    audioDestroySourceVoice(b);
    audioRecordRequests(false);
    audioCommitChanges(engine, 1);
    EXPECT_EQ(info(a).volume, 998.0f);
    EXPECT_EQ(info(a).frequencyRatio, 1.0f + 998.0f / 1000.0f);
    audioRecordRequests(true);
    audioClearAppliedRequests();
    audioCommitChanges(engine, AudioCommitAll);
    EXPECT_EQ(audioAppliedRequests().size(), 1u);  // nothing was left waiting
}

}  // namespace
