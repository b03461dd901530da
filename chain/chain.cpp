// Loading the listed libraries, passing the host's calls on to them, and releasing them.
#include "chain/chain.h"

#include <memory>
#include <string>

#include "config/text_reader.h"

namespace chain {
namespace {

ChainedPlugin bindEntries(platform::LibraryHandle module) {
    ChainedPlugin plugin;
    static_cast<host::EntryPoints&>(plugin) =
        host::bindEntryPoints([&](const char* name) { return platform::findSymbol(module, name); });
    plugin.module = module;
    return plugin;
}

bool exportsAnyEntry(const host::EntryPoints& e) {
    return e.load || e.dispose || e.getPluginVersion || e.setVehicleSpec || e.initialize || e.elapse || e.setPower ||
           e.setBrake || e.setReverser || e.keyDown || e.keyUp || e.hornBlow || e.doorOpen || e.doorClose ||
           e.setSignal || e.setBeaconData;
}

// Calls the library's Load. False when that Load called back into the loading of this very list:
// the library is this plug-in itself (or leads back to it), and keeping it would make every
// forwarded call recurse without end.
bool runChainedLoad(ChainState& chain, VoidEntry load) {
    // Cleared however the call ends: a Load that throws must not leave every later Load taking
    // its own libraries for calls back into it.
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } running(chain.chainedLoadRunning);
    chain.loadReentered = false;
    load();
    return !chain.loadReentered;
}

bool isListed(const ChainState& chain, platform::LibraryHandle module) {
    for (const ChainedPlugin& plugin : chain.chainedPlugins) {
        if (plugin.module == module) return true;
    }
    return false;
}

// Hands one position to a library: the call only if the library has the entry, the record always.
void handOver(IntEntry entry, int32_t& lastSent, int32_t value) {
    if (entry) entry(value);
    lastSent = value;
}

// Passes a host call on to every library that exports the entry, in list order.
template <class Entry, class... Args>
void forwardToAll(const ChainState& chain, Entry host::EntryPoints::*entry, const Args&... args) {
    for (const ChainedPlugin& plugin : chain.chainedPlugins)
        if (plugin.*entry) (plugin.*entry)(args...);
}

void runElapse(ChainState& chain, const ChainedPlugin& plugin, const host::VehicleState& state, int32_t* panel,
               int32_t* sound) {
    if (!plugin.elapse) return;
    host::VehicleState copy = state;
    chain.chainHandles = plugin.elapse(copy, panel, sound);
}

}  // namespace

// "のバージョンが不正です。" in code page 932.
constexpr char VersionErrorTextCodePage932[] =
    "\x82\xcc\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7\x81\x42";
constexpr char VersionErrorTextUtf8[] = "のバージョンが不正です。";

const char* const VersionErrorText =
    platform::NarrowTextIsCodePage932 ? VersionErrorTextCodePage932 : VersionErrorTextUtf8;

void loadChainedPlugins(ChainState& chain, const platform::Path& pluginDirectory) {
    if (chain.chainedLoadRunning) {
        chain.loadReentered = true;
        return;
    }
    // Each chained Load runs on top of this call: the reader's read buffer stays off the host's stack.
    const auto list = std::make_unique<config::TextReader>(platform::joinPath(pluginDirectory, ListFileName));
    if (!list->isOpen()) return;
    std::u32string line;
    while (list->nextLine(line)) {
        // No file name holds a NUL; the operating system would read only the part before it and
        // load a file the line does not name.
        if (line.find(U'\0') != std::u32string::npos) continue;
        const platform::Path fullPath = platform::joinPath(pluginDirectory, line);
        if (!platform::exists(fullPath)) continue;
        platform::LibraryHandle module = platform::loadLibrary(fullPath);
        if (!module) continue;
        ChainedPlugin plugin = bindEntries(module);
        // A library with none of the entry points is not a plug-in (a system library, say). In the
        // pipeline it would take the driver's handles and never pass them on.
        if (!exportsAnyEntry(plugin)) {
            platform::freeLibrary(module);
            continue;
        }
        if (plugin.load && !runChainedLoad(chain, plugin.load)) {
            platform::freeLibrary(module);
            continue;
        }
        // A library already in the list (a second Load without Dispose, or a line listed twice) is
        // the same instance: listing it again would hand it every call twice.
        if (isListed(chain, module)) {
            platform::freeLibrary(module);
            continue;
        }
        chain.chainedPlugins.push_back(plugin);
    }
}

void disposeChainedPlugins(ChainState& chain) {
    for (const ChainedPlugin& plugin : chain.chainedPlugins) {
        if (plugin.dispose) plugin.dispose();
        platform::freeLibrary(plugin.module);
    }
    chain.chainedPlugins.clear();
}

void checkChainedVersions(const ChainState& chain) {
    for (const ChainedPlugin& plugin : chain.chainedPlugins) {
        if (!plugin.getPluginVersion) continue;
        if (plugin.getPluginVersion() == host::PluginInterfaceVersion) continue;
        // The full name, however deep the folder: the host shows this text to the author.
        std::string message = platform::libraryFileNameNarrow(plugin.module);
        message += VersionErrorText;
        throw VersionError(message);
    }
}

void forwardSetVehicleSpec(const ChainState& chain, const host::VehicleSpec& spec) {
    forwardToAll(chain, &ChainedPlugin::setVehicleSpec, spec);
}

void forwardInitialize(const ChainState& chain, int32_t value) {
    forwardToAll(chain, &ChainedPlugin::initialize, value);
}

void forwardKeyDown(const ChainState& chain, int32_t key) {
    forwardToAll(chain, &ChainedPlugin::keyDown, key);
}

void forwardKeyUp(const ChainState& chain, int32_t key) {
    forwardToAll(chain, &ChainedPlugin::keyUp, key);
}

void forwardHornBlow(const ChainState& chain, int32_t horn) {
    forwardToAll(chain, &ChainedPlugin::hornBlow, horn);
}

void forwardDoorOpen(const ChainState& chain) {
    forwardToAll(chain, &ChainedPlugin::doorOpen);
}

void forwardDoorClose(const ChainState& chain) {
    forwardToAll(chain, &ChainedPlugin::doorClose);
}

void forwardSetSignal(const ChainState& chain, int32_t signal) {
    forwardToAll(chain, &ChainedPlugin::setSignal, signal);
}

void forwardSetBeaconData(const ChainState& chain, const host::BeaconData& beacon) {
    forwardToAll(chain, &ChainedPlugin::setBeaconData, beacon);
}

host::Handles stepChainedPlugins(ChainState& chain, const host::VehicleState& state, int32_t* panel, int32_t* sound,
                                 int32_t driverPower, int32_t driverBrake, int32_t driverReverser, Gates gates) {
    std::vector<ChainedPlugin>& plugins = chain.chainedPlugins;
    if (plugins.empty()) return chain.chainHandles;

    // The first frame with libraries tells every one of them where the handles stand, zero or not.
    if (chain.chainResyncPending) {
        for (ChainedPlugin& plugin : plugins) {
            handOver(plugin.setPower, plugin.lastPowerSent, driverPower);
            handOver(plugin.setBrake, plugin.lastBrakeSent, driverBrake);
            handOver(plugin.setReverser, plugin.lastReverserSent, driverReverser);
            runElapse(chain, plugin, state, panel, sound);
        }
        chain.chainResyncPending = false;
        return chain.chainHandles;
    }

    // The driver's handles enter the first library; a closed gate holds the change back until it opens.
    ChainedPlugin& first = plugins.front();
    if (gates.power && driverPower != first.lastPowerSent) handOver(first.setPower, first.lastPowerSent, driverPower);
    if (gates.brake && driverBrake != first.lastBrakeSent) handOver(first.setBrake, first.lastBrakeSent, driverBrake);
    if (gates.reverser && driverReverser != first.lastReverserSent)
        handOver(first.setReverser, first.lastReverserSent, driverReverser);
    runElapse(chain, first, state, panel, sound);

    // Each later library takes what the one before it returned.
    for (size_t i = 1; i < plugins.size(); ++i) {
        ChainedPlugin& plugin = plugins[i];
        const host::Handles in = chain.chainHandles;
        if (in.power != plugin.lastPowerSent) handOver(plugin.setPower, plugin.lastPowerSent, in.power);
        if (in.brake != plugin.lastBrakeSent) handOver(plugin.setBrake, plugin.lastBrakeSent, in.brake);
        if (in.reverser != plugin.lastReverserSent) handOver(plugin.setReverser, plugin.lastReverserSent, in.reverser);
        runElapse(chain, plugin, state, panel, sound);
    }
    return chain.chainHandles;
}

}  // namespace chain
