#include "host/trace.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <memory>

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

}  // namespace cabhost
