// The folder lookups and the folder tree on a real APPDATA.
#include "frame/folders.h"

#include "frame/settings.h"
#include "frame/textfil.h"
#include "frame_fixture.h"

#include <filesystem>

namespace spylerom::test {
namespace {

using namespace spylerom::frame;
namespace fs = std::filesystem;

class FoldersTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        logState().LogEnabled = true;
        OpenSettingsFile();
    }
    // The entry of a logical folder as the main settings file on disk has it.
    std::string storedEntry(const std::string& name) const {
        IniDocument doc(mainIni());
        const std::string* value = doc.find("FOLDERS", name + "_folder");
        return value ? *value : "<missing>";
    }
    std::vector<std::string> folderEntriesOnDisk() const {
        IniDocument doc(mainIni());
        std::vector<std::string> lines;
        for (const auto& section : doc.sections())
            if (section.name == "FOLDERS")
                for (const auto& line : section.lines)
                    lines.push_back(line.key + "=" + line.value);
        return lines;
    }
};

TEST_F(FoldersTest, TmpOnAFreshMachineIsCreatedLoggedAndRecorded) {
    SelectSection("CALLER");
    const std::string tmp = solvarekpath("tmp");
    EXPECT_EQ(tmp, maker() + "tmp/");
    EXPECT_TRUE(fs::is_directory(tmp));
    EXPECT_EQ(countLogLinesContaining(" hs_reg.solvarekpath(tmp): Lager mappen " + maker() + "tmp/"), 1);
    EXPECT_EQ(storedEntry("tmp"), maker() + "tmp/");
    EXPECT_EQ(settingsState().CurrentSection, "CALLER");
    // A second lookup finds the folder and creates nothing more.
    EXPECT_EQ(solvarekpath("tmp"), tmp);
    EXPECT_EQ(countLogLinesContaining("Lager mappen"), 1);
}

TEST_F(FoldersTest, EmptyNameGivesTheMakerFolderAndLeavesTheSettingsAlone) {
    EXPECT_EQ(MakerFolder(), appdata() + "/Solvarek/");
    EXPECT_EQ(solvarekpath(""), MakerFolder());
    EXPECT_FALSE(exists(mainIni())); // no flush
    EXPECT_TRUE(logLines().empty());
}

struct LookupCase {
    const char* title;
    const char* name;
    const char* stored;   // the entry before the lookup, "@" standing for the maker's folder and
                          // "~" for a folder outside it; empty for none
    const char* expected; // the returned path, with the same placeholders
    bool created;
};

class FolderLookupTest : public FoldersTest, public ::testing::WithParamInterface<LookupCase> {
protected:
    std::string expand(std::string text) const {
        for (auto [mark, with] : {std::pair{'@', maker()}, std::pair{'~', root_.file("outside/")}}) {
            const auto at = text.find(mark);
            if (at != std::string::npos)
                text.replace(at, 1, with);
        }
        return text;
    }
};

TEST_P(FolderLookupTest, MissingFolders) {
    const LookupCase& c = GetParam();
    if (*c.stored) {
        SelectSection("FOLDERS");
        WriteSettingString(std::string(c.name) + "_folder", expand(c.stored));
        ResetSection();
    }
    const std::string expected = expand(c.expected);
    EXPECT_EQ(solvarekpath(c.name), expected);
    EXPECT_EQ(fs::is_directory(expected), c.created);
    // The line names the path as it stood before its separator was added.
    const std::string logged = *c.stored ? expand(c.stored) : expected;
    EXPECT_EQ(countLogLinesContaining("Lager mappen "), c.created ? 1 : 0);
    if (c.created) {
        EXPECT_EQ(countLogLinesContaining(" hs_reg.solvarekpath(" + std::string(c.name) + "): Lager mappen " +
                                          logged),
                  1);
    }
    EXPECT_EQ(storedEntry(c.name), expected); // rewritten with its final separator
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderLookupTest,
    ::testing::Values(LookupCase{"DefaultInsideMaker", "data", "", "@data/", true},
                      LookupCase{"NestedLogicalName", "export\\html\\varer", "", "@export/html/varer/", true},
                      LookupCase{"StoredInsideMakerWithoutSeparator", "tmp", "@elsewhere/deep/tmp",
                                 "@elsewhere/deep/tmp/", true},
                      LookupCase{"StoredOutsideMakerIsNotCreated", "tmp", "~Work/Temp", "~Work/Temp/", false},
                      LookupCase{"MissingBinIsNotCreated", "bin", "@bin/", "@bin/", false},
                      LookupCase{"BinIsMatchedWithCase", "Bin", "@Bin/", "@Bin/", true}),
    [](const auto& p) { return std::string(p.param.title); });

TEST_F(FoldersTest, SetFolderPathAppendsTheSeparatorKeepsEmptyAndDoesNotFlush) {
    SelectSection("CALLER");
    SetFolderPath("a", "/x/y");
    SetFolderPath("b", "/x/y/");
    SetFolderPath("c", "");
    EXPECT_EQ(settingsState().CurrentSection, "CALLER");
    SelectSection("FOLDERS");
    EXPECT_EQ(ReadSettingString("a_folder"), "/x/y/");
    EXPECT_EQ(ReadSettingString("b_folder"), "/x/y/");
    EXPECT_EQ(ReadSettingString("c_folder"), "");
    EXPECT_FALSE(exists(mainIni()));
}

TEST_F(FoldersTest, MkdirsafeLogsTheOutcomeWithTheSystemCode) {
    fs::create_directories(maker());
    mkdirsafe(maker() + "one");
    mkdirsafe(maker() + "one");
    mkdirsafe(maker() + "missing/two");
    EXPECT_TRUE(fs::is_directory(maker() + "one"));
    EXPECT_EQ(countLogLinesContaining(" Oppretter mappen " + maker() + "one"), 1);
    EXPECT_EQ(countLogLinesContaining(" FEIL: [mkdirsafe:183] kan ikke opprette mappen " + maker() + "one"),
              1);
    EXPECT_EQ(
        countLogLinesContaining(" FEIL: [mkdirsafe:3] kan ikke opprette mappen " + maker() + "missing/two"),
        1);
    EXPECT_EQ(logState().ErrorCount, 2);
}

const std::vector<std::string> kTree = {
    "archive",    "backup",     "data",       "data/tabulant", "data/vindra",
    "data/mosk",  "data/docs",  "data/lirra", "etc",           "export",
    "export/xml", "export/pdf", "export/csv", "export/html",   "export/html/varer",
    "import",     "images",     "spool",      "tmp",           "xml",
    "log",        "maler",      "maler/docs", "maler/mosk"};

TEST_F(FoldersTest, CreateFolderTreeTwice) {
    CreateFolderTree();
    FlushSettings();
    // The settings folder existed already; every other folder is made, in the table's order.
    std::vector<std::string> made;
    for (const auto& line : logLines()) {
        const auto at = line.find(" Oppretter mappen ");
        if (at != std::string::npos)
            made.push_back(line.substr(at + 18 + maker().size()));
    }
    std::vector<std::string> expected = kTree;
    expected.erase(std::find(expected.begin(), expected.end(), "etc"));
    EXPECT_EQ(made, expected);
    for (const auto& name : kTree)
        EXPECT_TRUE(fs::is_directory(maker() + name)) << name;
    const std::string bin = platform::folderOf(platform::sys().programPath());
    EXPECT_EQ(storedEntry("bin"), bin);
    EXPECT_EQ(storedEntry("doc"), platform::sys().fullPath(bin + "../doc") + "/");
    EXPECT_FALSE(fs::exists(storedEntry("doc")));
    EXPECT_EQ(storedEntry("export\\html\\varer"), maker() + "export/html/varer/");
    const auto entries = folderEntriesOnDisk();
    EXPECT_EQ(entries.size(), 26u);

    logState().LogLines.clear();
    logState().ErrorCount = 0;
    CreateFolderTree();
    FlushSettings();
    EXPECT_EQ(countLogLinesContaining(" FEIL: [mkdirsafe:183] kan ikke opprette mappen " + maker()), 24);
    EXPECT_EQ(countLogLinesContaining("Oppretter mappen"), 0);
    EXPECT_EQ(logState().ErrorCount, 24);
    EXPECT_EQ(folderEntriesOnDisk(), entries);
}

TEST_F(FoldersTest, ALogFolderOnAMissingDriveIsPutBackToTheDefault) {
    SelectSection("FOLDERS");
    WriteSettingString("log_folder", root_.file("no-such-drive/log/"));
    ResetSection();
    const std::string log = ResolveLogFolder();
    EXPECT_EQ(log, appdata() + "/Solvarek/log/");
    EXPECT_TRUE(fs::is_directory(log));
    EXPECT_FALSE(fs::exists(root_.file("no-such-drive")));
    EXPECT_EQ(storedEntry("log"), log);
}

TEST_F(FoldersTest, ALogFolderOutsideTheMakerFolderThatExistsIsKept) {
    fs::create_directories(root_.file("logs"));
    SelectSection("FOLDERS");
    WriteSettingString("log_folder", root_.file("logs"));
    ResetSection();
    EXPECT_EQ(ResolveLogFolder(), root_.file("logs/"));
    EXPECT_FALSE(fs::exists(maker() + "log"));
}

TEST_F(FoldersTest, ProgramFolderRecordsTheRunningProgramsFolder) {
    SelectSection("FOLDERS");
    WriteSettingString("bin_folder", "/somewhere/else/");
    ResetSection();
    const std::string bin = platform::folderOf(platform::sys().programPath());
    EXPECT_EQ(ProgramFolder(), bin);
    EXPECT_EQ(storedEntry("bin"), bin);
}

} // namespace
} // namespace spylerom::test
