#include "config/curve_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "config/config_file.h"

namespace config {
namespace {

// No reading of a gauge or a current table comes near this; beyond it, the differences between two
// rows would overflow single precision and the lookup would return nothing useful.
constexpr float MaxCurveMagnitude = 1e12f;

void append(const ConfigFile& file, CurveTable& table, uint32_t column, float x, float y) {
    for (const float v : {x, y}) {
        if (std::fabs(v) > MaxCurveMagnitude) {
            char shown[32];
            std::snprintf(shown, sizeof shown, "%g", static_cast<double>(v));
            file.fail((v == x ? std::string("the row's first field") : "column " + std::to_string(column)) +
                      " lies beyond ±1e12 (" + shown + "); no table value can be that large");
        }
    }
    if (table.points.size() >= MaxCurvePoints) {
        file.fail("column " + std::to_string(column) + " has more than " + std::to_string(MaxCurvePoints) + " rows");
    }
    table.points.push_back({x, y});
}

bool isNeedleTable(std::string_view kind) {
    return kind == "needle table";
}

// What belongs in a row's first field, and in the value columns, in the author's words.
std::string_view expectedX(std::string_view kind) {
    return isNeedleTable(kind) ? "the physical value, the row's first field,"
                               : "the speed in km/h, the row's first field,";
}

std::string_view expectedY(std::string_view kind) {
    return isNeedleTable(kind) ? "the panel value" : "the current in A";
}

void finish(CurveTable& table) {
    // Points with equal x keep their order in the file: the lookup relies on it for steps.
    std::stable_sort(table.points.begin(), table.points.end(),
                     [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; });
    table.points.shrink_to_fit();
}

// Hands every row after the header (always skipped) that is not empty once its comment is gone to
// row(line, fields). False when the file cannot be opened.
template <class Row>
bool forEachRow(ConfigFile& file, Row&& row) {
    if (!file.isOpen()) return false;
    std::u32string_view line;
    std::vector<std::u32string_view> fields;
    if (!file.nextLine(line)) return true;
    while (file.nextLine(line)) {
        if (line.empty()) continue;
        splitFields(line, fields);
        row(line, fields);
    }
    return true;
}

}  // namespace

bool readCurveColumns(const platform::Path& path, const std::vector<uint32_t>& columns, std::vector<CurveTable>& tables,
                      std::string_view kind) {
    tables.clear();
    tables.resize(columns.size());
    ConfigFile file(kind, path);
    const bool opened = forEachRow(file, [&](std::u32string_view, const std::vector<std::u32string_view>& fields) {
        for (size_t i = 0; i < columns.size(); ++i) {
            const uint32_t k = columns[i];
            if (fields.size() <= k || fields[k].empty()) continue;
            const float x = file.number(fields[0], expectedX(kind));
            const float y = file.number(fields[k], expectedY(kind), k);
            append(file, tables[i], k, x, y);
        }
    });
    for (CurveTable& table : tables) finish(table);
    return opened;
}

bool readCurveColumn(const platform::Path& path, uint32_t column, CurveTable& table, std::string_view kind) {
    table.points.clear();
    ConfigFile file(kind, path);
    const bool opened = forEachRow(file, [&](std::u32string_view line, const std::vector<std::u32string_view>& fields) {
        if (fields.size() <= column) {
            if (trim(line).empty()) {
                file.fail("the line holds only blanks; a row needs x and a value in column " + std::to_string(column) +
                          " (delete the blanks to leave the line empty)");
            }
            file.fail(std::to_string(fields.size()) + (fields.size() == 1 ? " field" : " fields") + ", but column " +
                      std::to_string(column) + " needs at least " + std::to_string(uint64_t{column} + 1) +
                      " (x first, then one value per column)");
        }
        if (fields[column].empty()) return;
        const float x = file.number(fields[0], expectedX(kind));
        const float y = file.number(fields[column], expectedY(kind), isNeedleTable(kind) ? 0 : column);
        append(file, table, column, x, y);
    });
    finish(table);
    return opened;
}

}  // namespace config
