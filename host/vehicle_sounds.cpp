#include "host/vehicle_sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/wav_file.h"

namespace cabhost {
namespace {

constexpr uint32_t SampleRate = 22050;
constexpr double Pi = 3.14159265358979323846;
constexpr double LoopSeconds = 2.0;

struct Random {
    uint32_t state;
    double next() {  // 0 to 1
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state / 4294967296.0;
    }
};

std::vector<int16_t> toPcm(const std::vector<double>& signal, double peak) {
    double largest = 1e-12;
    for (double v : signal) largest = std::max(largest, std::fabs(v));
    std::vector<int16_t> pcm(signal.size());
    for (size_t i = 0; i < signal.size(); ++i)
        pcm[i] = static_cast<int16_t>(std::lround(signal[i] / largest * peak * 32767.0));
    return pcm;
}

// Layer n: a whine of partials on a fundamental of its own, with a spectral tilt, an odd/even
// balance and a few gear-mesh partials that differ from layer to layer. Every partial makes whole
// cycles in the loop, so the loop has no seam.
std::vector<double> motorLayer(int n) {
    const size_t count = static_cast<size_t>(SampleRate * LoopSeconds);
    std::vector<double> s(count, 0.0);
    Random random{0x9E3779B9u ^ static_cast<uint32_t>(n * 7919 + 1)};
    const double fundamental = std::round((70.0 + n * 19.0) * LoopSeconds) / LoopSeconds;
    const double tilt = 0.6 + 0.25 * (n % 6);
    const double oddWeight = (n % 3 == 0) ? 1.0 : 0.45;
    const int partials = 6 + n % 9;
    for (int k = 1; k <= partials; ++k) {
        const double f = fundamental * k;
        if (f > SampleRate * 0.45) break;
        const double amplitude = (k % 2 == 1 ? oddWeight : 1.0 - oddWeight * 0.5) / std::pow(k, tilt);
        const double phase = random.next() * 2.0 * Pi;
        for (size_t i = 0; i < count; ++i) s[i] += amplitude * std::sin(2.0 * Pi * f * i / SampleRate + phase);
    }
    // Gear mesh: a few high partials placed by the layer number.
    for (int g = 0; g < 3; ++g) {
        const double f = std::round((900.0 + 137.0 * ((n * 5 + g * 11) % 23)) * LoopSeconds) / LoopSeconds;
        const double phase = random.next() * 2.0 * Pi;
        for (size_t i = 0; i < count; ++i) s[i] += 0.12 * std::sin(2.0 * Pi * f * i / SampleRate + phase);
    }
    return s;
}

// Low-passed noise; cutoff in Hz.
std::vector<double> noise(size_t count, double cutoff, uint32_t seed) {
    Random random{seed};
    std::vector<double> s(count);
    const double a = 1.0 - std::exp(-2.0 * Pi * cutoff / SampleRate);
    double y = 0.0;
    for (size_t i = 0; i < count; ++i) {
        y += a * ((random.next() * 2.0 - 1.0) - y);
        s[i] = y;
    }
    return s;
}

bool write(const std::filesystem::path& file, const std::vector<int16_t>& pcm, std::string& error) {
    return writeWav16(file, SampleRate, 1, pcm, error);
}

}  // namespace

bool writeVehicleSounds(const platform::Path& vehicle, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(vehicle / "atsmotornoise", ec);
    if (ec) {
        error = "cannot create " + platform::pathToUtf8(vehicle / "atsmotornoise") + ": " + ec.message();
        return false;
    }
    for (int n = 0; n <= 40; ++n) {
        if (!write(vehicle / "atsmotornoise" / (std::to_string(n) + ".wav"), toPcm(motorLayer(n), 0.5), error))
            return false;
    }

    // Brake-cylinder exhaust: a steady hiss that loops; the ends are crossfaded so the loop has no click.
    const size_t loop = static_cast<size_t>(SampleRate * LoopSeconds);
    const size_t fade = SampleRate / 10;
    std::vector<double> hiss = noise(loop + fade, 3500.0, 11);
    for (size_t i = 0; i < fade; ++i) {
        const double w = static_cast<double>(i) / fade;
        hiss[i] = hiss[i] * w + hiss[loop + i] * (1.0 - w);
    }
    hiss.resize(loop);
    if (!write(vehicle / "bc.wav", toPcm(hiss, 0.4), error)) return false;

    // Straight-air-pipe sound: a short puff that dies away.
    std::vector<double> puff = noise(SampleRate, 1800.0, 23);
    for (size_t i = 0; i < puff.size(); ++i) puff[i] *= std::exp(-4.0 * i / SampleRate);
    if (!write(vehicle / "sap.wav", toPcm(puff, 0.5), error)) return false;

    // Exhaust of the straight air pipe: a sharper blast, loud at first and fading over 1.5 s; the
    // plug-in starts it part-way in when little pressure is left.
    std::vector<double> blast = noise(SampleRate * 3 / 2, 6000.0, 37);
    for (size_t i = 0; i < blast.size(); ++i) blast[i] *= std::exp(-2.0 * i / SampleRate);
    if (!write(vehicle / "sapHigh.wav", toPcm(blast, 0.6), error)) return false;
    return true;
}

}  // namespace cabhost
