// Bytes per second of each "Tilfeldig" kernel on one core, filling pieces of the size the
// writer hands out, against memset over the same buffer as the peer (the memory's own pace).
#include "fill/fill_random.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using spylerom::fill::RandomKernel;
using Clock = std::chrono::steady_clock;

// Runs fill over the buffer until `seconds` have passed; returns bytes per second.
template <typename Fill> double measure(std::vector<std::uint8_t>& buffer, double seconds, Fill fill) {
    std::uint64_t bytes = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        for (int round = 0; round < 16; ++round) {
            fill(buffer.data(), buffer.size());
            bytes += buffer.size();
        }
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return static_cast<double>(bytes) / elapsed;
}

const char* nameOf(RandomKernel kernel) {
    switch (kernel) {
    case RandomKernel::Reference:
        return "reference (one byte at a time)";
    case RandomKernel::Portable:
        return "portable lanes";
    case RandomKernel::Sse41:
        return "SSE4.1";
    case RandomKernel::Avx2:
        return "AVX2";
    case RandomKernel::Avx512:
        return "AVX-512";
    }
    return "?";
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    const std::size_t pieceBytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : (1u << 20);
    std::vector<std::uint8_t> buffer(pieceBytes);
    const double gib = 1024.0 * 1024.0 * 1024.0;
    std::printf("piece %zu bytes, %.1f s each, one thread\n\n", pieceBytes, seconds);
    std::printf("%-34s %10s %8s\n", "fill", "GiB/s", "ratio");
    const double peer = measure(buffer, seconds, [](std::uint8_t* out, std::size_t n) {
        std::memset(out, 0x5A, n);
        asm volatile("" : : "r"(out) : "memory"); // the stores must happen
    });
    std::printf("%-34s %10.2f %8.2f\n", "memset (peer)", peer / gib, 1.0);
    std::uint32_t state = 12345;
    for (const RandomKernel kernel : {RandomKernel::Reference, RandomKernel::Portable, RandomKernel::Sse41,
                                      RandomKernel::Avx2, RandomKernel::Avx512}) {
        if (!spylerom::fill::RandomKernelAvailable(kernel))
            continue;
        const double speed = measure(buffer, seconds, [&](std::uint8_t* out, std::size_t n) {
            state = spylerom::fill::FillRandomWith(kernel, state, out, n);
        });
        std::printf("%-34s %10.2f %8.2f%s\n", nameOf(kernel), speed / gib, speed / peer,
                    kernel == spylerom::fill::BestRandomKernel() ? "  (in use)" : "");
    }
    std::printf("\nfinal state %08x (keeps the work from being optimised away)\n", state);
    return 0;
}
