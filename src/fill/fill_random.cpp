#include "fill/fill_random.h"

#include "platform/platform.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SPYLEROM_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace spylerom::fill {

namespace {

constexpr std::uint32_t kMultiplier = 134775813u;

inline std::uint32_t nextSeed(std::uint32_t seed) {
    return seed * kMultiplier + 1u;
}

inline std::uint8_t byteOf(std::uint32_t seed) {
    return static_cast<std::uint8_t>((static_cast<std::uint64_t>(seed) * 255u) >> 32);
}

// The map seed -> seed * multiplier + increment; n steps of the generator are one such map.
struct Jump {
    std::uint32_t multiplier = 1;
    std::uint32_t increment = 0;
};

// first, then second.
constexpr Jump chain(Jump first, Jump second) {
    return {second.multiplier * first.multiplier, second.multiplier * first.increment + second.increment};
}

constexpr Jump jumpOf(std::uint64_t steps) {
    Jump result;
    Jump power{kMultiplier, 1u};
    for (; steps != 0; steps >>= 1) {
        if (steps & 1u)
            result = chain(result, power);
        power = chain(power, power);
    }
    return result;
}

std::uint32_t fillReference(std::uint32_t state, std::uint8_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        state = nextSeed(state);
        out[i] = byteOf(state);
    }
    return state;
}

// Lane j holds the seed of byte i + j; each step moves every lane kLanes bytes on. The lanes
// are independent, so the compiler can keep them in vector registers.
std::uint32_t fillPortable(std::uint32_t state, std::uint8_t* out, std::size_t count) {
    constexpr std::size_t kLanes = 16;
    if (count < 2 * kLanes)
        return fillReference(state, out, count);
    std::uint32_t lanes[kLanes];
    std::uint32_t seed = state;
    for (std::size_t j = 0; j < kLanes; ++j) {
        seed = nextSeed(seed);
        lanes[j] = seed;
    }
    constexpr Jump jump = jumpOf(kLanes);
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        for (std::size_t j = 0; j < kLanes; ++j) {
            out[i + j] = byteOf(lanes[j]);
            lanes[j] = lanes[j] * jump.multiplier + jump.increment;
        }
    }
    return fillReference(AdvanceSeed(state, i), out + i, count - i);
}

#ifdef SPYLEROM_X86_KERNELS

// The seeds of the next `width` bytes after state, in byte order.
template <std::size_t width> void firstSeeds(std::uint32_t state, std::uint32_t (&seeds)[width]) {
    for (auto& seed : seeds) {
        state = nextSeed(state);
        seed = state;
    }
}

// (x * 255) >> 32 per 32-bit lane, without 64-bit products: x * 255 = x * 2^8 - x, so the
// high word is x >> 24, less one where the low word x << 8 (mod 2^32) is below x.
__attribute__((target("sse4.1"))) inline __m128i bytesOf(__m128i x) {
    const __m128i sign = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i low = _mm_slli_epi32(x, 8);
    const __m128i borrow = _mm_cmpgt_epi32(_mm_xor_si128(x, sign), _mm_xor_si128(low, sign));
    return _mm_add_epi32(_mm_srli_epi32(x, 24), borrow);
}

// Four vectors of four lanes: vector v, lane e holds the seed of byte 4v + e of each 16.
__attribute__((target("sse4.1"))) std::uint32_t fillSse41(std::uint32_t state, std::uint8_t* out,
                                                          std::size_t count) {
    constexpr std::size_t kStep = 16;
    if (count < 2 * kStep)
        return fillReference(state, out, count);
    alignas(16) std::uint32_t seeds[kStep];
    firstSeeds(state, seeds);
    __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(seeds));
    __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(seeds + 4));
    __m128i c = _mm_load_si128(reinterpret_cast<const __m128i*>(seeds + 8));
    __m128i d = _mm_load_si128(reinterpret_cast<const __m128i*>(seeds + 12));
    constexpr Jump jump = jumpOf(kStep);
    const __m128i multiplier = _mm_set1_epi32(static_cast<int>(jump.multiplier));
    const __m128i increment = _mm_set1_epi32(static_cast<int>(jump.increment));
    std::size_t i = 0;
    for (; i + kStep <= count; i += kStep) {
        // The bytes are 0..254, so the saturating packs keep them as they are.
        const __m128i ab = _mm_packus_epi32(bytesOf(a), bytesOf(b));
        const __m128i cd = _mm_packus_epi32(bytesOf(c), bytesOf(d));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(ab, cd));
        a = _mm_add_epi32(_mm_mullo_epi32(a, multiplier), increment);
        b = _mm_add_epi32(_mm_mullo_epi32(b, multiplier), increment);
        c = _mm_add_epi32(_mm_mullo_epi32(c, multiplier), increment);
        d = _mm_add_epi32(_mm_mullo_epi32(d, multiplier), increment);
    }
    return fillReference(AdvanceSeed(state, i), out + i, count - i);
}

// MinGW's GCC does not align the stack for 32-byte spills (GCC bug 54412): no AVX there.
#ifndef _WIN32
#define SPYLEROM_AVX2_KERNEL 1

__attribute__((target("avx2"))) inline __m256i bytesOf(__m256i x) {
    const __m256i sign = _mm256_set1_epi32(static_cast<int>(0x80000000u));
    const __m256i low = _mm256_slli_epi32(x, 8);
    const __m256i borrow = _mm256_cmpgt_epi32(_mm256_xor_si256(x, sign), _mm256_xor_si256(low, sign));
    return _mm256_add_epi32(_mm256_srli_epi32(x, 24), borrow);
}

__attribute__((target("avx2"))) inline __m256i advance(__m256i x, __m256i multiplier, __m256i increment) {
    return _mm256_add_epi32(_mm256_mullo_epi32(x, multiplier), increment);
}

// The seeds of the next 8 * width bytes after state, in eight vectors of width lanes, laid out
// for packs that work within 128-bit parts: two groups of four vectors, each group 4 * width
// bytes; in a group, vector v, lane e holds the seed of byte 16 * (e / 4) + 4v + e % 4, and two
// rounds of packs put the group's bytes in order.
template <std::size_t width> void packLayout(std::uint32_t state, std::uint32_t (&lanes)[8][width]) {
    std::uint32_t seeds[8 * width];
    firstSeeds(state, seeds);
    for (std::size_t v = 0; v < 8; ++v)
        for (std::size_t e = 0; e < width; ++e)
            lanes[v][e] = seeds[(v / 4) * 4 * width + 16 * (e / 4) + 4 * (v % 4) + e % 4];
}

// AVX2: eight lanes a vector, two groups a round to keep the multiplier busy.
__attribute__((target("avx2"))) std::uint32_t fillAvx2(std::uint32_t state, std::uint8_t* out,
                                                       std::size_t count) {
    constexpr std::size_t kGroup = 32;
    constexpr std::size_t kStep = 2 * kGroup;
    if (count < 2 * kStep)
        return fillSse41(state, out, count);
    alignas(32) std::uint32_t lanes[8][8];
    packLayout(state, lanes);
    __m256i x[8];
    for (std::size_t v = 0; v < 8; ++v)
        x[v] = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes[v]));
    constexpr Jump jump = jumpOf(kStep);
    const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(jump.multiplier));
    const __m256i increment = _mm256_set1_epi32(static_cast<int>(jump.increment));
    std::size_t i = 0;
    for (; i + kStep <= count; i += kStep) {
        // Both loops unrolled, so the lanes stay in registers instead of going through the
        // stack each round (which made the kernel 40 % slower).
#pragma GCC unroll 2
        for (std::size_t g = 0; g < 2; ++g) {
            const __m256i ab = _mm256_packus_epi32(bytesOf(x[4 * g]), bytesOf(x[4 * g + 1]));
            const __m256i cd = _mm256_packus_epi32(bytesOf(x[4 * g + 2]), bytesOf(x[4 * g + 3]));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + g * kGroup),
                                _mm256_packus_epi16(ab, cd));
        }
#pragma GCC unroll 8
        for (auto& lane : x)
            lane = advance(lane, multiplier, increment);
    }
    return fillSse41(AdvanceSeed(state, i), out + i, count - i);
}

#define SPYLEROM_AVX512_KERNEL 1

// With AVX-512 the borrow is a mask (unsigned compares are native) and a vector holds 16 lanes,
// in the same layout as AVX2's over four 128-bit parts.
// (The zero-masked shifts with every lane kept are the plain shifts; GCC 12 warns of an
// uninitialised value inside the plain ones.)
__attribute__((target("avx512f,avx512bw"))) inline __m512i bytesOf(__m512i x) {
    constexpr __mmask16 kAll = 0xFFFF;
    const __m512i low = _mm512_maskz_slli_epi32(kAll, x, 8);
    const __mmask16 borrow = _mm512_cmplt_epu32_mask(low, x);
    const __m512i high = _mm512_maskz_srli_epi32(kAll, x, 24);
    return _mm512_mask_sub_epi32(high, borrow, high, _mm512_set1_epi32(1));
}

__attribute__((target("avx512f,avx512bw"))) std::uint32_t fillAvx512(std::uint32_t state, std::uint8_t* out,
                                                                     std::size_t count) {
    constexpr std::size_t kGroup = 64;
    constexpr std::size_t kStep = 2 * kGroup;
    if (count < 2 * kStep)
        return fillAvx2(state, out, count);
    alignas(64) std::uint32_t lanes[8][16];
    packLayout(state, lanes);
    __m512i x[8];
    for (std::size_t v = 0; v < 8; ++v)
        x[v] = _mm512_load_si512(lanes[v]);
    constexpr Jump jump = jumpOf(kStep);
    const __m512i multiplier = _mm512_set1_epi32(static_cast<int>(jump.multiplier));
    const __m512i increment = _mm512_set1_epi32(static_cast<int>(jump.increment));
    std::size_t i = 0;
    for (; i + kStep <= count; i += kStep) {
#pragma GCC unroll 2
        for (std::size_t g = 0; g < 2; ++g) {
            const __m512i ab = _mm512_packus_epi32(bytesOf(x[4 * g]), bytesOf(x[4 * g + 1]));
            const __m512i cd = _mm512_packus_epi32(bytesOf(x[4 * g + 2]), bytesOf(x[4 * g + 3]));
            _mm512_storeu_si512(out + i + g * kGroup, _mm512_packus_epi16(ab, cd));
        }
#pragma GCC unroll 8
        for (auto& lane : x)
            lane = _mm512_add_epi32(_mm512_mullo_epi32(lane, multiplier), increment);
    }
    return fillAvx2(AdvanceSeed(state, i), out + i, count - i);
}
#endif // _WIN32

#endif // SPYLEROM_X86_KERNELS

RandomKernel detectBestKernel() {
#ifdef SPYLEROM_X86_KERNELS
    __builtin_cpu_init();
#ifdef SPYLEROM_AVX512_KERNEL
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"))
        return RandomKernel::Avx512;
#endif
#ifdef SPYLEROM_AVX2_KERNEL
    if (__builtin_cpu_supports("avx2"))
        return RandomKernel::Avx2;
#endif
    if (__builtin_cpu_supports("sse4.1"))
        return RandomKernel::Sse41;
#endif
    return RandomKernel::Portable;
}

} // namespace

bool RandomKernelAvailable(RandomKernel kernel) {
    switch (kernel) {
    case RandomKernel::Reference:
    case RandomKernel::Portable:
        return true;
    case RandomKernel::Sse41:
    case RandomKernel::Avx2:
    case RandomKernel::Avx512:
        // Each kernel falls back on the one before it, so a better one implies those below.
        return static_cast<int>(BestRandomKernel()) >= static_cast<int>(kernel);
    }
    return false;
}

RandomKernel BestRandomKernel() {
    static const RandomKernel best = detectBestKernel();
    return best;
}

std::uint32_t FillRandomWith(RandomKernel kernel, std::uint32_t state, std::uint8_t* out, std::size_t count) {
    switch (kernel) {
#ifdef SPYLEROM_X86_KERNELS
#ifdef SPYLEROM_AVX512_KERNEL
    case RandomKernel::Avx512:
        return fillAvx512(state, out, count);
#endif
#ifdef SPYLEROM_AVX2_KERNEL
    case RandomKernel::Avx2:
        return fillAvx2(state, out, count);
#endif
    case RandomKernel::Sse41:
        return fillSse41(state, out, count);
#endif
    case RandomKernel::Portable:
        return fillPortable(state, out, count);
    default:
        return fillReference(state, out, count);
    }
}

std::uint32_t AdvanceSeed(std::uint32_t seed, std::uint64_t steps) {
    const Jump jump = jumpOf(steps);
    return seed * jump.multiplier + jump.increment;
}

std::uint32_t FillRandomContinue(std::uint32_t state, std::uint8_t* out, std::size_t count) {
    return FillRandomWith(BestRandomKernel(), state, out, count);
}

void FillRandom(std::uint32_t seed, std::uint8_t* out, std::size_t count) {
    FillRandomContinue(seed, out, count);
}

void FillRandomPattern(std::uint8_t* buffer, std::size_t count) {
    const auto seed = static_cast<std::uint32_t>(platform::sys().performanceCounter());
    FillRandom(seed, buffer, count);
}

} // namespace spylerom::fill
