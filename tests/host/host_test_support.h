// Temporary folders and copies of the sample vehicle for the host's tests.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "host/run.h"

namespace hosttest {

namespace fs = std::filesystem;

inline const fs::path SourceDir = CABHOST_SOURCE_DIR;
inline const fs::path SampleVehicle = SourceDir / "samples" / "vehicle";

// A fresh folder, removed at the end of the test.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = fs::temp_directory_path() /
                ("cabhost_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

inline void writeFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

inline std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Ran {
    cabhost::RunOutcome outcome;
    std::string out, err;
};

// A run without plots, with what it printed.
inline Ran run(const fs::path& scenario, const fs::path& outDir, const std::optional<fs::path>& plugin = std::nullopt) {
    cabhost::RunSettings settings;
    settings.scenarioFile = scenario;
    settings.outDir = outDir;
    settings.pluginLibrary = plugin;
    settings.plots = false;
    std::ostringstream out, err;
    Ran r;
    r.outcome = cabhost::runCommand(settings, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// Copies the sample vehicle (with its generated sounds) to dir/vehicle and returns that folder.
inline fs::path copySampleVehicle(const fs::path& dir) {
    const fs::path target = dir / "vehicle";
    fs::copy(SampleVehicle, target, fs::copy_options::recursive);
    return target;
}

// Every file under dir with its size and content, to prove that nothing changed.
inline std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        files[fs::relative(entry.path(), dir).string()] = entry.is_regular_file() ? readFile(entry.path()) : "<dir>";
    }
    return files;
}

}  // namespace hosttest
