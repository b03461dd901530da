#include "config/vehicle_check.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <span>
#include <sstream>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "config/number.h"
#include "config/text_reader.h"

namespace config {
namespace {

void noteMissingCurves(VehicleCheck& check, const NotchFilesFound& found) {
    const NotchConfig& c = check.config;
    if (!found.powerCurrent) {
        check.missing.push_back({"power current file", c.powerCurrentPath,
                                 "every power notch table is empty: notch currents read as the speed itself"});
    }
    if (!found.powerNoLoadCurrent) {
        check.missing.push_back({"power no-load current file", c.powerNoLoadCurrentPath,
                                 "every no-load current table is empty: no-load currents read as the speed itself"});
    }
    if (!found.brakeMaxCurrent) {
        check.missing.push_back({"brake maximum current file", c.brakeMaxCurrentPath,
                                 "every brake notch table is empty: maximum brake currents read as the speed itself"});
    }
    if (!found.brakeNoLoadCurrent) {
        check.missing.push_back({"brake no-load current file", c.brakeNoLoadCurrentPath,
                                 "the regenerative no-load current reads as the speed itself"});
    }
}

constexpr const char* NeedleNames[NeedleTableCount] = {"left pressure gauge needle table",
                                                       "right pressure gauge needle table", "speedometer needle table",
                                                       "ammeter needle table", "voltmeter needle table"};
constexpr const char* NeedleEffects[NeedleTableCount] = {
    "the left pressure gauge receives the pressure in kPa unchanged",
    "the right pressure gauge receives the pressure in kPa unchanged",
    "the speedometer receives the speed in km/h x 100", "the ammeter receives 4 x the motor current in A unchanged",
    "the voltmeter receives the line voltage in V unchanged"};

// ---- Slips that the readers accept without an error ----

constexpr size_t MaxTrailingWarningsPerFile = 5;
constexpr std::string_view SectionNames[] = {"Power", "Brake"};
constexpr std::string_view PowerKeys[] = {"Params", "Current", "NoLoadCurrent"};
constexpr std::string_view BrakeKeys[] = {"Params", "MaxCurrent", "NoLoadCurrent"};

std::string lower(std::u32string_view text) {
    std::string out = toUtf8(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The candidate that text most likely misspells (ignoring letter case), or empty.
std::string_view nearest(std::u32string_view text, std::span<const std::string_view> candidates) {
    const std::string word = lower(text);
    std::string_view best;
    size_t bestDistance = 3;  // at most two edits
    for (std::string_view candidate : candidates) {
        std::string c(candidate);
        for (char& ch : c) {
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        }
        const size_t d = editDistance(word, c);
        if (d < bestDistance) bestDistance = d, best = candidate;
    }
    return best;
}

std::string formatNumber(double value) {
    std::ostringstream s;
    s << value;
    return s.str();
}

class Linter {
public:
    Linter(std::string_view kind, const platform::Path& path, std::vector<std::string>& warnings)
        : name_(std::string(kind) + " \"" + platform::pathToUtf8(path) + "\""), reader_(path), warnings_(warnings) {}

    bool nextLine(std::u32string_view& content) {
        if (!reader_.nextLine(line_)) return false;
        content = stripComment(line_);
        return true;
    }
    int64_t lineNumber() const { return reader_.lineNumber(); }
    void warn(const std::string& text) {
        warnings_.push_back(name_ + " line " + std::to_string(reader_.lineNumber()) + ": " + text);
    }

    // A number with text after it reads as the number alone; say what it was read as.
    void trailingText(std::u32string_view field, std::string_view unit = {}, double scale = 1.0,
                      std::string_view scaledUnit = {}) {
        const ParsedNumber parsed = parseNumber(field);
        if (parsed.status != NumberStatus::Ok || trim(field.substr(parsed.length)).empty()) return;
        if (++trailing_ > MaxTrailingWarningsPerFile) return;
        std::string as = formatNumber(parsed.value) + (unit.empty() ? "" : " " + std::string(unit));
        if (!scaledUnit.empty())
            as += " (" + formatNumber(static_cast<double>(parsed.value) * scale) + " " + std::string(scaledUnit) + ")";
        // The author wrote the number in the unit after it: give the number that means that.
        const auto lower = [](std::string text) {
            std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
            return text;
        };
        const bool inScaledUnit = !scaledUnit.empty() && lower(toUtf8(trim(field.substr(parsed.length)))) ==
                                                             lower(std::string(scaledUnit));
        const std::string instead =
            inScaledUnit ? "for " + formatNumber(parsed.value) + " " + std::string(scaledUnit) + " write " +
                      formatNumber(static_cast<double>(parsed.value) * (1.0 / scale))
                : "write " + formatNumber(parsed.value) + " alone";
        warn(quoted(field) + " is read as " + as + "; the text after the number is ignored: " + instead);
    }
    void finish() {
        if (trailing_ > MaxTrailingWarningsPerFile) {
            warnings_.push_back(name_ + ": " + std::to_string(trailing_ - MaxTrailingWarningsPerFile) +
                                " more numbers are followed by other text");
        }
    }

private:
    std::string name_;
    TextReader reader_;
    std::vector<std::string>& warnings_;
    std::u32string line_;
    size_t trailing_ = 0;
};

void lintNotchFile(const platform::Path& path, std::vector<std::string>& warnings) {
    Linter file("notch definition file", path, warnings);
    int section = 0;
    std::string strayHeader;  // a bracketed line that left the keys after it in no section
    std::u32string_view line;
    while (file.nextLine(line)) {
        const std::u32string_view text = trim(line);
        if (text.empty()) continue;
        if (equalsIgnoringCase(text, U"[Power]")) {
            section = 1;
            continue;
        }
        if (equalsIgnoringCase(text, U"[Brake]")) {
            section = 2;
            continue;
        }
        const std::string sectionName = section == 1 ? "[Power]" : "[Brake]";
        if (text.front() == U'[') {
            const size_t close = text.find(U']');
            const std::u32string_view inner =
                trim(text.substr(1, close == std::u32string_view::npos ? std::u32string_view::npos : close - 1));
            std::string hint;
            const std::string_view near = nearest(inner, SectionNames);
            if (!near.empty() && inner.size() + 2 != text.size()) {
                hint = " (write [" + std::string(near) + "] without blanks inside the brackets)";
            } else if (!near.empty()) {
                hint = " (did you mean [" + std::string(near) + "]?)";
            }
            file.warn(quoted(text) + " is not a section line: only [Power] and [Brake] are, in any letter case" + hint +
                      (section == 0 ? "; the lines after it belong to no section and are ignored"
                                    : "; the lines after it still belong to the " + sectionName + " section"));
            if (section == 0) strayHeader = quoted(text) + " (line " + std::to_string(file.lineNumber()) + ")";
            continue;
        }
        const size_t equals = text.find(U'=');
        if (equals == std::u32string_view::npos) {
            file.warn(quoted(text) + " has no \"=\" and is ignored (a line is key = value)");
            continue;
        }
        const std::u32string_view key = trim(text.substr(0, equals));
        if (section == 0) {
            file.warn("key " + quoted(key) + " is ignored: " +
                      (strayHeader.empty() ? "it stands before the first section line ([Power] or [Brake])"
                                           : "it follows " + strayHeader + ", which is no section line"));
            continue;
        }
        const bool power = section == 1;
        const auto known = [&](std::u32string_view k) {
            return equalsIgnoringCase(k, U"Params") || equalsIgnoringCase(k, U"NoLoadCurrent") ||
                   equalsIgnoringCase(k, power ? U"Current" : U"MaxCurrent");
        };
        if (known(key)) continue;
        std::string hint;
        if (power && equalsIgnoringCase(key, U"MaxCurrent")) {
            hint = "; MaxCurrent is a [Brake] key (the power current table is Current)";
        } else if (!power && equalsIgnoringCase(key, U"Current")) {
            hint = "; Current is a [Power] key (the brake current table is MaxCurrent)";
        } else {
            const std::string_view near = nearest(key, power ? PowerKeys : BrakeKeys);
            if (!near.empty()) hint = "; did you mean " + std::string(near) + "?";
        }
        file.warn("key " + quoted(key) + " is not a key of the " + sectionName + " section (" +
                  (power ? "Params, Current, NoLoadCurrent" : "Params, MaxCurrent, NoLoadCurrent") +
                  "), so the line is ignored" + hint);
    }
}

void lintParameterFile(std::string_view kind, const platform::Path& path, bool brake,
                       std::vector<std::string>& warnings) {
    Linter file(kind, path, warnings);
    static constexpr std::string_view PowerKeywords[] = {"RequiredNotch_Up", "JerkRegulation_Down"};
    static constexpr std::string_view BrakeKeywords[] = {"RequiredNotch_Up", "JerkRegulation_Down",
                                                         "CurrentLimitingValue_Empty", "CurrentLimitingValue_Full"};
    const std::span<const std::string_view> keywords =
        brake ? std::span<const std::string_view>(BrakeKeywords) : std::span<const std::string_view>(PowerKeywords);
    std::u32string_view line;
    std::vector<std::u32string_view> fields;
    while (file.nextLine(line)) {
        const std::u32string_view text = trim(line);
        if (text.empty()) continue;
        std::u32string keyword;
        for (std::string_view k : keywords) {
            const std::u32string wide(k.begin(), k.end());
            if (startsWith(text, wide)) {
                keyword = wide;
                break;
            }
            if (text.size() >= wide.size() && equalsIgnoringCase(text.substr(0, wide.size()), wide)) {
                file.warn(quoted(text.substr(0, wide.size())) + " must be written " + std::string(k) +
                          ", in exactly this letter case (keywords of the parameter files are case-sensitive); "
                          "the line is ignored");
                break;
            }
        }
        splitFields(text, fields);
        if (keyword.empty()) {
            const std::string_view near = nearest(fields.front(), keywords);
            if (!near.empty() && !equalsIgnoringCase(fields.front(), std::u32string(near.begin(), near.end()))) {
                file.warn(quoted(fields.front()) + " is not a keyword (did you mean " + std::string(near) +
                          "?); the line is ignored");
            }
            continue;
        }
        if (fields.size() < 2) continue;  // an error of its own when it counts
        if (keyword == U"JerkRegulation_Down") {
            file.trailingText(fields.back(), "A");
        } else if (keyword == U"RequiredNotch_Up") {
            if (brake) file.trailingText(fields.back(), "km/h");
        } else {
            file.trailingText(fields[1], "Pa", 0.001, "kPa");
        }
    }
    file.finish();
}

// Fields 0 and firstColumn to lastColumn of every row after the header, as the curve readers take them.
void lintCurveFile(std::string_view kind, const platform::Path& path, size_t firstColumn, size_t lastColumn,
                   std::vector<std::string>& warnings) {
    if (path.empty()) return;
    Linter file(kind, path, warnings);
    std::u32string_view line;
    std::vector<std::u32string_view> fields;
    if (!file.nextLine(line)) return;
    while (file.nextLine(line)) {
        if (line.empty()) continue;
        splitFields(line, fields);
        if (!fields.empty()) file.trailingText(fields[0]);
        for (size_t k = firstColumn; k <= lastColumn && k < fields.size(); ++k) file.trailingText(fields[k]);
    }
    file.finish();
}

void lintVehicle(const platform::Path& pluginDirectory, const NotchConfig& c, std::vector<std::string>& warnings) {
    lintNotchFile(platform::joinPath(pluginDirectory, "Notch.txt"), warnings);
    if (!c.powerParamsPath.empty()) lintParameterFile("power parameter file", c.powerParamsPath, false, warnings);
    if (!c.brakeParamsPath.empty()) lintParameterFile("brake parameter file", c.brakeParamsPath, true, warnings);
    lintCurveFile("power current file", c.powerCurrentPath, 1, c.powerNotchCount, warnings);
    lintCurveFile("power no-load current file", c.powerNoLoadCurrentPath, 1, c.powerNotchCount, warnings);
    lintCurveFile("brake maximum current file", c.brakeMaxCurrentPath, 1, c.brakeNotchCount, warnings);
    lintCurveFile("brake no-load current file", c.brakeNoLoadCurrentPath, c.brakeNotchCount, c.brakeNotchCount,
                  warnings);
    for (std::string_view name : NeedleTableFiles) {
        lintCurveFile("needle table", platform::joinPath(pluginDirectory, name), 1, 1, warnings);
    }
}

}  // namespace

VehicleCheck checkVehicle(const platform::Path& pluginDirectory) {
    VehicleCheck check;
    try {
        NotchFilesFound found;
        check.config.load(platform::joinPath(pluginDirectory, "Notch.txt"), &found);
        noteMissingCurves(check, found);

        check.panelModify = panelModifyFileExists(pluginDirectory);
        if (!check.panelModify) {
            check.missing.push_back({"needle adjustment switch", platform::joinPath(pluginDirectory, PanelModifyFile),
                                     "the needle adjustment mode is off (the usual state for driving)"});
        }

        const std::array<bool, NeedleTableCount> opened = loadNeedleTables(check.needles, pluginDirectory);
        for (size_t i = 0; i < NeedleTableCount; ++i) {
            if (opened[i]) continue;
            check.missing.push_back(
                {NeedleNames[i], platform::joinPath(pluginDirectory, NeedleTableFiles[i]), NeedleEffects[i]});
        }
        check.ok = true;
    } catch (const std::exception& error) {
        check.ok = false;
        check.error = error.what();
    }
    lintVehicle(pluginDirectory, check.config, check.warnings);
    return check;
}

}  // namespace config
