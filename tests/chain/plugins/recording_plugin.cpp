// A plug-in for chaining tests: logs every call with its arguments and returns handles as told.
//
// Configuration: the text file "<this library's path>.cfg", one key=value per line:
//   name=A                        label at the start of every log line (default "rec")
//   log=PATH                      log file (else the environment variable CHAIN_RECORDING_LOG,
//                                 else "<this library's path>.log"); every line is appended at once
//   mode=pass|fixed|offset        Elapse returns the positions last received, the values below,
//                                 or the positions last received plus the values below
//   power=N brake=N reverser=N aux=N
//   panel=INDEX:VALUE  sound=INDEX:VALUE   written by Elapse (several allowed)
//   version=N                     what GetPluginVersion returns
//   probe=HEX                     address of void(const char* entry, int32_t arg), called on every
//                                 entry after logging (in-process tests only)
// Built with CHAIN_TEST_VERSION it answers that version by default; with CHAIN_TEST_PARTIAL it
// exports only Dispose, SetPower, SetBrake, KeyDown, DoorOpen and SetBeaconData.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "interface/host_interface.h"

#ifdef _WIN32
#include <windows.h>
#define TEST_EXPORT
#else
#include <dlfcn.h>
#define TEST_EXPORT __attribute__((visibility("default")))
#endif

#ifndef CHAIN_TEST_VERSION
#define CHAIN_TEST_VERSION 0x20000
#endif

namespace {

enum class Mode { pass, fixed, offset };

struct Config {
    std::string name = "rec";
    std::string log;
    Mode mode = Mode::pass;
    host::Handles values{};
    std::vector<std::pair<int, int32_t>> panel;
    std::vector<std::pair<int, int32_t>> sound;
    int32_t version = CHAIN_TEST_VERSION;
    void (*probe)(const char*, int32_t) = nullptr;
};

Config config;
bool configured = false;
host::Handles received{};

std::string ownPath() {
#ifdef _WIN32
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ownPath), &self);
    wchar_t wide[32768];
    DWORD length = ::GetModuleFileNameW(self, wide, 32768);
    int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string path(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), path.data(), size, nullptr, nullptr);
    return path;
#else
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ownPath), &info) != 0 && info.dli_fname) return info.dli_fname;
    return "recording";
#endif
}

std::FILE* openUtf8(const std::string& path, const char* mode) {
#ifdef _WIN32
    std::wstring wide(path.size() + 1, L'\0');
    int length = ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
    std::wstring wideMode(mode, mode + std::strlen(mode));
    return ::_wfopen(wide.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::pair<int, int32_t> indexAndValue(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return {0, 0};
    return {std::atoi(text.substr(0, colon).c_str()), static_cast<int32_t>(std::atol(text.c_str() + colon + 1))};
}

void readConfig() {
    configured = true;
    config = Config{};
    const std::string self = ownPath();
    if (const char* env = std::getenv("CHAIN_RECORDING_LOG")) config.log = env;
    if (config.log.empty()) config.log = self + ".log";
    std::FILE* file = openUtf8(self + ".cfg", "rb");
    if (!file) return;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, file)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        const int32_t number = static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 0));
        if (key == "name") config.name = value;
        if (key == "log") config.log = value;
        if (key == "mode") config.mode = value == "fixed" ? Mode::fixed : value == "offset" ? Mode::offset : Mode::pass;
        if (key == "power") config.values.power = number;
        if (key == "brake") config.values.brake = number;
        if (key == "reverser") config.values.reverser = number;
        if (key == "aux") config.values.auxCommand = number;
        if (key == "panel") config.panel.push_back(indexAndValue(value));
        if (key == "sound") config.sound.push_back(indexAndValue(value));
        if (key == "version") config.version = number;
        if (key == "probe")
            config.probe = reinterpret_cast<void (*)(const char*, int32_t)>(std::strtoull(value.c_str(), nullptr, 16));
    }
    std::fclose(file);
}

void record(const char* entry, const char* format = "", ...) {
    if (!configured) readConfig();
    char arguments[512] = "";
    va_list list;
    va_start(list, format);
    std::vsnprintf(arguments, sizeof arguments, format, list);
    va_end(list);
    if (std::FILE* log = openUtf8(config.log, "ab")) {
        std::fprintf(log, "%s %s%s%s\n", config.name.c_str(), entry, arguments[0] ? " " : "", arguments);
        std::fclose(log);
    }
}

void probe(const char* entry, int32_t argument = 0) {
    if (config.probe) config.probe(entry, argument);
}

}  // namespace

extern "C" {

#ifndef CHAIN_TEST_PARTIAL
TEST_EXPORT void PLUGIN_CALL Load() {
    readConfig();
    received = host::Handles{};
    record("Load");
    probe("Load");
}

TEST_EXPORT int32_t PLUGIN_CALL GetPluginVersion() {
    record("GetPluginVersion");
    probe("GetPluginVersion");
    return config.version;
}

TEST_EXPORT void PLUGIN_CALL SetVehicleSpec(host::VehicleSpec spec) {
    record("SetVehicleSpec", "%d %d %d %d %d", spec.brakeNotches, spec.hostValue2, spec.hostValue3, spec.hostValue4,
           spec.carCount);
    probe("SetVehicleSpec", spec.brakeNotches);
}

TEST_EXPORT void PLUGIN_CALL Initialize(int32_t value) {
    record("Initialize", "%d", value);
    probe("Initialize", value);
}

TEST_EXPORT host::Handles PLUGIN_CALL Elapse(host::VehicleState state, int32_t* panel, int32_t* sound) {
    record("Elapse", "%d %.3f %.2f %.1f %.1f %.1f %.1f %.1f %.1f", state.time, state.location, state.speed,
           state.bcPressure, state.mrPressure, state.erPressure, state.bpPressure, state.sapPressure, state.current);
    for (const auto& [index, value] : config.panel) panel[index] = value;
    for (const auto& [index, value] : config.sound) sound[index] = value;
    probe("Elapse", state.time);
    host::Handles out = received;
    if (config.mode == Mode::fixed) out = config.values;
    if (config.mode == Mode::offset) {
        out.brake += config.values.brake;
        out.power += config.values.power;
        out.reverser += config.values.reverser;
        out.auxCommand = config.values.auxCommand;
    }
    if (config.mode == Mode::pass) out.auxCommand = config.values.auxCommand;
    return out;
}

TEST_EXPORT void PLUGIN_CALL SetReverser(int32_t reverser) {
    received.reverser = reverser;
    record("SetReverser", "%d", reverser);
    probe("SetReverser", reverser);
}

TEST_EXPORT void PLUGIN_CALL KeyUp(int32_t key) {
    record("KeyUp", "%d", key);
    probe("KeyUp", key);
}

TEST_EXPORT void PLUGIN_CALL HornBlow(int32_t horn) {
    record("HornBlow", "%d", horn);
    probe("HornBlow", horn);
}

TEST_EXPORT void PLUGIN_CALL DoorClose() {
    record("DoorClose");
    probe("DoorClose");
}

TEST_EXPORT void PLUGIN_CALL SetSignal(int32_t signal) {
    record("SetSignal", "%d", signal);
    probe("SetSignal", signal);
}
#endif

TEST_EXPORT void PLUGIN_CALL Dispose() {
    record("Dispose");
    probe("Dispose");
}

TEST_EXPORT void PLUGIN_CALL SetPower(int32_t power) {
    received.power = power;
    record("SetPower", "%d", power);
    probe("SetPower", power);
}

TEST_EXPORT void PLUGIN_CALL SetBrake(int32_t brake) {
    received.brake = brake;
    record("SetBrake", "%d", brake);
    probe("SetBrake", brake);
}

TEST_EXPORT void PLUGIN_CALL KeyDown(int32_t key) {
    record("KeyDown", "%d", key);
    probe("KeyDown", key);
}

TEST_EXPORT void PLUGIN_CALL DoorOpen() {
    record("DoorOpen");
    probe("DoorOpen");
}

TEST_EXPORT void PLUGIN_CALL SetBeaconData(host::BeaconData beacon) {
    record("SetBeaconData", "%d %d %.2f %d", beacon.type, beacon.signal, beacon.extraFloat, beacon.optional);
    probe("SetBeaconData", beacon.type);
}

}  // extern "C"
