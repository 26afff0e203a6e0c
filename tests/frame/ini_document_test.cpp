// The INI document on real files: loading rules, lookups, writing rules and the flush.
#include "frame/settings.h"

#include "frame_fixture.h"
#include "platform/posix/posix_platform.h"

#include <filesystem>
#include <fstream>
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
    // The new line is UTF-8; the unchanged one keeps its Windows-1252 byte, which reads as the
    // same text without the mark.
    EXPECT_EQ(readText(path()), "[S]\r\nk=Bj\xF8rn\r\nk2=\xC3\x86rlig\r\n\r\n");
    EXPECT_EQ(*IniDocument(path()).find("S", "k"), "Bjørn");
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

TEST_F(IniDocumentTest, AFlushThatChangesNothingLeavesTheFileInPlace) {
    writeText(path(), "[S]\r\nk=1\r\n\r\n");
    struct stat before {};
    ASSERT_EQ(stat(path().c_str(), &before), 0);
    IniDocument doc(path());
    doc.set("S", "k", "1");
    platform::Error err;
    ASSERT_TRUE(doc.flush(err)) << err.message;
    struct stat after {};
    ASSERT_EQ(stat(path().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "rewritten although nothing changed";

    doc.set("S", "k", "2");
    ASSERT_TRUE(doc.flush(err)) << err.message;
    EXPECT_EQ(readText(path()), "[S]\r\nk=2\r\n\r\n");
}

// A file that exists but cannot be read, as a locked or unreadable file would be.
class UnreadablePlatform : public platform::PosixPlatform {
public:
    bool readFile(const std::string&, std::string& bytes, platform::Error& err) const override {
        bytes.clear();
        err = platform::errorFromErrno(EIO);
        return false;
    }
    bool readFilePart(const std::string&, bool, std::int64_t, std::string& bytes, std::int64_t& size,
                      platform::Error& err) const override {
        bytes.clear();
        size = 0;
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

// How a file's lines read and what a flush after one added key writes. A line keeps the bytes
// it was read as: one line in Windows-1252 (or one stray byte) does not turn the UTF-8 lines
// around it into Windows-1252 mojibake.
struct LineTextCase {
    const char* name;
    std::string file;
    std::vector<std::pair<const char*, const char*>> values; // key of [S] and its text
    std::string written; // the file after set("S", "Ny", "ja") and a flush
};

class IniLineText : public IniDocumentTest, public ::testing::WithParamInterface<LineTextCase> {};

TEST_P(IniLineText, EachLineReadsInItsOwnEncodingAndUnchangedLinesKeepTheirBytes) {
    const LineTextCase& c = GetParam();
    writeText(path(), c.file);
    IniDocument doc(path());
    for (const auto& [key, text] : c.values) {
        ASSERT_NE(doc.find("S", key), nullptr) << key;
        EXPECT_EQ(*doc.find("S", key), text) << key;
    }
    ASSERT_TRUE(doc.set("S", "Ny", "ja"));
    platform::Error err;
    ASSERT_TRUE(doc.flush(err)) << err.message;
    EXPECT_EQ(readText(path()), c.written);

    // Read again, every line still says what it said.
    const IniDocument again(path());
    for (const auto& [key, text] : c.values) {
        ASSERT_NE(again.find("S", key), nullptr) << key;
        EXPECT_EQ(*again.find("S", key), text) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniLineText,
    ::testing::Values(
        LineTextCase{
            "BjornStaysUtf8BesideOneInvalidByte",
            "[S]\r\nNavn=Bj\xC3\xB8rn \xC3\x86rlig\r\nFirma=Caf\xE9\r\nBy=Troms\xC3\xB8\r\n",
            {{"Navn", "Bjørn Ærlig"}, {"Firma", "Café"}, {"By", "Tromsø"}},
            "[S]\r\nNavn=Bj\xC3\xB8rn \xC3\x86rlig\r\nFirma=Caf\xE9\r\nBy=Troms\xC3\xB8\r\nNy=ja\r\n\r\n"},
        LineTextCase{"ABrokenUtf8LineIsWrittenBackAsItWas",
                     "[S]\r\nNavn=Bj\xC3\xB8rn\r\nBrutt=Bj\xC3\xB8rn \xFF\r\n",
                     {{"Navn", "Bjørn"}, {"Brutt", "BjÃ¸rn ÿ"}},
                     "[S]\r\nNavn=Bj\xC3\xB8rn\r\nBrutt=Bj\xC3\xB8rn \xFF\r\nNy=ja\r\n\r\n"},
        LineTextCase{"AWindowsFileStaysWindows1252",
                     "[S]\r\nNavn=Bj\xF8rn \xC6rlig\r\nPris=5 \x80\r\n",
                     {{"Navn", "Bjørn Ærlig"}, {"Pris", "5 €"}},
                     "[S]\r\nNavn=Bj\xF8rn \xC6rlig\r\nPris=5 \x80\r\nNy=ja\r\n\r\n"},
        LineTextCase{"AHeadingInWindows1252KeepsItsBytes",
                     "[S]\r\nA=1\r\n[Bl\xE5"
                     "b\xE6r]\r\nB=2\r\n",
                     {{"A", "1"}},
                     "[S]\r\nA=1\r\nNy=ja\r\n\r\n[Bl\xE5"
                     "b\xE6r]\r\nB=2\r\n\r\n"},
        LineTextCase{"TheMarkGoesTheLinesStay",
                     "\xEF\xBB\xBF[S]\r\nNavn=Bj\xC3\xB8rn\r\nFirma=Caf\xE9\r\n",
                     {{"Navn", "Bjørn"}, {"Firma", "Café"}},
                     "[S]\r\nNavn=Bj\xC3\xB8rn\r\nFirma=Caf\xE9\r\nNy=ja\r\n\r\n"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(IniDocumentTest, OnlyAChangedLineIsWrittenAnew) {
    writeText(path(), "[S]\r\nA=Bj\xF8rn\r\nB=\xC6rlig\r\nC=\xE9\r\n");
    IniDocument doc(path());
    ASSERT_TRUE(doc.set("S", "A", "Kari"));  // changed: written as the system's file text
    ASSERT_TRUE(doc.set("S", "B", "Ærlig")); // the same text again: no change
    ASSERT_TRUE(doc.set("S", "c", "é"));     // another spelling of the key is a change
    platform::Error err;
    ASSERT_TRUE(doc.flush(err)) << err.message;
    EXPECT_EQ(readText(path()), "[S]\r\nA=Kari\r\nB=\xC6rlig\r\nc=\xC3\xA9\r\n\r\n");
}

TEST_F(IniDocumentTest, AValueBeyondTheLimitIsNeitherReadNorStoredButKept) {
    const std::string big(IniDocument::kMaxValueBytes + 1, 'v');
    const std::string atLimit(IniDocument::kMaxValueBytes, 'w');
    const std::string file = "[S]\r\nA=1\r\nBig=" + big + "\r\nFull=" + atLimit + "\r\n";
    writeText(path(), file);
    IniDocument doc(path());
    EXPECT_EQ(doc.find("S", "Big"), nullptr) << "a refused value reads as missing";
    ASSERT_NE(doc.find("S", "Full"), nullptr);
    EXPECT_EQ(doc.find("S", "Full")->size(), IniDocument::kMaxValueBytes);
    ASSERT_EQ(doc.warnings().size(), 1u);
    EXPECT_EQ(doc.warnings()[0].rfind("ADVARSEL: verdien av Big i [S] i " + path(), 0), 0u)
        << doc.warnings()[0];
    EXPECT_FALSE(doc.tooLarge());

    EXPECT_FALSE(doc.set("S", "A", big)) << "refused";
    EXPECT_FALSE(doc.set("S", "New", big));
    EXPECT_EQ(*doc.find("S", "A"), "1");
    EXPECT_EQ(doc.find("S", "New"), nullptr);
    platform::Error err;
    ASSERT_TRUE(doc.flush(err)) << err.message;
    EXPECT_EQ(readText(path()), file + "\r\n") << "the refused line is written back as it was";

    // Writing the key replaces the refused value.
    ASSERT_TRUE(doc.set("S", "Big", "liten"));
    EXPECT_EQ(*doc.find("S", "Big"), "liten");
}

TEST_F(IniDocumentTest, AFileBeyondTheLimitIsReadOnlyThatFarAndNeverWritten) {
    // A 50 MB value after two readable keys: the first lines are read, the rest not even held.
    {
        std::ofstream out(path(), std::ios::binary);
        out << "[S]\r\nA=1\r\nB=2\r\nHuge=";
        const std::string chunk(1 << 20, 'x');
        for (int i = 0; i < 50; ++i)
            out << chunk;
        out << "\r\nAfter=3\r\n";
    }
    const auto sizeBefore = std::filesystem::file_size(path());
    const auto timeBefore = std::filesystem::last_write_time(path());
    IniDocument doc(path());
    EXPECT_TRUE(doc.tooLarge());
    ASSERT_NE(doc.find("S", "B"), nullptr);
    EXPECT_EQ(*doc.find("S", "B"), "2");
    EXPECT_EQ(doc.find("S", "Huge"), nullptr);
    EXPECT_EQ(doc.find("S", "After"), nullptr);
    EXPECT_LE(doc.text().size(), static_cast<std::size_t>(IniDocument::kMaxFileBytes));
    ASSERT_EQ(doc.warnings().size(), 1u);
    EXPECT_EQ(doc.warnings()[0].rfind("ADVARSEL: " + path() + " er større enn ", 0), 0u) << doc.warnings()[0];

    doc.set("S", "A", "endret");
    platform::Error err;
    EXPECT_FALSE(doc.flush(err));
    EXPECT_EQ(err.code, platform::kErrorFileTooLarge);
    EXPECT_EQ(std::filesystem::file_size(path()), sizeBefore);
    EXPECT_EQ(std::filesystem::last_write_time(path()), timeBefore);
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
