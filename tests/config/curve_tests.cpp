#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "config/curve_file.h"
#include "config/curve_table.h"
#include "config/text_reader.h"
#include "config_test_support.h"

namespace {

using config::CurvePoint;
using config::CurveTable;
using config_test::configErrorOf;
using config_test::ScratchDir;

CurveTable table(std::initializer_list<CurvePoint> points) {
    return CurveTable{std::vector<CurvePoint>(points)};
}

bool samePoints(const CurveTable& t, std::initializer_list<CurvePoint> expected) {
    if (t.points.size() != expected.size()) return false;
    size_t i = 0;
    for (const CurvePoint& p : expected) {
        if (t.points[i].x != p.x || t.points[i].y != p.y) return false;
        ++i;
    }
    return true;
}

TEST(CurveLookup, EmptyTableReturnsTheQuery) {
    const CurveTable empty;
    EXPECT_EQ(empty.lookup(42.5f), 42.5f);
    EXPECT_EQ(empty.lookup(-3.0f), -3.0f);
    EXPECT_TRUE(std::isnan(empty.lookup(std::numeric_limits<float>::quiet_NaN())));
}

TEST(CurveLookup, OnePointIsConstant) {
    const CurveTable one = table({{10, 7}});
    EXPECT_EQ(one.lookup(-100), 7);
    EXPECT_EQ(one.lookup(10), 7);
    EXPECT_EQ(one.lookup(std::numeric_limits<float>::quiet_NaN()), 7);
}

TEST(CurveLookup, InterpolatesAndExtendsEndSegments) {
    const CurveTable t = table({{0, 0}, {10, 100}, {20, 150}});
    EXPECT_EQ(t.lookup(5), 50);
    EXPECT_EQ(t.lookup(10), 100);
    EXPECT_EQ(t.lookup(15), 125);
    EXPECT_EQ(t.lookup(-5), -50);
    EXPECT_EQ(t.lookup(30), 200);
    const CurveTable two = table({{0, 0}, {10, 100}});
    EXPECT_EQ(two.lookup(-5), -50);
    EXPECT_EQ(two.lookup(20), 200);
}

TEST(CurveLookup, FormulaKeepsSinglePrecisionOrder) {
    const CurveTable t = table({{0.1f, 0.3f}, {0.7f, 1.9f}});
    const float x = 0.45f;
    const float expected = (0.3f - 1.9f) / (0.1f - 0.7f) * (x - 0.7f) + 1.9f;
    EXPECT_EQ(t.lookup(x), expected);
}

TEST(CurveLookup, EqualXGivesSteps) {
    const CurveTable t = table({{0, 0}, {10, 100}, {10, 300}, {20, 400}});
    EXPECT_EQ(t.lookup(10), 100);
    EXPECT_EQ(t.lookup(15), 350);
    EXPECT_EQ(t.lookup(10.5f), 305);
    // Equal x in the first segment returns the first y; in the last segment the last y.
    const CurveTable startStep = table({{0, 5}, {0, 9}, {10, 19}});
    EXPECT_EQ(startStep.lookup(-1), 5);
    const CurveTable endStep = table({{0, 0}, {10, 1}, {10, 8}});
    EXPECT_EQ(endStep.lookup(50), 8);
}

TEST(CurveLookup, NaNTakesTheLastSegment) {
    const CurveTable t = table({{0, 0}, {10, 100}});
    EXPECT_TRUE(std::isnan(t.lookup(std::numeric_limits<float>::quiet_NaN())));
    const CurveTable endStep = table({{0, 0}, {10, 1}, {10, 8}});
    EXPECT_EQ(endStep.lookup(std::numeric_limits<float>::quiet_NaN()), 8);
    EXPECT_EQ(t.lookup(std::numeric_limits<float>::infinity()), std::numeric_limits<float>::infinity());
}

TEST(CurveFiles, HeaderIsAlwaysSkippedAndRowsAreSorted) {
    ScratchDir dir;
    const auto file = dir.write("c.csv", "0,1,2\n10,5,50\n0,7,70\n");
    std::vector<CurveTable> tables;
    EXPECT_TRUE(config::readCurveColumns(file, {1, 2}, tables, "curve file"));
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_TRUE(samePoints(tables[0], {{0, 7}, {10, 5}}));
    EXPECT_TRUE(samePoints(tables[1], {{0, 70}, {10, 50}}));
}

TEST(CurveFiles, ShortRowsAndEmptyFieldsAddNothingToThatColumn) {
    ScratchDir dir;
    const auto file = dir.write("c.csv",
                                "speed,n1,n2,n3\n"
                                "0,1,,3\n"
                                "5,2 ; rest is a comment\n"
                                "  \n"
                                "; a whole-line comment\n"
                                "\n"
                                "10,4,5,6,\n"
                                "15,, ,\n");
    std::vector<CurveTable> tables;
    config::readCurveColumns(file, {1, 2, 3}, tables, "curve file");
    ASSERT_EQ(tables.size(), 3u);
    EXPECT_TRUE(samePoints(tables[0], {{0, 1}, {5, 2}, {10, 4}}));
    EXPECT_TRUE(samePoints(tables[1], {{10, 5}}));
    EXPECT_TRUE(samePoints(tables[2], {{0, 3}, {10, 6}}));
}

TEST(CurveFiles, ColumnsFollowTheRequestedOrder) {
    ScratchDir dir;
    const auto file = dir.write("c.csv", "h\n1,10,20\n");
    std::vector<CurveTable> tables(7);
    config::readCurveColumns(file, {2, 1}, tables, "curve file");
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_TRUE(samePoints(tables[0], {{1, 20}}));
    EXPECT_TRUE(samePoints(tables[1], {{1, 10}}));
}

TEST(CurveFiles, SortIsStableForEqualX) {
    ScratchDir dir;
    const auto file = dir.write("c.csv", "h\n10,3\n5,1\n10,1\n5,2\n10,2\n");
    CurveTable t;
    config::readCurveColumn(file, 1, t, "needle table");
    EXPECT_TRUE(samePoints(t, {{5, 1}, {5, 2}, {10, 3}, {10, 1}, {10, 2}}));
    EXPECT_EQ(t.points.capacity(), t.points.size());
}

TEST(CurveFiles, MissingFileGivesEmptyTablesWithoutError) {
    ScratchDir dir;
    std::vector<CurveTable> tables(3, table({{1, 1}}));
    EXPECT_FALSE(config::readCurveColumns(dir.path("none.csv"), {1, 2}, tables, "curve file"));
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_TRUE(tables[0].points.empty());
    CurveTable t = table({{1, 1}});
    EXPECT_FALSE(config::readCurveColumn(dir.path("none.csv"), 1, t, "needle table"));
    EXPECT_TRUE(t.points.empty());
}

TEST(CurveFiles, SingleColumnReaderNeedsEveryRowToReachTheColumn) {
    ScratchDir dir;
    EXPECT_EQ(configErrorOf([&] {
                  CurveTable t;
                  config::readCurveColumn(dir.write("Speed.csv", "x,y\n0,0\n50\n"), 1, t, "needle table");
              }),
              "needle table \"" + dir.path("Speed.csv").string() +
                  "\" line 3: 1 field, but column 1 needs at least 2 (x first, then one value per column)");
    const std::string blanks = configErrorOf([&] {
        CurveTable t;
        config::readCurveColumn(dir.write("b.csv", "x,y\n0,0\n   ; note\n"), 1, t, "needle table");
    });
    EXPECT_NE(blanks.find("line 3: the line holds only blanks"), std::string::npos) << blanks;
    // An empty field in the column is skipped, not an error.
    CurveTable t;
    config::readCurveColumn(dir.write("e.csv", "x,y\n0, \n1,2\n"), 1, t, "needle table");
    EXPECT_TRUE(samePoints(t, {{1, 2}}));
    // A comma at the very end adds no field, so "0," is a row of one field.
    const std::string trailing = configErrorOf([&] {
        CurveTable u;
        config::readCurveColumn(dir.write("f.csv", "x,y\n0,\n"), 1, u, "needle table");
    });
    EXPECT_NE(trailing.find("line 2: 1 field, but column 1"), std::string::npos) << trailing;
}

TEST(CurveFiles, BadNumbersNameFileAndLine) {
    ScratchDir dir;
    const auto file = dir.write("c.csv", "h\n0,1\nfast,2\n");
    std::vector<CurveTable> tables;
    EXPECT_EQ(configErrorOf([&] { config::readCurveColumns(file, {1}, tables, "power current file"); }),
              "power current file \"" + file.string() + "\" line 3: \"fast\" is not a number (the speed in km/h, the row's first field, is expected here): invalid stof argument");
    const auto big = dir.write("d.csv", "h\n0,1e40\n");
    const std::string message = configErrorOf([&] { config::readCurveColumns(big, {1}, tables, "curve file"); });
    EXPECT_NE(message.find("line 2: \"1e40\""), std::string::npos) << message;
    EXPECT_NE(message.find(": stof argument out of range"), std::string::npos) << message;
    EXPECT_EQ(message.rfind("stof argument out of range"), message.size() - 26);
}

TEST(CurveFiles, ValuesBeyondAnyReadingAreRefusedAndSteepSegmentsDoNotOverflow) {
    ScratchDir dir;
    CurveTable t;
    const auto huge = dir.write("Speed.csv", "h\n-3.4e38,-3.4e38\n3.4e38,3.4e38\n");
    EXPECT_NE(configErrorOf([&] { config::readCurveColumn(huge, 1, t, "needle table"); }).find("line 2: the row's first field lies beyond"),
              std::string::npos);
    const auto ok = dir.write("ok.csv", "h\n0,0\n1e12,-1e12\n");
    config::readCurveColumn(ok, 1, t, "needle table");
    EXPECT_EQ(t.points.size(), 2u);
    // Slopes of 1e24 per unit: far beyond the ends the line leaves single precision.
    const CurveTable steep = table({{0, 0}, {1e-12f, 1e12f}});
    EXPECT_EQ(steep.lookup(1e30f), std::numeric_limits<float>::max());
    EXPECT_EQ(steep.lookup(-1e30f), -std::numeric_limits<float>::max());
}

TEST(CurveFiles, GarbageInAColumnThatIsNotReadIsIgnored) {
    ScratchDir dir;
    const auto file = dir.write("c.csv", "h\n0,1,??\nabc\n");
    std::vector<CurveTable> tables;
    config::readCurveColumns(file, {1}, tables, "curve file");
    EXPECT_TRUE(samePoints(tables[0], {{0, 1}}));
}

TEST(CurveFiles, TooManyRowsIsAnErrorNotAnAllocation) {
    ScratchDir dir;
    std::string bytes = "h\n";
    for (size_t i = 0; i <= config::MaxCurvePoints; ++i) bytes += "1,2\n";
    const auto file = dir.write("c.csv", bytes);
    CurveTable t;
    const std::string message = configErrorOf([&] { config::readCurveColumn(file, 1, t, "needle table"); });
    EXPECT_NE(message.find("more than 65536 rows"), std::string::npos) << message;
}

TEST(CurveFiles, OverlongLineIsAnErrorUnlessTheRestIsComment) {
    ScratchDir dir;
    std::string longRow = "h\n1,2" + std::string(config::TextReader::MaxLineLength, ' ') + "\n";
    CurveTable t;
    const std::string message =
        configErrorOf([&] { config::readCurveColumn(dir.write("a.csv", longRow), 1, t, "needle table"); });
    EXPECT_NE(message.find("line 2: the line is longer than 1048576 characters"), std::string::npos) << message;

    std::string longComment = "h\n1,2 ;" + std::string(config::TextReader::MaxLineLength, 'c') + "\n3,4\n";
    config::readCurveColumn(dir.write("b.csv", longComment), 1, t, "needle table");
    EXPECT_TRUE(samePoints(t, {{1, 2}, {3, 4}}));
}

}  // namespace
