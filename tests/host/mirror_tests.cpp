// The mirror of the vehicle in the output folder: whatever stands around it, whatever a chained
// library writes, and however the run ends, nothing outside the output folder changes and nothing
// the run made is left behind but the unchanged copies.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "host/run.h"
#include "host_test_support.h"

namespace {

namespace fs = std::filesystem;
using hosttest::TempDir;

const fs::path ChainWriter = CHAIN_WRITER_PLUGIN;

struct Around {
    fs::path vehicle, keep, out;
};

// Every entry under dir, without following a link, named relative to dir.
std::vector<std::string> entriesUnder(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(fs::relative(it->path(), dir).string());
    return names;
}

TEST(RunMirror, NothingOutsideTheOutputFolderChangesAndNothingTheRunMadeStays) {
    struct Case {
        const char* name;
        std::function<void(const Around&)> before, between;
        bool chained = false;
    };
    const auto linkKeep = [](const char* place) {
        return [place](const Around& a) { fs::create_directory_symlink(a.keep, a.out / place); };
    };
    const Case cases[] = {
        {"a link at the mirror's place", linkKeep(".cabhost-vehicle"), {}},
        {"a link at the copies' place", linkKeep(".cabhost-copies"), {}},
        {"a read-only vehicle",
         [](const Around& a) {
             for (const auto& e : fs::recursive_directory_iterator(a.vehicle))
                 if (e.is_regular_file()) fs::permissions(e.path(), fs::perms::owner_read | fs::perms::group_read);
         },
         {}},
        {"a copy replaced by a link between runs", {},
         [](const Around& a) {
             const fs::path copy = a.out / ".cabhost-copies" / fs::absolute(a.vehicle).relative_path() / "plugin" /
                                   "Notch.txt";
             ASSERT_TRUE(fs::remove(copy));
             fs::create_symlink(a.keep / "keep.txt", copy);
         }},
        {"a chained library writing beside itself",
         [](const Around& a) {
             fs::copy_file(ChainWriter, a.vehicle / "plugin" / ChainWriter.filename());
             hosttest::writeFile(a.vehicle / "plugin" / "detailmodules.txt", ChainWriter.filename().string() + "\n");
             hosttest::writeFile(a.vehicle / "plugin" / "state.ini", "the author's\n");
         },
         {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const Around a{hosttest::copySampleVehicle(dir.path()), dir.path() / "keep", dir.path() / "out"};
        hosttest::writeFile(a.keep / "keep.txt", "must survive\n");
        fs::create_directories(a.out);
        if (c.before) c.before(a);
        const auto vehicleBefore = hosttest::snapshot(a.vehicle);
        const fs::path scenario = dir.path() / "s.toml";
        hosttest::writeFile(scenario, "vehicle = \"vehicle\"\nduration_s = 0.5\n");
        for (int runNumber = 1; runNumber <= 2; ++runNumber) {
            if (runNumber == 2 && c.between) c.between(a);
            const hosttest::Ran r = hosttest::run(scenario, a.out);
            ASSERT_EQ(r.outcome.exitCode, cabhost::ExitOk) << "run " << runNumber << ": " << r.err;
            EXPECT_EQ(hosttest::readFile(a.keep / "keep.txt"), "must survive\n");
            EXPECT_EQ(hosttest::snapshot(a.vehicle), vehicleBefore);
            EXPECT_FALSE(fs::exists(fs::symlink_status(a.out / ".cabhost-vehicle")));
            // The library did run, from the mirror, and what it wrote went with the mirror.
            EXPECT_EQ(r.outcome.simulation.hostSoundsStarted.count(250), c.chained ? 1u : 0u);
            for (const std::string& name : entriesUnder(a.out)) {
                EXPECT_EQ(name.find("new.txt"), std::string::npos) << name;
                EXPECT_FALSE(fs::is_symlink(fs::symlink_status(a.out / name))) << name;
                if (name.find("state.ini") != std::string::npos) {
                    EXPECT_EQ(hosttest::readFile(a.out / name), "the author's\n");
                }
            }
        }
    }
}

TEST(RunMirror, SigtermStopsTheRunCleansUpAndExitsNonZero) {
    TempDir dir;
    hosttest::copySampleVehicle(dir.path());
    hosttest::writeFile(dir.path() / "s.toml", "vehicle = \"vehicle\"\nduration_s = 30\n");
    // Sent once the mirror exists, while the frames run at the speed of the clock.
    const std::string script = "cd '" + dir.path().string() + "' && { '" CABHOST_EXE
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
