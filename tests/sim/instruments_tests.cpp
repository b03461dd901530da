// The gauges: needles through their tables, the line voltage, the adjustment display, and the one
// conversion of a float into a panel value.
#include <cmath>
#include <limits>
#include <vector>

#include "sim/instruments.h"
#include "tests/sim/sim_test_support.h"

namespace {

using simtest::SimTest;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

TEST(PanelValue, TruncatesTowardZeroInRange) {
    EXPECT_EQ(sim::toPanelValue(0.0f), 0);
    EXPECT_EQ(sim::toPanelValue(-0.0f), 0);
    EXPECT_EQ(sim::toPanelValue(2.99f), 2);
    EXPECT_EQ(sim::toPanelValue(-2.99f), -2);
    EXPECT_EQ(sim::toPanelValue(3650.0f), 3650);
    EXPECT_EQ(sim::toPanelValue(0.999999f), 0);
    EXPECT_EQ(sim::toPanelValue(2147483520.0f), 2147483520);  // the largest float below 2^31
    EXPECT_EQ(sim::toPanelValue(-2147483648.0f), std::numeric_limits<int32_t>::min());
}

TEST(PanelValue, SaturatesOutOfRangeAndMapsNaNToZero) {
    EXPECT_EQ(sim::toPanelValue(NaN), 0);
    EXPECT_EQ(sim::toPanelValue(-NaN), 0);
    EXPECT_EQ(sim::toPanelValue(2147483648.0f), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(sim::toPanelValue(1.0e20f), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(sim::toPanelValue(Inf), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(sim::toPanelValue(-2147483904.0f), std::numeric_limits<int32_t>::min());  // next float below -2^31
    EXPECT_EQ(sim::toPanelValue(-Inf), std::numeric_limits<int32_t>::min());
}

// The seven needles written from given inputs.
struct Needles {
    config::NeedleTables tables;
    int32_t panel[256] = {};
    void write(float speed, float motorCurrent, int32_t modeStepTimer, float bc, float sap, float bp, float mr,
               float volts) {
        sim::writeNeedles(tables, panel, speed, motorCurrent, modeStepTimer, bc, sap, bp, mr, volts);
    }
};

TEST(NeedleValues, EmptyTablesShowThePhysicalValues) {
    Needles n;
    n.write(36.5f, 100.25f, 1000, 380.9f, 120.5f, 490.7f, 780.2f, 1512.0f);
    EXPECT_EQ(n.panel[22], 3650);
    EXPECT_EQ(n.panel[26], 401);
    EXPECT_EQ(n.panel[130], 380);
    EXPECT_EQ(n.panel[131], 120);
    EXPECT_EQ(n.panel[132], 490);
    EXPECT_EQ(n.panel[133], 780);
    EXPECT_EQ(n.panel[232], 1512);
}

TEST(NeedleValues, EachGaugeGoesThroughItsOwnTable) {
    Needles n;
    n.tables.speedNeedle = {{{0.0f, 0.0f}, {100.0f, 100.0f}}};
    n.tables.currentNeedle = {{{0.0f, 0.0f}, {1000.0f, 250.0f}}};
    n.tables.pressureLeftNeedle = {{{0.0f, 10.0f}, {1000.0f, 510.0f}}};
    n.tables.pressureRightNeedle = {{{0.0f, -100.0f}, {1000.0f, 900.0f}}};
    n.tables.voltageNeedle = {{{1000.0f, 0.0f}, {2000.0f, 3000.0f}}};
    n.write(36.5f, 100.0f, 1000, 300.0f, 101.0f, 490.0f, 800.0f, 1500.0f);
    EXPECT_EQ(n.panel[22], 3650);
    EXPECT_EQ(n.panel[26], 100);  // 400 A on the scale of 1000 A to 250
    EXPECT_EQ(n.panel[130], 160);
    EXPECT_EQ(n.panel[131], 60);  // 60.5 truncated
    EXPECT_EQ(n.panel[132], 390);
    EXPECT_EQ(n.panel[133], 700);
    EXPECT_EQ(n.panel[232], 1500);
    n.write(-0.0f, 0.0f, 1000, -10.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(n.panel[130], 5);
    EXPECT_EQ(n.panel[132], -100);
    EXPECT_EQ(n.panel[232], -3000);  // extended below the first row
}

TEST(NeedleValues, TheAmmeterDipsToSeventyPercentForOneHundredMilliseconds) {
    Needles n;
    n.write(0.0f, 100.0f, 0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(n.panel[26], 280);
    n.write(0.0f, 100.0f, 99, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(n.panel[26], 280);
    n.write(0.0f, 100.0f, 100, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(n.panel[26], 400);
}

TEST(NeedleValues, NonFiniteInputsGiveDefinedPanelValues) {
    Needles n;
    n.write(NaN, Inf, 1000, -Inf, NaN, 1.0e30f, NaN, NaN);
    EXPECT_EQ(n.panel[22], 0);
    EXPECT_EQ(n.panel[26], std::numeric_limits<int32_t>::max());
    EXPECT_EQ(n.panel[130], std::numeric_limits<int32_t>::min());
    EXPECT_EQ(n.panel[131], 0);
    EXPECT_EQ(n.panel[132], std::numeric_limits<int32_t>::max());
}

class InstrumentFrame : public SimTest {};

TEST_F(InstrumentFrame, TheAmmeterReadsTheModeStepTimerBeforeTheFrameAdvancesIt) {
    p.sim.mode.modeStepTimer = 80;
    host::VehicleState state{};
    state.time = 20;
    state.speed = 50.0f;
    state.current = -100.0f;  // braking: the machine does not reset the timer
    frame(state);
    ASSERT_GT(p.sim.traction.motorCurrent, 1.0f);
    // The needle used 80 ms (< 100); the timer has then moved on by the frame's 20 ms.
    EXPECT_EQ(p.sim.mode.modeStepTimer, 100);
    EXPECT_EQ(panel[26], sim::toPanelValue(0.7f * p.sim.traction.motorCurrent * 4.0f));
    state.time = 40;
    frame(state);
    EXPECT_EQ(panel[26], sim::toPanelValue(p.sim.traction.motorCurrent * 4.0f));
}

TEST_F(InstrumentFrame, TheSpeedometerOfTheFrameUsesThePluginsTable) {
    p.needles.speedNeedle = {{{0.0f, 0.0f}, {100.0f, 100.0f}}};
    frameAt(20, -36.5f);
    EXPECT_EQ(panel[22], 3650);
    p.needles.speedNeedle = {{{0.0f, 0.0f}, {100.0f, 2.0f}}};
    frameAt(40, 50.0f);
    EXPECT_EQ(panel[22], 100);
}

// A scripted random source.
std::vector<uint32_t> script;
size_t scriptAt = 0;
uint32_t scripted() {
    const uint32_t value = scriptAt < script.size() ? script[scriptAt] : 50u;
    ++scriptAt;
    return value;
}

class LineVoltage : public ::testing::Test {
protected:
    void SetUp() override {
        script.clear();
        scriptAt = 0;
        ins.random = &scripted;
        ins.nominalVoltage = 1500.0f;
    }
    void update(int32_t timeStepMs, float current = 0.0f, float ratio = 0.0f, float cars = 4.0f) {
        sim::updateLineVoltage(ins, current, ratio, cars, timeStepMs);
    }
    sim::InstrumentState ins;
};

TEST_F(LineVoltage, UpdatesEveryFiveHundredMilliseconds) {
    update(480);
    EXPECT_EQ(ins.lineVoltage, 0.0f);  // the timer was 0
    update(20);
    EXPECT_EQ(ins.lineVoltage, 0.0f);  // 480 < 500
    EXPECT_EQ(ins.voltageTimer, 500);
    update(20);
    EXPECT_EQ(ins.lineVoltage, 1500.0f);
    EXPECT_EQ(ins.voltageTimer, 20);
    EXPECT_EQ(scriptAt, 1u);
    ins.voltageTimer = 1730;  // a long frame keeps the remainder
    update(0);
    EXPECT_EQ(ins.voltageTimer, 230);
}

TEST_F(LineVoltage, RandomWalkOfTenVoltsWithThreePercentEachWay) {
    script = {97, 199, 2, 3, 96, 100, 1000};  // remainders 97, 99, 2, 3, 96, 0, 0
    ins.voltageTimer = 500;
    const float expected[] = {1510, 1520, 1510, 1510, 1510, 1500, 1490};
    for (float volts : expected) {
        update(500);
        EXPECT_EQ(ins.lineVoltage, volts);
    }
}

TEST_F(LineVoltage, TheNominalVoltageStaysWithinItsBand) {
    ins.nominalVoltage = 1615.0f;
    ins.voltageTimer = 500;
    script = {99, 99};
    update(500);
    EXPECT_EQ(ins.nominalVoltage, 1620.0f);
    ins.nominalVoltage = 1385.0f;
    script = {0};
    scriptAt = 0;
    update(500);
    EXPECT_EQ(ins.nominalVoltage, 1380.0f);
    EXPECT_EQ(ins.lineVoltage, 1380.0f);
}

TEST_F(LineVoltage, SagsUnderTheTractionCurrentDownToItsFloor) {
    ins.voltageTimer = 500;
    update(500, 100.0f, 1.0f, 4.0f);
    EXPECT_EQ(ins.lineVoltage, 1400.0f);
    update(500, 500.0f, 1.0f, 4.0f);
    EXPECT_EQ(ins.lineVoltage, 1310.0f);  // 1000 V is below the floor
    update(500, -400.0f, 1.0f, 4.0f);
    EXPECT_EQ(ins.lineVoltage, 1700.0f);  // regeneration raises it, up to the ceiling
}

TEST_F(LineVoltage, AVoltageRatioThatIsNotYetANumberGivesNoSag) {
    ins.voltageTimer = 500;
    update(500, 300.0f, NaN, 4.0f);
    EXPECT_EQ(ins.lineVoltage, 1500.0f);
    update(500, Inf, 1.0f, 4.0f);
    EXPECT_EQ(ins.lineVoltage, 1310.0f);
}

TEST_F(LineVoltage, ANegativeTimerStartsAgainFromZero) {
    ins.voltageTimer = -300;
    update(100);
    EXPECT_EQ(ins.voltageTimer, 100);
    update(std::numeric_limits<int32_t>::max());  // wraps instead of overflowing
    EXPECT_LT(ins.voltageTimer, 0);
    update(20);
    EXPECT_EQ(ins.voltageTimer, 20);
}

TEST_F(InstrumentFrame, TheFirstVoltageUpdateComesInTheSecondFrameWhenTheClockStandsPastFiveHundred) {
    script = {};
    scriptAt = 0;
    p.sim.instruments.random = &scripted;
    sim::loadInstruments(p.sim.instruments);
    frameAt(60000);
    EXPECT_EQ(p.sim.instruments.lineVoltage, 0.0f);
    frameAt(60020);
    EXPECT_EQ(p.sim.instruments.lineVoltage, 1450.0f);  // 1400 + 50, then the walk draws 50: no step
    EXPECT_EQ(panel[232], 1450);
}

class AdjustmentDisplay : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        p.input.panelModifyMode = true;
    }
    void show(int32_t target, int32_t value) {
        p.input.adjustTarget = target;
        p.input.adjustValue = value;
        simtest::StepFrame s;
        sim::FrameContext f = s.context();
        for (int i = 0; i < 256; ++i) s.panel[i] = -1;
        sim::adjustmentDisplayStep(p.input, f);
        for (int i = 0; i < 256; ++i) shown[i] = s.panel[i];
    }
    int32_t digits() const { return shown[220] * 1000 + shown[221] * 100 + shown[222] * 10 + shown[223]; }
    int32_t shown[256] = {};
};

TEST_F(AdjustmentDisplay, TheSpeedometerShowsHundredsAndUpAndTheOthersUnitsAndUp) {
    show(5, 987);
    EXPECT_EQ(shown[22], 987);
    EXPECT_EQ(digits(), 9);  // 0, 0, 0, 9
    show(2, 987);
    EXPECT_EQ(shown[131], 987);
    EXPECT_EQ(digits(), 987);  // 0, 9, 8, 7
    show(5, 123456);
    EXPECT_EQ(digits(), 1234);
    show(7, 123456);
    EXPECT_EQ(digits(), 3456);
}

TEST_F(AdjustmentDisplay, EachTargetOverwritesItsOwnPanelOnly) {
    const int panels[8] = {-1, 130, 131, 132, 133, 22, 26, 232};
    for (int target = 1; target <= 7; ++target) {
        show(target, 4321);
        int overwritten = 0;
        for (int i = 0; i < 256; ++i) overwritten += shown[i] == 4321;
        EXPECT_EQ(overwritten, 1) << target;
        EXPECT_EQ(shown[panels[target]], 4321) << target;
    }
}

TEST_F(AdjustmentDisplay, ANegativeValueShowsForOneFrameThenBecomesZero) {
    show(1, -10);
    EXPECT_EQ(shown[130], -10);
    EXPECT_EQ(p.input.adjustValue, 0);
    EXPECT_EQ(digits(), 0);
    EXPECT_EQ(shown[220], 0);
}

TEST_F(AdjustmentDisplay, BlankWithoutATargetOrOutsideTheMode) {
    show(0, 55);
    for (int i = 220; i <= 223; ++i) EXPECT_EQ(shown[i], 10);
    EXPECT_EQ(p.input.adjustValue, 55);
    p.input.panelModifyMode = false;
    show(3, 55);
    for (int i = 220; i <= 223; ++i) EXPECT_EQ(shown[i], 10);
    EXPECT_EQ(shown[132], -1);
}

TEST_F(AdjustmentDisplay, TheFrameOverwritesTheNeedleAfterItWasWritten) {
    p.input.adjustTarget = 1;
    p.input.adjustValue = -10;
    host::VehicleState state{};
    state.time = 20;
    state.bcPressure = 300.0f;
    frame(state);
    EXPECT_EQ(panel[130], -10);
    EXPECT_EQ(panel[220], 0);
    state.time = 40;
    frame(state);
    EXPECT_EQ(panel[130], 0);
}

}  // namespace
