// The temporary-file clean-up on real folder trees: what goes, what stays, and that links are
// never followed out of the folder being emptied.
#include "frame/cleanup.h"

#include "frame/folders.h"
#include "frame/frame_ui.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "frame_fixture.h"
#include "platform/posix/posix_platform.h"

#include <filesystem>
#include <memory>

namespace spylerom::test {
namespace {

using namespace spylerom::frame;
namespace fs = std::filesystem;

class CursorRecorder : public FrameUi {
public:
    void setWaitCursor(bool wait) override {
        depth_ += wait ? 1 : -1;
        ++calls_;
        waiting_ = wait;
    }
    int depth_ = 0, calls_ = 0;
    bool waiting_ = false;
};

// Refuses to delete files of one name, as a file in use would be.
class InUsePlatform : public platform::PosixPlatform {
public:
    bool deleteFile(const std::string& path, platform::Error& err) override {
        if (platform::fileNameOf(path) == "in-use.dat") {
            err = platform::Error{platform::kErrorSharingViolation, "in use"};
            return false;
        }
        return PosixPlatform::deleteFile(path, err);
    }
};

int entriesIn(const std::string& folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder))
        ++count;
    return count;
}

class CleanupTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        setFrameUi(&cursor_);
        logState().LogEnabled = true;
        OpenSettingsFile();
        outside_ = root_.file("outside");
        fs::create_directories(outside_ + "/keep");
        writeText(outside_ + "/precious.txt", "mine");
        writeText(outside_ + "/keep/also.txt", "mine too");
    }
    // A tree of the kinds a temporary folder may hold, links pointing outside included.
    void fillTree(const std::string& folder) {
        fs::create_directories(folder + "/a/b/c");
        writeText(folder + "/top.tmp", "x");
        writeText(folder + "/.hidden", "x");
        writeText(folder + "/readonly.tmp", "x");
        setMode(folder + "/readonly.tmp", 0444);
        writeText(folder + "/a/b/c/deep.tmp", "x");
        writeText(folder + "/a/b/readonly-deep.tmp", "x");
        setMode(folder + "/a/b/readonly-deep.tmp", 0444);
        fs::create_directory_symlink(outside_, folder + "/link-to-folder");
        fs::create_symlink(outside_ + "/precious.txt", folder + "/a/link-to-file");
        fs::create_symlink(root_.file("nowhere"), folder + "/dangling");
    }
    void expectOutsideUntouched() {
        EXPECT_EQ(readText(outside_ + "/precious.txt"), "mine");
        EXPECT_EQ(readText(outside_ + "/keep/also.txt"), "mine too");
        EXPECT_EQ(entriesIn(outside_), 2);
    }
    // A folder whose path does not name a temporary folder (unlike anything under /tmp): in
    // the first writable place whose path has no "TMP" in it.
    std::string plainFolder(const std::string& name) {
        if (!plain_) {
            for (const std::string& base :
                 {platform::folderOf(platform::sys().programPath()), std::string("/dev/shm/"),
                  platform::sys().environment("HOME") + "/"}) {
                if (base.size() < 2 || platform::sys().toUpper(base).find("TMP") != std::string::npos ||
                    !fs::is_directory(base))
                    continue;
                env_.set("TMPDIR", base);
                try {
                    plain_ = std::make_unique<TempDir>();
                    break;
                } catch (const std::exception&) {
                    continue; // not writable
                }
            }
        }
        if (!plain_)
            return {};
        return plain_->file(name);
    }
    CursorRecorder cursor_;
    std::string outside_;
    std::unique_ptr<TempDir> plain_;
};

TEST_F(CleanupTest, TheMakersTmpFolderIsEmptiedAndLinksAreRemovedAsLinks) {
    const std::string tmp = maker() + "tmp";
    fillTree(tmp);
    CleanTemporaryFiles(false);
    EXPECT_TRUE(fs::is_directory(tmp));
    EXPECT_EQ(entriesIn(tmp), 0);
    expectOutsideUntouched();
    EXPECT_EQ(countLogLinesContaining("FEIL"), 0);
    // Without detail logging only the heading line is written.
    ASSERT_EQ(logLines().size(), 1u);
    EXPECT_TRUE(logLines()[0].ends_with(" Sletter midlertidige filer opprettet av Solvarek programmer"));
    EXPECT_GT(cursor_.calls_, 0);
    EXPECT_EQ(cursor_.depth_, 0);
    EXPECT_FALSE(cursor_.waiting_);
}

TEST_F(CleanupTest, VerboseCleanUpNamesEveryFolderAndFile) {
    logState().Verbose = true;
    const std::string tmp = maker() + "tmp/";
    fs::create_directories(tmp + "sub");
    writeText(tmp + "sub/f.tmp", "x");
    writeText(tmp + "g.tmp", "x");
    EmptyFolder(tmp);
    EXPECT_EQ(countLogLinesContaining(" Sletter mappen " + tmp), 2);
    EXPECT_EQ(countLogLinesContaining(" Sletter mappen " + tmp + "sub/"), 1);
    EXPECT_EQ(countLogLinesContaining(" Sletter " + tmp + "sub/f.tmp"), 1);
    EXPECT_EQ(countLogLinesContaining(" Sletter " + tmp + "g.tmp"), 1);
    EXPECT_EQ(entriesIn(tmp), 0);
}

TEST_F(CleanupTest, FilesThatCannotBeDeletedStayAndAreReported) {
    InUsePlatform inUse;
    platform::setPlatform(&inUse);
    const std::string tmp = maker() + "tmp/";
    fs::create_directories(tmp + "busy");
    fs::create_directories(tmp + "free");
    writeText(tmp + "busy/in-use.dat", "x");
    writeText(tmp + "busy/other.dat", "x");
    writeText(tmp + "free/x.dat", "x");
    EmptyFolder(tmp);
    EXPECT_TRUE(exists(tmp + "busy/in-use.dat"));
    EXPECT_FALSE(exists(tmp + "busy/other.dat"));
    EXPECT_FALSE(exists(tmp + "free"));
    EXPECT_EQ(countLogLinesContaining(" FEIL: kan ikke slette filen " + tmp + "busy/in-use.dat"), 1);
    EXPECT_EQ(countLogLinesContaining(" FEIL: kan ikke slette mappen " + tmp + "busy/"), 1);
    EXPECT_EQ(logState().ErrorCount, 2);
}

struct GuardCase {
    const char* title;
    const char* target; // relative to the working folder
    bool emptied;
};

class EmptyFolderGuardTest : public CleanupTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(EmptyFolderGuardTest, LengthAndExistence) {
    const std::string folder = work() + "/" + GetParam().target;
    fs::create_directories(folder);
    writeText(folder + "/f.tmp", "x");
    EmptyFolder(GetParam().target);
    EXPECT_EQ(!exists(folder + "/f.tmp"), GetParam().emptied);
    EXPECT_TRUE(fs::is_directory(folder));
}

// "abcd/x/" has seven characters and is emptied; "abc/x/" has six and is not.
INSTANTIATE_TEST_SUITE_P(Cases, EmptyFolderGuardTest,
                         ::testing::Values(GuardCase{"SevenCharacters", "abcd/x", true},
                                           GuardCase{"SevenWithSeparator", "abcd/x/", true},
                                           GuardCase{"SixCharacters", "abc/x", false},
                                           GuardCase{"SixCharactersNonAscii", "øb/xy", false}),
                         [](const auto& p) { return std::string(p.param.title); });

TEST_F(CleanupTest, EmptyFolderOfAFileOrAMissingFolderDoesNothing) {
    writeText(root_.file("a-file.tmp"), "x");
    EmptyFolder(root_.file("a-file.tmp"));
    EmptyFolder(root_.file("missing-folder"));
    EXPECT_TRUE(exists(root_.file("a-file.tmp")));
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(cursor_.calls_, 0);
}

TEST_F(CleanupTest, ATmpEntryWithoutTheWordTmpIsNeverEmptied) {
    const std::string scratch = plainFolder("Scratch");
    if (scratch.empty())
        GTEST_SKIP() << "no writable folder whose path lacks the word TMP";
    fillTree(scratch);
    SelectSection("FOLDERS");
    WriteSettingString("tmp_folder", scratch + "/");
    ResetSection();
    CleanTemporaryFiles(true);
    EXPECT_EQ(entriesIn(scratch), 6);
    expectOutsideUntouched();
}

TEST_F(CleanupTest, TheWordIsFoundWhateverItsCase) {
    const std::string scratch = plainFolder("scratch_tMp");
    if (scratch.empty())
        GTEST_SKIP() << "no writable folder whose path lacks the word TMP";
    fillTree(scratch);
    SelectSection("FOLDERS");
    WriteSettingString("tmp_folder", scratch);
    ResetSection();
    CleanTemporaryFiles(false);
    EXPECT_EQ(entriesIn(scratch), 0);
    expectOutsideUntouched();
}

class SystemCleanupTest : public CleanupTest {
protected:
    void SetUp() override {
        CleanupTest::SetUp();
        platform::setPlatform(&machine_);
    }
    void useSpool(const std::string& folder) {
        platform::MachineSources sources = platform::systemMachineSources();
        sources.spoolFolder = [folder] { return folder; };
        machine_.setMachineSources(sources);
    }
    platform::PosixPlatform machine_;
};

TEST_F(SystemCleanupTest, TempWindowsTempAndSpoolFoldersAreEmptied) {
    const std::string temp = root_.file("systemp"), windir = root_.file("win"), spool = root_.file("spool");
    fillTree(temp);
    fs::create_directories(windir + "/temp");
    writeText(windir + "/temp/w.tmp", "x");
    writeText(windir + "/keep.ini", "x");
    fs::create_directories(spool + "/job");
    writeText(spool + "/job/d001", "x");
    env_.set("TEMP", temp + "/"); // a final separator gives two, which name the same folder
    env_.set("WINDIR", windir);
    useSpool(spool);
    CleanTemporaryFiles(true);
    EXPECT_EQ(entriesIn(temp), 0);
    EXPECT_EQ(entriesIn(windir + "/temp"), 0);
    EXPECT_TRUE(exists(windir + "/keep.ini"));
    EXPECT_EQ(entriesIn(spool), 0);
    expectOutsideUntouched();
    EXPECT_EQ(countLogLinesContaining(" Sletter midlertidige filer i Windows"), 1);
    EXPECT_EQ(countLogLinesContaining(" Sletter skriverkøer"), 1);
    EXPECT_EQ(countLogLinesContaining("FEIL"), 0);
}

TEST_F(SystemCleanupTest, TheWindowsTempFolderFollowsTheUsersTempGuard) {
    const std::string scratch = root_.file("scratch"), windir = root_.file("win");
    fs::create_directories(scratch);
    writeText(scratch + "/f", "x");
    fs::create_directories(windir + "/temp");
    writeText(windir + "/temp/w.tmp", "x");
    env_.set("TEMP", scratch);
    env_.set("WINDIR", windir);
    useSpool(root_.file("printers")); // no "SPOOL" in it
    fs::create_directories(root_.file("printers"));
    writeText(root_.file("printers/p"), "x");
    CleanTemporaryFiles(true);
    EXPECT_TRUE(exists(scratch + "/f"));
    EXPECT_TRUE(exists(windir + "/temp/w.tmp"));
    EXPECT_TRUE(exists(root_.file("printers/p")));
    EXPECT_EQ(countLogLinesContaining("i Windows"), 0);
    EXPECT_EQ(countLogLinesContaining("skriverkøer"), 0);
}

TEST_F(SystemCleanupTest, SystemFoldersAreLeftAloneUnlessAskedFor) {
    const std::string temp = root_.file("systemp");
    fs::create_directories(temp);
    writeText(temp + "/f", "x");
    env_.set("TEMP", temp);
    CleanTemporaryFiles(false);
    EXPECT_TRUE(exists(temp + "/f"));
}

} // namespace
} // namespace spylerom::test
