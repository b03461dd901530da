#include "atstimer/ats_timer.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace atstimer {

namespace {

// The host's clock is a 32-bit millisecond counter: differences and sums wrap around instead of
// overflowing, so a clock that jumps or runs backwards gives a large unsigned value, not undefined
// behaviour.
int32_t wrappingAdd(int32_t a, uint32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + b);
}

uint32_t wrappingDifference(int32_t later, int32_t earlier) {
    return static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier);
}

void startPair(AtsState& s) {
    s.timingElapsed = 0;
    s.timingFrames = 0;
    s.startTime = s.lastTime;
    s.startLocation = s.lastLocation;
    s.timingActive = true;
}

void timerBeacon(AtsState& s) {
    if (!s.timingActive) {
        startPair(s);
        return;
    }
    // The second beacon of a pair; the window stays open, so a further beacon inside it is again
    // measured from the first one.
    if (s.timingElapsed < static_cast<int32_t>(WindowMs) && s.timingFrames != 0 && overspeed(s)) {
        s.atsTripped = true;
    }
}

}  // namespace

int32_t checkSpeedForDistance(double distanceM) noexcept {
    const double magnitude = std::fabs(distanceM);
    std::size_t kept = 0;
    double keptGap = std::fabs(magnitude - CheckSpeedTable[0] / PairDistanceDivisor);
    for (std::size_t i = 1; i < CheckSpeedTable.size(); ++i) {
        const double gap = std::fabs(magnitude - CheckSpeedTable[i] / PairDistanceDivisor);
        // Strictly smaller only: the first of two equally near entries wins (6.25 m picks 40).
        if (gap < keptGap) {
            kept = i;
            keptGap = gap;
        }
    }
    return CheckSpeedTable[kept];
}

bool overspeed(const AtsState& s) noexcept {
    const double distanceM = s.lastLocation - s.startLocation;
    const double timeMs = static_cast<int32_t>(wrappingDifference(s.lastTime, s.startTime));
    // Signed: a train moving backwards, or a clock that went back, never trips. A zero or
    // non-finite quotient follows IEEE rules; a NaN compares false and never trips.
    const double speedKmh = distanceM / timeMs * MetresPerMsToKmh;
    const int32_t limit = checkSpeedForDistance(distanceM) + ToleranceKmh;
    return speedKmh > static_cast<double>(limit);
}

void setVehicleSpec(AtsState& s, const host::VehicleSpec& spec) noexcept {
    // The position past the strongest service notch; a notch count at the top of the range keeps
    // the largest position instead of overflowing.
    const int64_t position = static_cast<int64_t>(spec.brakeNotches) + 1;
    s.emergencyPosition = position > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                                         : static_cast<int32_t>(position);
}

void initialize(AtsState& s) noexcept {
    s.timingElapsed = InitializeTimingElapsedMs;
    s.lastTime = 0;
    s.timingFrames = 0;
    s.timingActive = false;
    s.atsTripped = false;
}

host::Handles elapse(AtsState& s, const host::VehicleState& state, int32_t* panel, int32_t* sound) noexcept {
    const uint32_t dtMs = wrappingDifference(state.time, s.lastTime);
    s.lastTime = state.time;
    s.lastLocation = state.location;

    if (s.timingActive) {
        // Saturating: the count only says whether a frame has passed since the first beacon.
        if (s.timingFrames < std::numeric_limits<int32_t>::max()) ++s.timingFrames;
        s.timingElapsed = wrappingAdd(s.timingElapsed, dtMs);
    }
    // Unsigned, so the window also closes once the accumulated time has gone negative.
    if (static_cast<uint32_t>(s.timingElapsed) > WindowMs) s.timingActive = false;

    host::Handles out{};
    out.power = s.heldPower;
    out.brake = s.atsTripped ? s.emergencyPosition : s.heldBrake;
    out.reverser = s.doorsClosedFlag ? s.heldReverser : 0;
    out.auxCommand = 0;

    if (s.pressSoundPending) {
        s.pressSoundPending = false;
        sound[ResetPressSound] = host::SoundPlayOnce;
        if (s.releaseSoundJustPlayed) sound[ResetReleaseSound] = host::SoundContinue;
        s.releaseSoundJustPlayed = false;
    } else if (s.releaseSoundPending) {
        s.releaseSoundPending = false;
        sound[ResetPressSound] = host::SoundStop;
        sound[ResetReleaseSound] = host::SoundPlayOnce;
        s.releaseSoundJustPlayed = true;
    } else {
        sound[ResetPressSound] = host::SoundContinue;
        sound[ResetReleaseSound] = host::SoundContinue;
        s.releaseSoundJustPlayed = false;
    }

    panel[TrippedLamp] = s.atsTripped ? 1 : 0;
    panel[NormalLamp] = s.atsTripped ? 0 : 1;
    return out;
}

void setPower(AtsState& s, int32_t power) noexcept {
    s.heldPower = power;
}

void setBrake(AtsState& s, int32_t brake) noexcept {
    s.heldBrake = brake;
}

void setReverser(AtsState& s, int32_t reverser) noexcept {
    s.heldReverser = reverser;
}

void doorOpen(AtsState& s) noexcept {
    s.doorsClosedFlag = false;
}

void doorClose(AtsState& s) noexcept {
    s.doorsClosedFlag = true;
}

void keyDown(AtsState& s, int32_t key, bool shiftDown) noexcept {
    if (key != ResetKey) return;
    if (shiftDown) {
        s.atsTripped = true;  // test trip
        return;
    }
    // Key repeat while held does nothing; only the first press resets.
    if (s.resetKeyHeld) return;
    s.resetKeyHeld = true;
    s.atsTripped = false;
    // Restarts the window's clock without moving the pair's start.
    s.timingElapsed = 0;
    s.pressSoundPending = true;
}

void keyUp(AtsState& s, int32_t key) noexcept {
    if (key != ResetKey || !s.resetKeyHeld) return;
    s.resetKeyHeld = false;
    s.releaseSoundPending = true;
}

void setBeaconData(AtsState& s, const host::BeaconData& beacon) noexcept {
    if (beacon.type != TimerBeaconType) return;
    switch (beacon.optional) {
        case OptionalTimerAlways: timerBeacon(s); break;
        case 0:
        case 1:
        case 2:
        case 3:
            if (beacon.signal == beacon.optional) timerBeacon(s);
            break;
        case OptionalStopAtRed:
            if (beacon.signal == 0) s.atsTripped = true;
            break;
        case OptionalTripAlways: s.atsTripped = true; break;
        default: break;
    }
}

}  // namespace atstimer
