// Linked-in Corvane and plug-in libraries behind one table of entry points.
#include "host/plugin_driver.h"

#include <cstring>
#include <exception>
#include <stdexcept>

#include "corvane/entries.h"
#include "host/chain_check.h"
#include "platform/host.h"

namespace cabhost {
namespace {

// The message of the error that ended the last linked-in call (empty when none).
std::string& linkedError() {
    static std::string message;
    return message;
}

template <class Work>
void capture(Work&& work) {
    try {
        work();
    } catch (const std::exception& error) {
        linkedError() = error.what();
        if (linkedError().empty()) linkedError() = "error without a message";
    } catch (...) {
        linkedError() = "unknown error";
    }
}

// Linked-in Corvane keeps the message of every call's error for the host to report.
struct Linked {
    static corvane::Plugin& plugin() { return linkedCorvane(); }
    template <class Work>
    static void reported(Work&& work) {
        capture(work);
    }
    template <class Work>
    static void quiet(Work&& work) {
        capture(work);
    }
    static constexpr int32_t versionOnError = 0;
};

const char* linkedLastError() {
    return linkedError().c_str();
}
void linkedSetKeyDown(int32_t key, int32_t down) {
    platform::setKeyDown(key, down != 0);
}

template <class T>
T symbol(platform::LibraryHandle library, const char* name) {
    return reinterpret_cast<T>(platform::findSymbol(library, name));
}

// The message of an error signal a Windows library raised during the last call, or empty.
std::optional<std::string> caughtSignal() {
    std::string message = platform::hostTakeCaughtError();
    if (message.empty()) return std::nullopt;
    return message;
}

// The last error the session reported, or empty.
std::string lastErrorText(const PluginSession& s) {
    if (!s.entry.lastError) return {};
    const char* text = s.entry.lastError();
    return text ? std::string(text) : std::string();
}

}  // namespace

corvane::Plugin& linkedCorvane() {
    // Never destroyed: a library the plug-in chained may still call in while the host exits.
    static corvane::Plugin* instance = new corvane::Plugin();
    return *instance;
}

PluginSession::~PluginSession() {
    if (library) platform::freeLibrary(library);
}

std::unique_ptr<PluginSession> openLinkedCorvane(const platform::Path& pluginDirectory) {
    linkedCorvane() = corvane::Plugin{};
    platform::releaseAllKeys();
    linkedCorvane().pluginDirectory = pluginDirectory;
    linkedError().clear();
    auto s = std::make_unique<PluginSession>();
    s->name = "Corvane (linked in)";
    s->linked = true;
    EntryPoints& e = s->entry;
    static_cast<host::EntryPoints&>(e) = corvane::Entries<Linked>::table();
    e.lastError = linkedLastError;
    e.setKeyDown = linkedSetKeyDown;
    return s;
}

std::unique_ptr<PluginSession> openLibrary(const platform::Path& library) {
    const std::string name = platform::pathToUtf8(library);
    bool present = false;
    try {
        present = platform::exists(library);
    } catch (const std::exception& error) {
        throw std::runtime_error("cannot reach the plug-in library " + name + ": " + error.what());
    }
    if (!present) throw std::runtime_error("no plug-in library at " + name);
    auto s = std::make_unique<PluginSession>();
    s->name = name;
    // A library's error signal must end only the entry point that raised it, never the host.
    platform::hostCatchErrorSignals();
    s->library = platform::loadLibrary(library);
    if (!s->library) {
        const std::string advice =
            wordSizeAdvice(inspectPeFile(library), platform::LoadsWindowsLibraries, sizeof(void*) == 8);
        if (!advice.empty()) throw std::runtime_error("cannot load " + name + ": " + advice);
        throw std::runtime_error("cannot load " + name +
                                 " as a library (built for another system or processor, or a library it needs is "
                                 "missing)");
    }
    EntryPoints& e = s->entry;
    platform::LibraryHandle h = s->library;
    struct Named {
        const char* name;
        bool found;
    };
    static_cast<host::EntryPoints&>(e) =
        host::bindEntryPoints([&](const char* name) { return platform::findSymbol(h, name); });
    e.lastError = symbol<LastErrorEntry>(h, "PluginLastError");
    e.setKeyDown = symbol<SetKeyDownEntry>(h, "PluginSetKeyDown");
    const Named entries[] = {
        {"Load", e.load != nullptr},
        {"Dispose", e.dispose != nullptr},
        {"GetPluginVersion", e.getPluginVersion != nullptr},
        {"SetVehicleSpec", e.setVehicleSpec != nullptr},
        {"Initialize", e.initialize != nullptr},
        {"Elapse", e.elapse != nullptr},
        {"SetPower", e.setPower != nullptr},
        {"SetBrake", e.setBrake != nullptr},
        {"SetReverser", e.setReverser != nullptr},
        {"KeyDown", e.keyDown != nullptr},
        {"KeyUp", e.keyUp != nullptr},
        {"HornBlow", e.hornBlow != nullptr},
        {"DoorOpen", e.doorOpen != nullptr},
        {"DoorClose", e.doorClose != nullptr},
        {"SetSignal", e.setSignal != nullptr},
        {"SetBeaconData", e.setBeaconData != nullptr},
    };
    int found = 0;
    for (const Named& n : entries) {
        if (n.found) {
            ++found;
        } else {
            s->missingEntries += (s->missingEntries.empty() ? "" : ", ") + std::string(n.name);
        }
    }
    if (found == 0) throw std::runtime_error(name + " exports none of the sixteen plug-in entry points");
    return s;
}

std::optional<std::string> callLoad(PluginSession& s) {
    if (s.linked) linkedError().clear();
    const std::string before = lastErrorText(s);
    (void)platform::hostTakeCaughtError();
    if (s.entry.load) s.entry.load();
    if (auto signalled = caughtSignal()) return signalled;
    const std::string after = lastErrorText(s);
    if (!after.empty() && (s.linked || after != before)) return after;
    return std::nullopt;
}

std::optional<std::string> callGetPluginVersion(PluginSession& s, int32_t& version) {
    if (s.linked) linkedError().clear();
    const std::string before = lastErrorText(s);
    (void)platform::hostTakeCaughtError();
    // A library without the entry is taken at its word that it speaks this interface.
    version = s.entry.getPluginVersion ? s.entry.getPluginVersion() : host::PluginInterfaceVersion;
    if (auto signalled = caughtSignal()) return signalled;
    const std::string after = lastErrorText(s);
    if (!after.empty() && (s.linked || after != before)) return after;
    return std::nullopt;
}

std::optional<std::string> callElapse(PluginSession& s, const host::VehicleState& state, int32_t* panel, int32_t* sound,
                                      host::Handles& out) {
    out = {};
    if (!s.entry.elapse) return std::nullopt;
    if (s.linked) linkedError().clear();
    out = s.entry.elapse(state, panel, sound);
    if (auto signalled = caughtSignal()) return signalled;
    if (s.linked && !linkedError().empty()) return linkedError();
    return std::nullopt;
}

void setKeyState(PluginSession& s, int virtualKey, bool down) {
    if (s.entry.setKeyDown) s.entry.setKeyDown(virtualKey, down ? 1 : 0);
}

CorvaneView corvaneView() {
    const corvane::Plugin& p = linkedCorvane();
    CorvaneView v;
    v.pulseMode = p.sim.mode.pulseMode;
    v.voltageRatio = p.sim.traction.voltageRatio;
    v.motorSpeed = p.sim.traction.motorSpeed;
    v.motorCurrent = p.sim.traction.motorCurrent;
    v.lineVoltage = p.sim.instruments.lineVoltage;
    v.effectiveNotch = p.sim.traction.effectiveNotch;
    v.holdFlag = p.sim.brakes.holdFlag;
    v.displayedSap = p.sim.brakes.displayedSap;
    v.panelModifyMode = p.input.panelModifyMode;
    v.adjustTarget = p.input.adjustTarget;
    v.adjustValue = p.input.adjustValue;
    return v;
}

}  // namespace cabhost
