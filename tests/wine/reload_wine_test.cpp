// What a simulator does on every route reload: load Corvane's DLL with the sample vehicle's
// sounds, run it, dispose of it and free the library, five times in one process. The process's
// thread count must come back to where it started (an audio engine left alive keeps its mixing
// threads), and Dispose must return (a watchdog ends the process when it does not).
// Usage: reload_wine_test.exe PATH_TO_CORVANE_DLL SAMPLE_VEHICLE_FOLDER SCRATCH_FOLDER
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>
// clang-format on

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

#include "interface/host_interface.h"
#include "tests/wine/wine_check.h"
#include "tests/wine/wine_plugin.h"

namespace {

namespace fs = std::filesystem;

using wine_test::failures;

constexpr int Cycles = 5;
constexpr ULONGLONG DisposeLimitMs = 20000;

// 0 while no Dispose runs; otherwise the tick count by which it must have returned.
std::atomic<ULONGLONG> disposeDeadline{0};

DWORD WINAPI watchdog(void*) {
    for (;;) {
        ::Sleep(100);
        const ULONGLONG deadline = disposeDeadline.load();
        if (deadline != 0 && ::GetTickCount64() > deadline) {
            std::printf("FAIL: Dispose did not return within %u ms\n", unsigned(DisposeLimitMs));
            std::fflush(stdout);
            ::TerminateProcess(::GetCurrentProcess(), 1);
        }
    }
}

int threadsOfThisProcess() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    const DWORD me = ::GetCurrentProcessId();
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == me) ++count;
    ::CloseHandle(snapshot);
    return count;
}

// Threads that end asynchronously (the engine's mixer after its release) get a moment to go.
int settledThreads(int expected, int tenthsOfASecond) {
    int count = threadsOfThisProcess();
    for (int i = 0; i < tenthsOfASecond && count != expected; ++i) {
        ::Sleep(100);
        count = threadsOfThisProcess();
    }
    return count;
}

// One reload: Load, a few seconds of frames, Dispose, FreeLibrary. False when the DLL did not load.
bool cycle(const fs::path& dll, const fs::path& log) {
    HMODULE module = ::LoadLibraryW(dll.c_str());
    CHECK(module != nullptr, "cannot load %s", dll.string().c_str());
    if (!module) return false;
    const host::EntryPoints entries = wine_test::entryPointsOf(module);
    auto load = entries.load;
    auto dispose = entries.dispose;
    auto setSpec = entries.setVehicleSpec;
    auto initialize = entries.initialize;
    auto elapse = entries.elapse;
    auto setPower = entries.setPower;
    if (!load || !dispose || !setSpec || !initialize || !elapse || !setPower) {
        std::printf("FAIL: missing exports\n");
        ::FreeLibrary(module);
        return false;
    }
    load();
    const std::string text = [&] {
        std::FILE* f = _wfopen(log.c_str(), L"rb");
        std::string s;
        if (!f) return s;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) s.append(buffer, n);
        std::fclose(f);
        return s;
    }();
    CHECK(text.find("マスターボイスの作成成功") != std::string::npos, "the engine started: %s", text.c_str());
    setSpec(host::VehicleSpec{8, 0, 0, 0, 4});
    initialize(0);
    setPower(4);
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    host::VehicleState state{};
    for (int frame = 1; frame <= 120; ++frame) {
        state.time = frame * 16;
        state.speed = frame * 0.3f;
        state.current = 300.0f;
        elapse(state, panel, sound);
    }
    disposeDeadline = ::GetTickCount64() + DisposeLimitMs;
    dispose();
    disposeDeadline = 0;
    CHECK(::FreeLibrary(module), "FreeLibrary");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::printf("usage: reload_wine_test CORVANE_DLL SAMPLE_VEHICLE SCRATCH\n");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HANDLE dog = ::CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr);
    CHECK(dog != nullptr, "watchdog thread");

    const fs::path scratch(argv[3]);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    const fs::path vehicle = scratch / "vehicle";
    if (const std::error_code error = wine_test::copyFolder(argv[2], vehicle))
        std::printf("note: copying the sample vehicle: %s\n", error.message().c_str());
    fs::create_directories(vehicle / "plugin");
    const fs::path dll = vehicle / "plugin" / "Corvane.dll";
    fs::copy_file(argv[1], dll, fs::copy_options::overwrite_existing, ignored);
    const fs::path log = vehicle / "plugin" / L"XAudio2初期化ログ.txt";

    const int start = threadsOfThisProcess();
    std::printf("threads at the start: %d\n", start);
    for (int n = 1; n <= Cycles; ++n) {
        if (!cycle(dll, log)) break;
        std::printf("threads after reload %d: %d\n", n, settledThreads(start, 5));
    }
    // On a busy machine an engine's threads may take a while to end after its release; a leaked
    // engine keeps its two for good, so five reloads would leave ten.
    const int end = settledThreads(start, 300);
    CHECK(end == start, "%d threads after %d reloads, %d at the start", end, Cycles, start);

    fs::remove_all(scratch, ignored);
    std::printf(failures ? "FAILED\n" : "ok\n");
    std::fflush(stdout);
    return failures ? 1 : 0;
}
