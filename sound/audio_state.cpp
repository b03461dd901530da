#include "sound/audio_state.h"

#include <string>

#include "platform/audio.h"
#include "sound/audio_log.h"
#include "sound/decode.h"

namespace sound {
namespace {

// Closes the log on every way out of the start-up, an existence test that throws included.
struct LogFile {
    std::FILE* file = nullptr;
    ~LogFile() {
        if (file) std::fclose(file);
    }
};

// Balances the media platform's start-up of the audio set-up.
struct MediaStartup {
    bool started = false;
    ~MediaStartup() {
        if (started) platform::mediaShutdown();
    }
};

platform::Path soundPath(const platform::Path& pluginDirectory, std::u32string_view name) {
    return platform::joinPath(platform::joinPath(pluginDirectory, U".."), name);
}

// What is left of the bound on the decoded sound of all files together, for loading `slot` (whose
// earlier sound a reload discards).
size_t decodeBudget(const AudioState& state, const SoundVoice& slot) {
    size_t used = 0;
    for (const SoundVoice& layer : state.motorNoise) used += layer.pcm.size();
    for (const SoundVoice* air : {&state.bcSound, &state.sapSound, &state.sapHighSound}) used += air->pcm.size();
    used -= slot.pcm.size();
    return used < MaxDecodedBytesTotal ? MaxDecodedBytesTotal - used : 0;
}

void loadSounds(AudioState& state, const platform::Path& pluginDirectory, std::FILE* log) {
    const platform::Path folder = platform::joinPath(platform::joinPath(pluginDirectory, U".."), U"atsmotornoise");
    for (int n = 0; n < MotorNoiseLayers; ++n) {
        const std::string name = std::to_string(n) + ".wav";
        // The decoder opens the normalised path, so the existence test asks about that same file:
        // through a linked plug-in folder, ".." resolved by the file system leads somewhere else.
        const platform::Path path = normalisePath(platform::joinPath(folder, name));
        if (!platform::exists(path)) continue;
        state.motorNoise[n].load(state.engine, path, log, platform::AudioLoopInfinite, 0, MotorNoiseMaxFrequencyRatio,
                                 decodeBudget(state, state.motorNoise[n]));
    }
    state.bcSound.load(state.engine, soundPath(pluginDirectory, U"bc.wav"), log, platform::AudioLoopInfinite,
                       platform::AudioVoiceNoPitch, AirSoundMaxFrequencyRatio, decodeBudget(state, state.bcSound));
    state.sapSound.load(state.engine, soundPath(pluginDirectory, U"sap.wav"), log, OneShot, platform::AudioVoiceNoPitch,
                        AirSoundMaxFrequencyRatio, decodeBudget(state, state.sapSound));
    state.sapHighSound.load(state.engine, soundPath(pluginDirectory, U"sapHigh.wav"), log, OneShot,
                            platform::AudioVoiceNoPitch, AirSoundMaxFrequencyRatio,
                            decodeBudget(state, state.sapHighSound));
}

// The sounds in load order, then the mastering voice (it can go only once no source voice sends
// to it), then the engine.
void tearDown(AudioState& state) {
    for (SoundVoice& layer : state.motorNoise) layer.reset();
    state.bcSound.reset();
    state.sapSound.reset();
    state.sapHighSound.reset();
    if (state.mastering) platform::audioDestroyMasteringVoice(state.mastering);
    state.mastering = nullptr;
    if (state.engine) platform::audioRelease(state.engine);
    state.engine = nullptr;
}

void setUp(AudioState& state, const platform::Path& pluginDirectory) {
    LogFile log;
    log.file = platform::openTextFileForWriting(platform::joinPath(pluginDirectory, AudioLogFileName));
    if (!log.file) return;
    logStarted(log.file, platform::localTime());

    // A new engine replaces the engine of an earlier Load, torn down as Dispose does: its mastering
    // voice must go before its last reference, or the engine lives on with its mixing threads.
    if (state.engine) tearDown(state);
    platform::AudioResult result = platform::audioCreateEngine(&state.engine, 0, platform::AudioDefaultProcessor);
    if (platform::audioFailed(result)) {
        state.engine = nullptr;
        logEngineFailed(log.file, result);
        return;
    }
    logEngineCreated(log.file);

    result = platform::audioCreateMasteringVoice(state.engine, &state.mastering, 0, 0, 0,
                                                 platform::AudioCategoryGameEffects);
    if (platform::audioFailed(result)) {
        logMasteringFailed(log.file, result);
        if (state.mastering) platform::audioDestroyMasteringVoice(state.mastering);
        state.mastering = nullptr;
        return;
    }
    logMasteringCreated(log.file);

    {
        MediaStartup media;
        media.started = !platform::audioFailed(platform::mediaStartup(platform::MediaFoundationVersion, 0));
        loadSounds(state, pluginDirectory, log.file);
    }
    logFinished(log.file, platform::localTime());
}

// A commit takes the engine's lock like any request: an empty operation set is not committed.
bool holdsChanges(const AudioState& state, uint32_t operationSet) {
    for (const SoundVoice& layer : state.motorNoise)
        if (layer.waitsForCommit(operationSet)) return true;
    return state.bcSound.waitsForCommit(operationSet) || state.sapSound.waitsForCommit(operationSet) ||
           state.sapHighSound.waitsForCommit(operationSet);
}

}  // namespace

void audioStartup(AudioState& state, const platform::Path& pluginDirectory) {
    setUp(state, pluginDirectory);
    state.sapHighLength = soundLengthFrames(state.sapHighSound, state.sapHighLength);
}

void audioShutdown(AudioState& state) {
    tearDown(state);
}

void beginAudioFrame(AudioState& state, bool pauseKeyDown) {
    if (state.pauseFlag && state.engine) {
        platform::audioStartEngine(state.engine);
        state.pauseFlag = false;
    }
    if (pauseKeyDown) state.pauseFlag = true;
}

bool endAudioFrame(AudioState& state, uint32_t operationSet) {
    if (state.pauseFlag) {
        if (!state.engine) return false;
        platform::audioStopEngine(state.engine);
    }
    if (state.engine && holdsChanges(state, operationSet)) platform::audioCommitChanges(state.engine, operationSet);
    return true;
}

}  // namespace sound
