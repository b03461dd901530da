// The chained plug-in list: any text as detailmodules.txt, naming libraries, non-libraries, folders
// and missing files inside the scratch folder; then every forwarding, a few frames, the version
// check and the release. The first input byte chooses how the chained library behaves.
#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "chain/chain.h"
#include "fuzz_files.h"
#include "hostile_plugin.h"

namespace {

HostileConfigureEntry configureEntry() {
    static HostileConfigureEntry entry = [] {
        void* library = ::dlopen(HOSTILE_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        return library ? reinterpret_cast<HostileConfigureEntry>(::dlsym(library, "HostileConfigure")) : nullptr;
    }();
    return entry;
}

void layOutFolder(const platform::Path& plugin) {
    std::error_code error;
    std::filesystem::create_directories(plugin / "sub", error);
    std::filesystem::create_symlink(HOSTILE_PLUGIN, plugin / "a.so", error);
    std::filesystem::create_symlink(HOSTILE_PLUGIN, plugin / "sub" / "b.so", error);
    fuzz::writeScratchFile("plugin/garbage.so",
                           "\x7f"
                           "ELF not really a library");
    fuzz::writeScratchFile("plugin/empty.so", "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return -1;
    const uint8_t mode = data[0];
    const std::string_view list(reinterpret_cast<const char*>(data + 1), size - 1);
    const platform::Path plugin = fuzz::scratchDirectory() / "plugin" / "";
    for (std::string_view line : fuzz::splitInput(data + 1, size - 1, "\n")) {
        if (fuzz::leavesFolder(plugin, line)) return -1;
    }

    HostileBehaviour behaviour;
    behaviour.version = (mode & 1) ? 0x10000 : 0x20000;
    behaviour.throwInLoad = (mode & 2) != 0;
    behaviour.passThrough = (mode & 4) == 0;
    behaviour.handles[0] = (mode & 8) ? INT32_MAX : -1;
    behaviour.handles[1] = (mode & 16) ? INT32_MIN : 5;
    behaviour.panelIndex = mode;
    behaviour.soundIndex = static_cast<uint8_t>(mode * 7);
    if (HostileConfigureEntry configure = configureEntry()) configure(&behaviour);

    fuzz::clearScratch();
    layOutFolder(plugin);
    fuzz::writeScratchFile("plugin/detailmodules.txt", list);

    chain::ChainState chain;
    try {
        chain::loadChainedPlugins(chain, plugin);
    } catch (const std::exception&) {
        // A chained Load that throws, or an existence test that fails: the list keeps what loaded.
    }
    if (chain.chainedLoadRunning) {
        // Left set, every later Load would take its own chained libraries for a call back into it.
        chain.chainedLoadRunning = false;
    }

    chain::forwardSetVehicleSpec(chain, host::VehicleSpec{8, 0, 0, 0, 10});
    chain::forwardInitialize(chain, 0);
    chain::forwardKeyDown(chain, 4);
    chain::forwardKeyUp(chain, 4);
    chain::forwardHornBlow(chain, 1);
    chain::forwardDoorOpen(chain);
    chain::forwardDoorClose(chain);
    chain::forwardSetSignal(chain, 2);
    chain::forwardSetBeaconData(chain, host::BeaconData{7, 0, 0.0f, -1});
    int32_t panel[host::PanelArraySize] = {};
    int32_t sound[host::SoundArraySize] = {};
    host::VehicleState state{};
    for (int frame = 0; frame < 3; ++frame) {
        state.time += 16;
        chain::stepChainedPlugins(chain, state, panel, sound, frame, 9 - frame, 1,
                                  chain::Gates{true, frame != 1, true});
    }
    try {
        chain::checkChainedVersions(chain);
    } catch (const chain::VersionError& error) {
        if (std::strstr(error.what(), chain::VersionErrorText) == nullptr) __builtin_trap();
    }
    chain::disposeChainedPlugins(chain);
    if (!chain.chainedPlugins.empty()) __builtin_trap();
    return 0;
}
