// The levels of linked-in Corvane's own sounds, frame by frame, as the software audio engine applied
// them: a volume and a frequency ratio for each of the 41 motor-noise layers and the three air sounds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "sound/motor_layers.h"

namespace cabhost {

// Rows of a frame, in this order: motor-noise layers 0 to 40, then bc, sap and sapHigh.
constexpr int MotorNoiseRows = sound::MotorNoiseLayers;
constexpr int SoundLevelRows = MotorNoiseRows + 3;
extern const char* const AirSoundNames[3];

struct SoundLevels {
    bool active = false;
    std::vector<double> timeS;  // per frame
    // Per frame, SoundLevelRows values each. A voice that is empty (its file is missing) or not
    // sounding (stopped, or a one-shot that has played to its end) has no volume: NaN.
    std::vector<float> volume;
    std::vector<float> frequencyRatio;
    std::string note;  // why there are no levels, when there are none
};

// After Load: starts collecting when linked-in Corvane created its audio engine.
void startSoundLevels(SoundLevels& levels, bool linked);
// After each frame's Elapse, whose commit applied the frame's requests.
void recordSoundLevels(SoundLevels& levels, double timeS);

// levels.csv: the volumes frame by frame (time_s, then one column per row; empty where a voice does
// not sound), so that a later run can be compared with this one. False with the reason in error.
bool writeSoundLevelsCsv(const SoundLevels& levels, const platform::Path& file, std::string& error);
bool readSoundLevelsCsv(const platform::Path& file, SoundLevels& levels, std::string& error);
// The column name of a row: "layer_<n>" or the air sound's name.
std::string soundLevelColumn(int row);

}  // namespace cabhost
