// Loads a built plug-in DLL the way the host does and drives it through its exports.
// Usage: plugin_host_test.exe corvane|sentrel PATH_TO_DLL
// Proves: exactly the sixteen plain export names, the bytes each 32-bit callee removes, the
// interface version, and the first frames' array values.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "interface/host_interface.h"
#include "tests/wine/stack_probe.h"
#include "tests/wine/wine_check.h"

namespace {

using wine_test::failures;

const char* const EntryNames[16] = {"Load",        "Dispose",  "GetPluginVersion", "SetVehicleSpec",
                                    "Initialize",  "Elapse",   "SetPower",         "SetBrake",
                                    "SetReverser", "KeyDown",  "KeyUp",            "HornBlow",
                                    "DoorOpen",    "DoorClose", "SetSignal",       "SetBeaconData"};

// Bytes the 32-bit callee removes, in the order of EntryNames (Elapse counts its hidden pointer).
const uint32_t CalleeBytes[16] = {0, 0, 0, 20, 4, 52, 4, 4, 4, 4, 4, 4, 0, 0, 4, 16};

void* entries[16];

unsigned long caughtCode = 0;
std::string caughtMessage;

LONG CALLBACK recordError(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != 0xE0435256UL) return EXCEPTION_CONTINUE_SEARCH;
    caughtCode = info->ExceptionRecord->ExceptionCode;
    if (info->ExceptionRecord->NumberParameters >= 1)
        caughtMessage = reinterpret_cast<const char*>(info->ExceptionRecord->ExceptionInformation[0]);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// The names in the DLL's export directory.
std::set<std::string> exportedNames(HMODULE module) {
    std::set<std::string> names;
    auto base = reinterpret_cast<const uint8_t*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) return names;
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

// Calls entry point i with the given argument bytes; on x86 also checks what the callee removed.
template <class Fn, class... Args>
auto call(int i, Args... args) {
#if !defined(_WIN64)
    // Marshal the arguments as the caller pushes them: first argument at the lowest address.
    uint8_t buffer[64] = {};
    uint32_t size = 0;
    ((std::memcpy(buffer + size, &args, sizeof(Args)), size += (sizeof(Args) + 3) & ~3u), ...);
    uint32_t removed = bytesRemovedByCallee(entries[i], buffer, size);
    CHECK(removed == CalleeBytes[i], "%s removed %u bytes, expected %u", EntryNames[i], removed, CalleeBytes[i]);
    return 0;
#else
    return reinterpret_cast<Fn>(entries[i])(args...);
#endif
}

host::Handles callElapse(const host::VehicleState& state, int32_t* panel, int32_t* sound) {
    host::Handles out{};
#if !defined(_WIN64)
    uint8_t buffer[52];
    host::Handles* result = &out;
    std::memcpy(buffer, &result, 4);
    std::memcpy(buffer + 4, &state, 40);
    std::memcpy(buffer + 44, &panel, 4);
    std::memcpy(buffer + 48, &sound, 4);
    uint32_t removed = bytesRemovedByCallee(entries[5], buffer, 52);
    CHECK(removed == 52, "Elapse removed %u bytes, expected 52", removed);
#else
    using ElapseFn = host::Handles (*)(host::VehicleState, int32_t*, int32_t*);
    out = reinterpret_cast<ElapseFn>(entries[5])(state, panel, sound);
#endif
    return out;
}

int32_t callGetPluginVersion() {
#if !defined(_WIN64)
    uint32_t result = 0;
    uint32_t removed = bytesRemovedByCallee(entries[2], nullptr, 0, &result);
    CHECK(removed == 0, "GetPluginVersion removed %u bytes", removed);
    return static_cast<int32_t>(result);
#else
    return reinterpret_cast<int32_t (*)()>(entries[2])();
#endif
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::printf("usage: plugin_host_test corvane|sentrel DLL\n");
        return 2;
    }
    const bool corvane = std::wstring(argv[1]) == L"corvane";
    AddVectoredExceptionHandler(1, recordError);

    HMODULE module = LoadLibraryW(argv[2]);
    if (!module) {
        std::printf("FAIL: LoadLibraryW failed with %lu\n", GetLastError());
        return 1;
    }

    std::set<std::string> names = exportedNames(module);
    CHECK(names.size() == 16, "%u names exported", static_cast<unsigned>(names.size()));
    for (int i = 0; i < 16; ++i) {
        entries[i] = reinterpret_cast<void*>(GetProcAddress(module, EntryNames[i]));
        CHECK(entries[i] != nullptr, "no export named %s", EntryNames[i]);
        CHECK(names.count(EntryNames[i]) == 1, "%s not in the export directory", EntryNames[i]);
    }
    if (failures) return 1;

    using V = void(PLUGIN_CALL*)();
    using I = void(PLUGIN_CALL*)(int32_t);
    call<V>(0);  // Load
    if (caughtCode) std::printf("Load signalled: %s\n", caughtMessage.c_str());
    CHECK(callGetPluginVersion() == 131072, "GetPluginVersion");

    host::VehicleSpec spec{8, 0, 0, 0, 4};
    call<void(PLUGIN_CALL*)(host::VehicleSpec)>(3, spec);
    call<I>(4, int32_t{0});  // Initialize

    int32_t panel[256];
    int32_t sound[256];
    for (int i = 0; i < 256; ++i) panel[i] = sound[i] = 12345;
    host::VehicleState state{};
    state.time = 1000;
    state.bpPressure = 490.0f;
    host::Handles out = callElapse(state, panel, sound);
    if (corvane) {
        const int triggered[] = {95, 96, 97, 98, 107, 108, 109, 110, 220, 223, 224, 227, 228, 229, 243, 244, 239};
        for (int index : triggered) CHECK(sound[index] == host::SoundStop, "first frame sound[%d] = %d", index, sound[index]);
        CHECK(sound[0] == 12345 && sound[100] == 12345, "an element Corvane does not drive was written");
        CHECK(panel[42] == 1 && panel[43] == 1, "lamps 42/43");
    } else {
        CHECK(panel[120] == 1 && panel[121] == 0, "Sentrel lamps %d %d", panel[120], panel[121]);
        CHECK(sound[24] == host::SoundContinue && sound[25] == host::SoundContinue, "Sentrel sounds");
    }
    CHECK(out.auxCommand == 0, "auxCommand");

    call<I>(6, int32_t{1});   // SetPower
    call<I>(7, int32_t{2});   // SetBrake
    call<I>(8, int32_t{1});   // SetReverser
    call<I>(9, int32_t{5});   // KeyDown
    call<I>(10, int32_t{5});  // KeyUp
    call<I>(11, int32_t{0});  // HornBlow
    call<V>(12);              // DoorOpen
    call<V>(13);              // DoorClose
    call<I>(14, int32_t{0});  // SetSignal
    call<void(PLUGIN_CALL*)(host::BeaconData)>(15, host::BeaconData{1, 0, 0.0f, 0});
    state.time = 1020;
    out = callElapse(state, panel, sound);
    if (corvane) {
        CHECK(sound[95] == host::SoundPlayOnce, "door close sound %d", sound[95]);
        CHECK(out.reverser == 1, "reverser passes once the doors are closed: %d", out.reverser);
    } else {
        CHECK(out.power == 1 && out.brake == 2 && out.reverser == 1, "Sentrel handles %d %d %d", out.power,
              out.brake, out.reverser);
    }
    call<V>(1);  // Dispose
    FreeLibrary(module);

    std::printf("%s: %d failure(s)\n", corvane ? "Corvane" : "Sentrel", failures);
    return failures ? 1 : 0;
}
