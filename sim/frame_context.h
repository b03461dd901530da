// What one frame hands to every step of the simulation.
#pragma once

#include <cstdint>

#include "config/notch_config.h"
#include "interface/host_interface.h"

namespace sim {

struct FrameContext {
    const host::VehicleState& state;
    const config::NotchConfig& config;
    int32_t* panel;
    int32_t* sound;
    host::Handles out{};        // the output handles as built so far
    uint32_t operationSet = 0;  // frameCounter after this frame's increment
    float absoluteSpeed = 0.0f;
    int32_t timeStep = 0;       // ms
    float acceleration = 0.0f;  // km/h/s
};

// A millisecond timer advanced by a time step. The host's clock may jump or run backwards, so the
// sum wraps around the 32-bit range instead of overflowing.
constexpr int32_t addWrapping(int32_t timerMs, int32_t stepMs) {
    return static_cast<int32_t>(static_cast<uint32_t>(timerMs) + static_cast<uint32_t>(stepMs));
}

}  // namespace sim
