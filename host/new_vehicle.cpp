#include "host/new_vehicle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/notch_config.h"
#include "host/check.h"
#include "host/vehicle_sounds.h"

namespace cabhost {
namespace {

namespace fs = std::filesystem;

std::string text(const platform::Path& p) {
    return platform::pathToUtf8(p);
}

bool writeText(const fs::path& file, const std::string& content, std::string& error) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream << content;
    stream.flush();
    if (!stream) {
        error = "cannot write " + text(file);
        return false;
    }
    return true;
}

std::string whole(double value) {
    return std::to_string(std::lround(value));
}

// A series motor's current: its notch's full current up to the notch's base speed, falling with
// the square of the speed beyond it.
double seriesCurrent(double full, double baseKmh, double speedKmh) {
    if (speedKmh <= baseKmh) return full;
    const double ratio = baseKmh / speedKmh;
    return full * ratio * ratio;
}

double powerNotchCurrent(int notch) {  // 1-based
    if (notch == 1) return 150.0;
    return std::min(300.0 + 20.0 * (notch - 2), 420.0);
}

double powerNotchBaseSpeed(int notch) {
    if (notch == 1) return 10.0;
    return std::min(25.0 + 5.0 * (notch - 2), 100.0);
}

const int Speeds[] = {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 65, 70, 75, 80, 85, 90, 95, 100, 110, 120};

std::string header(const char* first, const char* prefix, int columns) {
    std::string h = first;
    for (int k = 1; k <= columns; ++k) h += "," + std::string(prefix) + std::to_string(k);
    return h + "\n";
}

std::string notchFile() {
    return R"(; Notch definition of this vehicle. Corvane reads it from its own folder (the plug-in folder)
; when the simulator loads the train. It names the two parameter files and the four current tables;
; paths are relative to this folder, "\" and "/" both separate folders. Comments start with ";" or
; "#" anywhere on a line. Section names and keys may be written in any letter case, but a section
; line must be exactly [Power] or [Brake]: any other word in brackets is no section at all.

[Power]
; RequiredNotch_Up (the number of power notches) and JerkRegulation_Down of the power side.
Params = notch\PowerParams.txt
; Motor current against speed, one column per power notch.
Current = notch\PowerCurrent.csv
; No-load (excitation) current against speed, one column per power notch.
NoLoadCurrent = notch\PowerNoLoadCurrent.csv

[Brake]
; RequiredNotch_Up (the number of service brake notches and the brake reference speed), the two
; limiting values and JerkRegulation_Down of the brake side.
Params = notch\BrakeParams.txt
; Largest regenerative current against speed, one column per service brake notch.
MaxCurrent = notch\BrakeMaxCurrent.csv
; Excitation current while regenerating; only the column of the highest service notch is read.
NoLoadCurrent = notch\BrakeNoLoadCurrent.csv
)";
}

std::string powerParams(int notches) {
    std::string values;
    for (int k = 1; k <= notches; ++k) values += ", " + whole(k <= 2 ? 0.0 : powerNotchBaseSpeed(k - 1));
    return "; Power parameters. A line counts when it starts with its keyword, written exactly in this letter\n"
           "; case; the values follow, separated by commas. Numbers are plain: \"120 A\" would read as 120,\n"
           "; and cabhost check warns about the text after it.\n\n"
           "; RequiredNotch_Up: one value per power notch of the simulator's vehicle (" +
           std::to_string(notches) +
           " here).\n; Corvane counts the values and does not read them; here they note the speed in km/h from\n"
           "; which each notch is normally taken. The power current tables need one column per notch. Only\n"
           "; the first RequiredNotch_Up line counts." +
           std::string(
               notches <= 8
                   ? "\n; With 8 notches or fewer there are no high notches: notch 2 at full voltage sends notch 0\n"
                     "; to the simulator, so drive on notch 3 or higher beyond about 25 km/h."
                   : "") +
           "\nRequiredNotch_Up" + values +
           "\n\n; JerkRegulation_Down: load current in A of the power side; half and a quarter of it are where\n"
           "; the main circuit steps down when power is shut off. The last value of the first line counts.\n"
           "JerkRegulation_Down, 0, 120\n";
}

std::string brakeParams(int notches) {
    std::string values;
    for (int k = 1; k < notches; ++k) values += ", 0";
    return "; Brake parameters. A line counts when it starts with its keyword, written exactly in this letter\n"
           "; case; where a keyword appears more than once the last line counts (JerkRegulation_Down: the\n"
           "; first).\n\n"
           "; RequiredNotch_Up: one value per service brake notch (" +
           std::to_string(notches) +
           " here,\n; matching the simulator's brake notches; at least 8). The last value is also the brake\n"
           "; reference speed in km/h.\n"
           "RequiredNotch_Up" +
           values +
           ", 30\n\n"
           "; Limiting values in Pa (Corvane divides them by 1000 and compares kPa): while the straight air\n"
           "; pipe pressure of the driver's notch stays below the limit, the electric brake carries the whole\n"
           "; demand. _Empty applies above the brake reference speed, _Full at or below it. Write the number\n"
           "; alone: \"150 kPa\" would read as 150 Pa.\n"
           "CurrentLimitingValue_Empty, 150000\n"
           "CurrentLimitingValue_Full, 250000\n\n"
           "; JerkRegulation_Down: load current in A of the brake side; half and a quarter of it are where the\n"
           "; main circuit steps down when the brake is released.\n"
           "JerkRegulation_Down, 0, 100\n";
}

std::string powerCurrent(int notches, double share) {
    std::ostringstream s;
    s << header("speed_kmh", "notch", notches);
    s << (share < 1.0 ? "; No-load (excitation) current in A of each power notch against speed: the part of the\n"
                        "; motor current that magnetises the motors without producing tractive effort.\n"
                      : "; Motor current in A that the simulator draws at each speed (first column, km/h) with the\n"
                        "; power notch of that column: column 1 is notch 1. Notch 2 at 15 km/h is the starting-\n"
                        "; current reference of every departure. Replace these placeholder values (a series\n"
                        "; motor's current, falling with the square of the speed above each notch's base speed)\n"
                        "; with your train's.\n");
    for (int v : Speeds) {
        s << v;
        for (int k = 1; k <= notches; ++k)
            s << "," << whole(share * seriesCurrent(powerNotchCurrent(k), powerNotchBaseSpeed(k), v));
        s << "\n";
    }
    return s.str();
}

double brakeFade(int v) {  // share of the full regenerative current at speed v
    if (v <= 3) return 0.0;
    if (v < 15) return (v - 3) / 12.0;
    if (v <= 65) return 1.0;
    return 65.0 / v;
}

std::string brakeMaxCurrent(int notches) {
    std::ostringstream s;
    s << header("speed_kmh", "brake", notches);
    s << "; Largest regenerative brake current in A (a magnitude) of each service brake notch against\n"
         "; speed: column 1 is brake notch 1. Corvane reads notches 1, 6, 8 and the highest every frame, so\n"
         "; give every column. The electric brake fades out below 15 km/h.\n";
    for (int v : Speeds) {
        s << v;
        for (int k = 1; k <= notches; ++k) s << "," << whole(440.0 * k / notches * brakeFade(v));
        s << "\n";
    }
    return s.str();
}

std::string brakeNoLoadCurrent(int notches) {
    std::ostringstream s;
    s << header("speed_kmh", "brake", notches);
    s << "; Excitation current in A while regenerating. Only the column of the highest service notch\n"
         "; (column " +
             std::to_string(notches) + ") is read, but every row must reach that column.\n";
    for (int v : {0, 120}) {
        s << v;
        for (int k = 1; k <= notches; ++k) s << ",20";
        s << "\n";
    }
    return s.str();
}

struct Needle {
    const char* file;
    const char* content;
};

const Needle Needles[] = {
    {"PressureL.csv",
     "pressure_kPa,panel\n"
     "; Left pressure gauge (brake cylinder, panel 130; straight air pipe, panel 131): pressure in kPa,\n"
     "; then the panel value that puts the needle on that mark. Find the values with the needle\n"
     "; adjustment mode (an empty PanelModify.txt in the vehicle folder). Placeholder: 1 unit per kPa.\n"
     "0,0\n1000,1000\n"},
    {"PressureR.csv",
     "pressure_kPa,panel\n"
     "; Right pressure gauge (brake pipe, panel 132; main reservoir, panel 133): pressure in kPa, then\n"
     "; the panel value. Placeholder: 1 unit per kPa.\n"
     "0,0\n1000,1000\n"},
    {"Speed.csv",
     "speed_kmh,needle\n"
     "; Speedometer (panel 22): speed in km/h, then the needle value; Corvane multiplies the value by\n"
     "; 100 before it writes it to the panel. Placeholder: 120 km/h gives panel value 12000.\n"
     "0,0\n120,120\n"},
    {"Current.csv",
     "ammeter_input_A,panel\n"
     "; Ammeter (panel 26). Corvane looks this table up at 4 x its motor current, the current of a car\n"
     "; with four traction motors: a motor current of 300 A is looked up at 1200 (for 100 ms after the\n"
     "; steps into modes 27 and 15 at 70 % of that). Placeholder: 1 panel unit per 10 A of that 4 x\n"
     "; current, which is 1 unit per 2.5 A of motor current: 300 A of motor current reads 120.\n"
     "0,0\n2000,200\n"},
    {"Voltage.csv",
     "voltage_V,panel\n"
     "; Voltmeter (panel 232): line voltage in V (about 1400 to 1600 V), then the panel value.\n"
     "; Placeholder: 1 panel unit per V.\n"
     "0,0\n2000,2000\n"},
};

// A TOML basic string.
std::string tomlString(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '\\' || c == '"') {
            out += '\\';
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            // A control character (a newline in a folder name) is not allowed raw in a TOML string.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escaped;
            continue;
        }
        out += c;
    }
    return out + "\"";
}

// A path as the author pastes it into a command line: quoted where it holds a blank or a quote.
std::string commandArgument(const fs::path& path) {
    const std::string plain = text(path);
    if (plain.find_first_of(" \t\"'&;()") == std::string::npos) return plain;
    std::string quoted = "\"";
    for (char c : plain) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    return quoted + "\"";
}

// The scenario's file, named after the vehicle: its runs go to out/<vehicle name>, not into a
// sample's results.
std::string scenarioFile(const std::string& name) {
    return name + ".toml";
}

std::string scenario(const NewVehicleSettings& settings, const std::string& name) {
    const int power = settings.powerNotches;
    std::ostringstream s;
    s << "# Departure of the new vehicle: doors closed, brake released, power notch " << power
      << ", power off\n"
         "# at 60 km/h, then coasting. The file is named after the vehicle, so that its runs have an\n"
         "# output folder of their own (out/ and the file's name). Run it from this folder with\n"
         "#   cabhost run <this file>                                 (Linux: Corvane is linked in)\n"
         "#   cabhost.exe run <this file> --plugin plugin\\Corvane.dll  (Windows)\n"
         "title = "
      << tomlString("Departure of " + name)
      << "\n"
         "vehicle = \".\"      # the vehicle folder: this one (its plugin/ folder holds Notch.txt)\n"
         "duration_s = 60.0\n\n"
         "# Corvane passes the driver's handles to the simulator only through a chained plug-in that passes\n"
         "# them on. Sentrel does: a Corvane DLL chains it through plugin/detailmodules.txt, and Corvane\n"
         "# linked into the Linux cabhost chains the native Sentrel named here.\n";
    if (settings.chainLibrary) {
        s << "chain = [" << tomlString(text(*settings.chainLibrary)) << "]\n";
    } else {
        s << "# chain = [\"/path/to/libSentrel.so\"]\n";
    }
    s << "\n[vehicle_spec]\nbrake_notches = " << settings.brakeNotches
      << "\ncar_count = 4\n\n"
         "[frames]\ninterval_ms = 20\n\n"
         "[[event]]\ntime = 0.0\nlabel = \"doors closed, brake on\"\ndoor = \"close\"\nbrake = "
      << settings.brakeNotches
      << "\n\n"
         "[[event]]\ntime = 1.0\nlabel = \"reverser forward\"\nreverser = 1\n\n"
         "[[event]]\ntime = 2.0\nlabel = \"brake released\"\nbrake = 0\n\n"
         "[[event]]\ntime = 2.5\nlabel = \"power notch "
      << power << "\"\npower = " << power
      << "\n\n"
         "[[event]]\nspeed_above = 60.0\nlabel = \"power off at 60 km/h\"\npower = 0\n\n"
         "# What the departure must show, checked after the frames: a run that misses one names it and\n"
         "# ends with status 5. Tighten the bounds as the vehicle takes shape, and they keep it so.\n"
         "[[expect]]\nlabel = \"standing while the brake is on\"\nspeed_kmh = [0, 0.5]\nat_s = 2.0\n\n"
         "[[expect]]\nlabel = \"60 km/h within 60 s\"\nreach_kmh = 60\nwithin_s = [0, 60]\n";
    return s.str();
}

const char* DetailModules = "Sentrel.dll\n";

bool folderIsUsable(const fs::path& folder, std::ostream& err) {
    std::error_code ec;
    if (folder.empty()) {
        err << "cabhost: new needs the name of a folder to write the vehicle into\n";
        return false;
    }
    // A file where a parent folder must be would only fail half way through writing.
    for (fs::path parent = fs::absolute(folder, ec).parent_path(); !ec && parent.has_relative_path();
         parent = parent.parent_path()) {
        const fs::file_status ps = fs::status(parent, ec);
        ec.clear();
        if (fs::exists(ps) && !fs::is_directory(ps)) {
            err << "cabhost: " << text(parent) << " is a file, so " << text(folder) << " cannot be made there\n";
            return false;
        }
    }
    const fs::file_status status = fs::status(folder, ec);
    if (!fs::exists(status)) return true;
    if (!fs::is_directory(status)) {
        err << "cabhost: " << text(folder) << " exists and is not a folder\n";
        return false;
    }
    if (!fs::is_empty(folder, ec) || ec) {
        err << "cabhost: " << text(folder)
            << " is not empty; cabhost new writes only into a new or empty folder, so that nothing of yours is "
               "overwritten\n";
        return false;
    }
    return true;
}

}  // namespace

void findLibrariesBeside(const platform::Path& executable, NewVehicleSettings& settings) {
    const fs::path dir = executable.parent_path();
    std::error_code ec;
    // Only Corvane linked into the Linux host takes the scenario's chain, so only a native library,
    // and none for cabhost.exe, which drives Corvane's DLL and its detailmodules.txt.
    const bool windowsHost = executable.extension() == ".exe";
    for (const fs::path& candidate :
         {dir / "libSentrel.so", dir / ".." / "linux-x86_64" / "libSentrel.so", dir / ".." / "libSentrel.so"}) {
        if (!windowsHost && fs::is_regular_file(candidate, ec)) {
            settings.chainLibrary = fs::absolute(candidate, ec).lexically_normal();
            break;
        }
    }
    // The simulator's DLLs, for the plug-in folder: cabhost.exe's own word size, or the 32-bit release
    // build beside dist/bin/.
    for (const fs::path& folder : {dir, dir / ".." / "windows-x86"}) {
        if (fs::is_regular_file(folder / "Corvane.dll", ec) && fs::is_regular_file(folder / "Sentrel.dll", ec)) {
            settings.pluginCopies = {folder / "Corvane.dll", folder / "Sentrel.dll"};
            break;
        }
    }
}

int newVehicleCommand(const NewVehicleSettings& settings, std::ostream& out, std::ostream& err) {
    if (settings.powerNotches < 1 || settings.powerNotches > static_cast<int>(config::MaxNotchCount)) {
        err << "cabhost: --power-notches must be 1 to " << config::MaxNotchCount << "\n";
        return 2;
    }
    if (settings.brakeNotches < static_cast<int>(config::MinBrakeNotchCount) ||
        settings.brakeNotches > static_cast<int>(config::MaxNotchCount)) {
        err << "cabhost: --brake-notches must be " << config::MinBrakeNotchCount << " to " << config::MaxNotchCount
            << " (Corvane's brake blending reads the tables of brake notches 6 and 8)\n";
        return 2;
    }
    const fs::path folder = settings.folder;
    if (!folderIsUsable(folder, err)) return 2;

    const int n = settings.powerNotches, m = settings.brakeNotches;
    const fs::path plugin = folder / "plugin";
    const fs::path notch = plugin / "notch";
    std::string error;
    bool ok = writeText(plugin / "Notch.txt", notchFile(), error) &&
              writeText(notch / "PowerParams.txt", powerParams(n), error) &&
              writeText(notch / "BrakeParams.txt", brakeParams(m), error) &&
              writeText(notch / "PowerCurrent.csv", powerCurrent(n, 1.0), error) &&
              writeText(notch / "PowerNoLoadCurrent.csv", powerCurrent(n, 0.1), error) &&
              writeText(notch / "BrakeMaxCurrent.csv", brakeMaxCurrent(m), error) &&
              writeText(notch / "BrakeNoLoadCurrent.csv", brakeNoLoadCurrent(m), error) &&
              writeText(plugin / "detailmodules.txt", DetailModules, error);
    for (const Needle& needle : Needles) {
        ok = ok && writeText(folder / "NeedleTable" / needle.file, needle.content, error);
    }
    ok = ok && writeVehicleSounds(folder, error);
    std::string name = text(fs::absolute(folder).lexically_normal().filename());
    if (name.empty()) name = text(fs::absolute(folder).lexically_normal().parent_path().filename());
    const fs::path scenarioPath = folder / platform::Path(std::u8string(name.begin(), name.end()) + u8".toml");
    ok = ok && writeText(scenarioPath, scenario(settings, name), error);
    for (const fs::path& library : settings.pluginCopies) {
        if (!ok) break;
        std::error_code ec;
        fs::copy_file(library, plugin / library.filename(), fs::copy_options::overwrite_existing, ec);
        if (ec) ok = false, error = "cannot copy " + text(library) + ": " + ec.message();
    }
    if (!ok) {
        err << "cabhost: " << error << "\n";
        return 1;
    }

    out << "a new vehicle in " << text(folder) << ": " << n << " power notches, " << m << " service brake notches\n"
        << "  plugin/Notch.txt and plugin/notch/: the notch files (placeholder currents)\n"
        << "  NeedleTable/: linear needle tables (placeholders)\n"
        << "  atsmotornoise/0.wav to 40.wav, bc.wav, sap.wav, sapHigh.wav: placeholder sounds\n"
        << "  plugin/detailmodules.txt: chains Sentrel.dll, which passes the driver's handles on\n"
        << "  " << scenarioFile(name) << ": a departure scenario, whose runs go to "
        << text(fs::path("out") / scenarioPath.stem()) << "\n";
    if (settings.pluginCopies.empty()) {
        out << "copy Corvane.dll and Sentrel.dll (both of your simulator's word size) into " << text(plugin) << "\n";
    } else {
        out << "copied " << text(settings.pluginCopies.front().filename()) << " and "
            << text(settings.pluginCopies.back().filename()) << " from "
            << text(settings.pluginCopies.front().parent_path()) << " into plugin/\n";
    }
    out << "next: cabhost check " << commandArgument(folder) << "\n";
    if (settings.chainLibrary) {
        out << "      cabhost run " << commandArgument(scenarioPath) << "\n";
    } else if (!settings.pluginCopies.empty()) {
        out << "      cabhost run " << commandArgument(scenarioPath) << " --plugin "
            << commandArgument(plugin / "Corvane.dll") << "\n";
    } else {
        out << "      then run " << scenarioFile(name)
            << " with --plugin and Corvane's DLL, or name a native Sentrel library "
               "in its chain\n";
    }
    return 0;
}

}  // namespace cabhost
