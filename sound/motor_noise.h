// The 41 traction-motor noise layers: volumes and pitches from the main circuit's state.
#pragma once

#include "sim/frame_context.h"

namespace frame {
struct Plugin;
}

namespace sound {

// Frame step 21: one volume and one frequency-ratio request per loaded layer, in the frame's set.
void motorNoiseStep(const frame::Plugin& plugin, const sim::FrameContext& frame);
// A power-mode step restarts the recording of a layer at once.
void rewindMotorLayer(int layer);

}  // namespace sound
