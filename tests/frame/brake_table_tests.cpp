#include <gtest/gtest.h>

#include "sim/brake_pressure_table.h"

namespace {

std::vector<float> pressures(const sim::BrakePressureTable& table) {
    std::vector<float> out;
    for (const auto& e : table.entries) out.push_back(e.pressure);
    return out;
}

TEST(BrakePressureTable, RisesLinearlyFromNotchOneToTheStrongestNotch) {
    sim::BrakePressureTable table;
    table.build(5);
    EXPECT_EQ(pressures(table), (std::vector<float>{0, 0, 105, 210, 315, 420}));
    EXPECT_TRUE(table.entries[0].learned);
    for (int i = 1; i <= 5; ++i) EXPECT_FALSE(table.entries[i].learned);
    EXPECT_EQ(table.learnedCount, 1);

    table.build(8);
    EXPECT_EQ(pressures(table), (std::vector<float>{0, 0, 60, 120, 180, 240, 300, 360, 420}));
}

TEST(BrakePressureTable, OneNotchHoldsTheFullPressure) {
    sim::BrakePressureTable table;
    table.build(1);
    EXPECT_EQ(pressures(table), (std::vector<float>{0, 420}));
}

TEST(BrakePressureTable, RebuildKeepsNothingLearned) {
    sim::BrakePressureTable table;
    table.build(8);
    table.learn(5, 120);
    table.build(8);
    EXPECT_EQ(table.learnedCount, 1);
    EXPECT_FALSE(table.entries[5].learned);
    EXPECT_EQ(table.pressure(5), 240);
}

TEST(BrakePressureTable, LearningFillsBothSidesOfTheLearnedNotch) {
    sim::BrakePressureTable table;
    table.build(8);
    table.learn(5, 120);
    EXPECT_EQ(pressures(table), (std::vector<float>{0, 0, 30, 60, 90, 120, 220, 320, 420}));
    EXPECT_TRUE(table.entries[5].learned);
    EXPECT_FALSE(table.entries[6].learned);
    EXPECT_EQ(table.learnedCount, 2);
    // A second learned notch above anchors the fill between the two.
    table.learn(7, 200);
    EXPECT_FLOAT_EQ(table.pressure(6), 160);
    EXPECT_FLOAT_EQ(table.pressure(8), 420);
}

TEST(BrakePressureTable, ZeroPressureIsLearnedOnlyAtNotchOne) {
    sim::BrakePressureTable table;
    table.build(8);
    table.learn(3, 0);
    EXPECT_FALSE(table.entries[3].learned);
    EXPECT_EQ(table.learnedCount, 1);
    table.learn(1, 0);
    EXPECT_TRUE(table.entries[1].learned);
    EXPECT_FALSE(table.canLearn(1));
}

TEST(BrakePressureTable, OutOfRangeNotchesReadZeroAndNeverLearn) {
    sim::BrakePressureTable table;
    EXPECT_EQ(table.pressure(0), 0);  // before any SetVehicleSpec
    EXPECT_FALSE(table.canLearn(0));
    table.build(8);
    EXPECT_EQ(table.pressure(-1), 0);
    EXPECT_EQ(table.pressure(9), 0);
    EXPECT_EQ(table.pressure(1000000), 0);
    EXPECT_FALSE(table.canLearn(9));
    table.learn(9, 100);
    table.learn(-3, 100);
    EXPECT_EQ(table.learnedCount, 1);
}

}  // namespace
