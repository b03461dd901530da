// Every panel and sound index that the two plug-ins write, and every key index they act on, with
// what an author maps onto it. The author's guide carries the same tables; a test runs both
// plug-ins to prove that they write exactly these indices and that the guide lists exactly these.
#pragma once

#include <span>
#include <string_view>

namespace host {

struct IndexUse {
    int first;  // a range of indices that share one meaning (adjustment digits) has first < last
    int last;
    std::string_view meaning;
};

// Corvane's panel indices by what they show.
namespace PanelIndex {
inline constexpr int BlinkerSource = 3;  // written by a chained plug-in, read by Corvane
inline constexpr int Speedometer = 22;
inline constexpr int Ammeter = 26;
inline constexpr int PowerNotchSent = 37;
inline constexpr int BrakeNotchSent = 38;
inline constexpr int ElectricBrakeHolds = 39;
inline constexpr int RegenerationMatchLamp = 41;
inline constexpr int AlwaysOnFirst = 42;
inline constexpr int AlwaysOnSecond = 43;
inline constexpr int NegativeNotchFlash = 45;
inline constexpr int Blinker = 68;
inline constexpr int CylinderNeedle = 130;
inline constexpr int StraightAirPipeNeedle = 131;
inline constexpr int BrakePipeNeedle = 132;
inline constexpr int MainReservoirNeedle = 133;
inline constexpr int SwitchFiveOnly = 135;
inline constexpr int SwitchesFiveAndSix = 136;
inline constexpr int AdjustmentDigitFirst = 220;
inline constexpr int AdjustmentDigitLast = 223;
inline constexpr int Voltmeter = 232;
inline constexpr int SwitchTwelve = 252;
}  // namespace PanelIndex

// Corvane's sound indices by what they play.
namespace SoundIndex {
inline constexpr int DoorsClosed = 95;
inline constexpr int DoorsOpened = 96;
inline constexpr int SpeedFellBelowFive = 97;
inline constexpr int SpeedRoseToFive = 98;
inline constexpr int CabSwitchOn = 107;
inline constexpr int CabSwitchOff = 108;
inline constexpr int SwitchSixOffOrLimitUp = 109;
inline constexpr int SwitchSixOnOrLimitDown = 110;
inline constexpr int BrakeFromEmergency = 220;
inline constexpr int EmergencyLatchSet = 223;
inline constexpr int EmergencyLatchReleased = 224;
inline constexpr int EmergencyLatchSetHeld = 227;
inline constexpr int EmergencyLatchReleasedHeld = 228;
inline constexpr int CylinderRefilling = 229;
inline constexpr int BrakePipeCharging = 239;
inline constexpr int BrakeToRelease = 243;
inline constexpr int BrakeStep = 244;
}  // namespace SoundIndex

// Corvane's key indices by what they act on.
namespace KeyIndex {
inline constexpr int AdjustNextGauge = 0;
inline constexpr int Switch5 = 5;  // also the needle adjustment's value up
inline constexpr int Switch6 = 6;  // also the needle adjustment's value down
inline constexpr int Switch7 = 7;
inline constexpr int Switch8 = 8;
inline constexpr int EmergencyLatch = 9;
inline constexpr int PowerLimitDown = 10;
inline constexpr int PowerLimitUp = 11;
inline constexpr int Switch12 = 12;
}  // namespace KeyIndex

inline constexpr IndexUse CorvanePanelIndices[] = {
    {PanelIndex::Speedometer, PanelIndex::Speedometer, "speedometer needle: Speed.csv value x 100"},
    {PanelIndex::Ammeter, PanelIndex::Ammeter, "ammeter needle: Current.csv value of the motor current"},
    {PanelIndex::PowerNotchSent, PanelIndex::PowerNotchSent, "power notch sent to the host this frame"},
    {PanelIndex::BrakeNotchSent, PanelIndex::BrakeNotchSent, "brake notch sent to the host this frame"},
    {PanelIndex::ElectricBrakeHolds, PanelIndex::ElectricBrakeHolds,
     "electric brake carries the demand, air brake held off (0/1)"},
    {PanelIndex::RegenerationMatchLamp, PanelIndex::RegenerationMatchLamp,
     "regeneration-match / one-pulse re-powering lamp (0/1)"},
    {PanelIndex::AlwaysOnFirst, PanelIndex::AlwaysOnFirst, "always 1"},
    {PanelIndex::AlwaysOnSecond, PanelIndex::AlwaysOnSecond, "always 1"},
    {PanelIndex::NegativeNotchFlash, PanelIndex::NegativeNotchFlash, "negative-notch flash (0/1, about 100 ms)"},
    {PanelIndex::Blinker, PanelIndex::Blinker, "blinker following panel 3: 0 off, 1 and 2 alternating"},
    {PanelIndex::CylinderNeedle, PanelIndex::CylinderNeedle, "brake cylinder needle (PressureL.csv)"},
    {PanelIndex::StraightAirPipeNeedle, PanelIndex::StraightAirPipeNeedle, "straight air pipe needle (PressureL.csv)"},
    {PanelIndex::BrakePipeNeedle, PanelIndex::BrakePipeNeedle, "brake pipe needle (PressureR.csv)"},
    {PanelIndex::MainReservoirNeedle, PanelIndex::MainReservoirNeedle, "main reservoir needle (PressureR.csv)"},
    {PanelIndex::SwitchFiveOnly, PanelIndex::SwitchFiveOnly, "switch 5 on and switch 6 off (0/1)"},
    {PanelIndex::SwitchesFiveAndSix, PanelIndex::SwitchesFiveAndSix, "switches 5 and 6 both on (0/1)"},
    {PanelIndex::AdjustmentDigitFirst, PanelIndex::AdjustmentDigitLast,
     "needle adjustment digits, most significant first (10 = blank)"},
    {PanelIndex::Voltmeter, PanelIndex::Voltmeter, "voltmeter needle (Voltage.csv)"},
    {PanelIndex::SwitchTwelve, PanelIndex::SwitchTwelve, "switch 12 (0/1)"},
};

inline constexpr IndexUse CorvaneSoundIndices[] = {
    {SoundIndex::DoorsClosed, SoundIndex::DoorsClosed, "doors closed"},
    {SoundIndex::DoorsOpened, SoundIndex::DoorsOpened, "doors opened"},
    {SoundIndex::SpeedFellBelowFive, SoundIndex::SpeedFellBelowFive, "speed fell below 5 km/h"},
    {SoundIndex::SpeedRoseToFive, SoundIndex::SpeedRoseToFive, "speed rose to 5 km/h"},
    {SoundIndex::CabSwitchOn, SoundIndex::CabSwitchOn, "cab switch on (keys 5, 7, 8, 12)"},
    {SoundIndex::CabSwitchOff, SoundIndex::CabSwitchOff, "cab switch off (keys 5, 7, 8, 12)"},
    {SoundIndex::SwitchSixOffOrLimitUp, SoundIndex::SwitchSixOffOrLimitUp,
     "key 6 switch off; key 11 raises the power limit"},
    {SoundIndex::SwitchSixOnOrLimitDown, SoundIndex::SwitchSixOnOrLimitDown,
     "key 6 switch on; key 10 lowers the power limit"},
    {SoundIndex::BrakeFromEmergency, SoundIndex::BrakeFromEmergency,
     "brake handle from emergency to the strongest service notch"},
    {SoundIndex::EmergencyLatchSet, SoundIndex::EmergencyLatchSet, "emergency latch set (key 9)"},
    {SoundIndex::EmergencyLatchReleased, SoundIndex::EmergencyLatchReleased, "emergency latch released (key 9)"},
    {SoundIndex::EmergencyLatchSetHeld, SoundIndex::EmergencyLatchSetHeld,
     "emergency latch set: started, stopped at release"},
    {SoundIndex::EmergencyLatchReleasedHeld, SoundIndex::EmergencyLatchReleasedHeld,
     "emergency latch released: started, stopped by the cylinder"},
    {SoundIndex::CylinderRefilling, SoundIndex::CylinderRefilling,
     "brake cylinder refilling after the latch was released"},
    {SoundIndex::BrakePipeCharging, SoundIndex::BrakePipeCharging, "brake pipe charging (looped)"},
    {SoundIndex::BrakeToRelease, SoundIndex::BrakeToRelease, "brake handle to release"},
    {SoundIndex::BrakeStep, SoundIndex::BrakeStep, "brake handle to notch 1 or to the strongest service notch"},
};

inline constexpr IndexUse SentrelPanelIndices[] = {
    {120, 120, "protection normal (0/1)"},
    {121, 121, "protection tripped, emergency brake held (0/1)"},
};

inline constexpr IndexUse SentrelSoundIndices[] = {
    {24, 24, "reset key pressed (stopped at release)"},
    {25, 25, "reset key released"},
};

inline constexpr IndexUse CorvaneKeys[] = {
    {KeyIndex::AdjustNextGauge, KeyIndex::AdjustNextGauge, "needle adjustment: next gauge"},
    {KeyIndex::Switch5, KeyIndex::Switch5, "switch 5; needle adjustment: value up"},
    {KeyIndex::Switch6, KeyIndex::Switch6, "switch 6; needle adjustment: value down"},
    {KeyIndex::Switch7, KeyIndex::Switch7, "switch 7 (acts on release): shift of the power notches"},
    {KeyIndex::Switch8, KeyIndex::Switch8, "switch 8: negative-notch electric brake"},
    {KeyIndex::EmergencyLatch, KeyIndex::EmergencyLatch, "emergency latch"},
    {KeyIndex::PowerLimitDown, KeyIndex::PowerLimitDown, "power limit down"},
    {KeyIndex::PowerLimitUp, KeyIndex::PowerLimitUp, "power limit up"},
    {KeyIndex::Switch12, KeyIndex::Switch12, "switch 12"},
};

inline constexpr IndexUse SentrelKeys[] = {
    {4, 4, "reset; with Shift, test trip"},
};

// Corvane's own sound files: the 41 motor-noise layers and the three air sounds.
inline constexpr int MotorNoiseLayerCount = 41;
inline constexpr std::string_view AirSoundFiles[] = {"bc.wav", "sap.wav", "sapHigh.wav"};

inline constexpr bool covers(std::span<const IndexUse> table, int index) {
    for (const IndexUse& use : table) {
        if (index >= use.first && index <= use.last) return true;
    }
    return false;
}

}  // namespace host
