// Loads Sentrel.dll the way the host does and drives one pair of timer beacons that passes, one
// that trips the emergency brake, and the reset key that releases it, through the exports only.
// Usage: sentrel_trip_test.exe PATH_TO_SENTREL_DLL
#include <windows.h>

#include <cstdio>

#include "interface/host_interface.h"
#include "tests/wine/wine_check.h"

namespace {

using wine_test::failures;

using VoidFn = void(PLUGIN_CALL*)();
using IntFn = void(PLUGIN_CALL*)(int32_t);
using VersionFn = int32_t(PLUGIN_CALL*)();
using SpecFn = void(PLUGIN_CALL*)(host::VehicleSpec);
using ElapseFn = host::Handles(PLUGIN_CALL*)(host::VehicleState, int32_t*, int32_t*);
using BeaconFn = void(PLUGIN_CALL*)(host::BeaconData);

struct Sentrel {
    VoidFn load, dispose, doorClose;
    VersionFn getPluginVersion;
    SpecFn setVehicleSpec;
    IntFn initialize, setPower, setBrake, setReverser, keyDown, keyUp;
    ElapseFn elapse;
    BeaconFn setBeaconData;
};

template <class Fn>
Fn entry(HMODULE module, const char* name) {
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    CHECK(fn != nullptr, "no export named %s", name);
    return fn;
}

constexpr int32_t Emergency = 9;      // eight service notches
constexpr double Pair50M = 50 / 7.2;  // beacon distance for 50 km/h

int32_t panel[256];
int32_t sound[256];

host::Handles frame(const Sentrel& s, int32_t timeMs, double locationM) {
    host::VehicleState state{};
    state.time = timeMs;
    state.location = locationM;
    return s.elapse(state, panel, sound);
}

void timerBeacon(const Sentrel& s) {
    s.setBeaconData(host::BeaconData{7, 0, 0.0f, -1});
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: sentrel_trip_test SENTREL_DLL\n");
        return 2;
    }
    HMODULE module = LoadLibraryW(argv[1]);
    if (!module) {
        std::printf("FAIL: LoadLibraryW failed with %lu\n", GetLastError());
        return 1;
    }
    Sentrel s{};
    s.load = entry<VoidFn>(module, "Load");
    s.dispose = entry<VoidFn>(module, "Dispose");
    s.doorClose = entry<VoidFn>(module, "DoorClose");
    s.getPluginVersion = entry<VersionFn>(module, "GetPluginVersion");
    s.setVehicleSpec = entry<SpecFn>(module, "SetVehicleSpec");
    s.initialize = entry<IntFn>(module, "Initialize");
    s.setPower = entry<IntFn>(module, "SetPower");
    s.setBrake = entry<IntFn>(module, "SetBrake");
    s.setReverser = entry<IntFn>(module, "SetReverser");
    s.keyDown = entry<IntFn>(module, "KeyDown");
    s.keyUp = entry<IntFn>(module, "KeyUp");
    s.elapse = entry<ElapseFn>(module, "Elapse");
    s.setBeaconData = entry<BeaconFn>(module, "SetBeaconData");
    if (failures) return 1;

    s.load();
    CHECK(s.getPluginVersion() == host::PluginInterfaceVersion, "GetPluginVersion");
    s.setVehicleSpec(host::VehicleSpec{8, 0, 0, 0, 4});
    s.initialize(0);
    s.setPower(2);
    s.setBrake(1);
    s.setReverser(1);
    s.doorClose();

    host::Handles out = frame(s, 1000, 100.0);
    CHECK(out.brake == 1 && out.power == 2 && out.reverser == 1, "handles pass %d %d %d", out.brake, out.power,
          out.reverser);
    CHECK(panel[120] == 1 && panel[121] == 0, "lamps %d %d", panel[120], panel[121]);

    // 50 km/h over the 50 pair: within the tolerance.
    timerBeacon(s);
    frame(s, 1250, 100.0 + Pair50M / 2);
    frame(s, 1500, 100.0 + Pair50M);
    timerBeacon(s);
    out = frame(s, 1520, 107.0);
    CHECK(out.brake == 1, "a pair passed at 50 km/h tripped: brake %d", out.brake);
    frame(s, 2200, 110.0);  // the window lapses

    // 62.5 km/h over the 50 pair: the emergency brake.
    timerBeacon(s);
    frame(s, 2400, 110.0 + Pair50M / 2);
    frame(s, 2600, 110.0 + Pair50M);
    timerBeacon(s);
    out = frame(s, 2620, 117.2);
    CHECK(out.brake == Emergency, "overspeed brake %d", out.brake);
    CHECK(out.power == 2 && out.reverser == 1 && out.auxCommand == 0, "other handles %d %d %d", out.power, out.reverser,
          out.auxCommand);
    CHECK(panel[120] == 0 && panel[121] == 1, "tripped lamps %d %d", panel[120], panel[121]);
    s.setBrake(3);
    out = frame(s, 2640, 117.3);
    CHECK(out.brake == Emergency, "the trip holds over the driver's brake: %d", out.brake);

    // Headless Wine reports Shift up, so key 4 is the reset.
    s.keyDown(4);
    out = frame(s, 2660, 117.4);
    CHECK(out.brake == 3, "reset brake %d", out.brake);
    CHECK(panel[120] == 1 && panel[121] == 0, "reset lamps %d %d", panel[120], panel[121]);
    CHECK(sound[24] == host::SoundPlayOnce, "press sound %d", sound[24]);
    frame(s, 2680, 117.5);
    CHECK(sound[24] == host::SoundContinue && sound[25] == host::SoundContinue, "sounds while held %d %d", sound[24],
          sound[25]);
    s.keyUp(4);
    frame(s, 2700, 117.6);
    CHECK(sound[24] == host::SoundStop && sound[25] == host::SoundPlayOnce, "release sounds %d %d", sound[24],
          sound[25]);
    frame(s, 2720, 117.7);
    CHECK(sound[24] == host::SoundContinue && sound[25] == host::SoundContinue, "sounds after release %d %d", sound[24],
          sound[25]);

    s.dispose();
    FreeLibrary(module);
    std::printf("Sentrel trip: %d failure(s)\n", failures);
    return failures ? 1 : 0;
}
