#include <gtest/gtest.h>

#include <string>

#include "config/vehicle_check.h"
#include "config_test_support.h"
#include "sample_fingerprint.h"

namespace {

using config_test::ScratchDir;

const std::filesystem::path SampleVehicle = std::filesystem::path(CORVANE_SOURCE_DIR) / "samples" / "vehicle";

void copySample(const ScratchDir& dir) {
    std::filesystem::copy(SampleVehicle / "plugin", dir.path("plugin"), std::filesystem::copy_options::recursive);
    std::filesystem::copy(SampleVehicle / "NeedleTable", dir.path("NeedleTable"),
                          std::filesystem::copy_options::recursive);
}

TEST(SampleVehicle, LoadsCleanlyWithTheExpectedCounts) {
    const config::VehicleCheck check = config::checkVehicle(SampleVehicle / "plugin");
    ASSERT_TRUE(check.ok) << check.error;
    const config::NotchConfig& c = check.config;
    EXPECT_EQ(c.powerNotchCount, 14u);
    EXPECT_EQ(c.brakeNotchCount, 8u);
    EXPECT_EQ(c.brakeReferenceSpeed, 30);
    EXPECT_EQ(c.limitValueEmpty, 150);
    EXPECT_EQ(c.limitValueFull, 250);
    EXPECT_EQ(c.powerJerk, 120);
    EXPECT_EQ(c.brakeJerk, 100);
    for (const config::CurveTable& t : c.powerCurrent) EXPECT_GE(t.points.size(), 20u);
    for (const config::CurveTable& t : c.powerNoLoadCurrent) EXPECT_GE(t.points.size(), 20u);
    for (const config::CurveTable& t : c.brakeMaxCurrent) EXPECT_GE(t.points.size(), 20u);
    EXPECT_GE(c.brakeNoLoadCurrent.points.size(), 20u);
    EXPECT_FALSE(check.panelModify);
    // Only the adjustment switch is absent: it is off for driving.
    ASSERT_EQ(check.missing.size(), 1u);
    EXPECT_EQ(check.missing[0].what, "needle adjustment switch");
}

TEST(SampleVehicle, CurrentsArePlausibleForTheTractionModel) {
    const config::VehicleCheck check = config::checkVehicle(SampleVehicle / "plugin");
    ASSERT_TRUE(check.ok) << check.error;
    const config::NotchConfig& c = check.config;
    // The starting-current reference: notch 2 at 15 km/h.
    EXPECT_EQ(c.powerCurrentAt(1, 15), 300);
    // The full-voltage search from table index 8 finds a notch above that reference near 23 km/h.
    bool above = false;
    for (int i = 8; i < 14; ++i) above = above || c.powerCurrentAt(i, 23.217688f) > 300;
    EXPECT_TRUE(above);
    for (int i = 0; i < 14; ++i) {
        float previous = c.powerCurrentAt(i, 0);
        for (float v = 5; v <= 120; v += 5) {
            const float current = c.powerCurrentAt(i, v);
            EXPECT_LE(current, previous) << "notch index " << i << " at " << v;
            EXPECT_GT(current, c.powerNoLoadCurrentAt(i, v) - 10) << "notch index " << i << " at " << v;
            previous = current;
        }
    }
    // The electric brake: zero at standstill, the highest notch strongest, tables 5 and 7 present.
    EXPECT_EQ(c.brakeMaxCurrentAt(7, 0), 0);
    EXPECT_GT(c.brakeMaxCurrentAt(7, 40), c.brakeMaxCurrentAt(5, 40));
    EXPECT_EQ(c.highestBrakeMaxCurrentAt(40), c.brakeMaxCurrentAt(7, 40));
    EXPECT_GT(c.brakeNoLoadCurrentAt(40), 0);
}

TEST(SampleVehicle, NeedleTablesDescribeNonLinearFaces) {
    const config::VehicleCheck check = config::checkVehicle(SampleVehicle / "plugin");
    ASSERT_TRUE(check.ok) << check.error;
    const config::NeedleTables& n = check.needles;
    EXPECT_EQ(n.speedNeedle.lookup(2), 0);  // dead zone below 3 km/h
    EXPECT_FLOAT_EQ(n.speedNeedle.lookup(50), 1.04f);
    EXPECT_EQ(n.voltageNeedle.lookup(800), 0);
    EXPECT_EQ(n.voltageNeedle.lookup(1500), 170);
    EXPECT_EQ(n.currentNeedle.lookup(300), 200);
    EXPECT_EQ(n.pressureLeftNeedle.lookup(700), 687);
    EXPECT_EQ(n.pressureRightNeedle.lookup(490), 469);
}

TEST(VehicleCheckResults, MissingOptionalFilesAreListedAndTheSwitchIsSeen) {
    ScratchDir dir;
    copySample(dir);
    std::filesystem::remove(dir.path("NeedleTable/Speed.csv"));
    std::filesystem::remove(dir.path("plugin/notch/BrakeNoLoadCurrent.csv"));
    dir.write("PanelModify.txt", "");
    const config::VehicleCheck check = config::checkVehicle(dir.path("plugin"));
    ASSERT_TRUE(check.ok) << check.error;
    EXPECT_TRUE(check.panelModify);
    ASSERT_EQ(check.missing.size(), 2u);
    EXPECT_EQ(check.missing[0].what, "brake no-load current file");
    EXPECT_EQ(check.missing[0].path, dir.path("plugin/notch/BrakeNoLoadCurrent.csv"));
    EXPECT_EQ(check.missing[1].what, "speedometer needle table");
    EXPECT_EQ(check.missing[1].effect, "the speedometer receives the speed in km/h x 100");
    EXPECT_TRUE(check.needles.speedNeedle.points.empty());
    EXPECT_FALSE(check.needles.voltageNeedle.points.empty());
}

TEST(VehicleCheckResults, FirstErrorNamesFileAndLine) {
    ScratchDir dir;
    copySample(dir);
    dir.write("NeedleTable/Current.csv", "current,panel\n0,0\n100\n");
    const config::VehicleCheck check = config::checkVehicle(dir.path("plugin"));
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.error, "needle table \"" + dir.path("plugin").string() + "/../NeedleTable/Current.csv\" line 3: " +
                               "1 field, but column 1 needs at least 2 (x first, then one value per column)");
}

TEST(VehicleCheckResults, EmptyFolderReportsTheMissingNotchFile) {
    ScratchDir dir;
    const config::VehicleCheck check = config::checkVehicle(dir.root());
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.error, "notch definition file \"" + (dir.root() / "Notch.txt").string() +
                               "\" cannot be opened, so no power parameter file is named");
}

}  // namespace

namespace {

TEST(SampleVehicle, FingerprintMatchesTheOneTheWindowsBuildsCheck) {
    const config::VehicleCheck check = config::checkVehicle(SampleVehicle / "plugin");
    ASSERT_TRUE(check.ok) << check.error;
    EXPECT_EQ(config_test::fingerprintOf(check), config_test::SampleVehicleFingerprint)
        << std::hex << config_test::fingerprintOf(check);
}

}  // namespace
