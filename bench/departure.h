// The sample departure as a fixed sequence of host calls, shared by the benchmarks, the instruction
// count and the allocation test: recorded once with the stand-in host's train model, then replayed
// frame by frame into Corvane linked in, so every replay sees the same vehicle states.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/vehicle_mirror.h"
#include "interface/host_interface.h"

namespace corvane {
struct Plugin;
}

namespace bench {

namespace fs = std::filesystem;

// What the host hands over in one frame, with the driver's positions that it reported before it.
struct DepartureFrame {
    host::VehicleState state{};
    int32_t reverser = 0, power = 0, brake = 0;
    bool doorsClosed = false;
};

struct Departure {
    host::VehicleSpec spec{};
    int32_t initializeValue = 0;
    int32_t frameIntervalMs = 0;  // of the first frame; the departure runs a fixed clock
    std::vector<DepartureFrame> frames;
    double simulatedS() const;
};

// A private folder under the system's temporary folder, removed with everything in it.
struct TempFolder {
    fs::path path;
    explicit TempFolder(const std::string& prefix);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

// The sample vehicle seen through links from inside `root`, so that Corvane's start-up log lands
// there and never in samples/. `chain` becomes its list of chained plug-ins (may be empty).
struct VehicleView {
    cabhost::VehicleMirror mirror;
    VehicleView(const fs::path& samplePluginDirectory, const fs::path& root, const std::vector<fs::path>& chain);
    ~VehicleView();
    VehicleView(const VehicleView&) = delete;
    VehicleView& operator=(const VehicleView&) = delete;
    const fs::path& pluginDirectory() const { return mirror.pluginDirectory; }
};

// Runs the departure scenario once through the stand-in host's train model against Corvane linked in
// (working from pluginDirectory) and keeps what the host handed over in every frame. A departure
// shorter than minFrames runs on (coasting) until it has that many. Throws std::runtime_error.
Departure recordDeparture(const fs::path& scenarioFile, const fs::path& pluginDirectory, size_t minFrames = 0);

// Corvane linked in, driven the way a host drives it: the benchmarks' own instance.
corvane::Plugin& corvane();
void loadCorvane(const fs::path& pluginDirectory, const Departure& departure);  // throws on a Load error
void disposeCorvane();
// The driver inputs that changed between two frames, as the host reports them before the frame.
void applyInputs(const DepartureFrame& before, const DepartureFrame& now);
// One Elapse as the exported entry point runs it (nothing thrown escapes).
host::Handles corvaneElapse(const host::VehicleState& state, int32_t* panel, int32_t* sound);

// Replays every frame of the departure into a freshly loaded Corvane.
struct Replay {
    const Departure& departure;
    int32_t panel[host::PanelArraySize]{};
    int32_t sound[host::SoundArraySize]{};
    size_t next = 0;

    explicit Replay(const Departure& d) : departure(d) {}
    bool done() const { return next >= departure.frames.size(); }
    // The inputs before frame `next`, then the frame.
    host::Handles step();
};

}  // namespace bench
