#include "config/notch_config.h"

#include <cmath>
#include <string>

#include "config/config_error.h"
#include "config/config_file.h"
#include "config/curve_file.h"

namespace config {
namespace {

constexpr std::u32string_view RequiredNotchUp = U"RequiredNotch_Up";
constexpr std::u32string_view JerkRegulationDown = U"JerkRegulation_Down";
constexpr std::u32string_view LimitingValueEmpty = U"CurrentLimitingValue_Empty";
constexpr std::u32string_view LimitingValueFull = U"CurrentLimitingValue_Full";

constexpr std::string_view NotchFileKind = "notch definition file";
constexpr std::string_view PowerParamsKind = "power parameter file";
constexpr std::string_view BrakeParamsKind = "brake parameter file";

const CurveTable emptyTable;

const CurveTable& clampedTable(const std::vector<CurveTable>& tables, int index) {
    if (tables.empty()) return emptyTable;
    if (index < 0) return tables.front();
    if (static_cast<size_t>(index) >= tables.size()) return tables.back();
    return tables[static_cast<size_t>(index)];
}

// Sets the six paths; returns whether the file could be opened.
bool readNotchFile(NotchConfig& config, const platform::Path& notchFile) {
    // Lines before the first section header belong to no section, also on a second load.
    config.section = 0;
    ConfigFile file(NotchFileKind, notchFile);
    if (!file.isOpen()) return false;
    platform::Path directory = notchFile;
    directory.remove_filename();

    std::u32string_view line;
    while (file.nextLine(line)) {
        const std::u32string_view text = trim(line);
        if (text.empty()) continue;
        if (equalsIgnoringCase(text, U"[Power]")) {
            config.section = 1;
            continue;
        }
        if (equalsIgnoringCase(text, U"[Brake]")) {
            config.section = 2;
            continue;
        }
        const size_t equals = text.find(U'=');
        if (equals == std::u32string_view::npos) continue;
        const std::u32string_view key = trim(text.substr(0, equals));
        const std::u32string_view value = trim(text.substr(equals + 1));

        platform::Path* target = nullptr;
        if (config.section == 1) {
            if (equalsIgnoringCase(key, U"Params")) target = &config.powerParamsPath;
            if (equalsIgnoringCase(key, U"Current")) target = &config.powerCurrentPath;
            if (equalsIgnoringCase(key, U"NoLoadCurrent")) target = &config.powerNoLoadCurrentPath;
        } else if (config.section == 2) {
            if (equalsIgnoringCase(key, U"Params")) target = &config.brakeParamsPath;
            if (equalsIgnoringCase(key, U"MaxCurrent")) target = &config.brakeMaxCurrentPath;
            if (equalsIgnoringCase(key, U"NoLoadCurrent")) target = &config.brakeNoLoadCurrentPath;
        }
        if (target) *target = platform::joinPath(directory, value);
    }
    return true;
}

// A parameter file that must be read: an error names the file, or says why none is named.
void requireOpen(const ConfigFile& file, const platform::Path& path, std::string_view section,
                 const platform::Path& notchFile, bool notchFileOpened) {
    if (file.isOpen()) return;
    const std::string notchName = std::string(NotchFileKind) + " \"" + platform::pathToUtf8(notchFile) + "\"";
    if (path.empty() && !notchFileOpened) {
        throw ConfigError(notchName + " cannot be opened, so no " +
                          std::string(section == "[Power]" ? PowerParamsKind : BrakeParamsKind) + " is named");
    }
    if (path.empty()) {
        throw ConfigError(notchName + " has no Params line in its " + std::string(section) + " section");
    }
    throw ConfigError(file.name() + " cannot be opened (named by Params in the " + std::string(section) +
                      " section of the notch definition file)");
}

uint32_t notchCount(const ConfigFile& file, const std::vector<std::u32string_view>& fields, std::string_view side) {
    const size_t count = fields.size() - 1;
    if (count == 0) {
        file.fail("RequiredNotch_Up lists no " + std::string(side) +
                  " notches (one value per notch must follow the keyword, separated by commas)");
    }
    if (count > MaxNotchCount) {
        file.fail("RequiredNotch_Up lists " + std::to_string(count) + " " + std::string(side) + " notches; at most " +
                  std::to_string(MaxNotchCount) + " are possible");
    }
    return static_cast<uint32_t>(count);
}

void readPowerNotchCount(NotchConfig& config, const platform::Path& notchFile, bool notchFileOpened) {
    ConfigFile file(PowerParamsKind, config.powerParamsPath);
    requireOpen(file, config.powerParamsPath, "[Power]", notchFile, notchFileOpened);
    std::u32string_view line;
    std::vector<std::u32string_view> fields;
    while (file.nextLine(line)) {
        const std::u32string_view text = trim(line);
        if (!startsWith(text, RequiredNotchUp)) continue;
        splitFields(text, fields);
        config.powerNotchCount = notchCount(file, fields, "power");
        config.powerCurrent.assign(config.powerNotchCount, CurveTable{});
        config.powerNoLoadCurrent.assign(config.powerNotchCount, CurveTable{});
        return;
    }
    throw ConfigError(file.name() + ": no RequiredNotch_Up line (it gives the number of power notches)");
}

float limitingValue(const ConfigFile& file, const std::vector<std::u32string_view>& fields,
                    std::u32string_view keyword) {
    if (fields.size() < 2) file.fail(toUtf8(keyword) + " needs a value after the keyword, separated by a comma");
    // Scaled in double precision so that whole pascals give whole kilopascals (250000 gives 250, not
    // the 250.00002 of a single-precision product).
    return static_cast<float>(static_cast<double>(file.number(fields[1], "the limiting value in Pa")) * 0.001);
}

void readBrakeNotchCount(NotchConfig& config, const platform::Path& notchFile, bool notchFileOpened) {
    ConfigFile file(BrakeParamsKind, config.brakeParamsPath);
    int64_t countLine = 0;  // the line that counts: the last one
    if (file.isOpen()) {
        std::u32string_view line;
        std::vector<std::u32string_view> fields;
        while (file.nextLine(line)) {
            const std::u32string_view text = trim(line);
            if (startsWith(text, RequiredNotchUp)) {
                splitFields(text, fields);
                config.brakeNotchCount = notchCount(file, fields, "brake");
                config.brakeReferenceSpeed =
                    file.number(fields.back(), "the brake reference speed in km/h, the line's last value,");
                countLine = file.lineNumber();
            } else if (startsWith(text, LimitingValueEmpty)) {
                splitFields(text, fields);
                config.limitValueEmpty = limitingValue(file, fields, LimitingValueEmpty);
            } else if (startsWith(text, LimitingValueFull)) {
                splitFields(text, fields);
                config.limitValueFull = limitingValue(file, fields, LimitingValueFull);
            }
        }
    }
    // A file without the count line keeps the count of an earlier load; with none at all the brake
    // tables that every frame reads would not exist.
    if (config.brakeNotchCount >= MinBrakeNotchCount) return;
    requireOpen(file, config.brakeParamsPath, "[Brake]", notchFile, notchFileOpened);
    if (countLine == 0) {
        throw ConfigError(file.name() + ": no RequiredNotch_Up line (it gives the number of brake notches)");
    }
    throw ConfigError(file.name() + " line " + std::to_string(countLine) + ": RequiredNotch_Up lists " +
                      std::to_string(config.brakeNotchCount) + " brake notches; at least " +
                      std::to_string(MinBrakeNotchCount) +
                      " are needed, because the electric brake reads the current tables of brake notches 6 and 8");
}

float readJerk(std::string_view kind, const platform::Path& path, std::string_view section,
               const platform::Path& notchFile, bool notchFileOpened) {
    ConfigFile file(kind, path);
    requireOpen(file, path, section, notchFile, notchFileOpened);
    std::u32string_view line;
    std::vector<std::u32string_view> fields;
    while (file.nextLine(line)) {
        const std::u32string_view text = trim(line);
        if (!startsWith(text, JerkRegulationDown)) continue;
        splitFields(text, fields);
        if (fields.size() < 2) file.fail("JerkRegulation_Down has no value after the keyword: invalid stof argument");
        return file.number(fields.back(), "the load current in A, the line's last value,");
    }
    throw ConfigError(file.name() + ": no JerkRegulation_Down line");
}

std::vector<uint32_t> columnList(uint32_t count) {
    std::vector<uint32_t> columns(count);
    for (uint32_t k = 0; k < count; ++k) columns[k] = k + 1;
    return columns;
}

}  // namespace

void NotchConfig::load(const platform::Path& notchFile, NotchFilesFound* found) {
    NotchFilesFound opened;
    opened.notchFile = readNotchFile(*this, notchFile);
    readPowerNotchCount(*this, notchFile, opened.notchFile);
    readBrakeNotchCount(*this, notchFile, opened.notchFile);

    const std::vector<uint32_t> powerColumns = columnList(powerNotchCount);
    opened.powerCurrent = readCurveColumns(powerCurrentPath, powerColumns, powerCurrent, "power current file");
    opened.powerNoLoadCurrent =
        readCurveColumns(powerNoLoadCurrentPath, powerColumns, powerNoLoadCurrent, "power no-load current file");
    opened.brakeMaxCurrent = readCurveColumns(brakeMaxCurrentPath, columnList(brakeNotchCount), brakeMaxCurrent,
                                              "brake maximum current file");
    opened.brakeNoLoadCurrent =
        readCurveColumn(brakeNoLoadCurrentPath, brakeNotchCount, brakeNoLoadCurrent, "brake no-load current file");

    powerJerk = readJerk(PowerParamsKind, powerParamsPath, "[Power]", notchFile, opened.notchFile);
    brakeJerk = readJerk(BrakeParamsKind, brakeParamsPath, "[Brake]", notchFile, opened.notchFile);
    if (found) *found = opened;
}

const CurveTable& NotchConfig::powerCurrentTable(int notchIndex) const {
    return clampedTable(powerCurrent, notchIndex);
}

const CurveTable& NotchConfig::powerNoLoadCurrentTable(int notchIndex) const {
    return clampedTable(powerNoLoadCurrent, notchIndex);
}

const CurveTable& NotchConfig::brakeMaxCurrentTable(int notchIndex) const {
    return clampedTable(brakeMaxCurrent, notchIndex);
}

const CurveTable& NotchConfig::highestBrakeMaxCurrentTable() const {
    return brakeMaxCurrent.empty() ? emptyTable : brakeMaxCurrent.back();
}

float NotchConfig::powerCurrentAt(int notchIndex, float speed) const {
    return powerCurrentTable(notchIndex).lookup(std::fabs(speed));
}

float NotchConfig::powerNoLoadCurrentAt(int notchIndex, float speed) const {
    return powerNoLoadCurrentTable(notchIndex).lookup(std::fabs(speed));
}

float NotchConfig::brakeMaxCurrentAt(int notchIndex, float speed) const {
    return brakeMaxCurrentTable(notchIndex).lookup(std::fabs(speed));
}

float NotchConfig::highestBrakeMaxCurrentAt(float speed) const {
    return highestBrakeMaxCurrentTable().lookup(std::fabs(speed));
}

float NotchConfig::brakeNoLoadCurrentAt(float speed) const {
    return brakeNoLoadCurrent.lookup(std::fabs(speed));
}

}  // namespace config
