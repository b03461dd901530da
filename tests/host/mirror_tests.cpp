// The mirror of the vehicle in the output folder: whatever stands around it, whatever a chained
// library writes, and however the run ends, nothing outside the output folder changes and nothing
// the run made is left behind but the unchanged copies.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "host/run.h"
#include "host_test_support.h"

namespace {

namespace fs = std::filesystem;
using hosttest::TempDir;

const fs::path ChainWriter = CHAIN_WRITER_PLUGIN;

// Every entry under root but skip, without following a link: its kind, permissions, and content or
// link target.
std::map<std::string, std::string> stateOf(const fs::path& root, const fs::path& skip = {}) {
    std::map<std::string, std::string> state;
    for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
        if (it->path() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        const fs::file_status s = it->symlink_status();
        std::string& entry = state[fs::relative(it->path(), root).string()];
        entry = std::to_string(static_cast<int>(s.type())) + " " + std::to_string(static_cast<int>(s.permissions()));
        if (fs::is_symlink(s)) entry += " -> " + fs::read_symlink(it->path()).string();
        if (fs::is_regular_file(s))
            entry += " " + std::to_string(std::hash<std::string>{}(hosttest::readFile(it->path())));
    }
    return state;
}

// Vehicle trees with links (out of the tree, to an ancestor, dangling), hard links, read-only files
// and folders and odd names; sometimes a chained library that writes beside itself, a link where
// the mirror or its copies go, or a copy replaced by a link or hard link between two runs. No byte outside the
// output folder changes, and nothing the run made stays but unchanged copies.
TEST(RunMirror, GeneratedVehicleTreesStayAsTheyWere) {
    const std::string names[] = {"a b", "-x", "#;=", "駅 名", "..a", std::string(200, 'n')};
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
        TempDir dir;
        const fs::path vehicle = hosttest::copySampleVehicle(dir.path()), keep = dir.path() / "keep";
        const fs::path out = dir.path() / "out";
        hosttest::writeFile(keep / "keep.txt", "must survive\n");
        hosttest::writeFile(vehicle / "plugin" / "state.ini", "the author's\n");
        std::vector<fs::path> folders = {vehicle, vehicle / "plugin", vehicle / "plugin" / "notch"}, readOnly;
        for (int k = 0; k < 12; ++k) {
            const fs::path at = folders[pick(folders.size())] / (names[pick(std::size(names))] + std::to_string(k));
            switch (pick(6)) {
                case 0: hosttest::writeFile(at, "data " + std::to_string(k)); break;
                case 1: fs::create_directories(at), folders.push_back(at); break;
                case 2: fs::create_symlink(pick(2) ? keep : keep / "keep.txt", at); break;
                case 3: fs::create_directory_symlink(vehicle, at); break;
                case 4: fs::create_symlink(dir.path() / "nowhere", at); break;
                case 5: fs::create_hard_link(keep / "keep.txt", at); break;
            }
            if (pick(3) == 0 && !fs::is_symlink(fs::symlink_status(at))) readOnly.push_back(at);
        }
        const bool chained = seed % 2;
        if (chained) {
            fs::copy_file(ChainWriter, vehicle / "plugin" / ChainWriter.filename());
            hosttest::writeFile(vehicle / "plugin" / "detailmodules.txt", ChainWriter.filename().string() + "\n");
        }
        for (const fs::path& p : readOnly) fs::permissions(p, fs::perms::all, fs::perm_options::remove);
        fs::create_directories(out);
        if (seed % 3 == 0) fs::create_directory_symlink(keep, out / (pick(2) ? ".cabhost-vehicle" : ".cabhost-copies"));
        hosttest::writeFile(dir.path() / "s.toml", "vehicle = \"vehicle\"\nduration_s = 0.5\n");
        const auto before = stateOf(dir.path(), out);
        for (int runNumber = 1; runNumber <= 2; ++runNumber) {
            // A copy replaced by a link to the author's file, where the chained library writes.
            if (runNumber == 2 && seed % 4 == 1) {
                const fs::path copies = out / ".cabhost-copies" / vehicle.relative_path() / "plugin";
                ASSERT_TRUE(fs::remove(copies / "Notch.txt"));
                if (seed % 8 == 1) fs::create_symlink(keep / "keep.txt", copies / "Notch.txt");
                if (seed % 8 == 5) fs::create_hard_link(vehicle / "plugin" / "state.ini", copies / "state.ini");
            }
            const hosttest::Ran r = hosttest::run(dir.path() / "s.toml", out);
            EXPECT_EQ(r.outcome.exitCode, cabhost::ExitOk) << r.err;
            EXPECT_EQ(stateOf(dir.path(), out), before);
            // The library did run, from the mirror, and what it wrote went with the mirror.
            EXPECT_EQ(r.outcome.simulation.hostSoundsStarted.count(250), chained ? 1u : 0u);
            for (const auto& [name, entry] : stateOf(out)) {
                EXPECT_TRUE(name.find("new.txt") == name.npos && entry.find(" -> ") == entry.npos) << name;
                if (name.find("state.ini") != name.npos) EXPECT_EQ(hosttest::readFile(out / name), "the author's\n");
            }
        }
        for (const fs::path& p : readOnly) fs::permissions(p, fs::perms::owner_all, fs::perm_options::add);
    }
}

TEST(RunMirror, SigtermStopsTheRunCleansUpAndExitsNonZero) {
    TempDir dir;
    hosttest::copySampleVehicle(dir.path());
    hosttest::writeFile(dir.path() / "s.toml", "vehicle = \"vehicle\"\nduration_s = 30\n");
    // Sent once the mirror exists, while the frames run at the speed of the clock.
    const std::string script = "cd '" + dir.path().string() +
                               "' && { '" CABHOST_EXE
                               "' run s.toml --out out --realtime --no-plots >/dev/null 2>err & pid=$!; "
                               "for i in $(seq 200); do [ -d out/.cabhost-vehicle ] && break; sleep 0.05; done; "
                               "sleep 1; kill -TERM $pid; wait $pid; echo $? >status; }";
    ASSERT_EQ(std::system(script.c_str()), 0);
    EXPECT_EQ(hosttest::readFile(dir.path() / "status"), std::to_string(cabhost::ExitInterrupted) + "\n");
    EXPECT_NE(hosttest::readFile(dir.path() / "err").find("interrupted"), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "out" / ".cabhost-vehicle")));
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "trace.csv"));  // stopped at once, not after 30 s
}

}  // namespace
