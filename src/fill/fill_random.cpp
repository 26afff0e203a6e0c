#include "fill/fill_random.h"

#include "fill/fill_state.h"
#include "platform/platform.h"

namespace spylerom::fill {

namespace {

constexpr std::uint32_t kMultiplier = 134775813u;
constexpr std::size_t kLanes = 16;

inline std::uint8_t byteOf(std::uint32_t seed) {
    return static_cast<std::uint8_t>((static_cast<std::uint64_t>(seed) * 255u) >> 32);
}

// Multiplier and increment that advance the generator kLanes steps at once.
struct Jump {
    std::uint32_t multiplier = 1;
    std::uint32_t increment = 0;
};

constexpr Jump laneJump() {
    Jump jump;
    for (std::size_t i = 0; i < kLanes; ++i) {
        jump.increment = jump.increment * kMultiplier + 1u;
        jump.multiplier *= kMultiplier;
    }
    return jump;
}

} // namespace

void FillRandom(std::uint32_t seed, std::uint8_t* out, std::size_t count) {
    std::size_t i = 0;
    if (count >= 2 * kLanes) {
        // Lane j holds the seed of byte i + j; each step moves every lane kLanes bytes on.
        // The lanes are independent, so the compiler can keep them in vector registers.
        std::uint32_t lanes[kLanes];
        for (std::size_t j = 0; j < kLanes; ++j) {
            seed = seed * kMultiplier + 1u;
            lanes[j] = seed;
        }
        constexpr Jump jump = laneJump();
        for (; i + kLanes <= count; i += kLanes) {
            for (std::size_t j = 0; j < kLanes; ++j) {
                out[i + j] = byteOf(lanes[j]);
                lanes[j] = lanes[j] * jump.multiplier + jump.increment;
            }
        }
        // lanes[0] is now the seed of byte i; step back one to continue serially.
        seed = lanes[0];
        for (; i < count; ++i) {
            out[i] = byteOf(seed);
            seed = seed * kMultiplier + 1u;
        }
        return;
    }
    for (; i < count; ++i) {
        seed = seed * kMultiplier + 1u;
        out[i] = byteOf(seed);
    }
}

void FillRandomPrefix(std::size_t count) {
    auto& buffer = fillState().PatternBuffer;
    const auto seed = static_cast<std::uint32_t>(platform::sys().performanceCounter());
    FillRandom(seed, buffer.data(), count < buffer.size() ? count : buffer.size());
}

void FillRandom() {
    FillRandomPrefix(kPatternSize);
}

} // namespace spylerom::fill
