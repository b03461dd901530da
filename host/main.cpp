// cabhost: the stand-in host. Checks a vehicle's configuration, and runs a plug-in through a
// scripted run with a train model, writing a trace, the plug-in's own sound mix and plots.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "host/check.h"
#include "host/run.h"

namespace {

// A command-line argument as a path. Windows arguments arrive as UTF-16 and are handed to the
// parser as UTF-8, so a Japanese folder name survives whatever the system code page is.
platform::Path argumentPath(const std::string& argument) {
#ifdef _WIN32
    return platform::Path(std::u8string(argument.begin(), argument.end()));
#else
    return platform::Path(argument);
#endif
}

// args: the arguments after the program name, in reverse order (as the parser takes them).
int cabhostMain(std::vector<std::string> args) {
    try {
        CLI::App app{"cabhost: the stand-in host for the Corvane and Sentrel plug-ins", "cabhost"};
        app.require_subcommand(1);

        std::string vehicle;
        CLI::App* check =
            app.add_subcommand("check",
                               "Reads every configuration file of a vehicle as Corvane reads it, and reports errors "
                               "(with file and line) and missing optional files");
        check->add_option("VEHICLE_DIR", vehicle, "the vehicle folder, or the plug-in folder that holds Notch.txt")
            ->required();

        std::string scenario, outDir, plugin;
        bool noPlots = false;
        CLI::App* run = app.add_subcommand(
            "run", "Runs a scenario: writes trace.csv, corvane.wav (Corvane linked in), PNG plots and a summary");
        run->add_option("SCENARIO", scenario, "the scenario file (TOML)")->required();
        run->add_option("--out", outDir, "the output folder (default: out/<scenario name>)");
        run->add_option("--plugin", plugin,
                        "a plug-in library to drive through its exports instead of Corvane linked in");
        run->add_flag("--no-plots", noPlots, "do not draw plots");
        bool realtime = false;
        run->add_flag("--realtime", realtime,
                      "pace the frames to the wall clock, so a plug-in DLL's own sound is heard live, with a "
                      "status line (speed, notch, mode)");

        try {
            app.parse(args);
        } catch (const CLI::ParseError& error) {
            return app.exit(error) == 0 ? 0 : 2;
        }

        if (check->parsed()) return cabhost::checkCommand(argumentPath(vehicle), std::cout, std::cerr);

        cabhost::RunSettings settings;
        settings.scenarioFile = argumentPath(scenario);
        if (!outDir.empty()) settings.outDir = argumentPath(outDir);
        if (!plugin.empty()) settings.pluginLibrary = argumentPath(plugin);
        settings.progress = platform::hostStderrIsTerminal();
        settings.plots = !noPlots;
        settings.realtime = realtime;
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

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) {
        const std::u8string text = platform::Path(argv[i]).u8string();
        args.emplace_back(text.begin(), text.end());
    }
    return cabhostMain(std::move(args));
}
#else
int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) args.emplace_back(argv[i]);
    return cabhostMain(std::move(args));
}
#endif
