// The work of Corvane's entry points outside the frame: load, tear-down, the VehicleSpec record,
// and what each driver input records for the next frame.
#include "corvane/lifecycle.h"

#include <algorithm>
#include <utility>

#include "interface/indices.h"

namespace corvane {

void libraryAttach(Plugin& p, const platform::Path& moduleFile) {
    p.pluginDirectory = moduleFile;
    p.pluginDirectory.remove_filename();
}

void load(Plugin& p) {
    chain::loadChainedPlugins(p.chain, p.pluginDirectory);

    p.config.load(platform::joinPath(p.pluginDirectory, "Notch.txt"));

    sound::audioStartup(p.audio, p.pluginDirectory);

    p.input.panelModifyMode = false;
    p.input.panelModifyMode = config::panelModifyFileExists(p.pluginDirectory);

    config::loadNeedleTables(p.needles, p.pluginDirectory);

    sim::InputState& in = p.input;
    in.toggle5 = in.toggle6 = in.toggle7 = in.toggle8 = false;
    in.negativePowerActive = false;
    in.powerLimitMode = 2;
    sim::loadStartValues(p.sim, p.config);
}

void dispose(Plugin& p) {
    chain::disposeChainedPlugins(p.chain);
    sound::audioShutdown(p.audio);
    // Everything else stays: a route reload calls Dispose and then Load in the same process, and the
    // cab's switches and doors are as the driver left them.
}

int32_t getPluginVersion(Plugin& p) {
    chain::checkChainedVersions(p.chain);
    return host::PluginInterfaceVersion;
}

void setVehicleSpec(Plugin& p, const host::VehicleSpec& spec) {
    chain::forwardSetVehicleSpec(p.chain, spec);
    sim::InputState& in = p.input;
    // A host never has more notches than this; the table must not be sized from an untrusted value.
    in.serviceNotches = std::clamp(spec.brakeNotches, 0, MaxServiceNotches);
    in.emergencyNotch = in.serviceNotches + 1;
    in.carFactor = static_cast<float>(spec.carCount);
    in.brakePressureTable.build(std::max(in.serviceNotches, 1));
    const config::NotchConfig& notch = p.config;
    in.limitValueEmpty = notch.limitValueEmpty;
    in.limitValueFull = notch.limitValueFull;
    in.brakeReferenceSpeed = notch.brakeReferenceSpeed;
}

void initialize(Plugin& p, int32_t value) {
    chain::forwardInitialize(p.chain, value);
    p.input.peakCurrent = 0.0f;
}

void setPower(Plugin& p, int32_t power) {
    sim::InputState& in = p.input;
    in.driverHandles.power = power;
    if (power < 0) {
        in.negativePowerActive = true;
        if (platform::randomU32() % 100 == 99) in.negativeNotchFlash = true;
        return;
    }
    if (in.driverHandles.brake > 0 && !in.toggle8) {
        in.negativePowerActive = false;
    } else if (p.sim.frame.absoluteSpeed == 0.0f || p.sim.traction.motorCurrent == 0.0f) {
        in.negativePowerActive = false;
    }
}

void setBrake(Plugin& p, int32_t brake, const sim::KeyboardReader* keyboard) {
    sim::InputState& in = p.input;
    const int32_t n = in.serviceNotches;
    const int32_t old = in.driverHandles.brake;
    if (n >= 12) sim::captureBrakeKeys(p.sim.keyboard, keyboard, n, old, brake);
    if (brake == 0) {
        in.triggers.brakeToRelease.requestPlay();
    } else if (brake == 1) {
        in.triggers.brakeStep.requestPlay();
    } else if (brake == n) {
        if (old == n + 1) {
            in.triggers.brakeFromEmergency.requestPlay();
        } else {
            in.triggers.brakeStep.requestPlay();
        }
    }
    in.driverHandles.brake = brake;
    if (in.driverHandles.power >= 0 && !in.toggle8) in.negativePowerActive = false;
}

void setReverser(Plugin& p, int32_t reverser) {
    p.input.driverHandles.reverser = reverser;
    if (reverser == 0) p.input.regenerationMatch = false;
}

namespace {

// Flips a cab switch and requests the matching click.
void toggleWithSound(sim::InputState& in, bool& toggle) {
    toggle = !toggle;
    if (toggle) {
        in.triggers.cabSwitchOn.requestPlay();
    } else {
        in.triggers.cabSwitchOff.requestPlay();
    }
}

// A switch acts once per press: the host repeats KeyDown while the key is held.
bool firstPress(sim::InputState& in, int key) {
    if (in.keysHeld.test(key)) return false;
    in.keysHeld.set(key);
    return true;
}

// The adjustment value moves by a fixed step per key press; held keys repeat without end, so it
// stops at the ends of its range instead of overflowing.
int32_t adjustedBy(int32_t value, int32_t step) {
    const int64_t sum = static_cast<int64_t>(value) + step;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

}  // namespace

void keyDown(Plugin& p, int32_t key, bool shiftDown) {
    chain::forwardKeyDown(p.chain, key);
    sim::InputState& in = p.input;
    switch (key) {
        case host::KeyIndex::AdjustNextGauge:
            if (in.panelModifyMode) {
                in.adjustTarget = in.adjustTarget >= 7 ? 0 : in.adjustTarget + 1;
                in.adjustValue = 0;
            }
            break;
        case host::KeyIndex::Switch5:
            if (shiftDown) break;
            if (firstPress(in, host::KeyIndex::Switch5)) {
                toggleWithSound(in, in.toggle5);
            }
            if (in.panelModifyMode && in.adjustTarget != 0)
                in.adjustValue = adjustedBy(in.adjustValue, in.adjustTarget == 5 ? 100 : 10);
            break;
        case host::KeyIndex::Switch6:
            if (shiftDown) break;
            if (firstPress(in, host::KeyIndex::Switch6)) {
                in.toggle6 = !in.toggle6;
                if (in.toggle6) {
                    in.triggers.switchSixOnOrLimitDown.requestPlay();
                } else {
                    in.triggers.switchSixOffOrLimitUp.requestPlay();
                }
            }
            if (in.panelModifyMode && in.adjustTarget != 0)
                in.adjustValue = adjustedBy(in.adjustValue, in.adjustTarget == 5 ? -100 : -10);
            break;
        case host::KeyIndex::Switch8:
            if (firstPress(in, host::KeyIndex::Switch8)) {
                toggleWithSound(in, in.toggle8);
            }
            break;
        case host::KeyIndex::EmergencyLatch:
            if (firstPress(in, host::KeyIndex::EmergencyLatch)) {
                in.ebLatch = !in.ebLatch;
                if (in.ebLatch) {
                    in.triggers.emergencyLatchReleasedHeld.requestStop();
                    in.triggers.emergencyLatchSetHeld.requestPlay();
                    in.triggers.emergencyLatchSet.requestPlay();
                } else {
                    in.triggers.emergencyLatchSetHeld.requestStop();
                    in.triggers.emergencyLatchReleasedHeld.requestPlay();
                    in.triggers.emergencyLatchReleased.requestPlay();
                }
            }
            break;
        case host::KeyIndex::PowerLimitDown:
            if (firstPress(in, host::KeyIndex::PowerLimitDown)) {
                if (in.powerLimitMode == 1 || in.powerLimitMode == 2) {
                    in.powerLimitMode -= 1;
                    in.triggers.switchSixOnOrLimitDown.requestPlay();
                }
            }
            break;
        case host::KeyIndex::PowerLimitUp:
            if (firstPress(in, host::KeyIndex::PowerLimitUp)) {
                if (in.powerLimitMode == 0 || in.powerLimitMode == 1) {
                    in.powerLimitMode += 1;
                    in.triggers.switchSixOffOrLimitUp.requestPlay();
                }
            }
            break;
        case host::KeyIndex::Switch12:
            if (firstPress(in, host::KeyIndex::Switch12)) {
                toggleWithSound(in, in.toggle12);
            }
            break;
        default: break;
    }
}

void keyUp(Plugin& p, int32_t key) {
    chain::forwardKeyUp(p.chain, key);
    sim::InputState& in = p.input;
    switch (key) {
        case host::KeyIndex::Switch7: toggleWithSound(in, in.toggle7); break;
        default:
            if (key >= 0 && static_cast<size_t>(key) < in.keysHeld.size()) in.keysHeld.reset(key);
            break;
    }
}

void hornBlow(Plugin& p, int32_t horn) {
    chain::forwardHornBlow(p.chain, horn);
}

void doorOpen(Plugin& p) {
    chain::forwardDoorOpen(p.chain);
    p.input.doorsClosed = false;
    p.input.triggers.doorsOpened.requestPlay();
}

void doorClose(Plugin& p) {
    chain::forwardDoorClose(p.chain);
    p.input.doorsClosed = true;
    p.input.triggers.doorsClosed.requestPlay();
    const config::NotchConfig& notch = p.config;
    if (!notch.powerCurrent.empty()) {
        const size_t index = notch.powerCurrent.size() > 1 ? 1 : 0;
        p.input.peakCurrent = notch.powerCurrent[index].lookup(15.0f);
    }
}

void setSignal(Plugin& p, int32_t signal) {
    chain::forwardSetSignal(p.chain, signal);
}

void setBeaconData(Plugin& p, const host::BeaconData& beacon) {
    chain::forwardSetBeaconData(p.chain, beacon);
}

bool platformShiftDown() {
    return platform::isKeyDown(platform::VirtualKeyShift);
}

sim::FrameKeys platformFrameKeys() {
    return sim::FrameKeys{platform::isKeyDown(platform::VirtualKeyP), PlatformKeyboard};
}

}  // namespace corvane
