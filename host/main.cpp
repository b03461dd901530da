// cabhost: the stand-in host. Checks a vehicle's configuration, and runs a plug-in through a
// scripted run with a train model, writing a trace, the plug-in's own sound mix and plots.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "host/check.h"
#include "host/host_os.h"
#include "host/run.h"

int main(int argc, char** argv) {
    try {
        CLI::App app{"cabhost: the stand-in host for the Corvane and Sentrel plug-ins"};
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

        try {
            app.parse(argc, argv);
        } catch (const CLI::ParseError& error) {
            return app.exit(error) == 0 ? 0 : 2;
        }

        if (check->parsed()) return cabhost::checkCommand(platform::Path(vehicle), std::cout, std::cerr);

        cabhost::RunSettings settings;
        settings.scenarioFile = platform::Path(scenario);
        if (!outDir.empty()) settings.outDir = platform::Path(outDir);
        if (!plugin.empty()) settings.pluginLibrary = platform::Path(plugin);
        settings.progress = cabhost::stderrIsTerminal();
        settings.plots = !noPlots;
        return cabhost::runCommand(settings, std::cout, std::cerr).exitCode;
    } catch (const std::exception& error) {
        std::cerr << "cabhost: " << error.what() << "\n";
        return 1;
    } catch (...) {
        std::cerr << "cabhost: unexpected error\n";
        return 1;
    }
}
