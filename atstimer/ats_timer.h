// Sentrel's train protection: a pair of timer beacons measures the train's average speed, and the
// emergency brake is held after a pair passed too fast, after a stop beacon or on the test key,
// until the driver presses the reset key.
#pragma once

#include <array>
#include <cstdint>

#include "interface/host_interface.h"

namespace atstimer {

constexpr int32_t TimerBeaconType = 7;
constexpr uint32_t WindowMs = 600;
constexpr int32_t ToleranceKmh = 1;
// A beacon pair for check speed V lies V / 7.2 m apart: the distance covered in 0.5 s at V km/h.
constexpr double PairDistanceDivisor = 7.2;
// Metres per millisecond to km/h.
constexpr double MetresPerMsToKmh = 3600.0;
constexpr int32_t ResetKey = 4;
// Timing value after Initialize: far past the window, so no pair is open.
constexpr int32_t InitializeTimingElapsedMs = 1000;

// Beacon optional values with a meaning of their own; 0 to 3 gate a timer beacon on the signal.
constexpr int32_t OptionalTimerAlways = -1;
constexpr int32_t OptionalStopAtRed = 5;
constexpr int32_t OptionalTripAlways = 6;

// Check speeds in km/h. There is no 45: 40 is followed by 50.
constexpr std::array<int32_t, 15> CheckSpeedTable = {5, 10, 15, 20, 25, 30, 35, 40, 50, 55, 60, 65, 70, 75, 80};

// Sound and panel indices driven by the plug-in.
constexpr int ResetPressSound = 24;
constexpr int ResetReleaseSound = 25;
constexpr int NormalLamp = 120;
constexpr int TrippedLamp = 121;

struct AtsState {
    int32_t heldPower = 0;
    int32_t heldBrake = 0;
    int32_t heldReverser = 0;
    int32_t emergencyPosition = 0;
    bool doorsClosedFlag = false;
    bool atsTripped = false;
    bool timingActive = false;
    int32_t timingElapsed = 0;  // ms since the first timer beacon of the open pair
    int32_t timingFrames = 0;
    int32_t lastTime = 0;        // ms
    double lastLocation = 0.0;   // m
    int32_t startTime = 0;       // ms
    double startLocation = 0.0;  // m
    bool resetKeyHeld = false;
    bool pressSoundPending = false;
    bool releaseSoundPending = false;
    // The last frame wrote a play-once into the release sound; a press frame right after it must
    // not leave that value standing, or the host would take it as a second request.
    bool releaseSoundJustPlayed = false;
};

void setVehicleSpec(AtsState& s, const host::VehicleSpec& spec) noexcept;
void initialize(AtsState& s) noexcept;
// panel and sound are the host's arrays (at least up to index 121 and 25).
host::Handles elapse(AtsState& s, const host::VehicleState& state, int32_t* panel, int32_t* sound) noexcept;
void setPower(AtsState& s, int32_t power) noexcept;
void setBrake(AtsState& s, int32_t brake) noexcept;
void setReverser(AtsState& s, int32_t reverser) noexcept;
void doorOpen(AtsState& s) noexcept;
void doorClose(AtsState& s) noexcept;
// shiftDown: the platform's Shift key state at the time of the call.
void keyDown(AtsState& s, int32_t key, bool shiftDown) noexcept;
void keyUp(AtsState& s, int32_t key) noexcept;
void setBeaconData(AtsState& s, const host::BeaconData& beacon) noexcept;

// The check speed whose beacon distance lies nearest to distanceM (first of equals wins).
int32_t checkSpeedForDistance(double distanceM) noexcept;
// True when the average speed from the first timer beacon to the latest frame exceeds the check
// speed picked by the distance by more than the tolerance.
bool overspeed(const AtsState& s) noexcept;

}  // namespace atstimer
