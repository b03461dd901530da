#include "host/trace.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>
#include <tuple>

#include "platform/host.h"

namespace cabhost {

void ArrayLog::record(const std::array<int32_t, 256>& before, const std::array<int32_t, 256>& after,
                      const std::bitset<256>& writtenNow) {
    if (changes.empty()) start = before;
    written |= writtenNow;
    std::vector<std::pair<uint8_t, int32_t>> frame;
    for (int i = 0; i < 256; ++i) {
        if (after[i] != before[i]) frame.emplace_back(static_cast<uint8_t>(i), after[i]);
    }
    changes.push_back(std::move(frame));
}

namespace {

// Fields with their leading separator. Floats keep every digit (9 significant digits for a float,
// 17 for a double, as "%.9g" and "%.17g" print them, so a trace replays bit for bit), formatted by
// the standard library's own conversion: the C runtimes' printf differ between platforms.
void appendChars(std::string& line, const char* first, const char* last) {
    line += ',';
    line.append(first, last);
}

void appendInt(std::string& line, int32_t value) {
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, value);
    appendChars(line, text, result.ptr);
}

void appendFloat(std::string& line, float value) {
    char text[48];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9);
    appendChars(line, text, result.ptr);
}

void appendDouble(std::string& line, double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 17);
    appendChars(line, text, result.ptr);
}

const char* const FixedColumns[] = {
    "time_ms",      "location_m",   "speed_kmh", "driver_reverser", "driver_power", "driver_brake",
    "doors_closed", "out_reverser", "out_power", "out_brake",       "current_a",    "bc_kpa",
    "mr_kpa",       "er_kpa",       "bp_kpa",    "sap_kpa",
};
const char* const CorvaneColumns[] = {
    "pulse_mode",     "voltage_ratio",   "motor_speed_kmh", "motor_current_a",
    "line_voltage_v", "effective_notch", "hold_flag",       "displayed_sap_kpa",
};

}  // namespace

std::vector<std::string> traceColumns(const Trace& t) {
    std::vector<std::string> columns(std::begin(FixedColumns), std::end(FixedColumns));
    if (t.hasCorvane) columns.insert(columns.end(), std::begin(CorvaneColumns), std::end(CorvaneColumns));
    for (int i = 0; i < 256; ++i) {
        if (t.panel.written[i]) columns.push_back("panel_" + std::to_string(i));
    }
    for (int i = 0; i < 256; ++i) {
        if (t.sound.written[i]) columns.push_back("sound_" + std::to_string(i));
    }
    return columns;
}

bool writeTraceCsv(const Trace& t, const platform::Path& file, std::string& error) {
    std::FILE* out = platform::hostOpenBinaryFileForWriting(file);
    if (!out) {
        error = "cannot create " + platform::pathToUtf8(file);
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(out, std::fclose);
    const std::vector<std::string> columns = traceColumns(t);
    for (size_t i = 0; i < columns.size(); ++i) std::fprintf(out, "%s%s", i ? "," : "", columns[i].c_str());
    std::fputc('\n', out);

    std::array<int32_t, 256> panel = t.panel.start, sound = t.sound.start;
    std::string line;
    for (size_t k = 0; k < t.rows.size(); ++k) {
        const TraceRow& r = t.rows[k];
        if (k < t.panel.changes.size()) {
            for (auto [i, v] : t.panel.changes[k]) panel[i] = v;
        }
        if (k < t.sound.changes.size()) {
            for (auto [i, v] : t.sound.changes[k]) sound[i] = v;
        }
        const host::VehicleState& s = r.state;
        line.clear();
        appendInt(line, s.time);
        appendDouble(line, s.location);
        appendFloat(line, s.speed);
        for (int32_t v : {r.driverReverser, r.driverPower, r.driverBrake, r.doorsClosed ? 1 : 0, r.out.reverser,
                          r.out.power, r.out.brake}) {
            appendInt(line, v);
        }
        for (float v : {s.current, s.bcPressure, s.mrPressure, s.erPressure, s.bpPressure, s.sapPressure}) {
            appendFloat(line, v);
        }
        if (t.hasCorvane) {
            const CorvaneView& c = r.corvane;
            appendInt(line, c.pulseMode);
            for (float v : {c.voltageRatio, c.motorSpeed, c.motorCurrent, c.lineVoltage}) appendFloat(line, v);
            appendInt(line, c.effectiveNotch);
            appendInt(line, c.holdFlag ? 1 : 0);
            appendFloat(line, c.displayedSap);
        }
        for (int i = 0; i < 256; ++i) {
            if (t.panel.written[i]) appendInt(line, panel[i]);
        }
        for (int i = 0; i < 256; ++i) {
            if (t.sound.written[i]) appendInt(line, sound[i]);
        }
        line += '\n';
        std::fwrite(line.data() + 1, 1, line.size() - 1, out);  // without the first field's separator
    }
    if (std::ferror(out)) {
        error = "cannot write " + platform::pathToUtf8(file) + " (disk full?)";
        return false;
    }
    if (std::fclose(closer.release()) != 0) {
        error = "cannot finish writing " + platform::pathToUtf8(file);
        return false;
    }
    return true;
}

namespace {

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

template <typename T>
bool parseField(std::string_view field, T& value) {
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value);
    return result.ec == std::errc() && result.ptr == field.data() + field.size();
}

}  // namespace

bool readTraceCsv(const platform::Path& file, Trace& t, std::string& error) {
    const std::string name = platform::pathToUtf8(file);
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot open " + name;
        return false;
    }
    t = Trace{};
    std::string headerLine, line;
    std::getline(in, headerLine);
    if (!headerLine.empty() && headerLine.back() == '\r') headerLine.pop_back();
    const std::vector<std::string_view> header = splitFields(headerLine);
    const auto columnOf = [&](std::string_view key) {
        const auto found = std::find(header.begin(), header.end(), key);
        return found == header.end() ? -1 : static_cast<int>(found - header.begin());
    };
    t.hasCorvane = columnOf(CorvaneColumns[0]) >= 0;
    std::vector<int> columnAt;
    for (const char* key : FixedColumns) columnAt.push_back(columnOf(key));
    if (t.hasCorvane) {
        for (const char* key : CorvaneColumns) columnAt.push_back(columnOf(key));
    }
    for (size_t k = 0; k < columnAt.size(); ++k) {
        if (columnAt[k] < 0) {
            error = name + ":1: not a trace written by cabhost: the header has no column " +
                    (k < std::size(FixedColumns) ? FixedColumns[k] : CorvaneColumns[k - std::size(FixedColumns)]);
            return false;
        }
    }
    std::vector<std::pair<int, int>> panelColumns, soundColumns;  // (column, element)
    for (size_t c = 0; c < header.size(); ++c) {
        for (auto [prefix, list, log] : {std::tuple{std::string_view("panel_"), &panelColumns, &t.panel},
                                         std::tuple{std::string_view("sound_"), &soundColumns, &t.sound}}) {
            int element = 0;
            if (header[c].substr(0, prefix.size()) == prefix && parseField(header[c].substr(prefix.size()), element) &&
                element >= 0 && element < 256) {
                list->emplace_back(static_cast<int>(c), element);
                log->written.set(element);
            }
        }
    }
    std::array<int32_t, 256> panel{}, sound{};
    int64_t lineNumber = 1;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::vector<std::string_view> fields = splitFields(line);
        bool ok = fields.size() == header.size();
        // The fixed columns, then Corvane's, in the order they are written.
        size_t next = 0;
        const auto number = [&](auto& value) { ok = ok && parseField(fields[columnAt[next++]], value); };
        TraceRow r;
        host::VehicleState& s = r.state;
        int32_t doors = 0, hold = 0;
        number(s.time);
        number(s.location);
        number(s.speed);
        for (int32_t* v :
             {&r.driverReverser, &r.driverPower, &r.driverBrake, &doors, &r.out.reverser, &r.out.power, &r.out.brake})
            number(*v);
        for (float* v : {&s.current, &s.bcPressure, &s.mrPressure, &s.erPressure, &s.bpPressure, &s.sapPressure})
            number(*v);
        r.doorsClosed = doors != 0;
        if (t.hasCorvane) {
            CorvaneView& c = r.corvane;
            number(c.pulseMode);
            for (float* v : {&c.voltageRatio, &c.motorSpeed, &c.motorCurrent, &c.lineVoltage}) number(*v);
            number(c.effectiveNotch);
            number(hold);
            number(c.displayedSap);
            c.holdFlag = hold != 0;
        }
        std::array<int32_t, 256> panelNow = panel, soundNow = sound;
        for (auto& [columns, values] : {std::pair{&panelColumns, &panelNow}, std::pair{&soundColumns, &soundNow}}) {
            for (auto [column, element] : *columns) {
                if (ok) ok = parseField(fields[column], (*values)[element]);
            }
        }
        // A state beyond the numbers a run can hold (infinity, not a number) is no state of a run.
        ok = ok && std::isfinite(s.location) && std::isfinite(s.speed);
        if (!ok) {
            error = name + ":" + std::to_string(lineNumber) + ": not a row of a trace written by cabhost";
            return false;
        }
        if (t.rows.empty()) panel = panelNow, sound = soundNow;
        t.panel.record(panel, panelNow, {});
        t.sound.record(sound, soundNow, {});
        panel = panelNow;
        sound = soundNow;
        t.rows.push_back(r);
        if (t.rows.size() > 1'000'000) {
            error = name + ":" + std::to_string(lineNumber) + ": more rows than a run holds";
            return false;
        }
    }
    if (t.rows.empty()) {
        error = name + ": the trace holds no rows";
        return false;
    }
    return true;
}

}  // namespace cabhost
