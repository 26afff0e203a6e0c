// The fill's number rules: the random generator, number text, block sizes and the total bar.
#include "fill/fill_engine.h"
#include "fill/fill_random.h"
#include "fill/format_number.h"
#include "fill/io_error_texts.h"
#include "fill/pass_files.h"
#include "platform/aligned_buffer.h"
#include "platform/platform.h"

#ifndef _WIN32
#include "platform/posix/posix_platform.h"
#endif

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace spylerom::fill {
namespace {

using platform::AlignedBuffer;

// The generator one byte at a time, as it is defined.
std::vector<std::uint8_t> referenceBytes(std::uint32_t seed, std::size_t count) {
    std::vector<std::uint8_t> out(count);
    for (auto& byte : out) {
        seed = seed * 134775813u + 1u;
        byte = static_cast<std::uint8_t>((static_cast<std::uint64_t>(seed) * 255u) >> 32);
    }
    return out;
}

TEST(FillRandom, FirstBytesOfKnownSeeds) {
    struct Case {
        std::uint32_t seed;
        std::vector<std::uint8_t> bytes;
    };
    // Computed apart from this code: seed 0 -> 1 -> 134775814 -> ...; byte = seed * 255 >> 32.
    const Case cases[] = {
        {0, {0, 8, 219}},
        {0xFFFFFFFFu, {246, 51, 132}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> out(c.bytes.size());
        FillRandom(c.seed, out.data(), out.size());
        EXPECT_EQ(out, c.bytes) << "seed " << c.seed;
    }
}

TEST(FillRandom, LanesGiveTheSameBytesAsTheSerialGenerator) {
    for (const std::uint32_t seed : {0u, 1u, 42u, 0x80000000u, 0xDEADBEEFu}) {
        for (const std::size_t count : {std::size_t{1}, std::size_t{31}, std::size_t{32}, std::size_t{33},
                                        std::size_t{512}, std::size_t{4097}, kPatternSize}) {
            std::vector<std::uint8_t> out(count);
            FillRandom(seed, out.data(), count);
            ASSERT_EQ(out, referenceBytes(seed, count)) << "seed " << seed << " count " << count;
        }
    }
}

TEST(FillRandom, NeverGives255) {
    std::vector<std::uint8_t> out(kPatternSize);
    FillRandom(0x12345678u, out.data(), out.size());
    EXPECT_EQ(std::count(out.begin(), out.end(), 255), 0);
    EXPECT_GT(std::count(out.begin(), out.end(), 254), 0);
}

// Every kernel this processor runs gives the reference's bytes and the same end state, for
// seeds of every kind and lengths around the kernels' strides (odd ones among them).
class RandomKernelTest : public ::testing::TestWithParam<RandomKernel> {};

TEST_P(RandomKernelTest, GivesTheSerialGeneratorsBytesAndEndState) {
    if (!RandomKernelAvailable(GetParam()))
        GTEST_SKIP() << "this processor lacks the kernel's instructions";
    std::vector<std::uint32_t> seeds = {0u, 1u, 42u, 0x7FFFFFFFu, 0x80000000u, 0xDEADBEEFu, 0xFFFFFFFFu};
    std::uint32_t mix = 0x9E3779B9u;
    for (int i = 0; i < 40; ++i)
        seeds.push_back(mix = mix * 2654435761u + 0x6D2B79F5u);
    std::vector<std::size_t> counts = {0,   1,   2,   3,   15,  16,  17,  31,  32,  33,
                                       63,  64,  65,  127, 128, 129, 191, 255, 256, 257,
                                       383, 384, 385, 511, 512, 513, 639, 640, 641};
    for (std::size_t count = 300; count < 5000; count += 487)
        counts.push_back(count);
    counts.push_back(65537);
    counts.push_back(kPatternSize);
    for (const std::uint32_t seed : seeds) {
        for (const std::size_t count : counts) {
            // Guard bytes on both sides: a kernel writes its count and nothing else.
            std::vector<std::uint8_t> out(count + 64, 0xEE);
            const std::uint32_t end = FillRandomWith(GetParam(), seed, out.data() + 32, count);
            const auto want = referenceBytes(seed, count);
            ASSERT_TRUE(std::equal(want.begin(), want.end(), out.begin() + 32))
                << "seed " << seed << " count " << count;
            ASSERT_EQ(std::count(out.begin(), out.begin() + 32, 0xEE), 32);
            ASSERT_EQ(std::count(out.end() - 32, out.end(), 0xEE), 32) << "count " << count;
            ASSERT_EQ(end, AdvanceSeed(seed, count)) << "seed " << seed << " count " << count;
        }
    }
}

TEST_P(RandomKernelTest, UnalignedOutputGetsTheSameBytes) {
    if (!RandomKernelAvailable(GetParam()))
        GTEST_SKIP() << "this processor lacks the kernel's instructions";
    std::vector<std::uint8_t> out(4096 + 64);
    for (std::size_t offset = 1; offset < 33; offset += 3) {
        FillRandomWith(GetParam(), 0xC0FFEEu, out.data() + offset, 4000);
        const auto want = referenceBytes(0xC0FFEEu, 4000);
        ASSERT_TRUE(std::equal(want.begin(), want.end(), out.begin() + static_cast<std::ptrdiff_t>(offset)))
            << "offset " << offset;
    }
}

std::string kernelName(const ::testing::TestParamInfo<RandomKernel>& info) {
    switch (info.param) {
    case RandomKernel::Reference:
        return "Reference";
    case RandomKernel::Portable:
        return "Portable";
    case RandomKernel::Sse41:
        return "Sse41";
    case RandomKernel::Avx2:
        return "Avx2";
    case RandomKernel::Avx512:
        return "Avx512";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Kernels, RandomKernelTest,
                         ::testing::Values(RandomKernel::Reference, RandomKernel::Portable,
                                           RandomKernel::Sse41, RandomKernel::Avx2, RandomKernel::Avx512),
                         kernelName);

TEST(FillRandom, ABlockSplitOverPiecesContinuesExactly) {
    constexpr std::size_t kBlock = 65537;
    const auto whole = referenceBytes(0xABCDEF01u, kBlock);
    // Splits at odd places, at the kernels' strides and at the ends.
    for (const std::size_t split : {std::size_t{0}, std::size_t{1}, std::size_t{31}, std::size_t{64},
                                    std::size_t{4095}, std::size_t{32768}, kBlock - 1, kBlock}) {
        std::vector<std::uint8_t> out(kBlock);
        const std::uint32_t middle = FillRandomContinue(0xABCDEF01u, out.data(), split);
        EXPECT_EQ(middle, AdvanceSeed(0xABCDEF01u, split));
        const std::uint32_t end = FillRandomContinue(middle, out.data() + split, kBlock - split);
        EXPECT_EQ(out, whole) << "split at " << split;
        EXPECT_EQ(end, AdvanceSeed(0xABCDEF01u, kBlock));
    }
}

TEST(FillRandom, AdvanceSeedJumpsAsManySteps) {
    std::uint32_t seed = 0x13579BDFu;
    EXPECT_EQ(AdvanceSeed(seed, 0), seed);
    for (std::uint64_t steps = 1; steps <= 1000; ++steps) {
        seed = seed * 134775813u + 1u;
        ASSERT_EQ(AdvanceSeed(0x13579BDFu, steps), seed) << steps;
    }
    // The generator's full period is 2^32: a jump of 2^32 steps (or any multiple) is no move.
    EXPECT_EQ(AdvanceSeed(0x2468ACE0u, std::uint64_t{1} << 32), 0x2468ACE0u);
    EXPECT_EQ(AdvanceSeed(0x2468ACE0u, (std::uint64_t{5} << 32) + 7), AdvanceSeed(0x2468ACE0u, 7));
}

TEST(AlignedBuffer, AddressIsAMultipleOfTheAlignmentAndTheMemoryIsWritable) {
    for (const auto pages : {AlignedBuffer::Pages::Small, AlignedBuffer::Pages::Large}) {
        for (const std::size_t alignment :
             {std::size_t{1}, std::size_t{512}, std::size_t{4096}, std::size_t{1} << 21}) {
            for (const std::size_t size :
                 {std::size_t{1}, std::size_t{4095}, std::size_t{65537}, std::size_t{4} << 20}) {
                AlignedBuffer buffer(size, alignment, pages);
                ASSERT_TRUE(buffer.ok()) << size << " at " << alignment;
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % buffer.alignment(), 0u);
                EXPECT_GE(buffer.alignment(), alignment);
#ifdef __linux__
                if (pages == AlignedBuffer::Pages::Large) {
                    // Whole large pages, so that none of them is shared with other memory.
                    EXPECT_GE(buffer.alignment(), AlignedBuffer::kLargePage);
                }
#endif
                EXPECT_EQ(buffer.size(), size);
                // The rounded-up size is usable too: a direct write of whole alignments reads it.
                const std::size_t rounded =
                    (size + buffer.alignment() - 1) / buffer.alignment() * buffer.alignment();
                std::fill(buffer.data(), buffer.data() + rounded, std::uint8_t{0xA5});
                EXPECT_EQ(buffer.data()[rounded - 1], 0xA5);
            }
        }
    }
}

#ifdef __linux__
// The kernel's count of huge-page faults that fell back to small pages.
std::uint64_t hugePageFallbacks() {
    std::ifstream in("/proc/vmstat");
    std::string name;
    std::uint64_t value = 0;
    while (in >> name >> value)
        if (name == "thp_fault_fallback")
            return value;
    return 0;
}

// KiB of huge pages in the mappings that hold [begin, end) (smaps, "AnonHugePages").
std::uint64_t hugePageKiB(const std::uint8_t* begin, const std::uint8_t* end) {
    std::ifstream in("/proc/self/smaps");
    std::string line;
    bool inside = false;
    std::uint64_t kib = 0;
    while (std::getline(in, line)) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream fields(line);
        if (fields >> std::hex >> from >> dash >> to && dash == '-') {
            inside =
                from < reinterpret_cast<std::uintptr_t>(end) && reinterpret_cast<std::uintptr_t>(begin) < to;
            continue;
        }
        std::uint64_t value = 0;
        if (inside && line.rfind("AnonHugePages:", 0) == 0 && std::istringstream(line.substr(14)) >> value)
            kib += value;
    }
    return kib;
}

// Large pages are the kernel's huge pages where it has them: a direct write of the piece then
// pins two pages instead of 1024.
TEST(AlignedBuffer, LargePagesAreHugePagesWhereTheKernelGivesThem) {
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(setting, modes);
    if (modes.empty() || modes.find("[never]") != std::string::npos)
        GTEST_SKIP() << "this kernel gives no transparent huge pages";
    const std::uint64_t fallbacksBefore = hugePageFallbacks();
    AlignedBuffer buffer(4u << 20, 4096, AlignedBuffer::Pages::Large);
    ASSERT_TRUE(buffer.ok());
    std::fill(buffer.data(), buffer.data() + buffer.size(), std::uint8_t{0x5A});
    const std::uint64_t kib = hugePageKiB(buffer.data(), buffer.data() + buffer.size());
    if (kib == 0 && hugePageFallbacks() != fallbacksBefore)
        GTEST_SKIP() << "the kernel had no huge page free just now";
    EXPECT_GE(kib, 2048u) << "the piece lies in small pages";
}
#endif

TEST(AlignedBuffer, MovesOwnershipAndRefusesBadRequests) {
    AlignedBuffer first(8192, 4096);
    ASSERT_TRUE(first.ok());
    std::uint8_t* const memory = first.data();
    AlignedBuffer second(std::move(first));
    EXPECT_FALSE(first.ok()); // NOLINT(bugprone-use-after-move): the move empties it
    EXPECT_EQ(first.size(), 0u);
    EXPECT_EQ(second.data(), memory);
    AlignedBuffer third(512, 512);
    third = std::move(second);
    EXPECT_EQ(third.data(), memory);
    EXPECT_EQ(third.size(), 8192u);

    EXPECT_FALSE(AlignedBuffer(4096, 3000).ok()) << "no power of two";
    EXPECT_FALSE(AlignedBuffer(0, 4096).ok());
    EXPECT_FALSE(AlignedBuffer(SIZE_MAX - 10, 4096).ok());
    EXPECT_FALSE(AlignedBuffer().ok());
}

struct FormatCase {
    long double value;
    int width;
    int decimals;
    const char* text;
};

class FormatNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, Text) {
    const auto& c = GetParam();
    EXPECT_EQ(FormatNumber(c.value, c.width, c.decimals), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatNumberTest,
    ::testing::Values(FormatCase{42.3L, 5, 1, " 42.3"}, FormatCase{5.2L, 5, 1, "  5.2"},
                      FormatCase{100.0L, 5, 1, "100.0"}, FormatCase{-3.25L, 5, 1, " -3.2"},
                      FormatCase{123456.7L, 8, 0, "  123457"}, FormatCase{12.0L, 100, 0, "12"},
                      FormatCase{1234567890.0L, 5, 0, "1234567890"}, FormatCase{0.0L / 0.0L, 5, 1, "  0.0"}));

TEST(BlockSize, ItemTextForTheFirstSevenAndTheWholeBufferOtherwise) {
    const char* texts[] = {"512", "1024", "2048", "4096", "8192", "16384", "32768", "65536"};
    const std::int32_t expected[] = {512, 1024, 2048, 4096, 8192, 16384, 32768, 65537};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(kBlockChoices[static_cast<std::size_t>(i)].text, texts[i]) << i;
        EXPECT_EQ(BlockSizeAt(i), expected[i]) << i;
    }
    EXPECT_EQ(BlockSizeAt(-1), 65537);
    EXPECT_EQ(BlockSizeAt(8), 65537);
}

TEST(Pattern, ListIndexesAndNoChoice) {
    EXPECT_EQ(PatternAt(0), Pattern::Null);
    EXPECT_EQ(PatternAt(1), Pattern::En);
    EXPECT_EQ(PatternAt(2), Pattern::Tilfeldig);
    EXPECT_EQ(kPatternNames[2], "Tilfeldig");
    for (const int none : {-1, 3, 100})
        EXPECT_EQ(PatternAt(none), Pattern::Unchanged) << none;
}

TEST(TotalBar, RepetitionsShareTheBar) {
    EXPECT_EQ(TotalBarFor(50, 2, 3), 49); // 16 + 33
    EXPECT_EQ(TotalBarFor(100, 1, 3), 33);
    EXPECT_EQ(TotalBarFor(0, 3, 3), 67);
    EXPECT_EQ(TotalBarFor(100, 3, 3), 100);
    EXPECT_EQ(TotalBarFor(100, 1, 1), 100);
}

TEST(RoundHalfEven, Halves) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(2.6), 3);
}

TEST(IoErrorTexts, Table) {
    EXPECT_EQ(IoErrorTexts(5), "Ikke tilgang til fil/mappe");
    EXPECT_EQ(IoErrorTexts(21), "Stasjonen er ikke klar");
    EXPECT_EQ(IoErrorTexts(40), "UDOKUMENTERT DOS FEIL, 28h");
    EXPECT_EQ(IoErrorTexts(79), "UDOKUMENTERT DOSFEIL, 4Fh");
    EXPECT_EQ(IoErrorTexts(91), "UDOKUMENTERT DOSFEIL, 61h");
    EXPECT_EQ(IoErrorTexts(99), "UDOKUMENTERT DOSFEIL, 69h");
    EXPECT_EQ(IoErrorTexts(112), "Det er ikke nok ledig plass på disken");
    EXPECT_EQ(IoErrorTexts(216), "GENERELL BESKYTTELSE FEIL");
    EXPECT_EQ(IoErrorTexts(0), "");
    EXPECT_EQ(IoErrorTexts(217), "");
}

// The text of a "FEILNR: " line, after its code.
std::string textOfErrorLine(const platform::Error& err) {
    const std::string line = ErrorNumberLine(err);
    const std::string head = "FEILNR: " + std::to_string(err.code) + " ";
    return line.rfind(head, 0) == 0 ? line.substr(head.size()) : std::string();
}

TEST(IoErrorTexts, EveryCodeThePlatformNamesHasItsText) {
    using namespace platform;
    for (const ErrorCode code :
         {kErrorFileNotFound, kErrorPathNotFound, kErrorTooManyOpenFiles, kErrorAccessDenied,
          kErrorNotEnoughMemory, kErrorWriteProtect, kErrorNotSameDevice, kErrorNotReady,
          kErrorSharingViolation, kErrorLockViolation, kErrorNotSupported, kErrorFileExists,
          kErrorInvalidParameter, kErrorDiskFull, kErrorDirNotEmpty, kErrorAlreadyExists,
          kErrorFilenameTooLong}) {
        Error err;
        err.code = code;
        EXPECT_NE(textOfErrorLine(err), "") << "code " << code;
    }
}

#ifndef _WIN32
TEST(IoErrorTexts, EveryErrnoTheSystemCanGiveReadsWithAText) {
    // Whatever errno a call fails with, its FEILNR line says something: the table's text where
    // the code is the table's, the system's own message above it.
    for (int errnoValue = 1; errnoValue < 134; ++errnoValue) {
        const platform::Error err = platform::errorFromErrno(errnoValue);
        EXPECT_NE(textOfErrorLine(err), "") << "errno " << errnoValue << " (code " << err.code << ")";
    }
}
#endif

} // namespace
} // namespace spylerom::fill
