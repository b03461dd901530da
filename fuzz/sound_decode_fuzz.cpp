// A sound file of any content, decoded and turned into a voice as Load does, then played from a
// chosen sample, pitched, and mixed for a moment on the software engine.
#include <cstring>

#include "fuzz_files.h"
#include "sound/sound_voice.h"

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

}  // namespace

// Input: 12 bytes of playing choices, then the file.
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

    sound::SoundVoice voice;
    const uint32_t loop = (mode & 1) ? platform::AudioLoopInfinite : 0;
    const uint32_t flags = (mode & 2) ? platform::AudioVoiceNoPitch : 0;
    voice.load(engine.engine, file, log, loop, flags, (mode & 4) ? 25.0f : 2.0f);
    if (log) std::fclose(log);

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
