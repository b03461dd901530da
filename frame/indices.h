// Every panel and sound index that the two plug-ins write, and every key index they act on, with
// what an author maps onto it. The author's guide carries the same tables; a test runs both
// plug-ins to prove that they write exactly these indices and that the guide lists exactly these.
#pragma once

#include <span>
#include <string_view>

namespace frame {

struct IndexUse {
    int first;  // a range of indices that share one meaning (adjustment digits) has first < last
    int last;
    std::string_view meaning;
};

inline constexpr IndexUse CorvanePanelIndices[] = {
    {22, 22, "speedometer needle: Speed.csv value x 100"},
    {26, 26, "ammeter needle: Current.csv value of the motor current"},
    {37, 37, "power notch sent to the host this frame"},
    {38, 38, "brake notch sent to the host this frame"},
    {39, 39, "electric brake carries the demand, air brake held off (0/1)"},
    {41, 41, "regeneration-match / one-pulse re-powering lamp (0/1)"},
    {42, 42, "always 1"},
    {43, 43, "always 1"},
    {45, 45, "negative-notch flash (0/1, about 100 ms)"},
    {68, 68, "blinker following panel 3: 0 off, 1 and 2 alternating"},
    {130, 130, "brake cylinder needle (PressureL.csv)"},
    {131, 131, "straight air pipe needle (PressureL.csv)"},
    {132, 132, "brake pipe needle (PressureR.csv)"},
    {133, 133, "main reservoir needle (PressureR.csv)"},
    {135, 135, "switch 5 on and switch 6 off (0/1)"},
    {136, 136, "switches 5 and 6 both on (0/1)"},
    {220, 223, "needle adjustment digits, most significant first (10 = blank)"},
    {232, 232, "voltmeter needle (Voltage.csv)"},
    {252, 252, "switch 12 (0/1)"},
};

inline constexpr IndexUse CorvaneSoundIndices[] = {
    {95, 95, "doors closed"},
    {96, 96, "doors opened"},
    {97, 97, "speed fell below 5 km/h"},
    {98, 98, "speed rose to 5 km/h"},
    {107, 107, "cab switch on (keys 5, 7, 8, 12)"},
    {108, 108, "cab switch off (keys 5, 7, 8, 12)"},
    {109, 109, "key 6 switch off; key 11 raises the power limit"},
    {110, 110, "key 6 switch on; key 10 lowers the power limit"},
    {220, 220, "brake handle from emergency to the strongest service notch"},
    {223, 223, "emergency latch set (key 9)"},
    {224, 224, "emergency latch released (key 9)"},
    {227, 227, "emergency latch set: started, stopped at release"},
    {228, 228, "emergency latch released: started, stopped by the cylinder"},
    {229, 229, "brake cylinder refilling after the latch was released"},
    {239, 239, "brake pipe charging (looped)"},
    {243, 243, "brake handle to release"},
    {244, 244, "brake handle to notch 1 or to the strongest service notch"},
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
    {0, 0, "needle adjustment: next gauge"},
    {5, 5, "switch 5; needle adjustment: value up"},
    {6, 6, "switch 6; needle adjustment: value down"},
    {7, 7, "switch 7 (acts on release): shift of the power notches"},
    {8, 8, "switch 8: negative-notch electric brake"},
    {9, 9, "emergency latch"},
    {10, 10, "power limit down"},
    {11, 11, "power limit up"},
    {12, 12, "switch 12"},
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

}  // namespace frame
