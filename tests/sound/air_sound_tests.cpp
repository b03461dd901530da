// The straight-air-pipe exhaust and the cylinder exhaust on the plug-in's own sound bank.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/audio.h"
#include "platform/test_hooks.h"
#include "sound/air_sounds.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace platform;

class AirSounds : public soundtest::AudioTest {
protected:
    void TearDown() override {
        sound::audioShutdown(global());
        AudioTest::TearDown();
    }
    sound::AudioState& global() { return audio; }
    sound::AudioState audio;

    void startWithSounds(uint32_t sapHighFrames = 3000) {
        vehicle.writeAirSound("bc.wav");
        vehicle.writeAirSound("sap.wav");
        vehicle.writeAirSound("sapHigh.wav", {}, sapHighFrames);
        sound::audioStartup(global(), vehicle.pluginDirectory());
        audioClearAppliedRequests();
    }
    AudioVoiceInfo sapHigh() {
        AudioVoiceInfo i{};
        audioVoiceInfo(global().sapHighSound.voice, &i);
        return i;
    }
    AudioVoiceInfo bc() {
        AudioVoiceInfo i{};
        audioVoiceInfo(global().bcSound.voice, &i);
        return i;
    }
    // The fraction the brake code passes for a pipe pressure.
    static float fractionAt(float sapKpa) { return 1.0f - std::min(sapKpa, 300.0f) / 300.0f; }
};

TEST_F(AirSounds, TheExhaustStartsWhereItsPressureSays) {
    startWithSounds(3000);
    ASSERT_EQ(global().sapHighLength, 3000u);

    sound::startExhaust(global(), fractionAt(150.0f), 5);
    EXPECT_TRUE(sound::exhaustPlaying(global()));
    EXPECT_EQ(sapHigh().playBegin, 1500u);
    EXPECT_EQ(sapHigh().loopCount, 0u);
    EXPECT_FALSE(sapHigh().started);  // heard from the commit of the frame on
    audioCommitChanges(global().engine, 5);
    EXPECT_TRUE(sapHigh().started);

    sound::stopExhaust(global(), 6);
    EXPECT_FALSE(sound::exhaustPlaying(global()));
    audioCommitChanges(global().engine, 6);
    EXPECT_FALSE(sapHigh().started);

    sound::startExhaust(global(), fractionAt(300.0f), 7);
    EXPECT_EQ(sapHigh().playBegin, 0u);
    EXPECT_EQ(sapHigh().buffersQueued, 1u);
    audioCommitChanges(global().engine, 7);
    EXPECT_TRUE(sapHigh().started);
    sound::stopExhaust(global(), 8);
    audioCommitChanges(global().engine, 8);

    // From 0 kPa the play begin is the recording's end: nothing is heard, the flag is set.
    audioClearAppliedRequests();
    sound::startExhaust(global(), fractionAt(0.0f), 9);
    audioCommitChanges(global().engine, 9);
    EXPECT_TRUE(sound::exhaustPlaying(global()));
    EXPECT_EQ(global().sapHighSound.buffer->playBegin, 3000u);
    EXPECT_EQ(sapHigh().buffersQueued, 0u);
    EXPECT_TRUE(applied(AudioCall::Start).empty());
}

TEST_F(AirSounds, AnExhaustThatPlayedToItsEndKeepsItsFlagUntilTheStop) {
    startWithSounds(480);
    sound::startExhaust(global(), 0.0f, 1);
    audioCommitChanges(global().engine, 1);
    std::vector<float> mix(2 * 4800);
    audioRender(global().engine, mix.data(), 4800);
    EXPECT_EQ(sapHigh().buffersQueued, 0u);
    EXPECT_TRUE(sound::exhaustPlaying(global()));
    sound::stopExhaust(global(), 2);
    sound::startExhaust(global(), fractionAt(150.0f), 3);
    audioCommitChanges(global().engine, 2);
    audioCommitChanges(global().engine, 3);
    EXPECT_EQ(sapHigh().playBegin, 240u);
    EXPECT_EQ(sapHigh().buffersQueued, 1u);
}

TEST_F(AirSounds, TheMuteWinsOverTheLevelInTheSameFrame) {
    startWithSounds();
    sound::setCylinderExhaustLevel(global(), 0.7f, 4);
    sound::muteCylinderExhaust(global(), 4);
    audioCommitChanges(global().engine, 4);
    EXPECT_EQ(bc().volume, 0.0f);
    const auto volumes = applied(AudioCall::SetVolume);
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[0].value, 0.7f);

    sound::setCylinderExhaustLevel(global(), 0.4f, 5);
    audioCommitChanges(global().engine, 5);
    EXPECT_EQ(bc().volume, 0.4f);
    sound::setCylinderExhaustLevel(global(), -2.0f, 6);
    audioCommitChanges(global().engine, 6);
    EXPECT_EQ(bc().volume, 0.0f);
    sound::setCylinderExhaustLevel(global(), 3.0f, 7);
    audioCommitChanges(global().engine, 7);
    EXPECT_EQ(bc().volume, 1.0f);
    EXPECT_TRUE(bc().started);  // the cylinder exhaust is never stopped
}

TEST_F(AirSounds, MissingFilesLeaveTheExhaustTimingUnchanged) {
    sound::audioStartup(global(), vehicle.pluginDirectory());  // no sound files at all
    ASSERT_EQ(global().sapHighSound.voice, nullptr);
    EXPECT_FALSE(sound::exhaustPlaying(global()));
    sound::startExhaust(global(), fractionAt(100.0f), 1);
    EXPECT_TRUE(sound::exhaustPlaying(global()));
    sound::setCylinderExhaustLevel(global(), 0.5f, 1);
    sound::muteCylinderExhaust(global(), 1);
    sound::stopExhaust(global(), 2);
    EXPECT_FALSE(sound::exhaustPlaying(global()));
    sound::startExhaust(global(), fractionAt(250.0f), 3);
    EXPECT_TRUE(sound::exhaustPlaying(global()));
    EXPECT_EQ(audioLiveSourceVoices(), 0u);
}

TEST_F(AirSounds, TheSapSoundIsLoadedButNeverPlayed) {
    startWithSounds();
    sound::startExhaust(global(), 0.5f, 1);
    sound::setCylinderExhaustLevel(global(), 1.0f, 1);
    audioCommitChanges(global().engine, 1);
    AudioVoiceInfo sap{};
    ASSERT_TRUE(audioVoiceInfo(global().sapSound.voice, &sap));
    EXPECT_FALSE(sap.started);
    EXPECT_EQ(sap.buffersQueued, 0u);
    EXPECT_FALSE(global().sapSound.triggered);
}

}  // namespace
