// A scratch directory per test with helpers to write files into it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "config/config_error.h"

namespace config_test {

class ScratchDir {
public:
    ScratchDir() {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "corvane_config_";
        if (info) name += std::string(info->test_suite_name()) + "_" + info->name() + "_";
        name += std::to_string(counter++);
        root_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path path(std::string_view relative) const { return root_ / std::filesystem::path(relative); }

    // Writes bytes exactly as given (no line-end translation).
    std::filesystem::path write(std::string_view relative, std::string_view bytes) const {
        const std::filesystem::path file = path(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

private:
    std::filesystem::path root_;
};

// The message of the ConfigError that work throws; fails the test when it throws none.
template <class Work>
std::string configErrorOf(Work&& work) {
    try {
        work();
    } catch (const config::ConfigError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no configuration error";
    return {};
}

}  // namespace config_test
