// Scenario and replay files: every problem is reported with the file and the line, and a valid
// file gives the values it says.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/scenario.h"

namespace {

using cabhost::ScenarioError;

const platform::Path File = "/scenarios/test.toml";

// The message of the error that parsing text raises, or "" when it parses.
std::string errorOf(const std::string& text) {
    try {
        cabhost::parseScenario(text, File);
    } catch (const ScenarioError& error) {
        return error.what();
    }
    return "";
}

TEST(ScenarioErrors, NameTheFileAndLine) {
    struct Case {
        const char* text;
        const char* where;  // expected "file:line" part
        const char* words;  // expected in the message
    };
    const Case cases[] = {
        {"duration_s = 10\n\n[model\nmass_t = 1\n", "test.toml:3:", ""},  // TOML syntax
        {"duration_s = 10\n[[event]]\ntime = 1\npowr = 3\n", "test.toml:4:", "unknown key \"powr\""},
        {"duration_s = 10\n[[event]]\ntime = 1\npower = \"high\"\n", "test.toml:4:", "whole number"},
        {"duration_s = 10\n[vehicle_spec]\nbrake_notches = 0\n", "test.toml:3:", "between 1 and 255"},
        {"duration_s = 10\n[[event]]\ntime = 1\nspeed_above = 5\n", "test.toml:", "one condition"},
        {"duration_s = 10\n[[event]]\ndoor = \"ajar\"\n", "test.toml:3:", "\"open\" or \"close\""},
        {"duration_s = 10\n[frames]\ninterval_ms = 0\n", "test.toml:3:", "interval_ms"},
        {"duration_s = 10\n[frames]\ninterval_ms = { min = 30, max = 10 }\n", "test.toml:3:", "below"},
        {"duration_s = 10\n[frames]\ninterval_ms = []\n", "test.toml:3:", "no intervals"},
        {"duration_s = 10\n[model]\nmass_t = -5\n", "test.toml:3:", "mass_t"},
        {"duration_s = 10\n[model]\nmr_cut_in_kpa = 900\nmr_cut_out_kpa = 800\n", "test.toml:", "mr_cut_out_kpa"},
        {"duration_s = 10\n[[event]]\nbeacon = { signal = 1 }\n", "test.toml:3:", "needs a type"},
        {"duration_s = 10\n[[event]]\nkey_down = [4, 300]\n", "test.toml:3:", "key_down"},
        {"title = \"no duration\"\n", "test.toml:1:", "duration_s"},
        {"duration_s = 10\nvehicle = 3\n", "test.toml:2:", "text in quotes"},
        {"duration_s = 10\nchain = \"lib.so\"\n", "test.toml:2:", "list"},
        {"duration_s = nan\n", "test.toml:1:", "duration_s"},
        {"duration_s = 86400\n[frames]\ninterval_ms = 1\n", "test.toml:1:", "frames"},
        {"duration_s = 10\n[[expect]]\nspeed_kmh = 5\n", "test.toml:2:", "needs at_s"},
        {"duration_s = 10\n[[expect]]\nsound = 3\nmode = 2\n", "test.toml:", "checks one thing"},
        {"duration_s = 10\n[[expect]]\npanel = 3\nvalue = [9, 1]\nat_s = 1\n", "test.toml:4:", "lowest"},
    };
    for (const Case& c : cases) {
        const std::string message = errorOf(c.text);
        EXPECT_NE(message.find(c.where), std::string::npos) << c.text << "\n-> " << message;
        EXPECT_NE(message.find(c.words), std::string::npos) << c.text << "\n-> " << message;
    }
}

TEST(ScenarioErrors, UnreadableFileIsReportedByName) {
    try {
        cabhost::loadScenario("/nonexistent/folder/none.toml");
        FAIL() << "no error";
    } catch (const ScenarioError& error) {
        EXPECT_NE(std::string(error.what()).find("none.toml"), std::string::npos);
    }
    try {
        cabhost::loadScenario(std::filesystem::temp_directory_path());
        FAIL() << "no error";
    } catch (const ScenarioError& error) {
        EXPECT_NE(std::string(error.what()).find("is a folder"), std::string::npos);
    }
}

TEST(ScenarioParsing, ReadsEveryPart) {
    const cabhost::Scenario s = cabhost::parseScenario(R"(
title = "t"
vehicle = "../vehicle"
chain = ["a/lib.so"]
duration_s = 12.5
initialize = 1
start_speed_kmh = 30
[vehicle_spec]
brake_notches = 7
car_count = 6
[frames]
interval_ms = [16, 17, 50]
start_time_ms = 1000
[model]
mass_t = 200
regen_on_service_brake = false
[[event]]
door = "close"
reverser = -1
[[event]]
after = 2
power = 3
key_down = [5, 6]
shift = true
[[event]]
location = 100
beacon = [{ type = 7, signal = 2, optional = -1 }, { type = 8 }]
)",
                                                       File);
    EXPECT_EQ(s.title, "t");
    EXPECT_EQ(*s.vehicle, platform::Path("/vehicle"));
    ASSERT_TRUE(s.chain);
    EXPECT_EQ(s.chain->front(), platform::Path("/scenarios/a/lib.so"));
    EXPECT_DOUBLE_EQ(s.durationS, 12.5);
    EXPECT_EQ(s.initializeValue, 1);
    EXPECT_DOUBLE_EQ(s.startSpeedKmh, 30.0);
    EXPECT_EQ(s.spec.brakeNotches, 7);
    EXPECT_EQ(s.spec.carCount, 6);
    EXPECT_EQ(s.clock.patternMs, (std::vector<int32_t>{16, 17, 50}));
    EXPECT_EQ(s.clock.startTimeMs, 1000);
    EXPECT_DOUBLE_EQ(s.model.massT, 200.0);
    EXPECT_FALSE(s.model.regenOnServiceBrake);
    ASSERT_EQ(s.events.size(), 3u);
    EXPECT_EQ(s.events[0].trigger, cabhost::Trigger::Immediately);
    EXPECT_EQ(*s.events[0].doorsClosed, true);
    EXPECT_EQ(*s.events[0].reverser, -1);
    EXPECT_EQ(s.events[1].trigger, cabhost::Trigger::After);
    EXPECT_EQ(s.events[1].keysDown, (std::vector<int32_t>{5, 6}));
    ASSERT_EQ(s.events[1].keyStates.size(), 1u);
    EXPECT_EQ(s.events[1].keyStates[0].virtualKey, platform::VirtualKeyShift);
    EXPECT_EQ(s.events[2].line, 25);  // the text starts with an empty line
    ASSERT_EQ(s.events[2].beacons.size(), 2u);
    EXPECT_EQ(s.events[2].beacons[0].signal, 2);
    EXPECT_EQ(s.events[2].beacons[0].optional, -1);
    EXPECT_EQ(s.events[2].beacons[1].type, 8);
}

class ReplayFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("cabhost_replay_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    platform::Path write(const std::string& text) {
        const platform::Path file = dir_ / "states.csv";
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    std::string errorOf(const std::string& text) {
        try {
            cabhost::loadReplay(write(text));
        } catch (const ScenarioError& error) {
            return error.what();
        }
        return "";
    }
    std::filesystem::path dir_;
};

TEST_F(ReplayFile, ReadsColumnsByNameInAnyOrder) {
    const auto states =
        cabhost::loadReplay(write("speed_kmh,extra,time_ms,location_m,current_a\r\n"
                                  "10.5,x,100,1.25,300\r\n"
                                  "\r\n"
                                  "11,y,120,1.5,-20\r\n"));
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0].time, 100);
    EXPECT_FLOAT_EQ(states[0].speed, 10.5f);
    EXPECT_DOUBLE_EQ(states[0].location, 1.25);
    EXPECT_FLOAT_EQ(states[1].current, -20.0f);
    EXPECT_FLOAT_EQ(states[1].bcPressure, 0.0f);  // a column that is not there reads 0
}

TEST_F(ReplayFile, ProblemsNameTheLine) {
    EXPECT_NE(errorOf("time_ms,speed_kmh\n1,2\n").find(":1: the header has no column location_m"), std::string::npos);
    EXPECT_NE(errorOf("time_ms,location_m,speed_kmh\n1,2,3\n2,x,3\n").find(":3: location_m is not a number"),
              std::string::npos);
    EXPECT_NE(errorOf("time_ms,location_m,speed_kmh\n1,2,3\n2,3\n").find(":3: the row has no value for speed_kmh"),
              std::string::npos);
    EXPECT_NE(errorOf("time_ms,location_m,speed_kmh\n100,0,0\n50,0,0\n").find(":3: time_ms goes back"),
              std::string::npos);
    EXPECT_NE(errorOf("time_ms,location_m,speed_kmh\n").find("no rows"), std::string::npos);
    EXPECT_NE(errorOf("").find("empty"), std::string::npos);
    EXPECT_NE(errorOf("time_ms,location_m,speed_kmh\n1e12,0,0\n").find("out of range"), std::string::npos);
    EXPECT_NE(errorOf("time_ms,location_m,speed_kmh\n1,0,1e39\n").find(":2: speed_kmh is out of range"),
              std::string::npos);
    EXPECT_NE(errorOf(std::string("\xFF\xFEt\0i\0\n\0", 8)).find("states.csv: the file is saved as UTF-16"),
              std::string::npos);
    try {
        cabhost::loadScenario(write(std::string("\xFE\xFF\0[", 4)));
    } catch (const ScenarioError& error) {
        EXPECT_NE(std::string(error.what()).find("states.csv: the file is saved as UTF-16"), std::string::npos);
    }
}

}  // namespace

namespace {

// The complete example of the documentation is a valid scenario.
TEST(ScenarioParsing, DocumentedExampleParses) {
    std::ifstream in(std::string(CABHOST_SOURCE_DIR) + "/docs/cabhost.md");
    ASSERT_TRUE(in);
    std::string line, example;
    bool inside = false, found = false;
    while (std::getline(in, line)) {
        if (!inside && line == "```toml" && !found) {
            inside = true;
        } else if (inside && line == "```") {
            inside = false;
            found = true;
        } else if (inside) {
            example += line + "\n";
        }
    }
    ASSERT_TRUE(found);
    const cabhost::Scenario s = cabhost::parseScenario(example, "/docs/example.toml");
    EXPECT_EQ(s.events.size(), 7u);
    EXPECT_EQ(s.events[4].beacons.size(), 1u);
    EXPECT_EQ(s.events[6].keysUp, (std::vector<int32_t>{4}));
}

}  // namespace
