// The crafted sound corpus against real XAudio2 and Media Foundation: first voice by voice through
// the sound code itself, then as the motor-noise layers of a vehicle through Corvane's DLL. No file
// may crash or hang Load; each plays or fails with its line.
// Usage: hostile_sound_wine_test.exe CORVANE_DLL SAMPLE_VEHICLE SCRATCH_FOLDER
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <cstdio>
#include <filesystem>
#include <string>

#include "interface/host_interface.h"
#include "platform/audio.h"
#include "sound/audio_log.h"
#include "sound/sound_voice.h"
#include "tests/sound/audio_contract.h"
#include "tests/sound/hostile_wavs.h"
#include "tests/wine/wine_check.h"
#include "tests/wine/wine_plugin.h"

namespace {

namespace fs = std::filesystem;
using wavtest::Expect;
using wine_test::failures;

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

std::string upperHex(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0X%X", code);
    return text;
}

// A line of the start-up log is in the file before the next step runs, so a crash or a hang during
// Load leaves the log as far as it came.
void logLinesGoThrough(const fs::path& scratch) {
    const fs::path path = scratch / "log.txt";
    std::FILE* log = platform::openTextFileForWriting(path);
    CHECK(log != nullptr, "cannot open the log");
    if (!log) return;
    sound::logStarted(log, platform::LocalTime{2025, 3, 14, 9, 30, 5, 120});
    sound::logFileName(log, scratch / "0.wav");
    const std::string text = contract::readAll(path);
    CHECK(countOf(text, "XAudio2初期化開始\r\nファイル名：") == 1, "the log holds \"%s\"", text.c_str());
    std::fclose(log);
}

// Each file as a one-shot and as a looping voice of the sound code, on the real engine.
void voiceByVoice(const fs::path& scratch) {
    using namespace platform;
    AudioEngine engine = nullptr;
    AudioMasteringVoice mastering = nullptr;
    CHECK(audioCreateEngine(&engine, 0, AudioDefaultProcessor) == AudioOk, "engine");
    CHECK(engine && audioCreateMasteringVoice(engine, &mastering, 0, 0, 0, AudioCategoryGameEffects) == AudioOk,
          "mastering voice");
    if (!mastering) return;
    const bool media = !audioFailed(mediaStartup(MediaFoundationVersion, 0));
    for (const wavtest::HostileWav& c : wavtest::hostileWavCorpus()) {
        const fs::path file = scratch / (std::string(c.name) + ".wav");
        wavtest::writeFile(file, c.bytes);
        std::printf("voice %s\n", c.name);
        std::fflush(stdout);
        sound::SoundVoice once;
        const AudioResult loaded = once.load(engine, file, nullptr, 0, AudioVoiceNoPitch, 2.0f);
        if (c.expect == Expect::Refused)
            CHECK(static_cast<uint32_t>(loaded) == c.code, "%s: result 0x%08X", c.name, static_cast<unsigned>(loaded));
        if (audioFailed(loaded)) {
            CHECK(once.voice == nullptr, "%s: a failed sound keeps a voice", c.name);
        } else {
            CHECK(c.expect == Expect::Plays || c.expect == Expect::EitherWay, "%s loaded", c.name);
            CHECK(!once.pcm.empty(), "%s: a voice without sound", c.name);
            const AudioResult played = once.play(1);
            CHECK(played == AudioOk, "%s: play 0x%08X", c.name, static_cast<unsigned>(played));
            audioCommitChanges(engine, AudioCommitAll);
        }
        if (c.expect == Expect::Plays)
            CHECK(loaded == AudioOk, "%s: result 0x%08X", c.name, static_cast<unsigned>(loaded));

        sound::SoundVoice looping;
        const AudioResult loopLoaded = looping.load(engine, file, nullptr, AudioLoopInfinite, 0, 25.0f);
        CHECK(audioFailed(loopLoaded) == (looping.voice == nullptr) || !audioFailed(loaded),
              "%s: looping result 0x%08X", c.name, static_cast<unsigned>(loopLoaded));
        if (!audioFailed(loopLoaded)) {
            looping.setVolume(0.5f, 2);
            looping.setFrequencyRatio(1.5f, 2);
            audioCommitChanges(engine, 2);
        }
        // Let the mixing thread run over whatever was made.
        ::Sleep(20);
    }
    if (media) mediaShutdown();
    audioRelease(engine);
}

// The corpus as the layers of a vehicle, an oversized air sound beside them, through the DLL.
void throughTheDll(const fs::path& corvaneDll, const fs::path& samples, const fs::path& scratch) {
    const fs::path vehicle = scratch / "vehicle";
    // The sample vehicle's configuration files, without its sounds.
    const std::error_code copied = wine_test::copyFolder(samples, vehicle, false);
    CHECK(!copied, "copying the sample vehicle: %s", copied.message().c_str());
    fs::create_directories(vehicle / "plugin");
    fs::create_directories(vehicle / "atsmotornoise");
    const std::vector<wavtest::HostileWav> corpus = wavtest::hostileWavCorpus();
    for (size_t n = 0; n < corpus.size() && n < 41; ++n)
        wavtest::writeFile(vehicle / "atsmotornoise" / (std::to_string(n) + ".wav"), corpus[n].bytes);
    const wavtest::HostileWav big = wavtest::oversizedWav();
    wavtest::writeFile(vehicle / "bc.wav", big.bytes);
    const wavtest::WavSpec spec{};
    wavtest::writeWav(vehicle / "sap.wav", spec, wavtest::tone(spec, 2205, 900.0, 0.3));
    wavtest::writeWav(vehicle / "sapHigh.wav", spec, wavtest::tone(spec, 2205, 900.0, 0.3));
    const fs::path dll = vehicle / "plugin" / "Corvane.dll";
    fs::copy_file(corvaneDll, dll, fs::copy_options::overwrite_existing);

    HMODULE module = ::LoadLibraryW(dll.c_str());
    CHECK(module != nullptr, "cannot load %s", dll.string().c_str());
    if (!module) return;
    const host::EntryPoints entries = wine_test::entryPointsOf(module);
    auto load = entries.load;
    auto dispose = entries.dispose;
    auto elapse = entries.elapse;
    if (!load || !dispose || !elapse) {
        std::printf("FAIL: missing exports\n");
        ++failures;
        return;
    }
    const DWORD started = ::GetTickCount();
    load();
    CHECK(wine_test::signalled.empty(), "Load signalled \"%s\"", wine_test::signalled.c_str());
    const DWORD loadMs = ::GetTickCount() - started;
    std::printf("Load took %lu ms\n", static_cast<unsigned long>(loadMs));
    CHECK(loadMs < 20000, "Load took %lu ms", static_cast<unsigned long>(loadMs));
    const std::string log = contract::readAll(vehicle / "plugin" / L"XAudio2初期化ログ.txt");
    std::printf("%s", log.c_str());

    for (size_t n = 0; n < corpus.size() && n < 41; ++n) {
        const wavtest::HostileWav& c = corpus[n];
        const std::string file =
            "ファイル名：" + (vehicle / "atsmotornoise" / (std::to_string(n) + ".wav")).lexically_normal().string() +
            "\r\n";
        const bool made = countOf(log, "ソースボイスの作成成功\r\n" + file) == 1;
        const bool failed = countOf(log, file) == 1 && !made;
        switch (c.expect) {
            case Expect::Plays: CHECK(made, "%s: not logged as made", c.name); break;
            case Expect::Refused:
                CHECK(countOf(log, "ソースボイスの作成失敗\r\nエラー:" + upperHex(c.code) + "\r\n" + file + "理由：") ==
                          1,
                      "%s: no refusal line", c.name);
                break;
            case Expect::Fails: CHECK(failed, "%s: no failure line", c.name); break;
            case Expect::EitherWay: CHECK(made || failed, "%s: no line", c.name); break;
        }
    }
    const std::string bc = "ファイル名：" + (vehicle / "bc.wav").lexically_normal().string() + "\r\n";
    CHECK(countOf(log, "エラー:0X800700DF\r\n" + bc + "理由：") == 1, "oversized bc.wav");
    CHECK(countOf(log, "XAudio2初期化完了\r\n") == 1, "end line");

    int32_t panel[256] = {};
    int32_t sound[256] = {};
    host::VehicleState state{};
    for (int frame = 1; frame <= 30; ++frame) {
        state.time = frame * 16;
        state.speed = frame * 2.0f;
        elapse(state, panel, sound);
        ::Sleep(5);
    }
    dispose();
    ::FreeLibrary(module);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::printf("usage: hostile_sound_wine_test CORVANE_DLL SAMPLE_VEHICLE SCRATCH_FOLDER\n");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ::AddVectoredExceptionHandler(1, wine_test::continueAfterError);
    const fs::path scratch(argv[3]);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    fs::create_directories(scratch);
    logLinesGoThrough(scratch);
    voiceByVoice(scratch);
    throughTheDll(argv[1], argv[2], scratch);
    fs::remove_all(scratch, ignored);
    std::printf(failures ? "FAILED\n" : "ok\n");
    return failures ? 1 : 0;
}
