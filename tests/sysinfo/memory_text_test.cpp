// The text rules of the dialog's memory figures: whole KB, digits grouped by the locale's
// separator, 64-bit throughout; the load as a number, a blank and the percent sign.
#include "sysinfo/system_facts.h"

#include <gtest/gtest.h>

#include <ostream>

namespace spylerom::sysinfo {
namespace {

constexpr std::uint64_t kGiB = 1024ULL * 1024 * 1024;

struct MemoryCase {
    const char* name;
    std::uint64_t bytes;
    const char* separator;
    const char* expected;
};
void PrintTo(const MemoryCase& c, std::ostream* os) {
    *os << c.name;
}

class MemoryTextTest : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(MemoryTextTest, RoundsToWholeKbAndGroupsThousands) {
    EXPECT_EQ(MemoryText(GetParam().bytes, GetParam().separator), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Figures, MemoryTextTest,
    ::testing::Values(MemoryCase{"Nothing", 0, ",", "0 KB"}, MemoryCase{"BelowHalfAKb", 511, ",", "0 KB"},
                      MemoryCase{"HalfAKbRoundsUp", 512, ",", "1 KB"},
                      MemoryCase{"ThreeDigitsNoGroup", 999 * 1024, ",", "999 KB"},
                      MemoryCase{"FourDigitsOneGroup", 1000 * 1024, ",", "1,000 KB"},
                      MemoryCase{"TwoGiB", 2 * kGiB, ",", "2,097,152 KB"},
                      MemoryCase{"Largest32BitValue", 4294967295ULL, ",", "4,194,304 KB"},
                      MemoryCase{"NorwegianNoBreakSpace", 2 * kGiB, "\u00a0", "2\u00a0097\u00a0152 KB"},
                      MemoryCase{"NarrowNoBreakSpace", 4294967295ULL, "\u202f", "4\u202f194\u202f304 KB"},
                      MemoryCase{"DotSeparator", 1000 * 1024, ".", "1.000 KB"},
                      // More than 4 GiB shows in full: a 32-bit figure would wrap or stop at 4 GiB.
                      MemoryCase{"SixteenGiB", 16 * kGiB, " ", "16 777 216 KB"},
                      MemoryCase{"OneTiB", 1024 * kGiB, ",", "1,073,741,824 KB"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(MemoryLoadTextTest, NumberBlankPercent) {
    EXPECT_EQ(MemoryLoadText(0), "0 %");
    EXPECT_EQ(MemoryLoadText(37), "37 %");
    EXPECT_EQ(MemoryLoadText(100), "100 %");
}

} // namespace
} // namespace spylerom::sysinfo
