// The host's part of the train: motor current from the vehicle's notch current tables, motion from
// tractive effort against brakes and running resistance, and the air system (straight air pipe,
// brake cylinder, brake pipe, main reservoir with its compressor). Plausible, not exact: it exists
// so that a plug-in sees the states a real host would report.
#pragma once

#include <cstdint>
#include <vector>

#include "config/curve_table.h"
#include "interface/host_interface.h"

namespace cabhost {

struct TrainParams {
    double massT = 140.0;              // whole train
    double rotatingMassFactor = 1.08;  // equivalent mass of wheels and motors
    double effortKnPerA = 0.30;        // tractive (and electric brake) effort per ampere of motor current
    double brakeKnPerKpa = 0.36;       // air brake effort per kPa of brake cylinder pressure
    double resistanceKn = 1.5;         // running resistance a + b v + c v², v in km/h
    double resistanceKnPerKmh = 0.025;
    double resistanceKnPerKmh2 = 0.0006;
    double gradientPermille = 0.0;    // positive uphill in the direction of travel
    double currentRateAPerS = 800.0;  // how fast the motor current follows its target
    double regenFadeKmh = 8.0;        // the electric brake fades in from here to twice this speed
    bool regenOnServiceBrake = true;  // service notches also ask for the electric brake
    double serviceSapKpa = 440.0;     // straight air pipe at the strongest service notch
    double sapRateKpaPerS = 250.0;
    double bcLagS = 0.6;  // brake cylinder time constant behind the straight air pipe
    double emergencyBcKpa = 460.0;
    double bpChargedKpa = 490.0;
    double bpChargeKpaPerS = 40.0;
    double bpVentKpaPerS = 400.0;
    double mrCutInKpa = 780.0;   // compressor starts below this
    double mrCutOutKpa = 880.0;  // and stops at this
    double compressorKpaPerS = 5.0;
    double airUsePerKpa = 0.06;          // main reservoir drop per kPa of cylinder or pipe filling
    double fallbackMaxCurrentA = 400.0;  // current tables used when the vehicle gives none
    double fallbackBaseSpeedKmh = 35.0;
};

// The vehicle's own current curves (power current per notch, brake maximum current per notch).
struct CurrentTables {
    std::vector<config::CurveTable> power;
    std::vector<config::CurveTable> brake;
};

struct TrainState {
    double locationM = 0.0;
    double speedKmh = 0.0;  // signed, positive forward
    double currentA = 0.0;  // signed, negative while the electric brake regenerates
    double sapKpa = 0.0;
    double bcKpa = 0.0;
    double bpKpa = 490.0;
    double erKpa = 490.0;
    double mrKpa = 830.0;
    bool compressorOn = false;
};

// What the host applies in one step.
struct TrainInputs {
    host::Handles handles{};  // as the plug-in returned them
    bool doorsClosed = false;
    int32_t driverBrake = 0;  // picks the electric brake strength for the plug-in's own brake positions
    int32_t brakeNotches = 8;
};

// The current the host asks of the motors for these handles at this speed (before the rate limit).
double targetCurrentA(const TrainParams& params, const CurrentTables& tables, const TrainInputs& in, double speedKmh);
// The straight-air-pipe pressure the host asks for with this motor current; emergency is reported
// separately. On the plug-in's electric-brake positions the air makes up what the electric brake
// cannot give of the driver's notch.
double targetSapKpa(const TrainParams& params, const TrainInputs& in, double currentA);
bool isEmergency(const TrainInputs& in);

// e^x from additions, multiplications and divisions alone, the same bits on every build: the C
// runtimes' exp round some results differently on Linux and on Windows, and one such bit in the
// brake cylinder's lag is enough to part the traces of the same run. Within an ulp or two of e^x;
// 0 below -700, e^700 above 700.
double portableExp(double x);

// Advances the train by dtS seconds.
void stepTrain(const TrainParams& params, const CurrentTables& tables, TrainState& train, const TrainInputs& in,
               double dtS);

// The host's record of this state at this time.
host::VehicleState vehicleState(const TrainState& train, int32_t timeMs);

}  // namespace cabhost
