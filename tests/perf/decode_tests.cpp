// Decoding reads 16-bit recordings straight into their final buffer: the bytes must be the file's own
// samples in little-endian order, and the buffer must hold exactly the recording.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstring>
#include <vector>

#include "bench/departure.h"
#include "platform/audio.h"
#include "sound/decode.h"

namespace {

struct Recording {
    int channels;
    int frames;
    int format;  // libsndfile subtype
};

std::vector<int32_t> writeRecording(const bench::fs::path& file, const Recording& r) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = r.channels;
    info.format = SF_FORMAT_WAV | r.format;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    EXPECT_NE(out, nullptr) << sf_strerror(nullptr);
    std::vector<int32_t> samples(static_cast<size_t>(r.frames) * r.channels);
    uint32_t x = 12345;
    for (int32_t& s : samples) {
        x = x * 1103515245u + 12345u;
        s = static_cast<int32_t>(x & 0xFFFF0000u);  // exact in 16 and 24 bits
    }
    if (out) {
        EXPECT_EQ(sf_writef_int(out, samples.data(), r.frames), r.frames);
        sf_close(out);
    }
    return samples;
}

TEST(LongRecordingDecode, SixteenBitFilesArriveByteForByteInABufferOfExactlyTheirSize) {
    bench::TempFolder temp("corvane-decode-test");
    // Longer than the reserve before reading, not a whole number of reads, mono and stereo.
    for (const Recording r : {Recording{2, 10 * 44100 + 17, SF_FORMAT_PCM_16}, Recording{1, 300001, SF_FORMAT_PCM_16},
                              Recording{2, 3, SF_FORMAT_PCM_16}}) {
        SCOPED_TRACE(testing::Message() << r.channels << " channels, " << r.frames << " frames");
        const bench::fs::path file = temp.path / "layer.wav";
        const std::vector<int32_t> samples = writeRecording(file, r);
        platform::WaveFormat format{};
        std::vector<uint8_t> pcm;
        const sound::DecodeOutcome outcome = sound::decodeToPcm(file, format, pcm);
        if (outcome.startedMedia) platform::mediaShutdown();
        ASSERT_EQ(outcome.result, platform::AudioOk);
        EXPECT_EQ(format.bitsPerSample, 16);
        EXPECT_EQ(format.channels, r.channels);
        ASSERT_EQ(pcm.size(), samples.size() * 2);
        EXPECT_EQ(pcm.capacity(), pcm.size());
        size_t mismatches = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            const uint16_t expected = static_cast<uint16_t>(static_cast<uint32_t>(samples[i]) >> 16);
            if (pcm[2 * i] != (expected & 0xFF) || pcm[2 * i + 1] != (expected >> 8)) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0u);
    }
}

TEST(LongRecordingDecode, TwentyFourBitFilesKeepTheirOwnLayout) {
    bench::TempFolder temp("corvane-decode-test");
    const bench::fs::path file = temp.path / "layer24.wav";
    const std::vector<int32_t> samples = writeRecording(file, Recording{2, 5000, SF_FORMAT_PCM_24});
    platform::WaveFormat format{};
    std::vector<uint8_t> pcm;
    const sound::DecodeOutcome outcome = sound::decodeToPcm(file, format, pcm);
    if (outcome.startedMedia) platform::mediaShutdown();
    ASSERT_EQ(outcome.result, platform::AudioOk);
    EXPECT_EQ(format.bitsPerSample, 24);
    ASSERT_EQ(pcm.size(), samples.size() * 3);
    for (size_t i = 0; i < samples.size(); ++i) {
        const uint32_t v = static_cast<uint32_t>(samples[i]);
        ASSERT_EQ(pcm[3 * i + 1], static_cast<uint8_t>(v >> 16)) << "sample " << i;
        ASSERT_EQ(pcm[3 * i + 2], static_cast<uint8_t>(v >> 24)) << "sample " << i;
    }
}

}  // namespace
