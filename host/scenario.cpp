// Scenario files in TOML. Every value is checked for its type and range, and unknown keys are
// errors, so a misspelt key is reported instead of silently doing nothing.
#include "host/scenario.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "config/notch_config.h"
#include "config/text_reader.h"
#include "host/vehicle_folder.h"

#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

namespace cabhost {
namespace {

class Reader {
public:
    explicit Reader(const platform::Path& file) : file_(file), name_(platform::pathToUtf8(file)) {}

    [[noreturn]] void fail(int64_t line, const std::string& text) const {
        std::ostringstream message;
        message << name_;
        if (line > 0) message << ":" << line;
        message << ": " << text;
        throw ScenarioError(message.str());
    }
    [[noreturn]] void fail(const toml::node& node, const std::string& text) const {
        fail(static_cast<int64_t>(node.source().begin.line), text);
    }

    // Rejects every key of the table not in allowed.
    void onlyKeys(const toml::table& table, std::initializer_list<std::string_view> allowed,
                  const std::string& where) const {
        for (const auto& [key, node] : table) {
            bool known = false;
            for (std::string_view a : allowed) known = known || key.str() == a;
            if (!known) {
                std::string list;
                for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
                fail(node,
                     "unknown key \"" + std::string(key.str()) + "\" in " + where + " (known keys: " + list + ")");
            }
        }
    }

    double number(const toml::node& node, const std::string& what, double min, double max) const {
        double value = 0.0;
        if (auto i = node.as_integer()) {
            value = static_cast<double>(i->get());
        } else if (auto f = node.as_floating_point()) {
            value = f->get();
        } else {
            fail(node, what + " must be a number");
        }
        if (!std::isfinite(value) || value < min || value > max) {
            std::ostringstream text;
            text << what << " must lie between " << min << " and " << max << " (found " << value << ")";
            fail(node, text.str());
        }
        return value;
    }

    int32_t integer(const toml::node& node, const std::string& what, int64_t min = INT32_MIN,
                    int64_t max = INT32_MAX) const {
        auto i = node.as_integer();
        if (!i) fail(node, what + " must be a whole number");
        const int64_t value = i->get();
        if (value < min || value > max) {
            fail(node, what + " must lie between " + std::to_string(min) + " and " + std::to_string(max) + " (found " +
                           std::to_string(value) + ")");
        }
        return static_cast<int32_t>(value);
    }

    std::string text(const toml::node& node, const std::string& what) const {
        auto s = node.as_string();
        if (!s) fail(node, what + " must be a text in quotes");
        return s->get();
    }

    bool boolean(const toml::node& node, const std::string& what) const {
        auto b = node.as_boolean();
        if (!b) fail(node, what + " must be true or false");
        return b->get();
    }

    const toml::table& table(const toml::node& node, const std::string& what) const {
        auto t = node.as_table();
        if (!t) fail(node, what + " must be a table");
        return *t;
    }

    // A path written in the file, relative to the file's folder.
    platform::Path path(const toml::node& node, const std::string& what) const {
        const std::string value = text(node, what);
        if (value.empty()) fail(node, what + " is empty");
        platform::Path p = platform::pathFromText(decodeUtf8(value));
        if (p.is_absolute()) return p.lexically_normal();
        return (file_.parent_path() / p).lexically_normal();
    }

private:
    platform::Path file_;
    std::string name_;
};

void readSpec(const Reader& r, const toml::table& t, host::VehicleSpec& spec) {
    r.onlyKeys(t, {"brake_notches", "host_value2", "host_value3", "host_value4", "car_count"}, "[vehicle_spec]");
    if (auto n = t.get("brake_notches")) spec.brakeNotches = r.integer(*n, "brake_notches", 1, 255);
    if (auto n = t.get("host_value2")) spec.hostValue2 = r.integer(*n, "host_value2");
    if (auto n = t.get("host_value3")) spec.hostValue3 = r.integer(*n, "host_value3");
    if (auto n = t.get("host_value4")) spec.hostValue4 = r.integer(*n, "host_value4");
    if (auto n = t.get("car_count")) spec.carCount = r.integer(*n, "car_count", 1, 100);
}

void readClock(const Reader& r, const toml::table& t, FrameClock& clock) {
    r.onlyKeys(t, {"interval_ms", "start_time_ms"}, "[frames]");
    if (auto n = t.get("start_time_ms")) clock.startTimeMs = r.integer(*n, "start_time_ms", 0, 86'400'000);
    const toml::node* interval = t.get("interval_ms");
    if (!interval) return;
    constexpr int64_t MinMs = 1, MaxMs = 1000;
    if (interval->is_integer()) {
        clock.patternMs = {r.integer(*interval, "interval_ms", MinMs, MaxMs)};
    } else if (auto array = interval->as_array()) {
        if (array->empty()) r.fail(*interval, "interval_ms lists no intervals");
        clock.patternMs.clear();
        for (const toml::node& item : *array) clock.patternMs.push_back(r.integer(item, "interval_ms", MinMs, MaxMs));
    } else if (auto spread = interval->as_table()) {
        r.onlyKeys(*spread, {"min", "max", "seed"}, "interval_ms");
        const toml::node* min = spread->get("min");
        const toml::node* max = spread->get("max");
        if (!min || !max) r.fail(*interval, "a random interval_ms needs both min and max");
        clock.randomMinMs = r.integer(*min, "interval_ms.min", MinMs, MaxMs);
        clock.randomMaxMs = r.integer(*max, "interval_ms.max", MinMs, MaxMs);
        if (clock.randomMaxMs < clock.randomMinMs) r.fail(*max, "interval_ms.max is below interval_ms.min");
        if (auto seed = spread->get("seed")) clock.seed = static_cast<uint32_t>(r.integer(*seed, "seed", 0));
    } else {
        r.fail(*interval, "interval_ms must be a number of milliseconds, a list of them, or { min, max, seed }");
    }
}

void readModel(const Reader& r, const toml::table& t, TrainParams& m) {
    struct Field {
        std::string_view key;
        double* value;
        double min, max;
    };
    const Field fields[] = {
        {"mass_t", &m.massT, 1.0, 10000.0},
        {"rotating_mass_factor", &m.rotatingMassFactor, 1.0, 2.0},
        {"effort_kn_per_a", &m.effortKnPerA, 0.0, 100.0},
        {"brake_kn_per_kpa", &m.brakeKnPerKpa, 0.0, 100.0},
        {"resistance_kn", &m.resistanceKn, 0.0, 1000.0},
        {"resistance_kn_per_kmh", &m.resistanceKnPerKmh, 0.0, 100.0},
        {"resistance_kn_per_kmh2", &m.resistanceKnPerKmh2, 0.0, 10.0},
        {"gradient_permille", &m.gradientPermille, -100.0, 100.0},
        {"current_rate_a_per_s", &m.currentRateAPerS, 1.0, 1e6},
        {"regen_fade_kmh", &m.regenFadeKmh, 0.0, 100.0},
        {"service_sap_kpa", &m.serviceSapKpa, 0.0, 1000.0},
        {"sap_rate_kpa_per_s", &m.sapRateKpaPerS, 1.0, 1e5},
        {"bc_lag_s", &m.bcLagS, 0.0, 60.0},
        {"emergency_bc_kpa", &m.emergencyBcKpa, 0.0, 1000.0},
        {"bp_charged_kpa", &m.bpChargedKpa, 0.0, 1000.0},
        {"bp_charge_kpa_per_s", &m.bpChargeKpaPerS, 0.0, 1e5},
        {"bp_vent_kpa_per_s", &m.bpVentKpaPerS, 1.0, 1e5},
        {"mr_cut_in_kpa", &m.mrCutInKpa, 0.0, 2000.0},
        {"mr_cut_out_kpa", &m.mrCutOutKpa, 0.0, 2000.0},
        {"compressor_kpa_per_s", &m.compressorKpaPerS, 0.0, 1000.0},
        {"air_use_per_kpa", &m.airUsePerKpa, 0.0, 10.0},
        {"fallback_max_current_a", &m.fallbackMaxCurrentA, 0.0, 10000.0},
        {"fallback_base_speed_kmh", &m.fallbackBaseSpeedKmh, 1.0, 500.0},
    };
    for (const auto& [key, node] : t) {
        bool known = false;
        for (const Field& f : fields) {
            if (key.str() == f.key) {
                *f.value = r.number(node, std::string(f.key), f.min, f.max);
                known = true;
            }
        }
        if (key.str() == "regen_on_service_brake") {
            m.regenOnServiceBrake = r.boolean(node, "regen_on_service_brake");
            known = true;
        }
        if (!known) r.fail(node, "unknown key \"" + std::string(key.str()) + "\" in [model]");
    }
    if (m.mrCutOutKpa < m.mrCutInKpa) r.fail(t, "mr_cut_out_kpa is below mr_cut_in_kpa");
}

host::BeaconData readBeacon(const Reader& r, const toml::node& node) {
    const toml::table& t = r.table(node, "beacon");
    r.onlyKeys(t, {"type", "signal", "optional", "extra"}, "beacon");
    host::BeaconData b{};
    const toml::node* type = t.get("type");
    if (!type) r.fail(node, "a beacon needs a type");
    b.type = r.integer(*type, "beacon type");
    if (auto n = t.get("signal")) b.signal = r.integer(*n, "beacon signal");
    if (auto n = t.get("optional")) b.optional = r.integer(*n, "beacon optional");
    if (auto n = t.get("extra")) b.extraFloat = static_cast<float>(r.number(*n, "beacon extra", -1e30, 1e30));
    return b;
}

std::vector<int32_t> readKeys(const Reader& r, const toml::node& node, const std::string& what) {
    std::vector<int32_t> keys;
    if (auto array = node.as_array()) {
        for (const toml::node& item : *array) keys.push_back(r.integer(item, what, 0, 255));
    } else {
        keys.push_back(r.integer(node, what, 0, 255));
    }
    return keys;
}

// [min, max], or one number for exactly that value.
void readBounds(const Reader& r, const toml::node& node, const std::string& what, double limit, Expectation& e) {
    if (auto array = node.as_array()) {
        if (array->size() != 2) r.fail(node, what + " is written [lowest, highest] or as one number");
        e.min = r.number(*array->get(0), what, -limit, limit);
        e.max = r.number(*array->get(1), what, -limit, limit);
        if (e.min > e.max) r.fail(node, what + ": the lowest value comes first");
    } else {
        e.min = e.max = r.number(node, what, -limit, limit);
    }
}

Expectation readExpect(const Reader& r, const toml::table& t, double durationS) {
    Expectation e;
    e.line = static_cast<int>(t.source().begin.line);
    r.onlyKeys(t,
               {"label", "speed_kmh", "at_s", "reach_kmh", "within_s", "panel", "value", "from_s", "to_s", "mode",
                "plugin_brake", "sound", "by_s"},
               "[[expect]]");
    constexpr double Forever = 1e7;
    if (auto n = t.get("label")) e.label = r.text(*n, "label");
    const char* const kinds[] = {"speed_kmh", "reach_kmh", "panel", "mode", "plugin_brake", "sound"};
    const toml::node* what = nullptr;
    std::string key;
    for (const char* k : kinds) {
        const toml::node* n = t.get(k);
        if (n && what)
            r.fail(*n, "an expectation checks one thing (speed_kmh, reach_kmh, panel, mode, plugin_brake or sound)");
        if (n) what = n, key = k;
    }
    if (!what) r.fail(e.line, "an expectation needs one of speed_kmh, reach_kmh, panel, mode, plugin_brake or sound");
    auto need = [&](const char* k) -> const toml::node& {
        const toml::node* n = t.get(k);
        if (!n) r.fail(e.line, "the expectation's " + key + " needs " + k);
        return *n;
    };
    e.byS = durationS;
    if (auto n = t.get("by_s")) e.byS = r.number(*n, "by_s", 0.0, Forever);
    if (key == "speed_kmh") {
        e.kind = ExpectKind::SpeedAt;
        readBounds(r, *what, "speed_kmh", 1000.0, e);
        e.atS = r.number(need("at_s"), "at_s", 0.0, Forever);
    } else if (key == "reach_kmh") {
        e.kind = ExpectKind::ReachSpeed;
        e.speedKmh = r.number(*what, "reach_kmh", 0.0, 1000.0);
        e.min = 0.0, e.max = Forever;
        if (auto n = t.get("within_s")) readBounds(r, *n, "within_s", Forever, e);
    } else if (key == "panel") {
        e.index = r.integer(*what, "panel", 0, host::PanelArraySize - 1);
        readBounds(r, need("value"), "value", 2147483647.0, e);
        if (t.get("at_s")) {
            e.kind = ExpectKind::PanelAt;
            e.atS = r.number(*t.get("at_s"), "at_s", 0.0, Forever);
        } else {
            e.kind = ExpectKind::PanelOver;
            e.fromS = r.number(need("from_s"), "from_s", 0.0, Forever);
            e.toS = r.number(need("to_s"), "to_s", e.fromS, Forever);
        }
    } else if (key == "mode") {
        e.kind = ExpectKind::ModeReached;
        e.index = r.integer(*what, "mode", 0, 1000);
    } else if (key == "plugin_brake") {
        e.kind = ExpectKind::PluginBrake;
        e.index = r.integer(*what, "plugin_brake", 1, 256);
    } else {
        e.kind = ExpectKind::SoundStarted;
        e.index = r.integer(*what, "sound", 0, host::SoundArraySize - 1);
    }
    return e;
}

Event readEvent(const Reader& r, const toml::table& t) {
    Event e;
    e.line = static_cast<int>(t.source().begin.line);
    r.onlyKeys(t,
               {"time", "after", "speed_above", "speed_below", "location", "label", "door", "reverser", "brake",
                "power", "key_down", "key_up", "shift", "key_state", "horn", "signal", "beacon"},
               "[[event]]");
    int triggers = 0;
    auto trigger = [&](std::string_view key, Trigger kind, double min, double max) {
        if (auto n = t.get(key)) {
            ++triggers;
            if (triggers > 1)
                r.fail(*n, "an event has one condition (time, after, speed_above, speed_below or location)");
            e.trigger = kind;
            e.value = r.number(*n, std::string(key), min, max);
        }
    };
    trigger("time", Trigger::Time, 0.0, 1e7);
    trigger("after", Trigger::After, 0.0, 1e7);
    trigger("speed_above", Trigger::SpeedAbove, 0.0, 1000.0);
    trigger("speed_below", Trigger::SpeedBelow, 0.0, 1000.0);
    trigger("location", Trigger::Location, -1e9, 1e9);

    if (auto n = t.get("label")) e.label = r.text(*n, "label");
    if (auto n = t.get("door")) {
        const std::string door = r.text(*n, "door");
        if (door == "open") {
            e.doorsClosed = false;
        } else if (door == "close" || door == "closed") {
            e.doorsClosed = true;
        } else {
            r.fail(*n, "door must be \"open\" or \"close\"");
        }
    }
    if (auto n = t.get("reverser")) e.reverser = r.integer(*n, "reverser", -1, 1);
    if (auto n = t.get("brake")) e.brake = r.integer(*n, "brake", 0, 256);
    // As many power notches as a vehicle may have, so that what `new` writes always runs.
    if (auto n = t.get("power")) e.power = r.integer(*n, "power", -16, static_cast<int64_t>(config::MaxNotchCount));
    if (auto n = t.get("shift")) e.keyStates.push_back({platform::VirtualKeyShift, r.boolean(*n, "shift")});
    if (auto n = t.get("key_state")) {
        const toml::table& ks = r.table(*n, "key_state");
        r.onlyKeys(ks, {"virtual_key", "down"}, "key_state");
        const toml::node* vk = ks.get("virtual_key");
        const toml::node* down = ks.get("down");
        if (!vk || !down) r.fail(*n, "key_state needs virtual_key and down");
        e.keyStates.push_back({r.integer(*vk, "virtual_key", 0, 255), r.boolean(*down, "down")});
    }
    if (auto n = t.get("key_down")) e.keysDown = readKeys(r, *n, "key_down");
    if (auto n = t.get("key_up")) e.keysUp = readKeys(r, *n, "key_up");
    if (auto n = t.get("horn")) e.horn = r.integer(*n, "horn", 0, 255);
    if (auto n = t.get("signal")) e.signal = r.integer(*n, "signal", 0, 255);
    if (auto n = t.get("beacon")) {
        if (auto array = n->as_array()) {
            for (const toml::node& item : *array) e.beacons.push_back(readBeacon(r, item));
        } else {
            e.beacons.push_back(readBeacon(r, *n));
        }
    }
    return e;
}

}  // namespace

Scenario parseScenario(std::string_view text, const platform::Path& file) {
    const Reader r(file);
    toml::table root;
    try {
        root = toml::parse(text, platform::pathToUtf8(file));
    } catch (const toml::parse_error& error) {
        r.fail(static_cast<int64_t>(error.source().begin.line), std::string(error.description()));
    }

    Scenario s;
    s.file = file;
    r.onlyKeys(root,
               {"title", "vehicle", "chain", "duration_s", "initialize", "start_location_m", "start_speed_kmh",
                "replay", "vehicle_spec", "frames", "model", "event", "expect"},
               "the scenario");
    if (auto n = root.get("title")) s.title = r.text(*n, "title");
    if (auto n = root.get("vehicle")) s.vehicle = r.path(*n, "vehicle");
    if (auto n = root.get("replay")) s.replay = r.path(*n, "replay");
    if (auto n = root.get("chain")) {
        auto array = n->as_array();
        if (!array) r.fail(*n, "chain must be a list of library paths");
        s.chain.emplace();
        for (const toml::node& item : *array) s.chain->push_back(r.path(item, "chain"));
    }
    if (auto n = root.get("initialize")) s.initializeValue = r.integer(*n, "initialize");
    if (auto n = root.get("start_location_m")) s.startLocationM = r.number(*n, "start_location_m", -1e9, 1e9);
    if (auto n = root.get("start_speed_kmh")) s.startSpeedKmh = r.number(*n, "start_speed_kmh", -500.0, 500.0);
    if (auto n = root.get("duration_s")) {
        s.durationS = r.number(*n, "duration_s", 0.001, 86400.0);
    } else if (!s.replay) {
        r.fail(1, "the scenario needs duration_s (seconds to run)");
    }
    if (auto n = root.get("vehicle_spec")) readSpec(r, r.table(*n, "[vehicle_spec]"), s.spec);
    if (auto n = root.get("frames")) readClock(r, r.table(*n, "[frames]"), s.clock);
    if (auto n = root.get("model")) readModel(r, r.table(*n, "[model]"), s.model);
    if (auto n = root.get("duration_s")) {
        int32_t shortest = s.clock.randomMaxMs > 0 ? s.clock.randomMinMs : s.clock.patternMs.front();
        for (int32_t ms : s.clock.patternMs) shortest = s.clock.randomMaxMs > 0 ? shortest : std::min(shortest, ms);
        const double frames = s.durationS * 1000.0 / std::max(shortest, 1);
        if (frames > static_cast<double>(MaxFrames)) {
            r.fail(*n, "the run would take " + std::to_string(static_cast<int64_t>(frames)) + " frames; at most " +
                           std::to_string(MaxFrames) + " (shorten duration_s or lengthen interval_ms)");
        }
    }
    if (auto n = root.get("event")) {
        auto array = n->as_array();
        if (!array) r.fail(*n, "events are written as [[event]] tables");
        for (const toml::node& item : *array) s.events.push_back(readEvent(r, r.table(item, "[[event]]")));
    }
    if (auto n = root.get("expect")) {
        auto array = n->as_array();
        if (!array) r.fail(*n, "expectations are written as [[expect]] tables");
        const double end = s.durationS > 0.0 ? s.durationS : 1e7;
        for (const toml::node& item : *array) s.expectations.push_back(readExpect(r, r.table(item, "[[expect]]"), end));
    }
    return s;
}

Scenario loadScenario(const platform::Path& file) {
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        throw ScenarioError(platform::pathToUtf8(file) + ": is a folder, not a scenario file");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ScenarioError(platform::pathToUtf8(file) + ": cannot open the scenario file");
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw ScenarioError(platform::pathToUtf8(file) + ": cannot read the scenario file");
    std::string text = content.str();
    if (config::looksLikeUtf16(text)) throw ScenarioError(platform::pathToUtf8(file) + ": " + config::Utf16Advice);
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    return parseScenario(text, file);
}

namespace {

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : line) {
        if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else if (c != '\r' && c != '"') {
            field += c;
        }
    }
    fields.push_back(field);
    for (std::string& f : fields) {
        while (!f.empty() && (f.back() == ' ' || f.back() == '\t')) f.pop_back();
        size_t start = f.find_first_not_of(" \t");
        f = start == std::string::npos ? std::string() : f.substr(start);
    }
    return fields;
}

}  // namespace

std::vector<host::VehicleState> loadReplay(const platform::Path& file) {
    const Reader r(file);
    std::ifstream in(file, std::ios::binary);
    if (!in) r.fail(0, "cannot open the recorded states");
    std::string line;
    if (!std::getline(in, line))
        r.fail(1, "the recorded states are empty (a header row naming the columns comes first)");
    if (config::looksLikeUtf16(line)) r.fail(0, config::Utf16Advice);
    if (line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    const std::vector<std::string> header = splitCsv(line);
    const char* names[] = {"time_ms", "location_m", "speed_kmh", "bc_kpa",   "mr_kpa",
                           "er_kpa",  "bp_kpa",     "sap_kpa",   "current_a"};
    int column[9];
    for (int k = 0; k < 9; ++k) {
        column[k] = -1;
        for (size_t i = 0; i < header.size(); ++i) {
            if (header[i] == names[k]) column[k] = static_cast<int>(i);
        }
        if (column[k] < 0 && k < 3) r.fail(1, std::string("the header has no column ") + names[k]);
    }
    std::vector<host::VehicleState> states;
    int64_t lineNumber = 1;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (line.empty() || line == "\r") continue;
        const std::vector<std::string> fields = splitCsv(line);
        double values[9] = {};
        for (int k = 0; k < 9; ++k) {
            if (column[k] < 0) continue;
            if (static_cast<size_t>(column[k]) >= fields.size()) {
                r.fail(lineNumber, std::string("the row has no value for ") + names[k]);
            }
            const std::string& f = fields[column[k]];
            char* end = nullptr;
            values[k] = std::strtod(f.c_str(), &end);
            if (f.empty() || *end != '\0' || !std::isfinite(values[k])) {
                r.fail(lineNumber, std::string(names[k]) + " is not a number: \"" + f + "\"");
            }
        }
        if (values[0] < INT32_MIN || values[0] > INT32_MAX) r.fail(lineNumber, "time_ms is out of range");
        // The plug-ins read single-precision values: larger ones would arrive as infinity.
        for (int k = 1; k < 9; ++k) {
            if (k != 1 && std::fabs(values[k]) > std::numeric_limits<float>::max()) {
                r.fail(lineNumber, std::string(names[k]) + " is out of range: \"" + fields[column[k]] + "\"");
            }
        }
        host::VehicleState s{};
        s.time = static_cast<int32_t>(values[0]);
        s.location = values[1];
        s.speed = static_cast<float>(values[2]);
        s.bcPressure = static_cast<float>(values[3]);
        s.mrPressure = static_cast<float>(values[4]);
        s.erPressure = static_cast<float>(values[5]);
        s.bpPressure = static_cast<float>(values[6]);
        s.sapPressure = static_cast<float>(values[7]);
        s.current = static_cast<float>(values[8]);
        if (!states.empty() && s.time < states.back().time) {
            r.fail(lineNumber, "time_ms goes back (" + std::to_string(s.time) + " after " +
                                   std::to_string(states.back().time) + ")");
        }
        states.push_back(s);
        if (static_cast<int64_t>(states.size()) > MaxFrames) {
            r.fail(lineNumber, "more than " + std::to_string(MaxFrames) + " recorded frames");
        }
    }
    if (states.empty()) r.fail(lineNumber, "the recorded states hold no rows");
    return states;
}

std::string triggerText(const Event& e) {
    std::ostringstream t;
    switch (e.trigger) {
        case Trigger::Immediately: t << "right after the event before it"; break;
        case Trigger::Time: t << "at " << e.value << " s"; break;
        case Trigger::After: t << e.value << " s after the event before it"; break;
        case Trigger::SpeedAbove: t << "at " << e.value << " km/h or more"; break;
        case Trigger::SpeedBelow: t << "at " << e.value << " km/h or less"; break;
        case Trigger::Location: t << "at " << e.value << " m"; break;
    }
    return t.str();
}

std::string scenarioTitle(const Scenario& sc) {
    return sc.title.empty() ? platform::pathToUtf8(sc.file.filename()) : sc.title;
}

}  // namespace cabhost
