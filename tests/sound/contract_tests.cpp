// The platform audio contract against the software engine and libsndfile (the same cases run
// under Wine against XAudio2 and Media Foundation).
#include <gtest/gtest.h>

#include "platform/audio.h"
#include "platform/test_hooks.h"
#include "tests/sound/sound_test_support.h"

namespace {

class AudioContract : public ::testing::TestWithParam<contract::Case> {};

TEST_P(AudioContract, Holds) {
    soundtest::VehicleFolder scratch;
    contract::Checker checker;
    GetParam().run(checker, scratch.root());
    EXPECT_EQ(checker.failures, 0) << checker.report;
    EXPECT_EQ(platform::audioLiveEngines(), 0u);
    EXPECT_EQ(platform::mediaStartupDepth(), 0);
}

INSTANTIATE_TEST_SUITE_P(SoftwareEngine, AudioContract, ::testing::ValuesIn(contract::cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
