#include "host/run.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <memory>
#include <sstream>

#include "corvane/lifecycle.h"
#include "host/chain_check.h"
#include "host/check.h"
#include "host/plots.h"
#include "host/report.h"
#include "host/vehicle_folder.h"
#include "host/vehicle_mirror.h"
#include "host/wav_file.h"
#include "platform/host.h"

namespace cabhost {

namespace fs = std::filesystem;

namespace {

// A value no plug-in writes: elements still holding it after Elapse were left alone.
constexpr int32_t Untouched = INT32_MIN + 0x5A5A;
// The element the host itself owns and Corvane reads (the blink source of panel 68).
constexpr int HostPanelElement = 3;

// The host's frame clock.
class Clock {
public:
    explicit Clock(const FrameClock& c) : c_(c), state_(c.seed ? c.seed : 1) {}
    int32_t nextIntervalMs() {
        if (c_.randomMaxMs > 0) {
            state_ ^= state_ << 13;
            state_ ^= state_ >> 17;
            state_ ^= state_ << 5;
            const uint32_t span = static_cast<uint32_t>(c_.randomMaxMs - c_.randomMinMs) + 1;
            return c_.randomMinMs + static_cast<int32_t>(state_ % span);
        }
        const int32_t interval = c_.patternMs[position_ % c_.patternMs.size()];
        ++position_;
        return interval;
    }

private:
    FrameClock c_;
    uint32_t state_;
    size_t position_ = 0;
};

// What the host has told the plug-in so far.
struct HostInputs {
    int32_t reverser = 0, power = 0, brake = 0;
    bool doorsClosed = false;
};

void applyEvent(const Event& e, PluginSession& s, HostInputs& in) {
    const EntryPoints& p = s.entry;
    if (e.doorsClosed) {
        in.doorsClosed = *e.doorsClosed;
        if (in.doorsClosed && p.doorClose) p.doorClose();
        if (!in.doorsClosed && p.doorOpen) p.doorOpen();
    }
    if (e.reverser) {
        in.reverser = *e.reverser;
        if (p.setReverser) p.setReverser(in.reverser);
    }
    if (e.brake) {
        in.brake = *e.brake;
        if (p.setBrake) p.setBrake(in.brake);
    }
    if (e.power) {
        in.power = *e.power;
        if (p.setPower) p.setPower(in.power);
    }
    for (const KeyState& k : e.keyStates) setKeyState(s, k.virtualKey, k.down);
    for (int32_t k : e.keysDown) {
        if (p.keyDown) p.keyDown(k);
    }
    for (int32_t k : e.keysUp) {
        if (p.keyUp) p.keyUp(k);
    }
    if (e.horn && p.hornBlow) p.hornBlow(*e.horn);
    if (e.signal && p.setSignal) p.setSignal(*e.signal);
    for (const host::BeaconData& b : e.beacons) {
        if (p.setBeaconData) p.setBeaconData(b);
    }
}

bool conditionHolds(const Event& e, double nowS, double lastFiredS, const host::VehicleState& state) {
    switch (e.trigger) {
        case Trigger::Immediately: return true;
        case Trigger::Time: return nowS >= e.value - 1e-9;
        case Trigger::After: return nowS >= lastFiredS + e.value - 1e-9;
        case Trigger::SpeedAbove: return std::fabs(state.speed) >= e.value;
        case Trigger::SpeedBelow: return std::fabs(state.speed) <= e.value;
        case Trigger::Location: return state.location >= e.value;
    }
    return false;
}

// The timeline: each event waits for the one before it, then for its own condition.
void fireDueEvents(const Scenario& sc, PluginSession& session, const host::VehicleState& state, double nowS,
                   HostInputs& inputs, size_t& nextEvent, double& lastFiredS, Simulation& sim) {
    while (nextEvent < sc.events.size()) {
        const Event& e = sc.events[nextEvent];
        if (!conditionHolds(e, nowS, lastFiredS, state)) break;
        applyEvent(e, session, inputs);
        sim.firedEvents.push_back(&e);
        sim.firedAtS.push_back(nowS);
        lastFiredS = nowS;
        ++nextEvent;
    }
}

// One Elapse on arrays marked untouched, so that the trace records exactly what the plug-in wrote;
// the host's own panel element keeps its value. The arrays then hold what the host would show.
std::optional<std::string> elapseAndRecordArrays(PluginSession& session, const host::VehicleState& state,
                                                 std::array<int32_t, 256>& panel, std::array<int32_t, 256>& sound,
                                                 host::Handles& out, Simulation& sim) {
    std::array<int32_t, 256> panelWork, soundWork;
    panelWork.fill(Untouched);
    soundWork.fill(Untouched);
    panelWork[HostPanelElement] = panel[HostPanelElement];
    const std::optional<std::string> error = callElapse(session, state, panelWork.data(), soundWork.data(), out);

    std::bitset<256> panelWritten, soundWritten;
    std::array<int32_t, 256> panelAfter = panel, soundAfter = sound;
    for (int i = 0; i < 256; ++i) {
        if (i == HostPanelElement ? panelWork[i] != panel[i] : panelWork[i] != Untouched) {
            panelWritten.set(i);
            panelAfter[i] = panelWork[i];
        }
        if (soundWork[i] != Untouched) {
            soundWritten.set(i);
            soundAfter[i] = soundWork[i];
            if (soundWork[i] == host::SoundPlayOnce) ++sim.hostSoundsStarted[i];
        }
    }
    sim.trace.panel.record(panel, panelAfter, panelWritten);
    sim.trace.sound.record(sound, soundAfter, soundWritten);
    panel = panelAfter;
    sound = soundAfter;
    return error;
}

TraceRow traceRow(const PluginSession& session, const host::VehicleState& state, const HostInputs& inputs,
                  const host::Handles& out) {
    TraceRow row;
    row.state = state;
    row.driverReverser = inputs.reverser;
    row.driverPower = inputs.power;
    row.driverBrake = inputs.brake;
    row.doorsClosed = inputs.doorsClosed;
    row.out = out;
    if (session.linked) row.corvane = corvaneView();
    return row;
}

}  // namespace

namespace {

// Where a run's frames come from, each in one place: the scenario's clock driving the train model,
// or the states of a recorded run.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // The host clock that the run's seconds count from, and how many seconds it lasts at most.
    int32_t startMs() const { return startMs_; }
    double totalS() const { return totalS_; }
    // The vehicle state of the next frame; false when the run is over.
    virtual bool next(host::VehicleState& state) = 0;
    // After a frame's Elapse: the frame's share of the recording (the time up to the next frame)
    // and whatever the handles the plug-in returned change before it.
    virtual void advance(const host::Handles& out, const HostInputs& inputs, AudioCapture& audio) = 0;

protected:
    int32_t startMs_ = 0;
    double totalS_ = 0.0;
};

class ModelFrames final : public FrameSource {
public:
    ModelFrames(const Scenario& sc, const CurrentTables& tables) : sc_(sc), tables_(tables), clock_(sc.clock) {
        startMs_ = timeMs_ = sc.clock.startTimeMs;
        totalS_ = sc.durationS;
        train_.locationM = sc.startLocationM;
        train_.speedKmh = sc.startSpeedKmh;
        train_.bpKpa = train_.erKpa = sc.model.bpChargedKpa;
        train_.mrKpa = (sc.model.mrCutInKpa + sc.model.mrCutOutKpa) / 2.0;
        intervalMs_ = clock_.nextIntervalMs();
    }
    bool next(host::VehicleState& state) override {
        const int64_t next = static_cast<int64_t>(timeMs_) + intervalMs_;
        if (next > INT32_MAX || (next - startMs_) > std::llround(totalS_ * 1000.0)) return false;
        timeMs_ = static_cast<int32_t>(next);
        state = vehicleState(train_, timeMs_);
        return true;
    }
    void advance(const host::Handles& out, const HostInputs& inputs, AudioCapture& audio) override {
        intervalMs_ = clock_.nextIntervalMs();
        captureAudio(audio, intervalMs_);
        TrainInputs applied;
        applied.handles = out;
        applied.doorsClosed = inputs.doorsClosed;
        applied.driverBrake = inputs.brake;
        applied.brakeNotches = sc_.spec.brakeNotches;
        stepTrain(sc_.model, tables_, train_, applied, intervalMs_ / 1000.0);
    }

private:
    const Scenario& sc_;
    const CurrentTables& tables_;
    Clock clock_;
    TrainState train_;
    int32_t timeMs_ = 0, intervalMs_ = 0;
};

class ReplayFrames final : public FrameSource {
public:
    explicit ReplayFrames(const Scenario& sc) : states_(loadReplay(*sc.replay)) {
        startMs_ = states_.front().time;  // a replay holds at least one state
        totalS_ = std::min(sc.durationS > 0.0 ? sc.durationS : 1e18, (states_.back().time - startMs_) / 1000.0);
    }
    bool next(host::VehicleState& state) override {
        if (index_ >= states_.size()) return false;
        state = states_[index_++];
        return (state.time - startMs_) / 1000.0 <= totalS_ + 1e-9;
    }
    void advance(const host::Handles&, const HostInputs&, AudioCapture& audio) override {
        if (index_ < states_.size()) captureAudio(audio, states_[index_].time - states_[index_ - 1].time);
    }

private:
    std::vector<host::VehicleState> states_;
    size_t index_ = 0;
};

}  // namespace

Simulation simulate(const Scenario& sc, PluginSession& session, const CurrentTables& tables, const ProgressFn& progress,
                    const FrameFn& afterFrame) {
    Simulation sim;
    sim.trace.hasCorvane = session.linked;
    std::array<int32_t, 256> panel{}, sound{};
    std::unique_ptr<FrameSource> frames;
    if (sc.replay) {
        frames = std::make_unique<ReplayFrames>(sc);
    } else {
        frames = std::make_unique<ModelFrames>(sc, tables);
    }
    const int32_t startMs = frames->startMs();
    const double totalS = frames->totalS();
    if (session.linked) {
        startAudioCapture(sim.audio);
    } else {
        sim.audio.note = "no recording: Corvane's own sounds are rendered only when it is linked in";
    }
    startSoundLevels(sim.levels, session.linked);

    HostInputs inputs;
    size_t nextEvent = 0;
    double lastFiredS = 0.0;
    for (;;) {
        // Between frames, so that an interrupted run still ends through Dispose and the cleanup.
        if (platform::hostInterrupted()) {
            sim.interrupted = true;
            break;
        }
        host::VehicleState state{};
        if (!frames->next(state)) break;
        const double nowS = (state.time - startMs) / 1000.0;

        fireDueEvents(sc, session, state, nowS, inputs, nextEvent, lastFiredS, sim);
        host::Handles out{};
        const std::optional<std::string> error = elapseAndRecordArrays(session, state, panel, sound, out, sim);
        sim.trace.rows.push_back(traceRow(session, state, inputs, out));
        recordSoundLevels(sim.levels, nowS);
        if (error) {
            sim.error = *error;
            break;
        }
        frames->advance(out, inputs, sim.audio);
        if (progress) progress(nowS, totalS);
        if (afterFrame) afterFrame(sim.trace.rows.back(), nowS, totalS);
    }
    return sim;
}

namespace {

std::string fixed(double value, int digits) {
    std::ostringstream s;
    s << std::fixed << std::setprecision(digits) << value;
    return s.str();
}

// A plug-in library with a chain (the scenario's, or the detailmodules.txt beside it) reads the list
// from its own folder, and a chained library may write beside itself: the library is loaded from a
// mirror of that folder, whose list is the scenario's chain where it gives one, so that nothing is
// written beside the author's files. Returns the library's name in the mirror.
platform::Path mirrorForChain(const Scenario& sc, const fs::path& library, const fs::path& outDir,
                              VehicleMirror& mirror) {
    std::string note;
    if (!buildMirror(library.parent_path() / "", outDir / ".cabhost-vehicle", mirror, note,
                     sc.chain ? &*sc.chain : nullptr, sc.vehicle ? &*sc.vehicle : nullptr)) {
        throw std::runtime_error(platform::pathToUtf8(sc.file) + ": the chain cannot be given to " +
                                 platform::pathToUtf8(library) + " through a mirror: " + note);
    }
    return mirror.pluginDirectory / library.filename();
}

// Which of the chained libraries the plug-in loaded, and why each other one was not, as the
// scenario's chain names them, or else the chain list in the folder the plug-in ran from (whose
// lines name them relative to that folder).
void describeChain(const Scenario& sc, const fs::path& runFolder, PluginSession& session) {
    std::vector<std::pair<std::string, fs::path>> libraries;  // as named, where it was looked for
    if (sc.chain) {
        for (const platform::Path& library : *sc.chain) libraries.emplace_back(platform::pathToUtf8(library), library);
    } else {
        const fs::path list = runFolder / "detailmodules.txt";
        std::vector<ChainListLine> lines;
        if (readChainList(list, lines) != ChainList::Read) return;
        session.chainList = "detailmodules.txt";
        for (const ChainListLine& line : lines) {
            libraries.emplace_back(line.text, platform::joinPath(runFolder, decodeUtf8(line.text)));
        }
    }
    for (const auto& [named, path] : libraries) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(path, ec).lexically_normal();
        if (!ec && platform::hostLibraryIsLoaded(absolute)) {
            session.chained.push_back(named);
        } else if (!fs::exists(absolute, ec)) {
            session.notChained.push_back(named + ": not there");
        } else {
            session.notChained.push_back(named +
                                         ": not loaded (a library of another system or word size, or no plug-in; "
                                         "cabhost check says which)");
        }
    }
}

// Checks that the folder can be created and written, before anything runs.
bool prepareOutputFolder(const fs::path& dir, std::string& error) {
    try {
        requireOpenableLength(dir, "the output folder");
    } catch (const std::runtime_error& tooLong) {
        error = tooLong.what();
        return false;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(dir, ec);
    if (fs::exists(status) && !fs::is_directory(status)) {
        error = platform::pathToUtf8(dir) + " exists and is not a folder";
        return false;
    }
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot create the output folder " + platform::pathToUtf8(dir) + ": " + ec.message();
        return false;
    }
    // Results of an earlier run that this one might not write again (a plot it has no data for).
    for (const char* name :
         {"trace.csv", "corvane.wav", "plots.gp", "summary.txt", "speed.png", "current.png", "notches.png",
          "pulse_mode.png", "line_voltage.png", "pressures.png", "gauges.png", "overview.png", "report.html"}) {
        const fs::path old = dir / name;
        if (fs::is_regular_file(fs::symlink_status(old, ec))) fs::remove(old, ec);
    }
    const fs::path log = dir / fs::u8path(AudioLogName);
    if (fs::is_regular_file(fs::symlink_status(log, ec))) fs::remove(log, ec);
    const fs::path probe = dir / ".cabhost-write-test";
    {
        std::ofstream test(probe, std::ios::binary | std::ios::trunc);
        test << "test";
        test.flush();
        if (!test) {
            error = "cannot write into the output folder " + platform::pathToUtf8(dir);
            fs::remove(probe, ec);
            return false;
        }
    }
    fs::remove(probe, ec);
    return true;
}

std::string modeSequence(const Trace& t) {
    std::vector<int32_t> seen;
    for (const TraceRow& r : t.rows) {
        if (seen.empty() || seen.back() != r.corvane.pulseMode) seen.push_back(r.corvane.pulseMode);
    }
    std::string text;
    const size_t shown = std::min<size_t>(seen.size(), 40);
    for (size_t i = 0; i < shown; ++i) text += (i ? " " : "") + std::to_string(seen[i]);
    if (seen.size() > shown) text += " ... (" + std::to_string(seen.size() - shown) + " more changes)";
    return text;
}

// The needle adjustment mode at the end of the run: the gauge chosen and the value it shows, which
// otherwise only the trace holds. A library driven through its exports shows only its digits.
std::string adjustmentText(const Trace& t) {
    static const char* const Gauges[] = {"",
                                         "brake cylinder needle (panel 130)",
                                         "straight air pipe needle (panel 131)",
                                         "brake pipe needle (panel 132)",
                                         "main reservoir needle (panel 133)",
                                         "speedometer (panel 22)",
                                         "ammeter (panel 26)",
                                         "voltmeter (panel 232)"};
    std::array<int32_t, 256> panel = t.panel.start;
    for (const auto& frame : t.panel.changes) {
        for (auto [index, value] : frame) panel[index] = value;
    }
    std::string digits;
    for (int i = 220; i <= 223; ++i) digits += panel[i] >= 0 && panel[i] <= 9 ? std::to_string(panel[i]) : " ";
    if (t.hasCorvane) {
        const CorvaneView& v = t.rows.back().corvane;
        if (!v.panelModifyMode) return "";
        if (v.adjustTarget < 1 || v.adjustTarget > 7)
            return "needle adjustment mode: on, no gauge chosen (key 0 chooses one)\n";
        return "needle adjustment mode: on, " + std::string(Gauges[v.adjustTarget]) + " forced to " +
               std::to_string(v.adjustValue) + (v.adjustTarget == 5 ? " (digits \"" : " (panel value; digits \"") +
               digits + "\"" + (v.adjustTarget == 5 ? ": the value divided by 100, for Speed.csv)\n" : ")\n");
    }
    if (!t.panel.written[220] || digits == "    ") return "";
    return "needle adjustment digits (panels 220 to 223) at the end: \"" + digits + "\"\n";
}

std::string summaryText(const Scenario& sc, const PluginSession& session, const Simulation& sim, double wallS,
                        int32_t t0) {
    std::ostringstream s;
    const Trace& t = sim.trace;
    s << "scenario: " << scenarioTitle(sc) << "\n";
    s << "plug-in: " << session.name << "\n";
    if (sc.chain) {
        s << "chained:";
        for (const std::string& library : session.chained) s << " " << library;
        s << (session.chained.empty() ? " none of the scenario's libraries could be loaded\n" : "\n");
    } else if (!session.chainList.empty()) {
        s << "chained (" << session.chainList << "):";
        for (const std::string& library : session.chained) s << " " << library;
        s << (session.chained.empty() ? " none of its libraries could be loaded\n" : "\n");
    }
    for (const std::string& library : session.notChained) s << "  not chained: " << library << "\n";
    if (!session.missingEntries.empty()) s << "  not exported (calls skipped): " << session.missingEntries << "\n";
    if (t.rows.empty()) {
        s << "no frames ran\n";
        return s.str();
    }
    const double simulatedS = (t.rows.back().state.time - t0) / 1000.0;
    s << "frames: " << t.rows.size() << ", " << fixed(simulatedS, 1) << " s simulated in " << fixed(wallS, 2) << " s\n";
    const auto top = std::max_element(t.rows.begin(), t.rows.end(), [](const TraceRow& a, const TraceRow& b) {
        return std::fabs(a.state.speed) < std::fabs(b.state.speed);
    });
    const TraceRow& last = t.rows.back();
    s << "top speed: " << fixed(std::fabs(top->state.speed), 1) << " km/h at "
      << fixed((top->state.time - t0) / 1000.0, 1) << " s; at the end " << fixed(last.state.speed, 1) << " km/h at "
      << fixed(last.state.location, 1) << " m\n";
    float maxCurrent = 0.0f, minCurrent = 0.0f;
    for (const TraceRow& r : t.rows) {
        maxCurrent = std::max(maxCurrent, r.state.current);
        minCurrent = std::min(minCurrent, r.state.current);
    }
    s << "current: up to " << fixed(maxCurrent, 0) << " A powering, " << fixed(std::max(0.0f, -minCurrent), 0)
      << " A regenerating\n";
    const int32_t emergency = sc.spec.brakeNotches + 1;
    for (const TraceRow& r : t.rows) {
        if (r.out.brake == emergency && r.driverBrake != emergency) {
            s << "emergency brake applied by the plug-in at " << fixed((r.state.time - t0) / 1000.0, 1) << " s, "
              << fixed(r.state.location, 1) << " m, " << fixed(r.state.speed, 1) << " km/h\n";
            break;
        }
    }
    if (t.hasCorvane) s << "main-circuit modes (pulseMode): " << modeSequence(t) << "\n";
    s << adjustmentText(t);
    s << "events: " << sim.firedEvents.size() << " of " << sc.events.size() << " fired\n";
    for (size_t i = sim.firedEvents.size(); i < sc.events.size(); ++i) {
        const Event& e = sc.events[i];
        s << "  never fired: event at line " << e.line << " (" << triggerText(e) << ")"
          << (e.label.empty() ? "" : " \"" + e.label + "\"") << "\n";
    }
    if (!sim.hostSoundsStarted.empty()) {
        s << "host sounds started:";
        for (auto [index, count] : sim.hostSoundsStarted)
            s << " " << index << (count > 1 ? " x" + std::to_string(count) : "");
        s << "\n";
    }
    return s.str();
}

}  // namespace

std::string realtimeStatus(const TraceRow& row, double simulatedS, double totalS, bool linked) {
    std::ostringstream s;
    s << "cabhost: " << fixed(simulatedS, 1) << " of " << fixed(totalS, 1) << " s, " << fixed(row.state.speed, 1)
      << " km/h, notch P" << row.out.power << " B" << row.out.brake;
    if (linked) s << ", mode " << row.corvane.pulseMode;
    return s.str();
}

namespace {

// The scenario, its vehicle's plug-in folder and its replay, checked before anything is written.
// False (with the message written) when the run cannot start.
bool readRunInputs(const RunSettings& settings, std::ostream& err, Scenario& sc,
                   std::optional<platform::Path>& pluginDirectory) {
    try {
        requireOpenableLength(settings.scenarioFile, "the scenario file");
        sc = loadScenario(settings.scenarioFile);
    } catch (const std::runtime_error& error) {
        err << "cabhost: " << error.what() << "\n";
        return false;
    }
    try {
        if (sc.vehicle) pluginDirectory = findPluginDirectory(*sc.vehicle);
    } catch (const std::exception& error) {
        err << "cabhost: " << platform::pathToUtf8(sc.file) << ": vehicle: " << error.what() << "\n";
        return false;
    }
    if (!settings.pluginLibrary && !pluginDirectory) {
        err << "cabhost: " << platform::pathToUtf8(sc.file)
            << ": the scenario names no vehicle; Corvane linked in needs one (vehicle = \"...\"), or pass --plugin\n";
        return false;
    }
    if (sc.replay) {
        try {
            (void)loadReplay(*sc.replay);
        } catch (const ScenarioError& error) {
            err << "cabhost: " << error.what() << "\n";
            return false;
        }
    }
    return true;
}

// A configuration error in the vehicle's notch files found by cabhost itself: the same mistake that
// Corvane's Load reports, so the run ends with the same status.
struct VehicleConfigError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The plug-in library, or Corvane linked in working from a mirror of the vehicle. Throws
// std::runtime_error with the message for the author (VehicleConfigError for the notch files).
std::unique_ptr<PluginSession> openRunSession(const RunSettings& settings, const Scenario& sc,
                                              const std::optional<platform::Path>& pluginDirectory,
                                              const platform::Path& outDir, CurrentTables& tables,
                                              VehicleMirror& mirror) {
    if (settings.pluginLibrary) {
        if (pluginDirectory) {
            config::NotchConfig notch;
            try {
                notch.load(*pluginDirectory / "Notch.txt");
            } catch (const std::exception& error) {
                throw VehicleConfigError(std::string("the vehicle's notch files, read for the train model: ") +
                                         error.what());
            }
            tables.power = notch.powerCurrent;
            tables.brake = notch.brakeMaxCurrent;
        }
        std::error_code ec;
        const fs::path library = fs::absolute(*settings.pluginLibrary, ec).lexically_normal();
        if (!ec && fs::exists(library, ec) &&
            (sc.chain || fs::exists(library.parent_path() / "detailmodules.txt", ec))) {
            std::unique_ptr<PluginSession> session = openLibrary(mirrorForChain(sc, library, outDir, mirror));
            session->name = platform::pathToUtf8(*settings.pluginLibrary);
            return session;
        }
        return openLibrary(*settings.pluginLibrary);
    }
    // Without the mirror Corvane would write beside the author's files: the run does not start.
    std::string note;
    if (!buildMirror(*pluginDirectory, outDir / ".cabhost-vehicle", mirror, note, sc.chain ? &*sc.chain : nullptr,
                     sc.vehicle ? &*sc.vehicle : nullptr)) {
        throw std::runtime_error("the vehicle cannot be mirrored into the output folder: " + note);
    }
    return openLinkedCorvane(mirror.pluginDirectory);
}

// Load, GetPluginVersion, SetVehicleSpec and Initialize, as the simulator calls them before the
// first frame. False (with the message written) when the plug-in cannot run.
bool startPlugin(const RunSettings& settings, const Scenario& sc, PluginSession& session, const VehicleMirror& mirror,
                 CurrentTables& tables, std::ostream& err) {
    if (auto error = callLoad(session)) {
        err << "cabhost: Load of " << session.name << " ended with an error:\n  " << unmirror(*error, mirror) << "\n";
        if (!session.linked) {
            err << "  (a plug-in library reads its files from its own folder, "
                << platform::pathToUtf8(fs::absolute(*settings.pluginLibrary).parent_path()) << ")\n";
        }
        return false;
    }
    int32_t version = 0;
    if (auto error = callGetPluginVersion(session, version)) {
        err << "cabhost: GetPluginVersion of " << session.name << " ended with an error:\n  "
            << unmirror(*error, mirror) << "\n";
        return false;
    }
    if (version != host::PluginInterfaceVersion) {
        err << "cabhost: " << session.name << " reports interface version 0x" << std::hex << version << std::dec
            << " (expected 0x20000); the simulator would not use it\n";
        return false;
    }
    // The plug-in ran from the mirror when there is one, else (a DLL) from its own folder.
    describeChain(
        sc,
        !mirror.root.empty() ? fs::path(mirror.pluginDirectory) : fs::absolute(*settings.pluginLibrary).parent_path(),
        session);
    if (session.linked) {
        const config::NotchConfig& notch = linkedCorvane().config;
        tables.power = notch.powerCurrent;
        tables.brake = notch.brakeMaxCurrent;
    }
    if (session.entry.setVehicleSpec) session.entry.setVehicleSpec(sc.spec);
    if (session.entry.initialize) session.entry.initialize(sc.initializeValue);
    return true;
}

// Notes for the summary about the run as a whole: chained libraries that do not exist.
std::vector<std::string> runNotes(const Scenario& sc) {
    std::vector<std::string> notes;
    if (sc.chain) {
        int present = 0;
        for (const platform::Path& library : *sc.chain) {
            std::error_code ec;
            present += fs::exists(library, ec) ? 1 : 0;
        }
        if (present == 0) {
            notes.push_back(
                "none of the chained libraries exists here (build them first); Corvane returned "
                "power 0 and brake 0 whatever the driver did");
        }
    }
    return notes;
}

// The run's files (trace, recording, plots, report, summary) and the summary text; returns the exit
// code.
int writeRunResults(const RunSettings& settings, const Scenario& sc, PluginSession& session,
                    const VehicleMirror& mirror, std::vector<std::string> notes, double wallS, RunOutcome& outcome,
                    std::string& summary, std::ostream& err) {
    const Simulation& sim = outcome.simulation;
    int code = sim.error ? ExitPluginError : ExitOk;
    const fs::path csv = outcome.outDir / "trace.csv";
    std::string writeError;
    if (writeTraceCsv(sim.trace, csv, writeError)) {
        outcome.files.push_back("trace.csv");
    } else {
        err << "cabhost: " << writeError << "\n";
        code = ExitOutputError;
    }
    if (sim.audio.active && !sim.audio.samples.empty()) {
        if (writeWav16(outcome.outDir / "corvane.wav", sim.audio.sampleRate, sim.audio.channels, sim.audio.samples,
                       writeError)) {
            outcome.files.push_back("corvane.wav");
        } else {
            err << "cabhost: " << writeError << "\n";
            code = ExitOutputError;
        }
    }
    if (!sim.audio.note.empty()) notes.push_back(sim.audio.note);
    if (sim.audio.clippedSamples > 0) {
        notes.push_back(std::to_string(sim.audio.clippedSamples) +
                        " samples of the mix were beyond full scale and limited");
    }
    // Times in the plots and the summary count from the start of the run: the host clock's start,
    // or the first recorded frame when replaying.
    const int32_t startMs =
        sc.replay && !sim.trace.rows.empty() ? sim.trace.rows.front().state.time : sc.clock.startTimeMs;
    if (settings.plots && code != ExitOutputError) {
        const PlotOutcome plots = drawPlots(sim.trace, csv, outcome.outDir, startMs, sc.title);
        outcome.files.push_back("plots.gp");
        outcome.files.insert(outcome.files.end(), plots.files.begin(), plots.files.end());
        if (!plots.note.empty()) notes.push_back(plots.note);
    }

    if (sim.levels.active) {
        if (writeSoundLevelsCsv(sim.levels, outcome.outDir / "levels.csv", writeError)) {
            outcome.files.push_back("levels.csv");
        } else {
            err << "cabhost: " << writeError << "\n";
            code = ExitOutputError;
        }
    }

    summary = summaryText(sc, session, sim, wallS, startMs);
    outcome.expectations = checkExpectations(sc.expectations, sim.trace, startMs);
    summary += expectationsText(outcome.expectations);
    if (outcome.comparison) {
        compareRuns(*outcome.comparison, sim.trace, startMs, sim.levels, scenarioTitle(sc));
        summary += comparisonText(*outcome.comparison);
    }
    const auto unmet = std::count_if(outcome.expectations.begin(), outcome.expectations.end(),
                                     [](const ExpectationResult& r) { return !r.met; });
    if (unmet > 0) {
        err << "cabhost: " << unmet << " of " << outcome.expectations.size() << " expectations not met\n";
        if (code == ExitOk) code = ExitExpectationNotMet;
    }
    if (sim.error) summary += "stopped early: the plug-in reported an error: " + unmirror(*sim.error, mirror) + "\n";
    for (const std::string& n : notes) summary += "note: " + n + "\n";
    if (code != ExitOutputError) {
        const bool recorded = std::count(outcome.files.begin(), outcome.files.end(), "corvane.wav") > 0;
        if (writeRunReport(outcome.outDir / "report.html", sc, outcome, startMs, summary, recorded, writeError)) {
            outcome.files.push_back("report.html");
        } else {
            err << "cabhost: " << writeError << "\n";
            code = ExitOutputError;
        }
    }
    {
        std::ofstream file(outcome.outDir / "summary.txt", std::ios::binary | std::ios::trunc);
        file << summary;
        if (file) outcome.files.push_back("summary.txt");
    }
    return code;
}

// The one owner of a run's end, whichever way the run ends (its results, an error, an
// interruption): Dispose once after Load was called, the library let go, Corvane's log moved into
// the output folder, and the mirror removed, in that order.
class RunEnd {
public:
    RunEnd(RunOutcome& outcome, std::ostream& err) : outcome_(outcome), err_(err) {}
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;
    ~RunEnd() { finish(); }

    std::unique_ptr<PluginSession> session;
    VehicleMirror mirror;

    void loadCalled() { disposeDue_ = true; }
    void dispose() {
        if (disposeDue_ && session && session->entry.dispose) session->entry.dispose();
        disposeDue_ = false;
    }
    // False when part of the mirror could not be removed (each part is named on err).
    bool finish() {
        dispose();
        session.reset();
        if (!mirror.active) return true;
        std::error_code ec;
        const fs::path log = mirror.pluginDirectory / fs::u8path(AudioLogName);
        if (fs::is_regular_file(fs::symlink_status(log, ec))) {
            fs::rename(log, outcome_.outDir / fs::u8path(AudioLogName), ec);
            if (!ec) outcome_.files.push_back(AudioLogName);
        }
        const std::vector<std::string> left = removeMirror(mirror);
        for (const std::string& entry : left) err_ << "cabhost: cannot remove what the run made: " << entry << "\n";
        return left.empty();
    }

private:
    RunOutcome& outcome_;
    std::ostream& err_;
    bool disposeDue_ = false;
};

// Corvane's start-up log names the files it opened in the run's mirror, which is gone after the
// run: the log the run keeps names the author's own files.
void unmirrorAudioLog(const VehicleMirror& mirror) {
    if (mirror.root.empty()) return;
    const fs::path log = mirror.pluginDirectory / fs::u8path(AudioLogName);
    std::ifstream in(log, std::ios::binary);
    if (!in) return;
    std::ostringstream written;
    written << in.rdbuf();
    in.close();
    const std::string real = unmirror(written.str(), mirror);
    if (real != written.str()) std::ofstream(log, std::ios::binary | std::ios::trunc) << real;
}

// Opens and drives the plug-in and writes the results (with summary, the text to print); returns
// the exit code. The plug-in's end and the mirror's removal are left to end.
int driveRun(const RunSettings& settings, const Scenario& sc, const std::optional<platform::Path>& pluginDirectory,
             std::chrono::steady_clock::time_point wallStart, RunEnd& end, RunOutcome& outcome, std::string& summary,
             std::ostream& err) {
    // The model's current tables: the vehicle's own, read the way Corvane reads them.
    CurrentTables tables;
    try {
        end.session = openRunSession(settings, sc, pluginDirectory, outcome.outDir, tables, end.mirror);
    } catch (const VehicleConfigError& error) {
        err << "cabhost: " << error.what() << "\n";
        return ExitPluginError;
    } catch (const std::exception& error) {
        err << "cabhost: " << unmirror(error.what(), end.mirror) << "\n";
        return ExitBadInput;
    }
    PluginSession& session = *end.session;
    end.loadCalled();
    if (!startPlugin(settings, sc, session, end.mirror, tables, err)) return ExitPluginError;

    // Progress on a terminal, at most a few times a second.
    auto lastShown = std::chrono::steady_clock::now();
    bool shown = false;
    ProgressFn progress;
    if (settings.progress) {
        progress = [&](double simulatedS, double totalS) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastShown < std::chrono::milliseconds(250)) return;
            lastShown = now;
            shown = true;
            err << "\rcabhost: " << fixed(simulatedS, 1) << " of " << fixed(totalS, 1) << " s simulated ("
                << static_cast<int>(totalS > 0 ? 100.0 * simulatedS / totalS : 100.0) << " %)   " << std::flush;
        };
    }
    FrameFn afterFrame;
    const auto runStart = std::chrono::steady_clock::now();
    if (settings.realtime) {
        progress = {};
        afterFrame = [&, linked = session.linked](const TraceRow& row, double simulatedS, double totalS) {
            const auto now = std::chrono::steady_clock::now();
            const int64_t elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - runStart).count();
            platform::hostSleepMs(RealtimePacer::waitMs(std::llround(simulatedS * 1000.0), elapsedMs));
            if (!settings.progress || now - lastShown < std::chrono::milliseconds(200)) return;
            lastShown = now;
            shown = true;
            err << "\r" << realtimeStatus(row, simulatedS, totalS, linked) << "   " << std::flush;
        };
    }
    try {
        outcome.simulation = simulate(sc, session, tables, progress, afterFrame);
    } catch (const ScenarioError& error) {
        err << "cabhost: " << error.what() << "\n";
        return ExitBadInput;
    }
    if (shown) err << "\r" << std::string(79, ' ') << "\r" << std::flush;
    end.dispose();
    if (outcome.simulation.interrupted) return ExitInterrupted;
    unmirrorAudioLog(end.mirror);
    const double wallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::vector<std::string> notes = runNotes(sc);
    // The vehicle's own plug-in (Corvane linked in, or a DLL in its plug-in folder) went without these.
    std::error_code ec;
    if (pluginDirectory &&
        (!settings.pluginLibrary ||
         fs::equivalent(fs::absolute(*settings.pluginLibrary, ec).parent_path(), *pluginDirectory, ec))) {
        for (const std::string& missing : missingSoundFiles(*pluginDirectory))
            notes.push_back("missing sound: " + missing);
    }
    return writeRunResults(settings, sc, session, end.mirror, notes, wallS, outcome, summary, err);
}

}  // namespace

RunOutcome runCommand(const RunSettings& settings, std::ostream& out, std::ostream& err) {
    RunOutcome outcome;
    const auto wallStart = std::chrono::steady_clock::now();
    Scenario sc;
    std::optional<platform::Path> pluginDirectory;
    if (!readRunInputs(settings, err, sc, pluginDirectory)) {
        outcome.exitCode = ExitBadInput;
        return outcome;
    }

    // The earlier run is read before this one's results may replace it in the same folder.
    if (settings.compareDir) {
        std::string compareError;
        outcome.comparison.emplace();
        if (!loadComparison(*settings.compareDir, *outcome.comparison, compareError)) {
            err << "cabhost: " << compareError << "\n";
            outcome.exitCode = ExitBadInput;
            return outcome;
        }
    }

    outcome.outDir = settings.outDir ? *settings.outDir : platform::Path("out") / sc.file.stem();
    std::string folderError;
    if (!prepareOutputFolder(outcome.outDir, folderError)) {
        err << "cabhost: " << folderError << "\n";
        outcome.exitCode = ExitBadInput;
        return outcome;
    }

    std::string summary;
    int code = ExitOk;
    {
        RunEnd end(outcome, err);
        code = driveRun(settings, sc, pluginDirectory, wallStart, end, outcome, summary, err);
        if (!end.finish() && code == ExitOk) code = ExitOutputError;
        if (platform::hostInterrupted()) {
            err << "cabhost: interrupted" << (summary.empty() ? "; no results were written" : "") << "\n";
            code = ExitInterrupted;
        }
        outcome.exitCode = code;
        if (!summary.empty()) {
            out << summary;
            out << "results in " << platform::pathToUtf8(fs::absolute(outcome.outDir)) << ":";
            for (const std::string& f : outcome.files) out << " " << f;
            out << "\n";
        }
        const Simulation& sim = outcome.simulation;
        if (sim.error) {
            err << "cabhost: the plug-in reported an error during the run: " << unmirror(*sim.error, end.mirror)
                << "\n";
        }
    }
    return outcome;
}

}  // namespace cabhost
