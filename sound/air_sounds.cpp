#include "sound/air_sounds.h"

#include "sound/audio_state.h"

namespace sound {

bool exhaustPlaying(const AudioState& state) {
    return state.sapHighSound.triggered;
}

void startExhaust(AudioState& state, float firstSampleFraction, uint32_t operationSet) {
    const float first = static_cast<float>(state.sapHighLength) * firstSampleFraction;
    // Truncation toward zero; a fraction outside 0 to 1 cannot reach past either end.
    uint32_t sample = 0;
    if (first >= 4294967296.0f) {
        sample = 0xFFFFFFFFu;
    } else if (first >= 1.0f) {
        sample = static_cast<uint32_t>(first);
    }
    state.sapHighSound.setPlayBegin(sample);
    state.sapHighSound.start(operationSet);
    state.sapHighSound.triggered = true;
}

void stopExhaust(AudioState& state, uint32_t operationSet) {
    state.sapHighSound.stop(operationSet);
    state.sapHighSound.triggered = false;
}

void setCylinderExhaustLevel(AudioState& state, float level, uint32_t operationSet) {
    state.bcSound.setVolumeClamped(level, operationSet);
}

void muteCylinderExhaust(AudioState& state, uint32_t operationSet) {
    state.bcSound.setVolume(0.0f, operationSet);
}

}  // namespace sound
