// The stored password form and the UTF-8/UTF-16 conversions around it.
#include "ftp/kodtekst.h"

#include <gtest/gtest.h>

namespace spylerom::ftp {
namespace {

struct KodCase {
    const char* plain;
    const char* stored;
};

void PrintTo(const KodCase& c, std::ostream* os) {
    *os << c.plain << " -> " << c.stored;
}

class KodTekstTest : public ::testing::TestWithParam<KodCase> {};

TEST_P(KodTekstTest, ScramblesAndUnscrambles) {
    const KodCase& c = GetParam();
    EXPECT_EQ(KodTekst(std::string_view(c.plain)), c.stored);
    EXPECT_EQ(DekodTekst(std::string_view(c.stored)), c.plain);
}

// Worked out by hand: each character's code raised by its position, "z" before and "2" after.
INSTANTIATE_TEST_SUITE_P(Cases, KodTekstTest,
                         ::testing::Values(KodCase{"abc", "zbdf2"}, KodCase{"", "z2"},
                                           KodCase{"guestpass", "zhwhwyvh{|2"},
                                           KodCase{"æøå", "zçúè2"}, // U+00E6+1, U+00F8+2, U+00E5+3
                                           KodCase{"~~", "z\x7f\xc2\x80"
                                                         "2"})); // 0x7E+1, 0x7E+2

TEST(KodTekst, WorksOnSixteenBitCodesWithWrapAround) {
    // A character beyond U+FFFF is two code units, each raised by its own position.
    EXPECT_EQ(KodTekst(std::u16string(u"\U0001F600")), (std::u16string{u'z', 0xD83E, 0xDE02, u'2'}));
    // Codes wrap modulo 65536 both ways.
    EXPECT_EQ(KodTekst(std::u16string{0xFFFF, 0xFFFF}), (std::u16string{u'z', 0x0000, 0x0001, u'2'}));
    EXPECT_EQ(DekodTekst(std::u16string{u'z', 0x0000, 0x0001, u'2'}), (std::u16string{0xFFFF, 0xFFFF}));
}

TEST(KodTekst, RoundTripsAnyText) {
    for (const char* text : {"passord", "Blåbær og rødgrøt", "with blanks and = signs", "😀 emoji 😺",
                             "中文密码", "a\tb", "zz22"}) {
        EXPECT_EQ(DekodTekst(KodTekst(std::string_view(text))), text);
        EXPECT_EQ(DekodTekst(KodTekst(utf8ToUtf16(text))), utf8ToUtf16(text));
    }
}

TEST(DekodTekst, DropsFirstAndLastWhateverTheyAre) {
    EXPECT_EQ(DekodTekst(std::string_view("")), "");
    EXPECT_EQ(DekodTekst(std::string_view("q")), "");
    EXPECT_EQ(DekodTekst(std::string_view("qq")), "");
    EXPECT_EQ(DekodTekst(std::string_view("Xbdf9")), "abc");
    // A plain password typed into the file by hand unscrambles to something else, as it must.
    EXPECT_EQ(DekodTekst(std::string_view("secret")), "daoa");
}

struct StorableCase {
    const char* name;
    std::string plain;
    bool storable;
};

void PrintTo(const StorableCase& c, std::ostream* os) {
    *os << c.name;
}

class ScrambledFormStorableTest : public ::testing::TestWithParam<StorableCase> {};

TEST_P(ScrambledFormStorableTest, TellsWhetherASettingsLineCanHoldIt) {
    const StorableCase& c = GetParam();
    EXPECT_EQ(scrambledFormStorable(c.plain), c.storable);
    if (c.storable) { // then the stored text reads back to the same password
        EXPECT_EQ(DekodTekst(KodTekst(std::string_view(c.plain))), c.plain);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScrambledFormStorableTest,
    ::testing::Values(StorableCase{"Plain", "guestpass", true},
                      StorableCase{"Norwegian", "ærlig Øl på", true}, StorableCase{"Emoji", "😀😀😀", true},
                      // 0x09 + 1 is a line feed: the entry would break in two
                      StorableCase{"TabBecomesLineFeed", "\tx", false},
                      // U+D7FF + 1 is half a surrogate pair, which no UTF-8 file can hold
                      StorableCase{"HangulEdge", "\xed\x9f\xbf", false},
                      // U+1F3FF is D83C DFFF; its second half raised by 2 leaves the pair broken
                      StorableCase{"BrokenPair", "\xf0\x9f\x8f\xbf", false},
                      // U+FFFD raised by 3 wraps round to a control character
                      StorableCase{"WrapToControl", "ab\xef\xbf\xbd", false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Utf, ConvertsAndReplacesMalformedInput) {
    EXPECT_EQ(utf8ToUtf16("aø€😀"), (std::u16string{u'a', 0x00F8, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(utf16ToUtf8(std::u16string{u'a', 0x00F8, 0x20AC, 0xD83D, 0xDE00}), "aø€😀");
    // Broken UTF-8: a stray continuation byte, an overlong slash, a cut-off sequence, a surrogate.
    EXPECT_EQ(utf8ToUtf16("a\x80"
                          "b"),
              (std::u16string{u'a', 0xFFFD, u'b'}));
    EXPECT_EQ(utf8ToUtf16("\xc0\xaf"), (std::u16string{0xFFFD, 0xFFFD}));
    EXPECT_EQ(utf8ToUtf16("x\xe2\x82"), (std::u16string{u'x', 0xFFFD, 0xFFFD}));
    EXPECT_EQ(utf8ToUtf16("\xed\xa0\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));
    // A lone surrogate cannot be written as UTF-8.
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xD800, u'a'}), "\xef\xbf\xbd"
                                                         "a");
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xDC00}), "\xef\xbf\xbd");
}

} // namespace
} // namespace spylerom::ftp
