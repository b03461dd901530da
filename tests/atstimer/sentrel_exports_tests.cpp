// The Linux library through its exported names, loaded the way the stand-in host loads it:
// the Shift test trip through the injectable key state, the reset, and null arrays.
#include <gtest/gtest.h>

#include "interface/host_interface.h"
#include "platform/platform.h"

namespace {

struct SentrelLibrary {
    using Void = void (*)();
    using Int = void (*)(int32_t);

    platform::LibraryHandle handle = platform::loadLibrary(SENTREL_LIBRARY_PATH);
    Void load = find<Void>("Load");
    Int initialize = find<Int>("Initialize");
    void (*setVehicleSpec)(host::VehicleSpec) = find<void (*)(host::VehicleSpec)>("SetVehicleSpec");
    host::Handles (*elapse)(host::VehicleState, int32_t*,
                            int32_t*) = find<host::Handles (*)(host::VehicleState, int32_t*, int32_t*)>("Elapse");
    Int setBrake = find<Int>("SetBrake");
    Int keyDown = find<Int>("KeyDown");
    Int keyUp = find<Int>("KeyUp");
    void (*setBeaconData)(host::BeaconData) = find<void (*)(host::BeaconData)>("SetBeaconData");
    int32_t (*getPluginVersion)() = find<int32_t (*)()>("GetPluginVersion");
    void (*setKeyDown)(int32_t, int32_t) = find<void (*)(int32_t, int32_t)>("PluginSetKeyDown");
    const char* (*lastError)() = find<const char* (*)()>("PluginLastError");

    template <class Fn>
    Fn find(const char* name) {
        return handle ? reinterpret_cast<Fn>(platform::findSymbol(handle, name)) : nullptr;
    }
    bool complete() const {
        return load && initialize && setVehicleSpec && elapse && setBrake && keyDown && keyUp && setBeaconData &&
               getPluginVersion && setKeyDown && lastError;
    }
    ~SentrelLibrary() {
        if (handle) platform::freeLibrary(handle);
    }
};

TEST(SentrelExports, TestTripAndResetThroughTheExports) {
    SentrelLibrary lib;
    ASSERT_NE(lib.handle, nullptr);
    ASSERT_TRUE(lib.complete());

    lib.load();
    EXPECT_EQ(lib.getPluginVersion(), 0x20000);
    lib.setVehicleSpec(host::VehicleSpec{5, 0, 0, 0, 3});
    lib.initialize(0);
    lib.setBrake(1);

    int32_t panel[256] = {};
    int32_t sound[256] = {};
    host::VehicleState state{};
    state.time = 1000;
    EXPECT_EQ(lib.elapse(state, panel, sound).brake, 1);

    lib.setKeyDown(platform::VirtualKeyShift, 1);
    lib.keyDown(4);
    lib.setKeyDown(platform::VirtualKeyShift, 0);
    state.time = 1020;
    EXPECT_EQ(lib.elapse(state, panel, sound).brake, 6);
    EXPECT_EQ(panel[121], 1);

    lib.keyDown(4);
    state.time = 1040;
    EXPECT_EQ(lib.elapse(state, panel, sound).brake, 1);
    EXPECT_EQ(sound[24], host::SoundPlayOnce);
    lib.keyUp(4);

    // A host that passes no arrays gets its handles and nothing is written through null.
    lib.setBeaconData(host::BeaconData{7, 0, 0.0f, 6});
    state.time = 1060;
    EXPECT_EQ(lib.elapse(state, nullptr, nullptr).brake, 6);
    EXPECT_STREQ(lib.lastError(), "");
    lib.initialize(0);
}

}  // namespace
