// The random fill pattern: a 32-bit linear congruential generator, seed * 134775813 + 1, whose
// byte is (seed * 255) >> 32, so 0..254.
#pragma once

#include <cstddef>
#include <cstdint>

namespace spylerom::fill {

// Writes the first `count` bytes the generator gives from `seed`; the same bytes as the
// one-at-a-time generator, computed several lanes at a time.
void FillRandom(std::uint32_t seed, std::uint8_t* out, std::size_t count);

// Refills all of FillState's PatternBuffer from a fresh seed (the performance counter).
void FillRandom();

// Refills the first `count` bytes of PatternBuffer from a fresh seed: the bytes a write of
// `count` bytes uses, exactly as the full refill would have put them there.
void FillRandomPrefix(std::size_t count);

} // namespace spylerom::fill
