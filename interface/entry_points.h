// The sixteen entry points of a plug-in library as typed function pointers, for everything that
// calls a plug-in from outside: the chained libraries, the stand-in host, the tests.
#pragma once

#include <cstdint>
#include <type_traits>

#include "interface/host_interface.h"

namespace host {

using VoidEntry = void(PLUGIN_CALL*)();
using VersionEntry = int32_t(PLUGIN_CALL*)();
using VehicleSpecEntry = void(PLUGIN_CALL*)(VehicleSpec);
using IntEntry = void(PLUGIN_CALL*)(int32_t);
using ElapseEntry = Handles(PLUGIN_CALL*)(VehicleState, int32_t*, int32_t*);
using BeaconEntry = void(PLUGIN_CALL*)(BeaconData);

// An entry is null when the library does not export that name.
struct EntryPoints {
    VoidEntry load = nullptr;
    VoidEntry dispose = nullptr;
    VersionEntry getPluginVersion = nullptr;
    VehicleSpecEntry setVehicleSpec = nullptr;
    IntEntry initialize = nullptr;
    ElapseEntry elapse = nullptr;
    IntEntry setPower = nullptr;
    IntEntry setBrake = nullptr;
    IntEntry setReverser = nullptr;
    IntEntry keyDown = nullptr;
    IntEntry keyUp = nullptr;
    IntEntry hornBlow = nullptr;
    VoidEntry doorOpen = nullptr;
    VoidEntry doorClose = nullptr;
    IntEntry setSignal = nullptr;
    BeaconEntry setBeaconData = nullptr;
};

// Looks every entry up by its exact name; find(name) returns the address or null.
template <class Find>
EntryPoints bindEntryPoints(Find&& find) {
    auto as = [&](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(find(name));
    };
    EntryPoints e;
    as(e.load, "Load");
    as(e.dispose, "Dispose");
    as(e.getPluginVersion, "GetPluginVersion");
    as(e.setVehicleSpec, "SetVehicleSpec");
    as(e.initialize, "Initialize");
    as(e.elapse, "Elapse");
    as(e.setPower, "SetPower");
    as(e.setBrake, "SetBrake");
    as(e.setReverser, "SetReverser");
    as(e.keyDown, "KeyDown");
    as(e.keyUp, "KeyUp");
    as(e.hornBlow, "HornBlow");
    as(e.doorOpen, "DoorOpen");
    as(e.doorClose, "DoorClose");
    as(e.setSignal, "SetSignal");
    as(e.setBeaconData, "SetBeaconData");
    return e;
}

}  // namespace host
