// A scripted run of the stand-in host: the vehicle, the host's records, the frame clock, the train
// model's parameters and a timeline of host calls, read from a TOML file.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/expectations.h"
#include "host/train_model.h"
#include "interface/host_interface.h"
#include "platform/platform.h"

namespace cabhost {

// A problem in a scenario or replay file; the message starts with "file:line: ".
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What makes a timeline event fire. Events fire in file order: an event waits until the one
// before it has fired and then until its own condition holds.
enum class Trigger {
    Immediately,  // together with the event before it
    Time,         // host clock (from the start of the run) reaches value seconds
    After,        // value seconds after the event before it fired
    SpeedAbove,   // |speed| >= value km/h
    SpeedBelow,   // |speed| <= value km/h
    Location,     // the train has passed value metres
};

struct KeyState {
    int32_t virtualKey = 0;
    bool down = false;
};

// One point of the timeline; every call it names is made between two frames, in the order of the fields.
struct Event {
    int line = 0;  // of the [[event]] header, for messages
    Trigger trigger = Trigger::Immediately;
    double value = 0.0;
    std::string label;
    std::optional<bool> doorsClosed;
    std::optional<int32_t> reverser, brake, power;
    std::vector<KeyState> keyStates;  // platform key state (Shift, P, ...) for the plug-ins
    std::vector<int32_t> keysDown, keysUp;
    std::optional<int32_t> horn, signal;
    std::vector<host::BeaconData> beacons;
};

// The host's frame clock: fixed, a repeating pattern, or a seeded random spread.
struct FrameClock {
    std::vector<int32_t> patternMs{20};  // repeated in order when randomMaxMs is 0
    int32_t randomMinMs = 0, randomMaxMs = 0;
    uint32_t seed = 1;
    int32_t startTimeMs = 0;  // host clock before the first frame; the first frame comes one interval later
};

struct Scenario {
    platform::Path file;
    std::string title;
    std::optional<platform::Path> vehicle;  // as written, resolved against the scenario's folder
    host::VehicleSpec spec{8, 0, 0, 0, 4};
    int32_t initializeValue = 0;
    FrameClock clock;
    double durationS = 0.0;
    double startLocationM = 0.0;
    double startSpeedKmh = 0.0;
    TrainParams model;
    std::optional<platform::Path> replay;  // recorded states replace the model
    // Libraries chained to linked-in Corvane for this run in place of the vehicle's detailmodules.txt
    // (a vehicle's own list often names Windows libraries that cannot load here).
    std::optional<std::vector<platform::Path>> chain;
    std::vector<Event> events;
    std::vector<Expectation> expectations;
};

// A run holds its whole trace in memory; this many frames (about 5.5 hours at 20 ms) is the most.
constexpr int64_t MaxFrames = 1'000'000;

// Reads and checks a scenario file; throws ScenarioError naming the file and line.
Scenario loadScenario(const platform::Path& file);
// The same from text; file only names the source in messages and anchors relative paths.
Scenario parseScenario(std::string_view text, const platform::Path& file);

// A recorded run: one vehicle state per frame, from a CSV file with a header row naming the columns
// (a trace written by cabhost serves). Throws ScenarioError.
std::vector<host::VehicleState> loadReplay(const platform::Path& file);

std::string triggerText(const Event& event);
// The scenario's title, or its file's name when it has none.
std::string scenarioTitle(const Scenario& scenario);

}  // namespace cabhost
