// Shared between the files of the Linux audio backend.
#pragma once

#include "platform/platform.h"

namespace platform {

// True when a fault was armed for the call; the result to return is stored.
bool audioTakeFault(AudioCall call, AudioResult* result);

}  // namespace platform
