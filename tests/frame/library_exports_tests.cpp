// The Linux library answers the host's sixteen entry points by name, through the platform loader.
#include <gtest/gtest.h>

#include "interface/host_interface.h"
#include "platform/platform.h"

namespace {

TEST(LibraryExports, TheSixteenEntryPointsAreFoundByName) {
    platform::LibraryHandle library = platform::loadLibrary(platform::Path(CORVANE_LIBRARY));
    ASSERT_NE(library, nullptr);
    for (const char* name : {"Load", "Dispose", "GetPluginVersion", "SetVehicleSpec", "Initialize", "Elapse",
                             "SetPower", "SetBrake", "SetReverser", "KeyDown", "KeyUp", "HornBlow", "DoorOpen",
                             "DoorClose", "SetSignal", "SetBeaconData"}) {
        EXPECT_NE(platform::findSymbol(library, name), nullptr) << name;
    }
    auto version = reinterpret_cast<int32_t (*)()>(platform::findSymbol(library, "GetPluginVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), host::PluginInterfaceVersion);
    platform::freeLibrary(library);
}

}  // namespace
