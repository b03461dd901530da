// Placeholders for traction and the mode machine until they land.
#include "frame/plugin.h"

namespace sim {

void loadTraction(frame::Plugin&, const config::NotchConfig&) {}
void regenNoLoadCurrentStep(frame::Plugin&, FrameContext&) {}
void tractionStep(frame::Plugin&, FrameContext&) {}
void motorCurrentStep(frame::Plugin&, FrameContext&) {}

void loadModeMachine(frame::Plugin&) {}
void modeMachineStep(frame::Plugin&, FrameContext&) {}
void modeStepTimerAdvance(frame::Plugin&, FrameContext&) {}
void noiseSharesStep(frame::Plugin&, FrameContext&) {}

}  // namespace sim
