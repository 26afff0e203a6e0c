// The random fill pattern: a 32-bit linear congruential generator, seed * 134775813 + 1, whose
// byte is (seed * 255) >> 32, so 0..254. Fast kernels (SSE4.1, AVX2, AVX-512, chosen at run
// time) give exactly the bytes of the one-at-a-time generator; which pieces to fill is the
// caller's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace spylerom::fill {

// Writes the first `count` bytes the generator gives from `seed`; the same bytes as the
// one-at-a-time generator, computed several lanes at a time.
void FillRandom(std::uint32_t seed, std::uint8_t* out, std::size_t count);

// Continues a stream: writes the next `count` bytes after `state` (a seed, or what an earlier
// call returned) and returns the state after them, so a block split over two pieces gives the
// same bytes as one call over the whole block.
std::uint32_t FillRandomContinue(std::uint32_t state, std::uint8_t* out, std::size_t count);

// The generator's state after `steps` bytes from `seed`, by jump-ahead (log2(steps) work).
std::uint32_t AdvanceSeed(std::uint32_t seed, std::uint64_t steps);

// Refills the first `count` bytes of a pattern buffer from a fresh seed (the performance
// counter): the bytes a write of `count` bytes uses, exactly as a refill of the whole buffer
// would have put them there.
void FillRandomPattern(std::uint8_t* buffer, std::size_t count);

// The kernels one by one, for the tests that hold them to the reference and the benchmark.
// In order: where a kernel runs, the ones before it run too.
enum class RandomKernel { Reference, Portable, Sse41, Avx2, Avx512 };
// Whether this processor runs the kernel (Reference and Portable run everywhere).
bool RandomKernelAvailable(RandomKernel kernel);
// The kernel FillRandomContinue uses on this processor.
RandomKernel BestRandomKernel();
// FillRandomContinue through the given kernel; the kernel must be available.
std::uint32_t FillRandomWith(RandomKernel kernel, std::uint32_t state, std::uint8_t* out, std::size_t count);

} // namespace spylerom::fill
