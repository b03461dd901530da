// A scratch plug-in folder with copies of the test plug-ins, their configurations, the list file
// and the shared call log.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "chain/chain.h"

namespace chaintest {

namespace fs = std::filesystem;

// Called by the test plug-ins on every entry once they have logged it.
inline std::function<void(const std::string&, int32_t)>& probeHandler() {
    static std::function<void(const std::string&, int32_t)> handler;
    return handler;
}

inline void probeEntry(const char* entry, int32_t argument) {
    if (probeHandler()) probeHandler()(entry, argument);
}

class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::temp_directory_path() /
               ("corvane_chain_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
        fs::remove_all(root);
        fs::create_directories(root / "plugin");
        pluginDirectory = root / "plugin" / "";
        logPath = root / "calls.log";
        probeHandler() = nullptr;
    }

    void TearDown() override {
        probeHandler() = nullptr;
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // Copies a built test plug-in to folder/fileName with the given configuration lines; every copy
    // logs into the shared log under its name.
    fs::path install(const char* built, const std::string& fileName, const std::string& name,
                     const std::string& settings = "", const fs::path& folder = {}) {
        const fs::path target = (folder.empty() ? pluginDirectory : folder) / fileName;
        fs::create_directories(target.parent_path());
        fs::copy_file(built, target, fs::copy_options::overwrite_existing);
        char probe[64];
        std::snprintf(probe, sizeof probe, "%llx",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&probeEntry)));
        writeFile(fs::path(target.string() + ".cfg"),
                  "name=" + name + "\nlog=" + logPath.string() + "\nprobe=" + probe + "\n" + settings);
        return target;
    }

    static void writeFile(const fs::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }

    void writeList(const std::string& bytes) { writeFile(pluginDirectory / chain::ListFileName, bytes); }

    // The logged calls, one per line; the log is emptied so that each check sees only what followed.
    std::vector<std::string> takeLog() {
        std::vector<std::string> lines;
        std::ifstream in(logPath);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        in.close();
        fs::remove(logPath);
        return lines;
    }

    // The logged calls without the state details of Elapse.
    std::vector<std::string> takeCalls() {
        std::vector<std::string> calls = takeLog();
        for (std::string& call : calls) {
            const size_t at = call.find(" Elapse");
            if (at != std::string::npos) call = call.substr(0, at + 7);
        }
        return calls;
    }

    fs::path root;
    fs::path pluginDirectory;  // ends with a separator
    fs::path logPath;
};

// True when the file is mapped into this process.
inline bool isMapped(const fs::path& file) {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find(file.string()) != std::string::npos;
}

using Calls = std::vector<std::string>;

}  // namespace chaintest
