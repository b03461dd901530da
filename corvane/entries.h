// Corvane's sixteen entry points over one plug-in instance, written once for both callers: the
// library's exports and the stand-in host that links Corvane in. They differ only in the Caller:
// which instance, and what an error becomes. The library raises the platform's error signal for
// Load and GetPluginVersion and swallows anything else, so the simulator survives; the host keeps
// every call's message to report it.
#pragma once

#include "corvane/lifecycle.h"
#include "interface/entry_points.h"

namespace corvane {

// Caller provides: static Plugin& plugin(); static void reported(work) for calls whose errors the
// host must hear of; static void quiet(work) for the rest; static constexpr int32_t versionOnError.
template <class Caller>
struct Entries {
    static void PLUGIN_CALL load() {
        Caller::reported([] { corvane::load(Caller::plugin()); });
    }
    static void PLUGIN_CALL dispose() {
        Caller::quiet([] { corvane::dispose(Caller::plugin()); });
    }
    static int32_t PLUGIN_CALL getPluginVersion() {
        int32_t version = Caller::versionOnError;
        Caller::reported([&] { version = corvane::getPluginVersion(Caller::plugin()); });
        return version;
    }
    static void PLUGIN_CALL setVehicleSpec(host::VehicleSpec spec) {
        Caller::quiet([&] { corvane::setVehicleSpec(Caller::plugin(), spec); });
    }
    static void PLUGIN_CALL initialize(int32_t value) {
        Caller::quiet([&] { corvane::initialize(Caller::plugin(), value); });
    }
    static host::Handles PLUGIN_CALL elapse(host::VehicleState state, int32_t* panel, int32_t* sound) {
        // Arrays for a host that passes none, so a frame never writes through a null pointer.
        static int32_t spare[2][host::PanelArraySize];
        host::Handles out{};
        Caller::quiet([&] {
            out = corvane::elapse(Caller::plugin(), state, panel ? panel : spare[0], sound ? sound : spare[1],
                                  platformFrameKeys());
        });
        return out;
    }
    static void PLUGIN_CALL setPower(int32_t power) {
        Caller::quiet([&] { corvane::setPower(Caller::plugin(), power); });
    }
    static void PLUGIN_CALL setBrake(int32_t brake) {
        Caller::quiet([&] { corvane::setBrake(Caller::plugin(), brake, PlatformKeyboard); });
    }
    static void PLUGIN_CALL setReverser(int32_t reverser) {
        Caller::quiet([&] { corvane::setReverser(Caller::plugin(), reverser); });
    }
    static void PLUGIN_CALL keyDown(int32_t key) {
        Caller::quiet([&] { corvane::keyDown(Caller::plugin(), key, platformShiftDown()); });
    }
    static void PLUGIN_CALL keyUp(int32_t key) {
        Caller::quiet([&] { corvane::keyUp(Caller::plugin(), key); });
    }
    static void PLUGIN_CALL hornBlow(int32_t horn) {
        Caller::quiet([&] { corvane::hornBlow(Caller::plugin(), horn); });
    }
    static void PLUGIN_CALL doorOpen() {
        Caller::quiet([] { corvane::doorOpen(Caller::plugin()); });
    }
    static void PLUGIN_CALL doorClose() {
        Caller::quiet([] { corvane::doorClose(Caller::plugin()); });
    }
    static void PLUGIN_CALL setSignal(int32_t signal) {
        Caller::quiet([&] { corvane::setSignal(Caller::plugin(), signal); });
    }
    static void PLUGIN_CALL setBeaconData(host::BeaconData beacon) {
        Caller::quiet([&] { corvane::setBeaconData(Caller::plugin(), beacon); });
    }

    static host::EntryPoints table() {
        return host::EntryPoints{load,     dispose,   getPluginVersion, setVehicleSpec, initialize, elapse,
                                 setPower, setBrake,  setReverser,      keyDown,        keyUp,      hornBlow,
                                 doorOpen, doorClose, setSignal,        setBeaconData};
    }
};

}  // namespace corvane
