// Corvane's x86 DLL with the sample vehicle's sounds: the audio set-up creates the engine, the
// mastering voice and every voice through XAudio2 and Media Foundation, and its log says so.
// Usage: sound_plugin_test.exe PATH_TO_CORVANE_DLL SAMPLE_VEHICLE_FOLDER SCRATCH_FOLDER
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <cstdio>
#include <filesystem>
#include <string>

#include "interface/host_interface.h"
#include "tests/sound/audio_contract.h"
#include "tests/sound/wav_writer.h"
#include "tests/wine/wine_check.h"
#include "tests/wine/wine_plugin.h"

namespace {

namespace fs = std::filesystem;

using wine_test::failures;

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Every line of the log ends with CR LF, as a text stream writes it on Windows.
bool everyLineEndsWithCrLf(const std::string& log) {
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i] == '\n' && (i == 0 || log[i - 1] != '\r')) return false;
    return !log.empty() && log.back() == '\n';
}

// A whole WAV file: its RIFF size matches the bytes on disk.
bool completeWav(const fs::path& wav) {
    const std::string bytes = contract::readAll(wav);
    if (bytes.size() < 8) return false;
    uint32_t riff = 0;
    for (int i = 0; i < 4; ++i) riff |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[4 + i])) << (8 * i);
    return bytes.size() == static_cast<size_t>(riff) + 8;
}

// The sample vehicle's sounds, and a generated one wherever a sample sound is missing or caught
// half-written (every build regenerates them).
void prepareVehicle(const fs::path& samples, const fs::path& vehicle) {
    if (const std::error_code error = wine_test::copyFolder(samples, vehicle))
        std::printf("note: copying the sample vehicle: %s\n", error.message().c_str());
    fs::create_directories(vehicle / "plugin");
    fs::create_directories(vehicle / "atsmotornoise");
    const wavtest::WavSpec spec{1, 22050, 16};
    for (int n = 0; n <= 40; ++n) {
        const fs::path layer = vehicle / "atsmotornoise" / (std::to_string(n) + ".wav");
        if (!completeWav(layer)) wavtest::writeWav(layer, spec, wavtest::tone(spec, 2205, 100.0 + n, 0.3));
    }
    for (const char* name : {"bc.wav", "sap.wav", "sapHigh.wav"})
        if (!completeWav(vehicle / name))
            wavtest::writeWav(vehicle / name, spec, wavtest::tone(spec, 4410, 900.0, 0.3));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::printf("usage: sound_plugin_test CORVANE_DLL SAMPLE_VEHICLE SCRATCH\n");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ::AddVectoredExceptionHandler(1, wine_test::continueAfterError);
    const fs::path scratch(argv[3]);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    const fs::path vehicle = scratch / "vehicle";
    prepareVehicle(argv[2], vehicle);
    const fs::path dll = vehicle / "plugin" / "Corvane.dll";
    fs::copy_file(argv[1], dll, fs::copy_options::overwrite_existing, ignored);

    HMODULE module = ::LoadLibraryW(dll.c_str());
    CHECK(module != nullptr, "cannot load %s", dll.string().c_str());
    if (!module) return 1;
    const host::EntryPoints entries = wine_test::entryPointsOf(module);
    auto load = entries.load;
    auto dispose = entries.dispose;
    auto setSpec = entries.setVehicleSpec;
    auto initialize = entries.initialize;
    auto elapse = entries.elapse;
    if (!load || !dispose || !setSpec || !initialize || !elapse) {
        std::printf("FAIL: missing exports\n");
        return 1;
    }

    const fs::path logPath = vehicle / "plugin" / L"XAudio2初期化ログ.txt";
    load();
    if (!wine_test::signalled.empty())
        std::printf("note: Load wine_test::signalled \"%s\"\n", wine_test::signalled.c_str());
    std::string log = contract::readAll(logPath);
    std::printf("%s", log.c_str());
    CHECK(countOf(log, "XAudio2初期化開始\r\n") == 1, "start line");
    CHECK(countOf(log, "XAudio2作成成功\r\n") == 1, "engine line");
    CHECK(countOf(log, "マスターボイスの作成成功\r\n") == 1, "mastering line");
    CHECK(countOf(log, "ソースボイスの作成成功\r\n") == 44, "%u voices",
          unsigned(countOf(log, "ソースボイスの作成成功")));
    CHECK(countOf(log, "ソースボイスの作成失敗") == 0, "failure lines");
    CHECK(countOf(log, "XAudio2初期化完了\r\n") == 1, "end line");
    CHECK(countOf(log, "..") == 0, "file names are normalised");
    CHECK(countOf(log, "\\atsmotornoise\\40.wav\r\n") == 1, "backslash separators");
    CHECK(everyLineEndsWithCrLf(log), "CR LF line ends");

    host::VehicleSpec spec{8, 0, 0, 0, 4};
    setSpec(spec);
    initialize(0);
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    host::VehicleState state{};
    for (int frame = 1; frame <= 30; ++frame) {
        state.time = frame * 16;
        state.speed = frame * 0.5f;
        elapse(state, panel, sound);
    }
    dispose();

    // Again without the cylinder exhaust: the reader's failure, then the normalised path.
    fs::remove(vehicle / "bc.wav");
    wine_test::signalled.clear();
    load();
    log = contract::readAll(logPath);
    CHECK(countOf(log, "XAudio2初期化開始\r\n") == 1, "the log was rewritten");
    const size_t failure = log.find("ソースボイスの作成失敗\r\nエラー:0X");
    CHECK(failure != std::string::npos, "bc.wav failure line");
    const std::string bcLine = "ファイル名：" + (vehicle / "bc.wav").lexically_normal().string() + "\r\n";
    CHECK(failure != std::string::npos && log.find(bcLine, failure) != std::string::npos, "bc.wav file name: %s",
          log.c_str());
    CHECK(countOf(log, "ソースボイスの作成成功\r\n") == 43, "the other voices");
    dispose();

    ::FreeLibrary(module);
    fs::remove_all(scratch, ignored);
    std::printf(failures ? "FAILED\n" : "ok\n");
    return failures ? 1 : 0;
}
