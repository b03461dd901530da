// Corvane driven through its sixteen exported entry points by a host whose calls, order and
// values come from the input: Elapse before Load and after Dispose, a second Load, Dispose twice,
// a clock that stands still or runs backwards, NaN and infinities in every float, any notch count,
// key and handle value, a keyboard that fails, and a chained plug-in that answers anything.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "chain/chain.h"
#include "config/needle_tables.h"
#include "config/notch_config.h"
#include "corvane/lifecycle.h"
#include "fuzz_files.h"
#include "hostile_plugin.h"
#include "platform/test_hooks.h"
#include "sound/audio_state.h"

extern "C" {
void Load();
void Dispose();
int32_t GetPluginVersion();
void SetVehicleSpec(host::VehicleSpec);
void Initialize(int32_t);
host::Handles Elapse(host::VehicleState, int32_t*, int32_t*);
void SetPower(int32_t);
void SetBrake(int32_t);
void SetReverser(int32_t);
void KeyDown(int32_t);
void KeyUp(int32_t);
void HornBlow(int32_t);
void DoorOpen();
void DoorClose();
void SetSignal(int32_t);
void SetBeaconData(host::BeaconData);
}

namespace {

namespace fs = std::filesystem;

constexpr const char* Vehicles[] = {"bare", "sample", "sounds", "chained"};

std::string wavBytes(uint32_t frames) {
    std::string pcm;
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t sample = static_cast<int16_t>((i * 2654435761u) >> 20);
        pcm.append(reinterpret_cast<const char*>(&sample), 2);
    }
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    return "RIFF" + u32(36 + static_cast<uint32_t>(pcm.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(8000) +
           u32(16000) + u16(2) + u16(16) + "data" + u32(static_cast<uint32_t>(pcm.size())) + pcm;
}

void copyConfiguration(const fs::path& vehicle) {
    const fs::path sample = SAMPLE_VEHICLE;
    std::error_code error;
    fs::create_directories(vehicle / "plugin", error);
    fs::copy_file(sample / "plugin" / "Notch.txt", vehicle / "plugin" / "Notch.txt", error);
    fs::copy(sample / "plugin" / "notch", vehicle / "plugin" / "notch", fs::copy_options::recursive, error);
    fs::copy(sample / "NeedleTable", vehicle / "NeedleTable", fs::copy_options::recursive, error);
    fuzz::writeScratchFile(vehicle.filename() / "PanelModify.txt", "");
}

void layOutVehicles() {
    const fs::path root = fuzz::scratchDirectory();
    fs::create_directories(root / "bare" / "plugin");
    copyConfiguration(root / "sample");
    copyConfiguration(root / "sounds");
    const std::string wav = wavBytes(400);
    for (const char* name :
         {"bc.wav", "sap.wav", "sapHigh.wav", "atsmotornoise/0.wav", "atsmotornoise/7.wav", "atsmotornoise/40.wav"}) {
        fuzz::writeScratchFile(fs::path("sounds") / name, wav);
    }
    fuzz::writeScratchFile("sounds/atsmotornoise/1.wav", "RIFF broken");
    copyConfiguration(root / "chained");
    fuzz::writeScratchFile("chained/plugin/detailmodules.txt",
                           std::string(HOSTILE_PLUGIN) + "\n\nmissing.so\r\n" + HOSTILE_PLUGIN + "\n");
}

HostileConfigureEntry configureEntry() {
    static HostileConfigureEntry entry = [] {
        void* library = ::dlopen(HOSTILE_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        return library ? reinterpret_cast<HostileConfigureEntry>(::dlsym(library, "HostileConfigure")) : nullptr;
    }();
    return entry;
}

// Everything process-wide back to a freshly loaded library, so that each input replays alone.
void freshLibrary(const fs::path& pluginDirectory) {
    // Dispose leaves a fresh plug-in behind; attaching names its folder again.
    Dispose();
    platform::onLibraryAttach(pluginDirectory / "libCorvane.so");
    platform::releaseAllKeys();
    platform::setKeyboardReadFails(false);
    platform::clearLastError();
    HostileBehaviour behaviour;
    if (HostileConfigureEntry configure = configureEntry()) configure(&behaviour);
}

float anyFloat(FuzzedDataProvider& in) {
    const uint8_t choice = in.ConsumeIntegral<uint8_t>();
    return fuzz::interestingFloat(choice, in.ConsumeIntegral<uint32_t>());
}

int32_t anyInt(FuzzedDataProvider& in) {
    const uint8_t choice = in.ConsumeIntegral<uint8_t>();
    return fuzz::interestingInt(choice, in.ConsumeIntegral<uint32_t>());
}

struct Host {
    host::VehicleState state{};
    std::unique_ptr<int32_t[]> panel = std::make_unique<int32_t[]>(host::PanelArraySize);
    std::unique_ptr<int32_t[]> sound = std::make_unique<int32_t[]>(host::SoundArraySize);
    int32_t notches = 8;
    int frameCount = 0;  // a budget per input keeps the executions per second up

    void frame(FuzzedDataProvider& in) {
        switch (in.ConsumeIntegralInRange<int>(0, 4)) {
            case 0: state.time = static_cast<int32_t>(static_cast<uint32_t>(state.time) + 16u); break;
            case 1: break;
            case 2:
                state.time = static_cast<int32_t>(static_cast<uint32_t>(state.time) - in.ConsumeIntegral<uint16_t>());
                break;
            case 3:
                state.time = static_cast<int32_t>(static_cast<uint32_t>(state.time) +
                                                  in.ConsumeIntegralInRange<uint32_t>(0, 2000));
                break;
            default: state.time = anyInt(in); break;
        }
        const uint16_t fields = in.ConsumeIntegral<uint16_t>();
        if (fields & 1) state.location = in.ConsumeFloatingPoint<double>();
        if (fields & 2) state.speed = anyFloat(in);
        if (fields & 4) state.bcPressure = anyFloat(in);
        if (fields & 8) state.mrPressure = anyFloat(in);
        if (fields & 16) state.erPressure = anyFloat(in);
        if (fields & 32) state.bpPressure = anyFloat(in);
        if (fields & 64) state.sapPressure = anyFloat(in);
        if (fields & 128) state.current = anyFloat(in);
        const bool nullArrays = (fields & 0x100) != 0;
        ++frameCount;
        Elapse(state, nullArrays ? nullptr : panel.get(), nullArrays ? nullptr : sound.get());
    }

    int32_t brakePosition(FuzzedDataProvider& in) {
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                return static_cast<int32_t>(static_cast<uint32_t>(notches) - 1u +
                                            in.ConsumeIntegralInRange<uint32_t>(0, 2));
            case 1: return in.ConsumeIntegralInRange<int32_t>(0, 3);
            default: return anyInt(in);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    layOutVehicles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const char* vehicle = Vehicles[in.ConsumeIntegralInRange<size_t>(0, std::size(Vehicles) - 1)];
    freshLibrary(fuzz::scratchDirectory() / vehicle / "plugin" / "");
    Host h;

    for (int calls = 0; in.remaining_bytes() > 0 && calls < 400 && h.frameCount < 1000; ++calls) {
        switch (in.ConsumeIntegralInRange<int>(0, 20)) {
            case 0: Load(); break;
            case 1: Dispose(); break;
            case 2: (void)GetPluginVersion(); break;
            case 3: {
                host::VehicleSpec spec{};
                spec.brakeNotches = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-1, 20) : anyInt(in);
                spec.hostValue2 = anyInt(in);
                spec.hostValue3 = anyInt(in);
                spec.hostValue4 = anyInt(in);
                spec.carCount = anyInt(in);
                h.notches = spec.brakeNotches;
                SetVehicleSpec(spec);
                break;
            }
            case 4: Initialize(anyInt(in)); break;
            case 5: h.frame(in); break;
            case 6: SetPower(in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-8, 14) : anyInt(in)); break;
            case 7: SetBrake(h.brakePosition(in)); break;
            case 8: SetReverser(in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-1, 1) : anyInt(in)); break;
            case 9: KeyDown(in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(0, 15) : anyInt(in)); break;
            case 10: KeyUp(in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(0, 15) : anyInt(in)); break;
            case 11: HornBlow(anyInt(in)); break;
            case 12: DoorOpen(); break;
            case 13: DoorClose(); break;
            case 14: SetSignal(anyInt(in)); break;
            case 15: {
                host::BeaconData beacon{anyInt(in), anyInt(in), anyFloat(in), anyInt(in)};
                SetBeaconData(beacon);
                break;
            }
            case 16: {
                const int key = in.ConsumeBool()
                                    ? (in.ConsumeBool() ? platform::VirtualKeyShift : platform::VirtualKeyP)
                                    : in.ConsumeIntegral<uint8_t>();
                platform::setKeyDown(key, in.ConsumeBool());
                break;
            }
            case 17: platform::setKeyboardReadFails(in.ConsumeBool()); break;
            case 18: {
                HostileBehaviour b;
                b.version = in.ConsumeBool() ? 0x20000 : anyInt(in);
                for (int32_t& value : b.handles) value = anyInt(in);
                b.passThrough = in.ConsumeBool();
                b.throwInLoad = in.ConsumeIntegralInRange<int>(0, 7) == 0;
                b.panelIndex = in.ConsumeIntegral<uint8_t>();
                b.panelValue = anyInt(in);
                b.soundIndex = in.ConsumeIntegral<uint8_t>();
                b.soundValue = anyInt(in);
                if (HostileConfigureEntry configure = configureEntry()) configure(&b);
                break;
            }
            default: {
                // A steady stretch of frames lets the timers of learning, exhaust and release run out.
                const int frames = in.ConsumeIntegralInRange<int>(1, 64);
                for (int i = 0; i < frames; ++i, ++h.frameCount) {
                    h.state.time = static_cast<int32_t>(static_cast<uint32_t>(h.state.time) + 16u);
                    Elapse(h.state, h.panel.get(), h.sound.get());
                }
                break;
            }
        }
    }
    Dispose();
    return 0;
}
