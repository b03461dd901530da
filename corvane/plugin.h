// Everything one loaded Corvane keeps between calls: its configuration, chained libraries, sounds
// and simulation. Only the entry points hold it whole; each frame step is handed the parts it
// reads and writes.
#pragma once

#include "chain/chain.h"
#include "config/needle_tables.h"
#include "config/notch_config.h"
#include "platform/platform.h"
#include "sim/frame_step.h"
#include "sim/input_state.h"
#include "sound/audio_state.h"

namespace corvane {

// The library holds one instance behind its entry points; the stand-in host and the tests make
// their own, and `plugin = {}` starts afresh.
struct Plugin {
    platform::Path pluginDirectory;  // ends with a separator
    config::NotchConfig config;
    config::NeedleTables needles;
    chain::ChainState chain;
    sound::AudioState audio;
    sim::InputState input;
    sim::SimState sim;
};

}  // namespace corvane
