// The per-frame record of a run and its CSV form.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/plugin_driver.h"
#include "interface/host_interface.h"
#include "platform/platform.h"

namespace cabhost {

struct TraceRow {
    host::VehicleState state{};
    int32_t driverReverser = 0, driverPower = 0, driverBrake = 0;
    bool doorsClosed = false;
    host::Handles out{};
    CorvaneView corvane;  // meaningful only when the trace has Corvane's state
};

// One host array over the run: which elements a plug-in wrote, and the changes frame by frame.
struct ArrayLog {
    std::bitset<256> written;
    std::array<int32_t, 256> start{};
    std::vector<std::vector<std::pair<uint8_t, int32_t>>> changes;  // per frame, against the frame before

    // before: the array as the host held it before the frame; after: as the frame left it.
    void record(const std::array<int32_t, 256>& before, const std::array<int32_t, 256>& after,
                const std::bitset<256>& writtenNow);
};

struct Trace {
    bool hasCorvane = false;
    std::vector<TraceRow> rows;
    ArrayLog panel, sound;
};

// The column names, in order: fixed columns, then panel_<i> and sound_<i> for every written element.
std::vector<std::string> traceColumns(const Trace& trace);
// Writes the CSV; false with the reason in error.
bool writeTraceCsv(const Trace& trace, const platform::Path& file, std::string& error);
// Reads a trace that cabhost wrote back into memory (every column it knows; others are ignored).
// False with the reason, naming the file and line, in error.
bool readTraceCsv(const platform::Path& file, Trace& trace, std::string& error);

}  // namespace cabhost
