#include "bench/departure.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

#include "corvane/lifecycle.h"
#include "host/plugin_driver.h"
#include "host/run.h"
#include "host/scenario.h"
#include "interface/error_boundary.h"

namespace bench {

double Departure::simulatedS() const {
    if (frames.size() < 2) return 0.0;
    return (frames.back().state.time - frames.front().state.time + frameIntervalMs) / 1000.0;
}

TempFolder::TempFolder(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a folder under " + pattern);
    path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

VehicleView::VehicleView(const fs::path& samplePluginDirectory, const fs::path& root,
                         const std::vector<fs::path>& chain) {
    std::string note;
    if (!cabhost::buildMirror(samplePluginDirectory, root, mirror, note, &chain))
        throw std::runtime_error("cannot mirror the sample vehicle: " + note);
}

VehicleView::~VehicleView() {
    cabhost::removeMirror(mirror);
}

Departure recordDeparture(const fs::path& scenarioFile, const fs::path& pluginDirectory, size_t minFrames) {
    cabhost::Scenario scenario = cabhost::loadScenario(scenarioFile);
    if (scenario.clock.patternMs.size() != 1 || scenario.clock.randomMaxMs != 0)
        throw std::runtime_error(scenarioFile.string() + ": a departure runs a fixed frame clock");
    const int32_t intervalMs = scenario.clock.patternMs.front();
    if (intervalMs <= 0) throw std::runtime_error(scenarioFile.string() + ": the frame interval must be positive");
    const double neededS = static_cast<double>(minFrames) * intervalMs / 1000.0;
    if (scenario.durationS < neededS) scenario.durationS = neededS;

    auto session = cabhost::openLinkedCorvane(pluginDirectory);
    if (auto error = cabhost::callLoad(*session)) throw std::runtime_error("Load: " + *error);
    int32_t version = 0;
    if (auto error = cabhost::callGetPluginVersion(*session, version))
        throw std::runtime_error("GetPluginVersion: " + *error);
    session->entry.setVehicleSpec(scenario.spec);
    session->entry.initialize(scenario.initializeValue);
    cabhost::CurrentTables tables;
    tables.power = cabhost::linkedCorvane().config.powerCurrent;
    tables.brake = cabhost::linkedCorvane().config.brakeMaxCurrent;

    const cabhost::Simulation run = cabhost::simulate(scenario, *session, tables);
    session->entry.dispose();
    if (run.error) throw std::runtime_error("Elapse: " + *run.error);

    Departure departure;
    departure.spec = scenario.spec;
    departure.initializeValue = scenario.initializeValue;
    departure.frameIntervalMs = intervalMs;
    departure.frames.reserve(run.trace.rows.size());
    for (const cabhost::TraceRow& row : run.trace.rows) {
        DepartureFrame f;
        f.state = row.state;
        f.reverser = row.driverReverser;
        f.power = row.driverPower;
        f.brake = row.driverBrake;
        f.doorsClosed = row.doorsClosed;
        departure.frames.push_back(f);
    }
    if (departure.frames.size() < minFrames)
        throw std::runtime_error("the departure ran " + std::to_string(departure.frames.size()) + " frames, not " +
                                 std::to_string(minFrames));
    return departure;
}

corvane::Plugin& corvane() {
    static corvane::Plugin* instance = new corvane::Plugin();
    return *instance;
}

void loadCorvane(const fs::path& pluginDirectory, const Departure& departure) {
    corvane::Plugin& p = corvane();
    p = corvane::Plugin{};
    platform::releaseAllKeys();
    p.pluginDirectory = pluginDirectory;
    corvane::load(p);
    corvane::getPluginVersion(p);
    corvane::setVehicleSpec(p, departure.spec);
    corvane::initialize(p, departure.initializeValue);
}

void disposeCorvane() {
    boundary::quiet([] { corvane::dispose(corvane()); });
}

void applyInputs(const DepartureFrame& before, const DepartureFrame& now) {
    corvane::Plugin& p = corvane();
    boundary::quiet([&] {
        if (now.doorsClosed != before.doorsClosed) {
            if (now.doorsClosed) {
                corvane::doorClose(p);
            } else {
                corvane::doorOpen(p);
            }
        }
        if (now.reverser != before.reverser) corvane::setReverser(p, now.reverser);
        if (now.brake != before.brake) corvane::setBrake(p, now.brake, corvane::PlatformKeyboard);
        if (now.power != before.power) corvane::setPower(p, now.power);
    });
}

// Kept out of line so that the instruction count can collect exactly this function's calls.
__attribute__((noinline)) host::Handles corvaneElapse(const host::VehicleState& state, int32_t* panel, int32_t* sound) {
    host::Handles out{};
    boundary::quiet([&] { out = corvane::elapse(corvane(), state, panel, sound, corvane::platformFrameKeys()); });
    return out;
}

host::Handles Replay::step() {
    static const DepartureFrame atLoad{};
    const DepartureFrame& now = departure.frames[next];
    applyInputs(next == 0 ? atLoad : departure.frames[next - 1], now);
    ++next;
    return corvaneElapse(now.state, panel, sound);
}

}  // namespace bench
