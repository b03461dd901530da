// The frame on the real audio path: a plain Windows host replays the sample departure into
// Corvane.dll through its exports, with the real XAudio2 and Media Foundation, and times every
// Elapse, Load and Dispose. The same run replays it on a copy of the vehicle without its sound
// files, the baseline. Run by scripts/bench under Wine; a benchmark, not a test.
// Usage: frame_bench.exe CORVANE_DLL SAMPLE_VEHICLE DEPARTURE_FILE SCRATCH [PASSES]
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <xaudio2.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "interface/host_interface.h"
#include "tests/wine/wine_plugin.h"

namespace {

namespace fs = std::filesystem;

struct Frame {
    host::VehicleState state{};
    int32_t reverser = 0, power = 0, brake = 0;
    bool doorsClosed = false;
};

struct Departure {
    host::VehicleSpec spec{};
    int32_t initializeValue = 0;
    std::vector<Frame> frames;
};

bool readDeparture(const char* file, Departure& d) {
    std::FILE* in = std::fopen(file, "r");
    if (!in) return false;
    size_t count = 0;
    bool ok = std::fscanf(in, "%d %d %d %d %d %d %zu", &d.spec.brakeNotches, &d.spec.hostValue2, &d.spec.hostValue3,
                          &d.spec.hostValue4, &d.spec.carCount, &d.initializeValue, &count) == 7;
    for (size_t i = 0; ok && i < count; ++i) {
        Frame f;
        host::VehicleState& s = f.state;
        int doors = 0;
        ok = std::fscanf(in, "%lf %f %d %f %f %f %f %f %f %d %d %d %d", &s.location, &s.speed, &s.time, &s.bcPressure,
                         &s.mrPressure, &s.erPressure, &s.bpPressure, &s.sapPressure, &s.current, &f.reverser, &f.power,
                         &f.brake, &doors) == 13;
        f.doorsClosed = doors != 0;
        d.frames.push_back(f);
    }
    std::fclose(in);
    return ok && !d.frames.empty();
}

double nowUs() {
    static const double perUs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perUs;
}

struct Figures {
    std::vector<double> frameUs;
    std::vector<double> loadMs, disposeMs;
};

// One pass: load the library, Load, the departure, Dispose, free the library.
bool pass(const fs::path& dll, const Departure& d, Figures& figures) {
    HMODULE module = ::LoadLibraryW(dll.c_str());
    if (!module) {
        std::printf("cannot load %s (error %lu)\n", dll.string().c_str(), ::GetLastError());
        return false;
    }
    const host::EntryPoints entries = wine_test::entryPointsOf(module);
    auto load = entries.load;
    auto dispose = entries.dispose;
    auto setSpec = entries.setVehicleSpec;
    auto initialize = entries.initialize;
    auto elapse = entries.elapse;
    auto setPower = entries.setPower;
    auto setBrake = entries.setBrake;
    auto setReverser = entries.setReverser;
    auto doorOpen = entries.doorOpen;
    auto doorClose = entries.doorClose;
    if (!load || !dispose || !setSpec || !initialize || !elapse || !setPower || !setBrake || !setReverser ||
        !doorOpen || !doorClose) {
        std::printf("missing exports in %s\n", dll.string().c_str());
        ::FreeLibrary(module);
        return false;
    }
    double t = nowUs();
    load();
    figures.loadMs.push_back((nowUs() - t) / 1000.0);
    setSpec(d.spec);
    initialize(d.initializeValue);
    int32_t panel[host::PanelArraySize] = {};
    int32_t sound[host::SoundArraySize] = {};
    Frame before;
    for (const Frame& f : d.frames) {
        if (f.doorsClosed != before.doorsClosed) f.doorsClosed ? doorClose() : doorOpen();
        if (f.reverser != before.reverser) setReverser(f.reverser);
        if (f.brake != before.brake) setBrake(f.brake);
        if (f.power != before.power) setPower(f.power);
        before = f;
        t = nowUs();
        elapse(f.state, panel, sound);
        figures.frameUs.push_back(nowUs() - t);
    }
    t = nowUs();
    dispose();
    figures.disposeMs.push_back((nowUs() - t) / 1000.0);
    ::FreeLibrary(module);
    return true;
}

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t at = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
    return v[at];
}

void print(const char* arch, const char* what, const Figures& f) {
    std::printf("%s %-13s frame median %8.2f us  p99 %8.2f us  worst %9.2f us  Load %8.2f ms  Dispose %7.2f ms\n", arch,
                what, quantile(f.frameUs, 0.5), quantile(f.frameUs, 0.99), quantile(f.frameUs, 1.0),
                quantile(f.loadMs, 0.5), quantile(f.disposeMs, 0.5));
}

// Where the time goes: the engine alone, with 41 looping silent voices as Load leaves them, over as
// many frames as the departure, each frame making `requests` frequency-ratio requests (a new value
// each time, as a moving train does) and committing them, or making none and committing nothing.
void engineFloor(const char* arch, size_t frames) {
    using Create = HRESULT(WINAPI*)(IXAudio2**, UINT32, XAUDIO2_PROCESSOR);
    HMODULE library = ::LoadLibraryW(L"XAudio2_8.dll");
    auto create =
        library ? reinterpret_cast<Create>(reinterpret_cast<void*>(::GetProcAddress(library, MAKEINTRESOURCEA(1))))
                : nullptr;
    IXAudio2* engine = nullptr;
    IXAudio2MasteringVoice* mastering = nullptr;
    if (!create || FAILED(create(&engine, 0, XAUDIO2_DEFAULT_PROCESSOR)) ||
        FAILED(engine->CreateMasteringVoice(&mastering, 0, 0, 0, nullptr, nullptr, AudioCategory_GameEffects))) {
        std::printf("%s engine alone: cannot start XAudio2\n", arch);
        if (engine) engine->Release();
        return;
    }
    std::vector<int16_t> pcm(22050);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>((i * 97) % 2000 - 1000);
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    XAUDIO2_BUFFER buffer{};
    buffer.Flags = XAUDIO2_END_OF_STREAM;
    buffer.AudioBytes = static_cast<UINT32>(pcm.size() * 2);
    buffer.pAudioData = reinterpret_cast<const BYTE*>(pcm.data());
    buffer.LoopCount = XAUDIO2_LOOP_INFINITE;
    std::vector<IXAudio2SourceVoice*> voices;
    for (int n = 0; n < 41; ++n) {
        IXAudio2SourceVoice* v = nullptr;
        if (FAILED(engine->CreateSourceVoice(&v, &format, 0, 25.0f, nullptr, nullptr, nullptr))) break;
        v->SubmitSourceBuffer(&buffer, nullptr);
        v->Start(0, XAUDIO2_COMMIT_NOW);
        v->SetVolume(0.0f, XAUDIO2_COMMIT_NOW);
        voices.push_back(v);
    }
    UINT32 set = 0;
    for (size_t requests : {size_t{0}, size_t{1}, size_t{36}, voices.size() * 2}) {
        std::vector<double> us;
        for (size_t frame = 0; frame < frames; ++frame) {
            ++set;
            const double t = nowUs();
            for (size_t r = 0; r < requests; ++r) {
                IXAudio2SourceVoice* v = voices[r % voices.size()];
                const float value = 0.5f + static_cast<float>((frame + r) % 1000) * 0.001f;
                if (r < voices.size() && requests > voices.size()) {
                    v->SetVolume(0.0f, set);
                } else {
                    v->SetFrequencyRatio(value, set);
                }
            }
            if (requests > 0) engine->CommitChanges(set);
            us.push_back(nowUs() - t);
        }
        std::printf("%s engine alone, %2zu requests and %s per frame: median %8.2f us  p99 %8.2f us  worst %9.2f us\n",
                    arch, requests, requests ? "a commit" : "no commit", quantile(us, 0.5), quantile(us, 0.99),
                    quantile(us, 1.0));
    }
    for (IXAudio2SourceVoice* v : voices) v->DestroyVoice();
    mastering->DestroyVoice();
    engine->Release();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::printf("usage: frame_bench CORVANE_DLL SAMPLE_VEHICLE DEPARTURE_FILE SCRATCH [PASSES]\n");
        return 2;
    }
    const int passes = argc > 5 ? std::max(1, std::atoi(argv[5])) : 2;
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Departure d;
    if (!readDeparture(argv[3], d)) {
        std::printf("cannot read the departure %s\n", argv[3]);
        return 1;
    }
    const fs::path scratch(argv[4]);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    const fs::path sounding = scratch / "sounds" / "vehicle";
    const fs::path silent = scratch / "silent" / "vehicle";
    wine_test::copyFolder(argv[2], sounding, true);
    wine_test::copyFolder(argv[2], silent, false);
    fs::create_directories(sounding / "plugin");
    fs::create_directories(silent / "plugin");
    for (const fs::path& v : {sounding, silent})
        fs::copy_file(argv[1], v / "plugin" / "Corvane.dll", fs::copy_options::overwrite_existing, ignored);

    const char* arch = sizeof(void*) == 4 ? "x86" : "x64";
    Figures withSounds, baseline;
    // Alternating, so that whatever else the machine does falls on both alike.
    for (int n = 0; n < passes; ++n) {
        if (!pass(sounding / "plugin" / "Corvane.dll", d, withSounds)) return 1;
        if (!pass(silent / "plugin" / "Corvane.dll", d, baseline)) return 1;
    }
    std::printf("%s: %d passes of %zu frames each\n", arch, passes, d.frames.size());
    print(arch, "with sounds", withSounds);
    print(arch, "without sounds", baseline);
    const double medianRatio = quantile(withSounds.frameUs, 0.5) / quantile(baseline.frameUs, 0.5);
    const double p99Ratio = quantile(withSounds.frameUs, 0.99) / quantile(baseline.frameUs, 0.99);
    std::printf("%s ratio median %.2f (budget 1.5: %s)  p99 %.2f (budget 3: %s)\n", arch, medianRatio,
                medianRatio <= 1.5 ? "met" : "NOT MET", p99Ratio, p99Ratio <= 3.0 ? "met" : "NOT MET");
    engineFloor(arch, d.frames.size());
    fs::remove_all(scratch, ignored);
    return 0;
}
