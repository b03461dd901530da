// Comma-separated curve files: a header line that is always skipped, then rows of x followed by one
// y per column. Missing files leave the tables empty.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "config/curve_table.h"
#include "platform/platform.h"

namespace config {

// Points one column may hold; a file that would give more is an error rather than an allocation
// that the host process cannot afford.
constexpr size_t MaxCurvePoints = 65536;

// One table per listed column, in the order of the list; a row too short for a column or with an
// empty field there adds nothing to that column. kind names the file in messages. Returns whether
// the file could be opened.
bool readCurveColumns(const platform::Path& path, const std::vector<uint32_t>& columns, std::vector<CurveTable>& tables,
                      std::string_view kind);

// One table from one column; every non-empty row must reach that column.
bool readCurveColumn(const platform::Path& path, uint32_t column, CurveTable& table, std::string_view kind);

}  // namespace config
