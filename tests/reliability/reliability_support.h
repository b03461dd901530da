// A vehicle folder of its own with a private copy of the Corvane library, and the library's entry
// points as the host calls them.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "interface/host_interface.h"

namespace reliability {

namespace fs = std::filesystem;

struct Corvane {
    void (*load)() = nullptr;
    void (*dispose)() = nullptr;
    int32_t (*getPluginVersion)() = nullptr;
    void (*setVehicleSpec)(host::VehicleSpec) = nullptr;
    void (*initialize)(int32_t) = nullptr;
    host::Handles (*elapse)(host::VehicleState, int32_t*, int32_t*) = nullptr;
    void (*setPower)(int32_t) = nullptr;
    void (*setBrake)(int32_t) = nullptr;
    void (*setReverser)(int32_t) = nullptr;
    void (*keyDown)(int32_t) = nullptr;
    void (*keyUp)(int32_t) = nullptr;
    void (*hornBlow)(int32_t) = nullptr;
    void (*doorOpen)() = nullptr;
    void (*doorClose)() = nullptr;
    void (*setSignal)(int32_t) = nullptr;
    void (*setBeaconData)(host::BeaconData) = nullptr;
    const char* (*lastError)() = nullptr;
    void (*setKeyDown)(int32_t, int32_t) = nullptr;
};

template <class F>
void bind(void* library, F& entry, const char* name) {
    entry = reinterpret_cast<F>(::dlsym(library, name));
    ASSERT_NE(entry, nullptr) << name;
}

// The library copies stay loaded until the process ends: their process-wide state is never freed
// on purpose, and unloading them would only make that state look leaked.
class Vehicle {
public:
    // depth adds that many long folder names above the vehicle, for paths beyond 260 characters.
    explicit Vehicle(bool configuration = true, int depth = 0) {
        std::string pattern = (fs::temp_directory_path() / "corvane-reliability-XXXXXX").native();
        if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "no temporary folder";
        root_ = pattern;
        vehicle_ = root_;
        for (int i = 0; i < depth; ++i) vehicle_ /= std::string(60, static_cast<char>('a' + i % 26));
        fs::create_directories(vehicle_ / "plugin");
        if (configuration) copyConfiguration();
    }
    ~Vehicle() {
        std::error_code error;
        fs::remove_all(root_, error);
    }

    fs::path folder() const { return vehicle_; }
    fs::path pluginFolder() const { return vehicle_ / "plugin"; }

    void write(const fs::path& relative, const std::string& text) const {
        fs::create_directories((vehicle_ / relative).parent_path());
        std::ofstream(vehicle_ / relative, std::ios::binary) << text;
    }

    void copySounds() const {
        const fs::path sample = SAMPLE_VEHICLE;
        fs::create_directories(vehicle_ / "atsmotornoise");
        for (const char* name : {"bc.wav", "sap.wav", "sapHigh.wav", "atsmotornoise/0.wav", "atsmotornoise/20.wav"}) {
            fs::copy_file(sample / name, vehicle_ / name, fs::copy_options::overwrite_existing);
        }
    }

    // Copies the test plug-in into the folder and lists it in detailmodules.txt.
    fs::path chainPlugin(const std::string& name = "chained.so") const {
        const fs::path target = pluginFolder() / name;
        fs::copy_file(RELIABILITY_PLUGIN, target, fs::copy_options::overwrite_existing);
        write("plugin/detailmodules.txt", name + "\n");
        return target;
    }

    // Loads this folder's own copy of the library; the platform attaches it to the folder.
    Corvane open() {
        const fs::path copy = pluginFolder() / "libCorvane.so";
        fs::copy_file(CORVANE_LIBRARY, copy, fs::copy_options::overwrite_existing);
        void* library = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(library, nullptr) << ::dlerror();
        Corvane c;
        if (!library) return c;
        bind(library, c.load, "Load");
        bind(library, c.dispose, "Dispose");
        bind(library, c.getPluginVersion, "GetPluginVersion");
        bind(library, c.setVehicleSpec, "SetVehicleSpec");
        bind(library, c.initialize, "Initialize");
        bind(library, c.elapse, "Elapse");
        bind(library, c.setPower, "SetPower");
        bind(library, c.setBrake, "SetBrake");
        bind(library, c.setReverser, "SetReverser");
        bind(library, c.keyDown, "KeyDown");
        bind(library, c.keyUp, "KeyUp");
        bind(library, c.hornBlow, "HornBlow");
        bind(library, c.doorOpen, "DoorOpen");
        bind(library, c.doorClose, "DoorClose");
        bind(library, c.setSignal, "SetSignal");
        bind(library, c.setBeaconData, "SetBeaconData");
        bind(library, c.lastError, "PluginLastError");
        bind(library, c.setKeyDown, "PluginSetKeyDown");
        return c;
    }

private:
    void copyConfiguration() const {
        const fs::path sample = SAMPLE_VEHICLE;
        fs::copy_file(sample / "plugin" / "Notch.txt", vehicle_ / "plugin" / "Notch.txt");
        fs::copy(sample / "plugin" / "notch", vehicle_ / "plugin" / "notch", fs::copy_options::recursive);
        fs::copy(sample / "NeedleTable", vehicle_ / "NeedleTable", fs::copy_options::recursive);
    }

    fs::path root_;
    fs::path vehicle_;
};

// The host's side of a run: the state it reports and the arrays it owns.
struct HostRun {
    Corvane c;
    host::VehicleState state{};
    std::vector<int32_t> panel = std::vector<int32_t>(host::PanelArraySize, 0);
    std::vector<int32_t> sound = std::vector<int32_t>(host::SoundArraySize, 0);

    explicit HostRun(const Corvane& corvane) : c(corvane) {}

    host::Handles frame(int32_t stepMs = 16) {
        state.time = static_cast<int32_t>(static_cast<uint32_t>(state.time) + static_cast<uint32_t>(stepMs));
        return c.elapse(state, panel.data(), sound.data());
    }
    void frames(int count, int32_t stepMs = 16) {
        for (int i = 0; i < count; ++i) frame(stepMs);
    }
    void start(int32_t notches = 8) {
        c.load();
        c.setVehicleSpec(host::VehicleSpec{notches, 0, 0, 0, 10});
        c.initialize(0);
    }
};

}  // namespace reliability
