// A sound file of any content: its header screened and its format checked as a voice would take
// it, then decoded and turned into a voice as Load does (within a chosen budget of memory), played
// from a chosen sample, pitched, and mixed for a moment on the software engine. A voice that is
// made must hold whole frames of sound in a format a voice takes.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "fuzz_files.h"
#include "platform/audio.h"
#include "sound/sound_voice.h"
#include "sound/wave_screen.h"

namespace {

struct Engine {
    platform::AudioEngine engine = nullptr;
    platform::AudioMasteringVoice mastering = nullptr;
    Engine() {
        if (platform::audioFailed(platform::audioCreateEngine(&engine, 0, platform::AudioDefaultProcessor))) {
            engine = nullptr;
            return;
        }
        platform::audioCreateMasteringVoice(engine, &mastering, 0, 0, 0, platform::AudioCategoryGameEffects);
    }
};

uint32_t readU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The screening on the bytes in memory: header, format and budget, and every reason text.
void screen(const uint8_t* file, size_t size, size_t budget) {
    const sound::ReadAt read = [file, size](uint64_t offset, uint8_t* out, size_t count) -> size_t {
        if (offset >= size) return 0;
        const size_t n = std::min<size_t>(count, static_cast<size_t>(size - offset));
        std::memcpy(out, file + offset, n);
        return n;
    };
    const sound::WaveHeader header = sound::readWaveHeader(read, size);
    if (header.hasData && header.dataBytes > size) std::abort();
    for (const bool total : {false, true}) {
        const sound::RefusedFormat refused = sound::screenWaveHeader(header, budget, total);
        if (refused.refusal != sound::Refusal::None && !platform::audioFailed(sound::refusalResult(refused.refusal)))
            std::abort();
        (void)sound::refusalReason(refused);
    }
    (void)sound::refusalReason(sound::checkVoiceFormat(header.format));
    if (size >= sizeof(platform::WaveFormat)) {
        platform::WaveFormat raw;
        std::memcpy(&raw, file, sizeof raw);
        (void)sound::refusalReason(sound::checkVoiceFormat(raw));
    }
}

}  // namespace

// Input: 12 bytes of playing choices (byte 3: the memory left for the sound, in kilobytes; 0 for
// the whole bound), then the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 12) return -1;
    static Engine engine;
    const uint8_t mode = data[0];
    const uint32_t playBegin = readU32(data + 4);
    const float ratio = fuzz::interestingFloat(data[1], readU32(data + 8));
    const float volume = fuzz::interestingFloat(data[2], readU32(data + 8) ^ 0x5a5a5a5au);

    fuzz::clearScratch();
    const platform::Path file =
        fuzz::writeScratchFile("sound.wav", std::string_view(reinterpret_cast<const char*>(data + 12), size - 12));
    const platform::Path logPath = fuzz::scratchDirectory() / "log.txt";
    std::FILE* log = platform::openTextFileForWriting(logPath);

    const size_t budget = data[3] ? size_t{data[3]} * 1024 : sound::MaxDecodedBytesTotal;
    screen(data + 12, size - 12, budget);

    sound::SoundVoice voice;
    const uint32_t loop = (mode & 1) ? platform::AudioLoopInfinite : 0;
    const uint32_t flags = (mode & 2) ? platform::AudioVoiceNoPitch : 0;
    const platform::AudioResult loaded =
        voice.load(engine.engine, file, log, loop, flags, (mode & 4) ? 25.0f : 2.0f, budget);
    if (log) std::fclose(log);
    if (voice.voice) {
        if (!voice.format || voice.pcm.empty() || voice.pcm.size() > budget ||
            voice.pcm.size() % voice.format->blockAlign != 0 ||
            sound::checkVoiceFormat(*voice.format).refusal != sound::Refusal::None)
            std::abort();
    } else if (!platform::audioFailed(loaded) && engine.engine) {
        std::abort();  // a sound without a voice is a failed sound
    }

    uint32_t set = 1;
    voice.setVolume(volume, set);
    voice.setVolumeClamped(volume, set);
    voice.setFrequencyRatio(ratio, set);
    voice.start(set);
    voice.setPlayBegin(playBegin);
    voice.play(++set);
    voice.rewind();
    (void)sound::soundLengthFrames(voice, 0);
    if (engine.engine) {
        platform::audioCommitChanges(engine.engine, platform::AudioCommitAll);
        float mix[2 * 512];
        platform::audioRender(engine.engine, mix, 512);
        voice.stop(++set);
        platform::audioCommitChanges(engine.engine, set);
        platform::audioRender(engine.engine, mix, 64);
    }
    // A second load of the same voice from the same file, as a second Load of the plug-in does.
    if (mode & 8) voice.load(engine.engine, file, nullptr, loop, flags, 2.0f);
    voice.reset();
    return 0;
}
