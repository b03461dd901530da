// Placeholder until the motor noise and air sounds land: the exhaust timing still works.
#include "sound/air_sounds.h"
#include "sound/motor_noise.h"

namespace sound {
namespace {
bool exhaust = false;
}

void motorNoiseStep(const frame::Plugin&, const sim::FrameContext&) {}
void rewindMotorLayer(int) {}

bool exhaustPlaying() {
    return exhaust;
}
void startExhaust(float, uint32_t) {
    exhaust = true;
}
void stopExhaust(uint32_t) {
    exhaust = false;
}
void setCylinderExhaustLevel(float, uint32_t) {}
void muteCylinderExhaust(uint32_t) {}

}  // namespace sound
