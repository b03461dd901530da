// cabhost: the stand-in host. Checks a vehicle's configuration, and runs a plug-in through a
// scripted run with a train model, writing a trace, the plug-in's own sound mix and plots.
#include <CLI/CLI.hpp>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "host/batch.h"
#include "host/check.h"
#include "host/new_vehicle.h"
#include "host/run.h"
#include "host/watch.h"
#include "platform/host.h"

namespace {

// A command-line argument as a path. Windows arguments arrive as UTF-16 and are handed to the
// parser as UTF-8, so a Japanese folder name survives whatever the system code page is.
platform::Path argumentPath(const std::string& argument) {
    return platform::Path(std::u8string(argument.begin(), argument.end()));
}

// The running executable, to find the plug-in libraries the build put beside it.
platform::Path ownExecutable(const platform::Path& argument0) {
    std::error_code ec;
    platform::Path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || self.empty()) self = std::filesystem::absolute(argument0, ec);
    return self;
}

// args: the arguments after the program name, in reverse order (as the parser takes them).
int cabhostMain(std::vector<std::string> args, const platform::Path& argument0) {
    try {
        CLI::App app{"cabhost: the stand-in host for the Corvane and Sentrel plug-ins", "cabhost"};
        app.require_subcommand(1);
        app.set_version_flag("--version", std::string("cabhost ") + CORVANE_VERSION);

        std::string vehicle;
        CLI::App* check =
            app.add_subcommand("check",
                               "Reads every configuration file of a vehicle as Corvane reads it, and reports errors "
                               "(with file and line) and missing optional files");
        check->add_option("VEHICLE_DIR", vehicle, "the vehicle folder, or the plug-in folder that holds Notch.txt")
            ->required();

        std::vector<std::string> scenarios;
        std::string outDir, plugin, junit, compare;
        bool noPlots = false;
        CLI::App* run = app.add_subcommand(
            "run",
            "Runs a scenario: writes report.html, trace.csv, corvane.wav (Corvane linked in), PNG plots (with "
            "gnuplot) and a summary");
        run->add_option("SCENARIO", scenarios,
                        "the scenario file (TOML); several, or a folder of them, run two at a time with a line each")
            ->required();
        run->add_option("--junit", junit, "also write the outcome of each scenario as a JUnit XML file");
        run->add_option("--compare", compare,
                        "an earlier run's output folder: the report and the summary show this run beside it");
        run->add_option("--out", outDir, "the output folder (default: out/<scenario name>)");
        run->add_option("--plugin", plugin,
                        "a plug-in library to drive through its exports instead of Corvane linked in");
        run->add_flag("--no-plots", noPlots, "do not draw the PNG plots (the report is written all the same)");
        bool realtime = false;
        run->add_flag("--realtime", realtime,
                      "pace the frames to the wall clock, so a plug-in DLL's own sound is heard live, with a "
                      "status line (speed, notch, mode)");

        std::string watchScenario, watchOut, watchPlugin;
        CLI::App* watch = app.add_subcommand(
            "watch",
            "Runs a scenario and serves its report on this computer only (the address is printed); runs it "
            "again when a file of the vehicle or the scenario is saved, the page reloading itself with the "
            "previous run beside the new one. Ctrl+C ends it");
        watch->add_option("SCENARIO", watchScenario, "the scenario file (TOML)")->required();
        watch->add_option("--out", watchOut, "the output folder (default: out/<scenario name>)");
        watch->add_option("--plugin", watchPlugin,
                          "a plug-in library to drive through its exports instead of Corvane linked in");

        std::string newFolder;
        cabhost::NewVehicleSettings fresh;
        CLI::App* create = app.add_subcommand(
            "new",
            "Writes a complete, commented vehicle with placeholder tables and sounds, and a departure "
            "scenario beside it; refuses a folder that is not empty");
        create->add_option("DIR", newFolder, "the new vehicle folder (created; must be empty if it exists)")
            ->required();
        create->add_option("--power-notches", fresh.powerNotches, "power notches (default 5)");
        create->add_option("--brake-notches", fresh.brakeNotches, "service brake notches, at least 8 (default 8)");

        try {
            app.parse(args);
        } catch (const CLI::ParseError& error) {
            return app.exit(error) == 0 ? 0 : 2;
        }

        if (check->parsed()) return cabhost::checkCommand(argumentPath(vehicle), std::cout, std::cerr);
        if (create->parsed()) {
            fresh.folder = argumentPath(newFolder);
            cabhost::findLibrariesBeside(ownExecutable(argument0), fresh);
            return cabhost::newVehicleCommand(fresh, std::cout, std::cerr);
        }

        if (watch->parsed()) {
            cabhost::WatchSettings settings;
            settings.scenarioFile = argumentPath(watchScenario);
            if (!watchOut.empty()) settings.outDir = argumentPath(watchOut);
            if (!watchPlugin.empty()) settings.pluginLibrary = argumentPath(watchPlugin);
            return cabhost::watchCommand(settings, std::cout, std::cerr);
        }

        std::vector<platform::Path> named;
        for (const std::string& s : scenarios) named.push_back(argumentPath(s));
        std::error_code folder;
        if (named.size() > 1 || std::filesystem::is_directory(named.front(), folder) || !junit.empty()) {
            cabhost::BatchSettings batch;
            try {
                batch.scenarios = cabhost::scenarioFiles(named);
            } catch (const std::exception& error) {
                std::cerr << "cabhost: " << error.what() << "\n";
                return cabhost::ExitBadInput;
            }
            if (realtime || !compare.empty()) {
                std::cerr << "cabhost: " << (realtime ? "--realtime" : "--compare") << " takes one scenario\n";
                return cabhost::ExitBadInput;
            }
            if (!outDir.empty()) batch.outDir = argumentPath(outDir);
            if (!plugin.empty()) batch.pluginLibrary = argumentPath(plugin);
            if (!junit.empty()) batch.junitFile = argumentPath(junit);
            batch.plots = !noPlots;
            batch.self = ownExecutable(argument0);
            return cabhost::runBatch(batch, std::cout, std::cerr);
        }
        cabhost::RunSettings settings;
        settings.scenarioFile = named.front();
        if (!outDir.empty()) settings.outDir = argumentPath(outDir);
        if (!plugin.empty()) settings.pluginLibrary = argumentPath(plugin);
        settings.progress = platform::hostStderrIsTerminal();
        settings.plots = !noPlots;
        settings.realtime = realtime;
        if (!compare.empty()) settings.compareDir = argumentPath(compare);
        platform::hostCatchInterrupts();
        return cabhost::runCommand(settings, std::cout, std::cerr).exitCode;
    } catch (const std::exception& error) {
        std::cerr << "cabhost: " << error.what() << "\n";
        return 1;
    } catch (...) {
        std::cerr << "cabhost: unexpected error\n";
        return 1;
    }
}

}  // namespace

int platform::hostMain(std::vector<std::string> arguments, const platform::Path& argument0) {
    return cabhostMain(std::move(arguments), argument0);
}
