// The INI document on real files: loading rules, lookups, writing rules and the flush.
#include "frame/settings.h"

#include "frame_fixture.h"
#include "platform/posix/posix_platform.h"

#include <filesystem>
#include <sys/stat.h>

namespace spylerom::test {
namespace {

using frame::IniDocument;

class IniDocumentTest : public FrameTest {
protected:
    std::string path() const { return work() + "/doc.ini"; }
};

TEST_F(IniDocumentTest, MissingFileIsAnEmptyDocument) {
    IniDocument doc(path());
    EXPECT_TRUE(doc.sections().empty());
    EXPECT_EQ(doc.find("STANDARD", "LogToFile"), nullptr);
    EXPECT_EQ(doc.text(), "");
}

TEST_F(IniDocumentTest, LoadingTrimsSplitsAtTheFirstEqualsAndDropsCommentsAndBlankLines) {
    writeText(path(), "orphan=before any section\r\n"
                      "\r\n"
                      "[ STANDARD ]  \r\n"
                      "; a comment\r\n"
                      "   ;indented comment\r\n"
                      "  Key One  =  value with = inside  \r\n"
                      "\tEmpty=\r\n"
                      "no equals sign here \n"
                      "\r\n"
                      "[Other]\r"
                      "a=1\n");
    IniDocument doc(path());
    ASSERT_EQ(doc.sections().size(), 2u);
    EXPECT_EQ(doc.sections()[0].name, "STANDARD");
    ASSERT_NE(doc.find("standard", "key one"), nullptr);
    EXPECT_EQ(*doc.find("standard", "key one"), "value with = inside");
    // An existing key with an empty value is found, with the empty text.
    ASSERT_NE(doc.find("STANDARD", "Empty"), nullptr);
    EXPECT_EQ(*doc.find("STANDARD", "Empty"), "");
    EXPECT_EQ(doc.find("STANDARD", "orphan"), nullptr);
    EXPECT_EQ(doc.find("STANDARD", "no equals sign here"), nullptr);
    EXPECT_EQ(*doc.find("OTHER", "A"), "1");
    EXPECT_EQ(doc.text(), "[STANDARD]\r\n"
                          "Key One=value with = inside\r\n"
                          "Empty=\r\n"
                          "no equals sign here\r\n"
                          "\r\n"
                          "[Other]\r\n"
                          "a=1\r\n"
                          "\r\n");
}

TEST_F(IniDocumentTest, WritingReplacesInPlaceAndAppendsMissingKeysAndSections) {
    IniDocument doc(path(), "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    doc.set("a", "X", "10"); // existing key, other case: replaced where it stands
    doc.set("A", "w", "4");  // missing key: end of its section
    doc.set("C", "v", "5");  // missing section: after all others
    EXPECT_EQ(doc.text(), "[A]\r\nX=10\r\ny=2\r\nw=4\r\n\r\n[B]\r\nz=3\r\n\r\n[C]\r\nv=5\r\n\r\n");
}

TEST_F(IniDocumentTest, NamesCompareWithoutCaseBeyondAscii) {
    IniDocument doc(path(), "[Blåbær]\r\nFørste=ja\r\n");
    ASSERT_NE(doc.find("BLÅBÆR", "FØRSTE"), nullptr);
    EXPECT_EQ(*doc.find("BLÅBÆR", "FØRSTE"), "ja");
    EXPECT_EQ(doc.find("BLABAER", "FORSTE"), nullptr);
}

TEST_F(IniDocumentTest, RepeatedSectionHeadingsAreHeldOnce) {
    IniDocument doc(path(), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n[a]\r\nz=3\r\n");
    ASSERT_EQ(doc.sections().size(), 2u);
    EXPECT_EQ(*doc.find("A", "z"), "3");
    EXPECT_EQ(doc.text(), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n\r\n");
}

TEST_F(IniDocumentTest, AValueWithLineBreaksCannotAddLinesToTheFile) {
    IniDocument doc(path());
    doc.set("STANDARD", "Firma_Navn", "Acme\r\n[STANDARD]\r\nLogToFile=1");
    platform::Error err;
    ASSERT_TRUE(doc.flush(err)) << err.message;
    IniDocument again(path());
    ASSERT_EQ(again.sections().size(), 1u);
    EXPECT_EQ(again.sections()[0].lines.size(), 1u);
    EXPECT_EQ(again.find("STANDARD", "LogToFile"), nullptr);
}

struct EncodingCase {
    const char* name;
    std::string bytes;
    std::string expected; // the value of [S] k, as UTF-8
};

class IniEncodingTest : public IniDocumentTest, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(IniEncodingTest, FileTextIsDecoded) {
    writeText(path(), GetParam().bytes);
    IniDocument doc(path());
    const std::string* value = doc.find("S", "k");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, GetParam().expected);
}

// "[S]\r\nk=Bjørn €\r\n" in UTF-16 (the euro sign is U+20AC).
std::string utf16(bool bigEndian) {
    const char16_t units[] = u"[S]\r\nk=Bj\u00F8rn \u20AC\r\n";
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : std::u16string_view(units)) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, IniEncodingTest,
    ::testing::Values(EncodingCase{"Utf8", "[S]\r\nk=Bj\xC3\xB8rn \xE2\x82\xAC\r\n", "Bjørn €"},
                      EncodingCase{"Utf8WithMark", "\xEF\xBB\xBF[S]\r\nk=Bj\xC3\xB8rn \xE2\x82\xAC\r\n",
                                   "Bjørn €"},
                      EncodingCase{"Windows1252", "[S]\r\nk=Bj\xF8rn \x80\r\n", "Bjørn €"},
                      EncodingCase{"Utf16LittleEndian", utf16(false), "Bjørn €"},
                      EncodingCase{"Utf16BigEndian", utf16(true), "Bjørn €"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(IniDocumentTest, FlushWritesUtf8WithoutMarkAndKeepsThePermissions) {
    writeText(path(), "\xEF\xBB\xBF[S]\r\nk=Bj\xF8rn\r\n");
    setMode(path(), 0640);
    IniDocument doc(path());
    doc.set("S", "k2", "Ærlig");
    platform::Error err;
    ASSERT_TRUE(doc.flush(err)) << err.message;
    EXPECT_EQ(readText(path()), "[S]\r\nk=Bj\xC3\xB8rn\r\nk2=\xC3\x86rlig\r\n\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // Nothing but the file itself is left in the folder (no temporary copy).
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(work()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(IniDocumentTest, FlushRefusesAReadOnlyFileAndLeavesItsBytes) {
    writeText(path(), "; keep me\r\n[S]\r\nk=1\r\n");
    setMode(path(), 0444);
    IniDocument doc(path());
    doc.set("S", "k", "2");
    platform::Error err;
    EXPECT_FALSE(doc.flush(err));
    EXPECT_EQ(err.code, platform::kErrorAccessDenied);
    EXPECT_EQ(readText(path()), "; keep me\r\n[S]\r\nk=1\r\n");
}

// A file that exists but cannot be read, as a locked or unreadable file would be.
class UnreadablePlatform : public platform::PosixPlatform {
public:
    bool readFile(const std::string&, std::string& bytes, platform::Error& err) const override {
        bytes.clear();
        err = platform::errorFromErrno(EIO);
        return false;
    }
};

TEST_F(IniDocumentTest, AFileThatCouldNotBeReadIsNeverOverwritten) {
    writeText(path(), "[S]\r\nk=1\r\n");
    UnreadablePlatform unreadable;
    platform::setPlatform(&unreadable);
    IniDocument doc(path());
    platform::setPlatform(nullptr);
    EXPECT_TRUE(doc.sections().empty());
    doc.set("S", "other", "2");
    platform::Error err;
    EXPECT_FALSE(doc.flush(err));
    EXPECT_NE(err.code, platform::kErrorSuccess);
    EXPECT_EQ(readText(path()), "[S]\r\nk=1\r\n");
}

TEST_F(IniDocumentTest, FlushIntoAMissingFolderFails) {
    IniDocument doc(work() + "/missing/doc.ini");
    doc.set("S", "k", "1");
    platform::Error err;
    EXPECT_FALSE(doc.flush(err));
    EXPECT_EQ(err.code, platform::kErrorFileNotFound);
}

struct IntegerCase {
    const char* text;
    bool valid;
    std::int32_t value;
};

class SettingIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(SettingIntegerTest, Parses) {
    std::int32_t value = 12345;
    EXPECT_EQ(frame::parseSettingInteger(GetParam().text, value), GetParam().valid) << GetParam().text;
    if (GetParam().valid) {
        EXPECT_EQ(value, GetParam().value) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingIntegerTest,
    ::testing::Values(IntegerCase{"0", true, 0}, IntegerCase{"42", true, 42}, IntegerCase{"-7", true, -7},
                      IntegerCase{"+5", true, 5}, IntegerCase{"007", true, 7}, IntegerCase{"0x1", true, 1},
                      IntegerCase{"0x1F", true, 31}, IntegerCase{"0XfF", true, 255},
                      IntegerCase{"0xFFFFFFFF", true, -1}, IntegerCase{"0x100000000", false, 0},
                      IntegerCase{"0x", false, 0}, IntegerCase{"0xG", false, 0},
                      IntegerCase{"2147483647", true, 2147483647}, IntegerCase{"2147483648", false, 0},
                      IntegerCase{"-2147483648", true, -2147483647 - 1}, IntegerCase{"-2147483649", false, 0},
                      IntegerCase{"", false, 0}, IntegerCase{"-", false, 0}, IntegerCase{"12abc", false, 0},
                      IntegerCase{"yes", false, 0}, IntegerCase{"1.5", false, 0}));

} // namespace
} // namespace spylerom::test
