// The frame allocates nothing: every global allocation function of this program is replaced by one
// that counts while counting is on, and Corvane (linked in, on the software audio engine, with the
// sample vehicle's 41 motor-noise layers and Sentrel chained as in the departure scenario) runs
// 10,000 frames of the departure after its first frame.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "bench/departure.h"
#include "corvane/lifecycle.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<uint64_t> allocations{0};

void* allocate(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = static_cast<std::size_t>(alignment);
    const std::size_t rounded = size == 0 ? a : (size + a - 1) / a * a;  // aligned_alloc wants a multiple
    if (void* p = std::aligned_alloc(a, rounded)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace {

constexpr size_t CountedFrames = 10'000;

// Counts the allocations made while work runs.
template <class Work>
uint64_t allocationsDuring(Work&& work) {
    allocations = 0;
    counting = true;
    work();
    counting = false;
    return allocations.load();
}

class FrameAllocations : public ::testing::TestWithParam<bool> {};

TEST(AllocationCounter, SeesAllocationsOfEveryKind) {
    // Without this the zero below could come from a replacement that is not linked in.
    const uint64_t counted = allocationsDuring([] {
        std::vector<int> grown;
        grown.push_back(1);
        delete new (std::nothrow) int(2);
        delete[] new double[3];
        std::vector<int>().swap(grown);
    });
    EXPECT_EQ(counted, 3u);
}

TEST_P(FrameAllocations, TenThousandFramesOfTheDepartureAllocateNothing) {
    const bool chained = GetParam();
    bench::TempFolder temp("corvane-allocation-test");
    std::vector<bench::fs::path> chain;
    if (chained) chain.push_back(SENTREL_LIBRARY);
    bench::VehicleView view(SAMPLE_PLUGIN_DIR, temp.path / "vehicle", chain);
    const bench::Departure departure =
        bench::recordDeparture(DEPARTURE_SCENARIO, view.pluginDirectory(), CountedFrames + 1);
    ASSERT_GE(departure.frames.size(), CountedFrames + 1);

    bench::loadCorvane(view.pluginDirectory(), departure);
    const sound::AudioState& audio = bench::corvane().audio;
    ASSERT_NE(audio.engine, nullptr) << "Corvane created no audio engine";
    int layers = 0;
    for (const sound::SoundVoice& layer : audio.motorNoise) layers += layer.voice ? 1 : 0;
    ASSERT_EQ(layers, sound::MotorNoiseLayers) << "the sample vehicle's sounds are missing";

    bench::Replay replay(departure);
    replay.step();  // the first frame may set things up
    const uint64_t counted = allocationsDuring([&] {
        for (size_t i = 0; i < CountedFrames; ++i) replay.step();
    });
    bench::disposeCorvane();
    EXPECT_EQ(counted, 0u) << "heap allocations in " << CountedFrames << " frames";
}

INSTANTIATE_TEST_SUITE_P(Departure, FrameAllocations, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("SentrelChained") : std::string("NoChain");
                         });

}  // namespace
