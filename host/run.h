// `cabhost run`: drives a plug-in through a scenario with the train model and writes the results.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/audio_capture.h"
#include "host/compare.h"
#include "host/plugin_driver.h"
#include "host/scenario.h"
#include "host/sound_levels.h"
#include "host/trace.h"
#include "host/train_model.h"

namespace cabhost {

struct RunSettings {
    platform::Path scenarioFile;
    std::optional<platform::Path> outDir;  // default: out/<scenario name>
    std::optional<platform::Path> pluginLibrary;
    bool progress = false;  // progress lines on standard error
    bool plots = true;
    bool realtime = false;                     // frames paced to the wall clock, with a live status line on a terminal
    std::optional<platform::Path> compareDir;  // an earlier run's output folder, drawn beside this run
};

// What one run produced, in memory.
struct Simulation {
    Trace trace;
    AudioCapture audio;
    SoundLevels levels;  // of Corvane's own sounds, for the report
    std::vector<const Event*> firedEvents;
    std::vector<double> firedAtS;
    std::optional<std::string> error;      // the run stopped early with this plug-in error
    std::map<int, int> hostSoundsStarted;  // sound index -> number of play-once requests
    bool interrupted = false;              // Ctrl+C or SIGTERM stopped the frames
};

using ProgressFn = std::function<void(double simulatedS, double totalS)>;
// Called after each frame (and its share of the recording) with the frame's row.
using FrameFn = std::function<void(const TraceRow& row, double simulatedS, double totalS)>;

// Runs the frames of a scenario against a session on which Load has succeeded.
Simulation simulate(const Scenario& scenario, PluginSession& session, const CurrentTables& tables,
                    const ProgressFn& progress = {}, const FrameFn& afterFrame = {});

// The live status line of a real-time run: time, speed, the handles the plug-in returned, and
// Corvane's main-circuit mode when it is linked in.
std::string realtimeStatus(const TraceRow& row, double simulatedS, double totalS, bool linked);

// Wall-clock pacing of a real-time run: each frame waits until as much wall time has passed since
// the first as the host clock advanced, so lateness is caught up and never accumulates.
class RealtimePacer {
public:
    // Milliseconds to wait before the frame at simulatedMs (from the start), given the wall time
    // elapsed since the first frame.
    static int64_t waitMs(int64_t simulatedMs, int64_t elapsedMs) {
        return simulatedMs > elapsedMs ? simulatedMs - elapsedMs : 0;
    }
};

struct RunOutcome {
    int exitCode = 0;
    platform::Path outDir;
    Simulation simulation;
    std::vector<std::string> files;  // written into outDir
    std::vector<ExpectationResult> expectations;
    std::optional<Comparison> comparison;  // with the earlier run that --compare named
};

// The whole command: messages go to out (summary) and err (errors, progress).
RunOutcome runCommand(const RunSettings& settings, std::ostream& out, std::ostream& err);

// Exit codes of the command.
constexpr int ExitOk = 0;
constexpr int ExitBadInput = 2;  // scenario, vehicle folder, output folder or plug-in file
// A configuration error in the vehicle's notch files (from Corvane's Load, or read for the train
// model), or the plug-in reported an error (Load, GetPluginVersion, Elapse).
constexpr int ExitPluginError = 3;
constexpr int ExitOutputError = 4;        // results could not be written, or what the run made not removed
constexpr int ExitExpectationNotMet = 5;  // the run went through, and one of the scenario's expectations was not met
constexpr int ExitInterrupted = 130;      // Ctrl+C or SIGTERM: the run stopped, cleaned up, wrote no results

}  // namespace cabhost
