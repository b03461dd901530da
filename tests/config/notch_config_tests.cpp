#include <gtest/gtest.h>

#include <random>
#include <string>

#include "config/notch_config.h"
#include "config_test_support.h"

namespace {

using config::NotchConfig;
using config_test::configErrorOf;
using config_test::ScratchDir;

// A small, complete vehicle; each test changes what it is about.
struct VehicleFiles {
    std::string notch =
        "[Power]\n"
        "Params = p.txt\n"
        "Current = pc.csv\n"
        "NoLoadCurrent = pn.csv\n"
        "[Brake]\n"
        "Params = b.txt\n"
        "MaxCurrent = bm.csv\n"
        "NoLoadCurrent = bn.csv\n";
    std::string power = "RequiredNotch_Up, 1, 2, 3, 4\nJerkRegulation_Down, 0, 60\n";
    std::string brake =
        "RequiredNotch_Up, 0, 0, 0, 0, 0, 0, 0, 30\n"
        "CurrentLimitingValue_Empty, 150000\n"
        "CurrentLimitingValue_Full, 250000\n"
        "JerkRegulation_Down, 80\n";
    std::string powerCurrent = "v,1,2,3,4\n0,100,200,300,400\n50,10,20,30,40\n";
    std::string powerNoLoad = "v,1,2,3,4\n0,10,20,30,40\n";
    std::string brakeMax = "v,1,2,3,4,5,6,7,8\n0,1,2,3,4,5,6,7,8\n100,10,20,30,40,50,60,70,80\n";
    std::string brakeNoLoad = "v,1,2,3,4,5,6,7,8\n0,,,,,,,,25\n100,,,,,,,,5\n";

    std::filesystem::path write(const ScratchDir& dir) const {
        dir.write("p.txt", power);
        dir.write("b.txt", brake);
        dir.write("pc.csv", powerCurrent);
        dir.write("pn.csv", powerNoLoad);
        dir.write("bm.csv", brakeMax);
        dir.write("bn.csv", brakeNoLoad);
        return dir.write("Notch.txt", notch);
    }
};

std::string quotedPath(const ScratchDir& dir, std::string_view name) {
    return "\"" + dir.path(name).string() + "\"";
}

TEST(NotchFileGrammar, CompleteVehicleLoads) {
    ScratchDir dir;
    NotchConfig c;
    config::NotchFilesFound found;
    c.load(VehicleFiles{}.write(dir), &found);
    EXPECT_TRUE(found.notchFile && found.powerCurrent && found.powerNoLoadCurrent && found.brakeMaxCurrent &&
                found.brakeNoLoadCurrent);
    EXPECT_EQ(c.powerParamsPath, dir.path("p.txt"));
    EXPECT_EQ(c.brakeNoLoadCurrentPath, dir.path("bn.csv"));
    EXPECT_EQ(c.powerNotchCount, 4u);
    ASSERT_EQ(c.powerCurrent.size(), 4u);
    ASSERT_EQ(c.powerNoLoadCurrent.size(), 4u);
    EXPECT_EQ(c.powerCurrent[3].lookup(25), 220);
    EXPECT_EQ(c.powerJerk, 60);
    EXPECT_EQ(c.brakeNotchCount, 8u);
    EXPECT_EQ(c.brakeReferenceSpeed, 30);
    EXPECT_EQ(c.limitValueEmpty, 150);
    EXPECT_EQ(c.limitValueFull, 250);
    EXPECT_EQ(c.brakeJerk, 80);
    ASSERT_EQ(c.brakeMaxCurrent.size(), 8u);
    EXPECT_EQ(c.brakeMaxCurrent[7].lookup(50), 44);
    EXPECT_EQ(c.brakeNoLoadCurrent.lookup(50), 15);
}

TEST(NotchFileGrammar, SectionHeadersIgnoreCaseButNotBlanks) {
    ScratchDir dir;
    VehicleFiles files;
    files.notch =
        "Params = wrong.txt\n"  // before any section
        "[POWER]\n"
        "Params = p.txt\n"
        "[brake]\n"
        "params = b.txt\n"
        "[ Power]\n"  // not a header: the brake section stays in force
        "MaxCurrent = bm.csv\n"
        "[Other]\n"
        "NoLoadCurrent = bn.csv\n"
        "Current = pc.csv\n"  // a power key inside [Brake]
        "[power]\n"
        "MaxCurrent = nothing.csv\n"  // a brake key inside [Power]
        "current = pc.csv\n"
        "NOLOADCURRENT = pn.csv\n";
    NotchConfig c;
    c.load(files.write(dir));
    EXPECT_EQ(c.powerParamsPath, dir.path("p.txt"));
    EXPECT_EQ(c.brakeParamsPath, dir.path("b.txt"));
    EXPECT_EQ(c.brakeMaxCurrentPath, dir.path("bm.csv"));
    EXPECT_EQ(c.brakeNoLoadCurrentPath, dir.path("bn.csv"));
    EXPECT_EQ(c.powerCurrentPath, dir.path("pc.csv"));
    EXPECT_EQ(c.powerNoLoadCurrentPath, dir.path("pn.csv"));
    EXPECT_EQ(c.section, 1);
}

TEST(NotchFileGrammar, CommentsWhiteSpaceBomAndCrLf) {
    ScratchDir dir;
    VehicleFiles files;
    files.notch =
        "\xEF\xBB\xBF; sample\r\n"
        "\xE3\x80\x80[Power]\xE3\x80\x80 # the power side\r\n"
        "\tParams\xE3\x80\x80=\xE3\x80\x80p.txt   ; comment after blanks\r\n"
        "Current=pc.csv#x\r\n"
        "NoLoadCurrent = pn.csv = more\r\n"
        "[Brake];\r\n"
        "Params = x.txt\r\n"
        "Params = b.txt\r\n"  // a repeated key overwrites
        "MaxCurrent = bm.csv\r\n"
        "NoLoadCurrent = bn.csv";
    files.powerCurrent = "v,1,2,3,4\r\n0,100,200,300,400\r\n";
    NotchConfig c;
    c.load(files.write(dir));
    EXPECT_EQ(c.powerParamsPath, dir.path("p.txt"));
    EXPECT_EQ(c.powerCurrentPath, dir.path("pc.csv"));
    EXPECT_EQ(c.powerNoLoadCurrentPath, dir.path("pn.csv = more"));  // split at the first "="
    EXPECT_EQ(c.brakeParamsPath, dir.path("b.txt"));
    EXPECT_EQ(c.powerCurrent[3].lookup(0), 400);
}

TEST(NotchFileGrammar, ValuesAreRelativeToTheNotchFileWithEitherSeparator) {
    ScratchDir dir;
    VehicleFiles files;
    files.notch = "[Power]\nParams = sub\\deeper/p2.txt\n[Brake]\nParams = ..\\up\\b2.txt\n";
    dir.write("plugin/sub/deeper/p2.txt", files.power);
    dir.write("up/b2.txt", files.brake);
    NotchConfig c;
    c.load(dir.write("plugin/Notch.txt", files.notch));
    EXPECT_EQ(c.powerParamsPath, dir.path("plugin/sub/deeper/p2.txt"));
    EXPECT_EQ(c.powerJerk, 60);
    EXPECT_EQ(c.brakeJerk, 80);
}

TEST(NotchFileGrammar, ValueIsNotUnquoted) {
    ScratchDir dir;
    VehicleFiles files;
    files.notch = "[Power]\nParams = \"p.txt\"\n";
    const auto notch = files.write(dir);
    NotchConfig c;
    EXPECT_EQ(configErrorOf([&] { c.load(notch); }),
              "power parameter file " + quotedPath(dir, "\"p.txt\"") +
                  " cannot be opened (named by Params in the [Power] section of the notch definition file)");
}

TEST(NotchFileGrammar, SecondLoadReplacesTablesAndKeepsPathsThatDoNotRecur) {
    ScratchDir dir;
    VehicleFiles files;
    NotchConfig c;
    c.load(files.write(dir));
    files.notch = "[Power]\nParams = p.txt\n";  // no curve keys this time
    files.power = "RequiredNotch_Up, 1, 2\nJerkRegulation_Down, 5\n";
    c.load(files.write(dir));
    EXPECT_EQ(c.powerCurrentPath, dir.path("pc.csv"));
    EXPECT_EQ(c.powerNotchCount, 2u);
    ASSERT_EQ(c.powerCurrent.size(), 2u);
    EXPECT_EQ(c.powerCurrent[1].lookup(0), 200);
    EXPECT_EQ(c.powerJerk, 5);

    // Without Notch.txt every path is kept.
    std::filesystem::remove(dir.path("Notch.txt"));
    config::NotchFilesFound found;
    c.load(dir.path("Notch.txt"), &found);
    EXPECT_FALSE(found.notchFile);
    EXPECT_EQ(c.brakeNotchCount, 8u);
}

TEST(ParameterLines, TrailingCommaAndPrefixMatch) {
    ScratchDir dir;
    VehicleFiles files;
    files.power =
        "requirednotch_up, 1\n"  // keywords are compared with case
        "RequiredNotch_Up, 1, 2, 3, 4,\n"
        "RequiredNotch_Up, 1\n"  // only the first counts
        "JerkRegulation_DownX, 7, 12A ; unit ignored\n"
        "JerkRegulation_Down, 99\n";
    NotchConfig c;
    c.load(files.write(dir));
    EXPECT_EQ(c.powerNotchCount, 4u);
    EXPECT_EQ(c.powerJerk, 12);
}

TEST(ParameterLines, PowerReadingStopsAtTheFirstCountLine) {
    ScratchDir dir;
    VehicleFiles files;
    files.power = "RequiredNotch_Up, 1, 2, 3, 4\nRequiredNotch_Up, x\nJerkRegulation_Down, 6\nJerkRegulation_Down, x\n";
    NotchConfig c;
    c.load(files.write(dir));
    EXPECT_EQ(c.powerNotchCount, 4u);
    EXPECT_EQ(c.powerJerk, 6);
}

TEST(ParameterLines, BrakeCountAndLimitsTakeTheLastLine) {
    ScratchDir dir;
    VehicleFiles files;
    files.brake =
        "RequiredNotch_Up, 1, 2, 3\n"  // too few, but a later line replaces it
        "CurrentLimitingValue_Full, 100\n"
        "CurrentLimitingValue_Empty, 1, 2\n"
        "JerkRegulation_Down, 11\n"
        "RequiredNotch_Up, 0,0,0,0,0,0,0,0,45\n"
        "CurrentLimitingValue_Full, 250\n"
        "JerkRegulation_Down, 22\n";
    files.brakeNoLoad = "v,1,2,3,4,5,6,7,8,9\n0,,,,,,,,,25\n";
    NotchConfig c;
    c.load(files.write(dir));
    EXPECT_EQ(c.brakeNotchCount, 9u);
    EXPECT_EQ(c.brakeReferenceSpeed, 45);
    EXPECT_EQ(c.limitValueFull, 0.25f);
    EXPECT_EQ(c.limitValueEmpty, 0.001f);
    EXPECT_EQ(c.brakeJerk, 11);
    EXPECT_EQ(c.brakeMaxCurrent.size(), 9u);
    EXPECT_EQ(c.brakeNoLoadCurrent.lookup(3), 25);
}

TEST(ParameterLines, BrakeFileWithoutLimitLinesKeepsThem) {
    ScratchDir dir;
    VehicleFiles files;
    files.brake = "RequiredNotch_Up, 0,0,0,0,0,0,0,30\nJerkRegulation_Down, 1\n";
    NotchConfig c;
    c.load(files.write(dir));
    EXPECT_EQ(c.limitValueEmpty, 0);
    EXPECT_EQ(c.limitValueFull, 0);
}

TEST(ParameterLines, MissingCurveFilesLeaveEmptyTables) {
    ScratchDir dir;
    VehicleFiles files;
    files.notch = "[Power]\nParams = p.txt\n[Brake]\nParams = b.txt\nMaxCurrent = none.csv\n";
    NotchConfig c;
    config::NotchFilesFound found;
    c.load(files.write(dir), &found);
    EXPECT_FALSE(found.powerCurrent || found.powerNoLoadCurrent || found.brakeMaxCurrent || found.brakeNoLoadCurrent);
    ASSERT_EQ(c.powerCurrent.size(), 4u);
    EXPECT_TRUE(c.powerCurrent[0].points.empty());
    ASSERT_EQ(c.brakeMaxCurrent.size(), 8u);
    EXPECT_EQ(c.brakeMaxCurrentAt(5, -40), 40);  // an empty table returns the speed itself
}

TEST(NotchAccessors, IndicesAreClampedAndSpeedsTakenAbsolute) {
    ScratchDir dir;
    NotchConfig c;
    c.load(VehicleFiles{}.write(dir));
    EXPECT_EQ(c.powerCurrentAt(1, -25), 110);
    EXPECT_EQ(c.powerCurrentAt(3, 25), 220);
    EXPECT_EQ(c.powerCurrentAt(99, 25), 220);
    EXPECT_EQ(c.powerCurrentAt(-1, 25), 55);
    EXPECT_EQ(c.powerNoLoadCurrentAt(20, -1), 40);
    EXPECT_EQ(c.brakeMaxCurrentAt(5, -50), 33);
    EXPECT_EQ(c.brakeMaxCurrentAt(8, 50), 44);
    EXPECT_EQ(&c.brakeMaxCurrentTable(1000), &c.brakeMaxCurrent.back());
    EXPECT_EQ(c.highestBrakeMaxCurrentAt(-100), 80);
    EXPECT_EQ(c.brakeNoLoadCurrentAt(-50), 15);
}

TEST(NotchAccessors, EmptyRecordNeverIndexesOutside) {
    const NotchConfig c;
    EXPECT_EQ(c.powerCurrentAt(1, -12), 12);
    EXPECT_EQ(c.powerNoLoadCurrentAt(0, 3), 3);
    EXPECT_EQ(c.brakeMaxCurrentAt(7, 5), 5);
    EXPECT_EQ(c.highestBrakeMaxCurrentAt(30), 30);
    EXPECT_TRUE(c.powerCurrentTable(2147483647).points.empty());
}

TEST(NotchErrors, MissingNotchFileOrParamsKey) {
    ScratchDir dir;
    NotchConfig c;
    EXPECT_EQ(configErrorOf([&] { c.load(dir.path("Notch.txt")); }),
              "notch definition file " + quotedPath(dir, "Notch.txt") +
                  " cannot be opened, so no power parameter file is named");
    VehicleFiles files;
    files.notch = "[Brake]\nParams = b.txt\n";
    const auto notch = files.write(dir);
    EXPECT_EQ(configErrorOf([&] { NotchConfig().load(notch); }),
              "notch definition file " + quotedPath(dir, "Notch.txt") + " has no Params line in its [Power] section");
    files.notch = "[Power]\nParams = p.txt\n";
    files.write(dir);
    EXPECT_EQ(configErrorOf([&] { NotchConfig().load(notch); }),
              "notch definition file " + quotedPath(dir, "Notch.txt") + " has no Params line in its [Brake] section");
}

TEST(NotchErrors, PowerParameterFile) {
    ScratchDir dir;
    VehicleFiles files;
    const std::string p = "power parameter file " + quotedPath(dir, "p.txt");
    auto loadWith = [&](const std::string& power) {
        files.power = power;
        const auto notch = files.write(dir);
        return configErrorOf([&] { NotchConfig().load(notch); });
    };
    EXPECT_EQ(loadWith("JerkRegulation_Down, 5\n"),
              p + ": no RequiredNotch_Up line (it gives the number of power notches)");
    EXPECT_EQ(loadWith("\n; x\nRequiredNotch_Up,\n"),
              p + " line 3: RequiredNotch_Up lists no power notches (one value per notch must follow the keyword, "
                  "separated by commas)");
    EXPECT_EQ(loadWith("RequiredNotch_Up" + std::string(256, ',') + "0\n"),
              p + " line 1: RequiredNotch_Up lists 256 power notches; at most 255 are possible");
    EXPECT_EQ(loadWith("RequiredNotch_Up, 1\n"), p + ": no JerkRegulation_Down line");
    EXPECT_EQ(loadWith("RequiredNotch_Up, 1\nJerkRegulation_Down\n"),
              p + " line 2: JerkRegulation_Down has no value after the keyword: invalid stof argument");
    EXPECT_EQ(loadWith("RequiredNotch_Up, 1\nJerkRegulation_Down, 1, fast\n"),
              p + " line 2: \"fast\" is not a number (the load current in A, the line's last value, is expected here): invalid stof argument");
    EXPECT_EQ(loadWith("RequiredNotch_Up, 1\nJerkRegulation_Down, 1e39\n"),
              p + " line 2: \"1e39\" is beyond the range of a single-precision number "
                  "(the load current in A, the line's last value, is expected here): stof argument out of range");
    std::filesystem::remove(dir.path("p.txt"));
    EXPECT_EQ(configErrorOf([&] { NotchConfig().load(dir.path("Notch.txt")); }),
              p + " cannot be opened (named by Params in the [Power] section of the notch definition file)");
}

TEST(NotchErrors, BrakeParameterFile) {
    ScratchDir dir;
    VehicleFiles files;
    const std::string b = "brake parameter file " + quotedPath(dir, "b.txt");
    auto loadWith = [&](const std::string& brake) {
        files.brake = brake;
        const auto notch = files.write(dir);
        return configErrorOf([&] { NotchConfig().load(notch); });
    };
    EXPECT_EQ(loadWith("JerkRegulation_Down, 5\n"),
              b + ": no RequiredNotch_Up line (it gives the number of brake notches)");
    EXPECT_EQ(loadWith("RequiredNotch_Up\n"),
              b + " line 1: RequiredNotch_Up lists no brake notches (one value per notch must follow the keyword, "
                  "separated by commas)");
    EXPECT_EQ(loadWith("; five notches\nRequiredNotch_Up, 0,0,0,0,30\nJerkRegulation_Down, 5\n"),
              b + " line 2: RequiredNotch_Up lists 5 brake notches; at least 8 are needed, because the electric "
                  "brake reads the current tables of brake notches 6 and 8");
    EXPECT_EQ(loadWith("RequiredNotch_Up, 0,0,0,0,0,0,0,O30\n"),
              b + " line 1: \"O30\" is not a number (the brake reference speed in km/h, the line's last value, is "
                  "expected here): invalid stof argument");
    EXPECT_EQ(loadWith("RequiredNotch_Up, 0,0,0,0,0,0,0,30\nCurrentLimitingValue_Full\n"),
              b + " line 2: CurrentLimitingValue_Full needs a value after the keyword, separated by a comma");
    EXPECT_EQ(loadWith("RequiredNotch_Up, 0,0,0,0,0,0,0,30\nCurrentLimitingValue_Empty, ,5\n"),
              b + " line 2: \"\" is not a number (the limiting value in Pa is expected here): invalid stof argument");
    EXPECT_EQ(loadWith("RequiredNotch_Up, 0,0,0,0,0,0,0,30\n"), b + ": no JerkRegulation_Down line");
    std::filesystem::remove(dir.path("b.txt"));
    EXPECT_EQ(configErrorOf([&] { NotchConfig().load(dir.path("Notch.txt")); }),
              b + " cannot be opened (named by Params in the [Brake] section of the notch definition file)");
}

TEST(NotchErrors, CurveFilesNameTheirKind) {
    ScratchDir dir;
    VehicleFiles files;
    files.brakeNoLoad = "v,1,2,3,4,5,6,7,8\n0,1,2,3,4,5,6,7\n";
    const auto notch = files.write(dir);
    EXPECT_EQ(configErrorOf([&] { NotchConfig().load(notch); }),
              "brake no-load current file " + quotedPath(dir, "bn.csv") +
                  " line 2: 8 fields, but column 8 needs at least 9 (x first, then one value per column)");
    files = VehicleFiles{};
    files.powerNoLoad = "v,1\n0,x\n";
    files.write(dir);
    EXPECT_EQ(configErrorOf([&] { NotchConfig().load(notch); }),
              "power no-load current file " + quotedPath(dir, "pn.csv") +
                  " line 2: \"x\" is not a number (the current in A of column 1 is expected here): invalid stof "
                  "argument");
}

TEST(NotchBadInput, ArbitraryBytesGiveAnErrorOrLoad) {
    ScratchDir dir;
    std::mt19937 random(20240611);
    const VehicleFiles valid;
    const auto notch = valid.write(dir);
    const std::pair<const char*, const std::string*> files[] = {
        {"Notch.txt", &valid.notch},     {"p.txt", &valid.power},        {"b.txt", &valid.brake},
        {"pc.csv", &valid.powerCurrent}, {"pn.csv", &valid.powerNoLoad}, {"bm.csv", &valid.brakeMax},
        {"bn.csv", &valid.brakeNoLoad}};
    const std::string alphabet = "RequiredNotch_Up,JerkRegulation_Down=[Power][Brake];#\r\n \t0123456789.e-+";
    for (int round = 0; round < 140; ++round) {
        const auto& [name, original] = files[round % 7];
        std::string target = *original;
        // Mutate a valid file: replace, insert and delete bytes, a third of them raw bytes.
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = target.empty() ? 0 : random() % target.size();
            const char c =
                (random() % 3 == 0) ? static_cast<char>(random() & 0xFF) : alphabet[random() % alphabet.size()];
            switch (random() % 3) {
                case 0:
                    if (!target.empty()) target[at] = c;
                    break;
                case 1: target.insert(target.begin() + static_cast<std::ptrdiff_t>(at), c); break;
                default:
                    if (!target.empty()) target.erase(at, 1 + random() % 4);
                    break;
            }
        }
        dir.write(name, target);
        NotchConfig c;
        try {
            c.load(notch);
            EXPECT_GE(c.powerNotchCount, 1u);
            EXPECT_GE(c.brakeNotchCount, config::MinBrakeNotchCount);
            EXPECT_EQ(c.powerCurrent.size(), c.powerNotchCount);
            EXPECT_EQ(c.brakeMaxCurrent.size(), c.brakeNotchCount);
        } catch (const config::ConfigError&) {
        }
        dir.write(name, *original);
    }
}

}  // namespace
