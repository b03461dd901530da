// Shared between the software engine and the Linux decoder (its faults for tests).
#pragma once

#include "platform/audio.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace platform {

// True when a fault was armed for the call; the result to return is stored.
bool audioTakeFault(AudioCall call, AudioResult* result);

// EXT: the reference mix, in which silent voices advance one output frame at a time as heard ones
// do; the default mix moves them in one step to the same place. For tests that compare the two.
void audioMixEveryStep(bool on);

}  // namespace platform
