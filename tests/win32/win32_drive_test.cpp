// Drives through Win32: the drive list's texts, free space, and fills through a drive letter
// that the test script maps to a loop-mounted image of its own. The raw image is searched
// afterwards: a wipe is proven by no marker left in it.
#include "cli/cli_run.h"
#include "frame/startup.h"
#include "frame/textfil.h"
#include "platform/win32/win32_platform.h"
#include "support/env_guard.h"
#include "support/loop_image.h"
#include "support/temp_dir.h"
#include "win32_test_env.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace spylerom::test {
namespace {

using platform::Drive;
using platform::DriveType;
using platform::Error;
using platform::sys;

struct ItemCase {
    const char* name;
    Drive drive;
    const char* text;
};

class Win32DriveItem : public ::testing::TestWithParam<ItemCase> {};

TEST_P(Win32DriveItem, Text) {
    EXPECT_EQ(platform::Win32Platform::driveItemText(GetParam().drive), GetParam().text);
}

Drive drive(char letter, DriveType type, const char* label, const char* remote = "") {
    Drive d;
    d.letter = letter;
    d.type = type;
    d.label = label;
    d.remotePath = remote;
    return d;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Win32DriveItem,
    ::testing::Values(ItemCase{"fixed", drive('C', DriveType::Fixed, "System"), "C: [SYSTEM]"},
                      ItemCase{"fixed_norwegian", drive('D', DriveType::Fixed, "Bjørn sin æ"),
                               "D: [BJØRN SIN Æ]"},
                      ItemCase{"fixed_no_label", drive('E', DriveType::Fixed, ""), "E: []"},
                      ItemCase{"cd", drive('F', DriveType::CdRom, "Install"), "F: [INSTALL]"},
                      ItemCase{"ram", drive('G', DriveType::RamDisk, "ram"), "G: [RAM]"},
                      ItemCase{"network", drive('H', DriveType::Remote, "share", "\\\\server\\Felles"),
                               "H: \\\\SERVER\\FELLES"},
                      ItemCase{"network_without_path", drive('I', DriveType::Remote, "Hjem"), "I: [HJEM]"},
                      ItemCase{"removable", drive('A', DriveType::Removable, "Stick"), "A:"},
                      ItemCase{"unknown", drive('J', DriveType::Unknown, "x"), "J:"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Win32Drives, TheSystemDriveIsListedWithItsRootAndSpace) {
    const auto drives = sys().drives();
    const auto c = std::find_if(drives.begin(), drives.end(), [](const Drive& d) { return d.letter == 'C'; });
    ASSERT_NE(c, drives.end());
    EXPECT_EQ(c->root, "C:\\");
    EXPECT_EQ(c->itemText.substr(0, 4), "C: [");
    EXPECT_EQ(sys().driveRoot('c'), "C:\\");
    EXPECT_EQ(sys().environment("SYSTEMDRIVE"), "C:");

    platform::DiskSpace space;
    Error err;
    ASSERT_TRUE(sys().diskSpace("C:\\", space, err)) << err.message;
    EXPECT_GT(space.total, 0);
    EXPECT_GE(space.freeToCaller, 0);
    EXPECT_LE(space.freeToCaller, space.total);

    EXPECT_EQ(sys().driveOfPath(sys().environment("TEMP")), 'C');
    EXPECT_TRUE(sys().sameVolume("C:\\windows", sys().environment("TEMP")));
}

TEST(Win32Drives, AMissingDriveHasNoRootAndNoSpace) {
    const DWORD mask = GetLogicalDrives();
    char missing = 0;
    for (char letter = 'Z'; letter >= 'D' && !missing; --letter)
        if (!(mask & (1u << (letter - 'A'))))
            missing = letter;
    ASSERT_NE(missing, 0);
    EXPECT_EQ(sys().driveRoot(missing), "");
    platform::DiskSpace space;
    Error err;
    EXPECT_FALSE(sys().diskSpace(std::string(1, missing) + ":\\", space, err));
    EXPECT_NE(err.code, platform::kErrorSuccess);
    EXPECT_EQ(space.total, -1);
    EXPECT_EQ(space.freeToCaller, -1);
}

// The fill, run by the command-line filler on the mapped drive, with its log in a folder of ours.
class Win32MappedDrive : public ::testing::Test {
protected:
    void SetUp() override {
        letter_ = mappedDrive();
        if (!letter_)
            GTEST_SKIP() << kNoMappedDrive;
        root_ = std::string(1, letter_) + ":\\";
        env_.set("APPDATA", appData_.path());
        frame::ResetFrameState(); // each run of the filler is a program start of its own
        // Logging on, as a user switches it on in the main settings file.
        Error err;
        ASSERT_TRUE(sys().createFolderTree(appData_.file("Solvarek\\etc"), err)) << err.message;
        writeText(appData_.file("Solvarek\\etc\\solvarek.ini"), "[STANDARD]\r\nLogToFile=1\r\n");
    }
    void TearDown() override {
        frame::ResetFrameState();
        // Whatever a failed test left on the shared drive goes, read-only or not.
        std::vector<platform::FolderEntry> entries;
        Error err;
        if (letter_ && sys().listFolder(root_, entries, err))
            for (const auto& entry : entries)
                if (!entry.isFolder) {
                    SetFileAttributesW(platform::widen(root_ + entry.name).c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(platform::widen(root_ + entry.name).c_str());
                }
    }

    // Runs spylerom-cli with the arguments; returns its exit status and its log file's text.
    int runCli(const std::vector<std::string>& args, std::string& log) {
        const std::string errPath = appData_.file("stderr.txt");
        std::FILE* out = _wfopen(platform::widen(errPath).c_str(), L"w+b");
        const int status = cli::runCli(args, out, out);
        std::fclose(out);
        frame::ResetLogState();
        std::vector<platform::FolderEntry> logs;
        Error err;
        const std::string logFolder = appData_.file("Solvarek\\log");
        log.clear();
        if (sys().listFolder(logFolder, logs, err))
            for (const auto& entry : logs)
                log += readText(logFolder + "\\" + entry.name);
        return status;
    }

    std::vector<std::string> leftovers() const {
        std::vector<platform::FolderEntry> entries;
        std::vector<std::string> names;
        Error err;
        sys().listFolder(root_, entries, err);
        for (const auto& entry : entries)
            if (entry.name.rfind("spylerom-", 0) == 0)
                names.push_back(entry.name);
        return names;
    }

    char letter_ = 0;
    std::string root_;
    TempDir appData_;
    EnvGuard env_;
};

TEST_F(Win32MappedDrive, IsListedAsAFixedDriveOnItsOwnVolume) {
    const auto drives = sys().drives();
    const auto mapped =
        std::find_if(drives.begin(), drives.end(), [&](const Drive& d) { return d.letter == letter_; });
    ASSERT_NE(mapped, drives.end());
    EXPECT_EQ(mapped->root, root_);
    // The script names the label Wine can read from its image (none for the ext4 stand-in).
    const char* label = std::getenv("SPYLEROM_WIN32_LABEL");
    EXPECT_EQ(mapped->itemText, root_.substr(0, 2) + " [" + (label ? label : "") + "]");
    EXPECT_EQ(sys().driveRoot(letter_), root_);
    EXPECT_EQ(sys().driveOfPath(root_ + "spylerom-1.tmp"), letter_);
    EXPECT_FALSE(sys().sameVolume(root_, "C:\\windows"));

    platform::DiskSpace space;
    Error err;
    ASSERT_TRUE(sys().diskSpace(root_, space, err)) << err.message;
    // The script's image is 64 MiB; its file system keeps a little for itself.
    EXPECT_GT(space.total, 48ll << 20);
    EXPECT_LE(space.total, 64ll << 20);
    EXPECT_GT(space.freeToCaller, 40ll << 20);
}

TEST_F(Win32MappedDrive, AFullDiskRefusesTheWriteWithCode112) {
    const std::string path = root_ + "spylerom-1.tmp";
    Error err;
    const platform::FolderHandle folder = sys().openFillFolder(root_, root_, err);
    ASSERT_NE(folder, platform::kInvalidFolder) << err.message;
    platform::FileIdentity id;
    const auto file = sys().createFillFile(folder, "spylerom-1.tmp", id, err);
    sys().closeFolder(folder);
    ASSERT_NE(file, platform::kInvalidFile) << err.message;
    const std::string block(1 << 20, '\x5A');
    Error writeError;
    std::size_t written = 0;
    int blocks = 0;
    while (sys().writeFile(file, block.data(), block.size(), written, writeError) && written > 0 &&
           blocks < 200)
        ++blocks;
    sys().closeFile(file, err);
    platform::DiskSpace full;
    sys().diskSpace(root_, full, err);
    EXPECT_TRUE(sys().deleteFile(path, err)) << err.message;

    EXPECT_GT(blocks, 30);
    EXPECT_LT(blocks, 200) << "the drive never said it was full";
    EXPECT_EQ(writeError.code, platform::kErrorDiskFull) << writeError.message;
    EXPECT_FALSE(writeError.message.empty());
    EXPECT_LT(full.freeToCaller, 1 << 20);
    platform::DiskSpace after;
    ASSERT_TRUE(sys().diskSpace(root_, after, err));
    EXPECT_GT(after.freeToCaller, 40ll << 20) << "the space came back";
}

TEST_F(Win32MappedDrive, AFillLeavesNoMarkerOfDeletedFiles) {
    const std::string image = mappedImage();
    ASSERT_FALSE(image.empty());
    const std::string marker = "SPYLEROM-WIN32-MARKER-";
    std::string content;
    while (content.size() < (512u << 10))
        content += marker + std::to_string(content.size()) + "\n";
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(writeDurable(root_ + "slettet-" + std::to_string(i) + ".txt", content));
    // The scan sees what reaches the image, or the test proves nothing.
    ASSERT_GT(LoopImage::countInFile(image, marker), 1000u);
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(DeleteFileW(platform::widen(root_ + "slettet-" + std::to_string(i) + ".txt").c_str()));

    std::string log;
    EXPECT_EQ(runCli({"--fill", "en", "--block-size", "65536", std::string(1, letter_) + ":"}, log), 0);

    EXPECT_EQ(LoopImage::countInFile(image, marker), 0u);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_NE(log.find("START: " + std::string(1, letter_) + ":"), std::string::npos) << log;
    EXPECT_NE(log.find("Oppretter " + root_ + "spylerom-1.tmp"), std::string::npos) << log;
    EXPECT_NE(log.find("STOPP: "), std::string::npos) << log;
    EXPECT_EQ(log.find("FEIL"), std::string::npos) << log;
}

TEST_F(Win32MappedDrive, AFileInTheWayIsNeverOpenedAndEndsThePassWithCode80) {
    const std::string path = root_ + "spylerom-1.tmp";
    ASSERT_TRUE(writeDurable(path, "ikke rør"));
    ASSERT_TRUE(SetFileAttributesW(platform::widen(path).c_str(), FILE_ATTRIBUTE_READONLY));

    std::string log;
    const int status = runCli({"--fill", "null", std::string(1, letter_)}, log);

    EXPECT_EQ(readText(path), "ikke rør");
    SetFileAttributesW(platform::widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(platform::widen(path).c_str());
    EXPECT_EQ(status, 1);
    EXPECT_NE(log.find("FEIL: UNDER OPPRETTELSE AV FILEN " + path), std::string::npos) << log;
    EXPECT_NE(log.find("FEILNR: 80 FINNES"), std::string::npos) << log;
    EXPECT_EQ(log.find("STOPP: "), std::string::npos) << log;
}

} // namespace
} // namespace spylerom::test
