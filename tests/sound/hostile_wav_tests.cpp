// The crafted sound corpus through the native build: every file either plays or fails with its
// line; the header screening, the voice format check and the memory bounds one by one.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "platform/audio.h"
#include "sound/decode.h"
#include "sound/wave_screen.h"
#include "tests/sound/hostile_wavs.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace platform;
using soundtest::countOf;
using wavtest::Expect;
namespace fs = std::filesystem;

std::string upperHex(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0X%X", code);
    return text;
}

class HostileWavs : public soundtest::AudioTest {};

// The whole corpus as motor-noise layers of one vehicle, through the audio set-up of Load.
TEST_F(HostileWavs, EveryFilePlaysOrFailsWithItsLine) {
    const std::vector<wavtest::HostileWav> corpus = wavtest::hostileWavCorpus();
    ASSERT_LE(corpus.size(), 41u);
    fs::create_directories(vehicle.motorFolder());
    for (size_t n = 0; n < corpus.size(); ++n)
        wavtest::writeFile(vehicle.motorFolder() / (std::to_string(n) + ".wav"), corpus[n].bytes);
    sound::audioStartup(state, vehicle.pluginDirectory());
    const std::string log = vehicle.log();

    for (size_t n = 0; n < corpus.size(); ++n) {
        const wavtest::HostileWav& c = corpus[n];
        SCOPED_TRACE(c.name);
        const sound::SoundVoice& layer = state.motorNoise[n];
        const std::string file =
            "ファイル名：" + (vehicle.motorFolder() / (std::to_string(n) + ".wav")).string() + "\n";
        const bool made = countOf(log, "ソースボイスの作成成功\n" + file) == 1;
        const bool failed = countOf(log, file) == 1 && !made;
        switch (c.expect) {
            case Expect::Plays: EXPECT_TRUE(made); break;
            case Expect::Refused:
                EXPECT_EQ(countOf(log, "ソースボイスの作成失敗\nエラー:" + upperHex(c.code) + "\n" + file + "理由："),
                          1u);
                EXPECT_EQ(layer.voice, nullptr);
                break;
            case Expect::Fails:
                EXPECT_TRUE(failed);
                EXPECT_EQ(layer.voice, nullptr);
                break;
            case Expect::EitherWay: EXPECT_TRUE(made || failed); break;
        }
        // Whatever is logged as made has whole frames of sound, submitted and started.
        if (made) {
            ASSERT_NE(layer.voice, nullptr);
            ASSERT_TRUE(layer.format);
            EXPECT_FALSE(layer.pcm.empty());
            EXPECT_EQ(layer.pcm.size() % layer.format->blockAlign, 0u);
            AudioVoiceInfo info{};
            ASSERT_TRUE(audioVoiceInfo(layer.voice, &info));
            EXPECT_TRUE(info.started);
            EXPECT_EQ(info.buffersQueued, 1u);
        } else {
            EXPECT_EQ(layer.voice, nullptr);
        }
    }
    EXPECT_EQ(countOf(log, "XAudio2初期化完了\n"), 1u);
}

// A one-shot sound logged as made plays; before, an empty one was made and every play failed.
TEST_F(HostileWavs, EveryOneShotThatLoadsPlays) {
    AudioEngine engine = nullptr;
    AudioMasteringVoice mastering = nullptr;
    ASSERT_EQ(audioCreateEngine(&engine, 0, AudioDefaultProcessor), AudioOk);
    ASSERT_EQ(audioCreateMasteringVoice(engine, &mastering, 0, 0, 0, AudioCategoryGameEffects), AudioOk);
    ASSERT_EQ(mediaStartup(MediaFoundationVersion, 0), AudioOk);
    for (const wavtest::HostileWav& c : wavtest::hostileWavCorpus()) {
        SCOPED_TRACE(c.name);
        const fs::path file = vehicle.root() / (std::string(c.name) + ".wav");
        wavtest::writeFile(file, c.bytes);
        sound::SoundVoice once;
        const AudioResult loaded = once.load(engine, file, nullptr, 0, AudioVoiceNoPitch, 2.0f);
        if (c.expect == Expect::Refused) {
            EXPECT_EQ(static_cast<uint32_t>(loaded), c.code);
        }
        if (audioFailed(loaded)) {
            EXPECT_EQ(once.voice, nullptr);
            continue;
        }
        EXPECT_NE(c.expect, Expect::Fails);
        EXPECT_EQ(once.play(1), AudioOk);
    }
    audioRelease(engine);
    mediaShutdown();
}

TEST(VoiceFormat, TheRangesAVoiceTakes) {
    using sound::Refusal;
    struct Row {
        WaveFormat format;
        Refusal refusal;
    };
    const Row rows[] = {
        {{1, 1, 22050, 44100, 2, 16, 0}, Refusal::None},    {{1, 64, 1000, 0, 128, 16, 0}, Refusal::None},
        {{1, 65, 22050, 0, 130, 16, 0}, Refusal::Channels}, {{1, 0, 22050, 0, 0, 16, 0}, Refusal::Channels},
        {{1, 2, 200000, 0, 4, 16, 0}, Refusal::None},       {{1, 2, 200001, 0, 4, 16, 0}, Refusal::SampleRate},
        {{1, 2, 999, 0, 4, 16, 0}, Refusal::SampleRate},    {{1, 1, 22050, 0, 1, 8, 0}, Refusal::None},
        {{1, 1, 22050, 0, 3, 24, 0}, Refusal::None},        {{1, 2, 22050, 0, 8, 32, 0}, Refusal::None},
        {{1, 1, 22050, 0, 2, 12, 0}, Refusal::Bits},        {{3, 1, 22050, 0, 4, 32, 0}, Refusal::None},
        {{3, 1, 22050, 0, 2, 16, 0}, Refusal::Bits},        {{1, 2, 22050, 0, 2, 16, 0}, Refusal::BlockAlign},
        {{2, 1, 22050, 0, 256, 4, 0}, Refusal::Encoding},
    };
    for (const Row& row : rows) {
        // Copies: the members of the packed block cannot be bound to references.
        const unsigned channels = row.format.channels, rate = row.format.samplesPerSec, bits = row.format.bitsPerSample;
        SCOPED_TRACE(testing::Message() << channels << " channels, " << rate << " Hz, " << bits << " bits");
        EXPECT_EQ(sound::checkVoiceFormat(row.format).refusal, row.refusal);
    }
}

// The reason line names the value and what would do, in the log's language.
TEST(VoiceFormat, TheReasonNamesTheValue) {
    EXPECT_EQ(sound::refusalReason({sound::Refusal::SampleRate, 2147483647}),
              "サンプリング周波数2147483647Hzは扱えません(1000～200000Hz)");
    EXPECT_EQ(sound::refusalReason({sound::Refusal::BlockAlign, 4, 2}),
              "ブロックサイズ4がチャンネル数と量子化ビット数に合いません(2のはず)");
    EXPECT_EQ(sound::refusalReason({sound::Refusal::Empty}), "音声データがありません");
    EXPECT_EQ(sound::refusalReason({sound::Refusal::FileTooLarge}),
              "デコード後の大きさが1ファイルの上限64MBを超えます");
}

sound::WaveHeader headerOf(const std::string& bytes) {
    const sound::ReadAt read = [&bytes](uint64_t offset, uint8_t* out, size_t count) -> size_t {
        if (offset >= bytes.size()) return 0;
        const size_t n = std::min<size_t>(count, bytes.size() - offset);
        std::memcpy(out, bytes.data() + offset, n);
        return n;
    };
    return sound::readWaveHeader(read, bytes.size());
}

TEST(WaveHeader, TheScreenReadsTheFormatAndTheDataSizeItCanTrust) {
    const wavtest::FmtFields f = wavtest::pcm(2, 44100, 16);
    sound::WaveHeader h =
        headerOf(wavtest::riffWave(wavtest::chunk("LIST", "abc") + wavtest::chunk("fmt ", wavtest::fmtBody(f)) +
                                   wavtest::chunk("data", std::string(400, '\0'))));
    ASSERT_TRUE(h.isWave && h.hasFormat && h.hasData);
    EXPECT_EQ(unsigned{h.format.channels}, 2u);
    EXPECT_EQ(unsigned{h.format.samplesPerSec}, 44100u);
    EXPECT_EQ(unsigned{h.format.blockAlign}, 4u);
    EXPECT_EQ(h.dataBytes, 400u);
    // A declared size beyond the end of the file counts only what is there.
    h = headerOf(wavtest::riffWave(wavtest::chunk("fmt ", wavtest::fmtBody(f)) + "data" +
                                   std::string("\xFF\xFF\xFF\x7F", 4) + std::string(100, '\0')));
    EXPECT_EQ(h.dataBytes, 100u);
    // The sub-format of an extensible block.
    h = headerOf(wavtest::riffWave(wavtest::chunk("fmt ", wavtest::extensibleFmtBody(f))));
    EXPECT_EQ(unsigned{h.format.formatTag}, unsigned{WaveFormatExtensible});
    EXPECT_EQ(h.subFormatTag, WaveFormatPcm);
    EXPECT_FALSE(h.hasData);
    // Not a WAV: nothing to screen.
    EXPECT_FALSE(headerOf("OggS and more bytes").isWave);
}

TEST(WaveHeader, DeclaredSizesBeyondTheBoundsAreRefusedBeforeDecoding) {
    sound::WaveHeader h;
    h.isWave = h.hasFormat = h.hasData = true;
    h.format = {1, 2, 44100, 176400, 4, 16, 0};
    h.subFormatTag = 1;
    h.dataBytes = sound::MaxDecodedBytesPerFile;
    EXPECT_EQ(sound::screenWaveHeader(h, sound::MaxDecodedBytesPerFile, false).refusal, sound::Refusal::None);
    h.dataBytes = sound::MaxDecodedBytesPerFile + 1;
    EXPECT_EQ(sound::screenWaveHeader(h, sound::MaxDecodedBytesPerFile, false).refusal, sound::Refusal::FileTooLarge);
    h.dataBytes = 1000;
    EXPECT_EQ(sound::screenWaveHeader(h, 999, true).refusal, sound::Refusal::TotalTooLarge);
    // A compressed encoding's decoded size is not known from its header.
    h.format.formatTag = 2;
    h.dataBytes = sound::MaxDecodedBytesPerFile + 1;
    EXPECT_EQ(sound::screenWaveHeader(h, sound::MaxDecodedBytesPerFile, false).refusal, sound::Refusal::None);
}

// A file over the bound of one file fails at its header, at once, without being decoded.
TEST_F(HostileWavs, AFileOverTheBoundFailsWithoutBeingDecoded) {
    const wavtest::HostileWav big = wavtest::oversizedWav();
    fs::create_directories(vehicle.motorFolder());
    wavtest::writeFile(vehicle.motorFolder() / "0.wav", big.bytes);
    const auto started = std::chrono::steady_clock::now();
    sound::audioStartup(state, vehicle.pluginDirectory());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(state.motorNoise[0].voice, nullptr);
    EXPECT_EQ(state.motorNoise[0].pcm.capacity(), 0u);
    EXPECT_EQ(countOf(vehicle.log(), "エラー:0X800700DF\nファイル名：" + (vehicle.motorFolder() / "0.wav").string() +
                                         "\n理由：デコード後の大きさが1ファイルの上限64MBを超えます\n"),
              1u);
}

// A file whose header the screen cannot read (not a WAV) is bounded while it decodes: here by what
// is left of the bound on all files.
TEST_F(HostileWavs, ADecodeStopsAtWhatIsLeftOfTheTotal) {
    // A Sun/NeXT audio file: 16-bit big-endian PCM, mono, 22,050 Hz, 20,000 frames.
    std::string au = ".snd";
    for (uint32_t v : {24u, 40000u, 3u, 22050u, 1u})
        for (int shift = 24; shift >= 0; shift -= 8) au += static_cast<char>((v >> shift) & 0xFF);
    au += std::string(40000, '\x01');
    const fs::path file = vehicle.root() / "long.au";
    wavtest::writeFile(file, au);
    ASSERT_EQ(mediaStartup(MediaFoundationVersion, 0), AudioOk);
    WaveFormat format{};
    std::vector<uint8_t> pcm;
    sound::DecodeOutcome outcome = sound::decodeToPcm(file, format, pcm, 30000);
    EXPECT_EQ(static_cast<uint32_t>(outcome.result), 0x80070718u);
    EXPECT_EQ(outcome.refused.refusal, sound::Refusal::TotalTooLarge);
    EXPECT_EQ(pcm.capacity(), 0u);
    outcome = sound::decodeToPcm(file, format, pcm, 40000);
    EXPECT_EQ(outcome.result, AudioOk);
    EXPECT_EQ(pcm.size(), 40000u);
    mediaShutdown();
}

}  // namespace
