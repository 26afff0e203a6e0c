// The fill on a real disk: a small ext4 image of the test's own, loop-mounted. Deleted files'
// contents are on the raw image before the fill and gone after it; kept files are untouched.
#include "fill/fill_engine.h"
#include "fill/recording_window.h"
#include "frame/textfil.h"
#include "platform/posix/posix_platform.h"
#include "support/as_user.h"
#include "support/env_guard.h"
#include "support/loop_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace spylerom::fill {
namespace {

using test::LoopImage;
using test::RecordingWindow;

const std::string kMarker = "DELETED-SECRET-7f3a9c-";

// Writes `count` files of about 1 MiB holding the marker over and over, and syncs them.
void writeMarkerFiles(const std::string& folder, int count) {
    std::string block;
    while (block.size() < (1u << 20))
        block += kMarker + std::to_string(block.size()) + "\n";
    for (int i = 0; i < count; ++i) {
        std::ofstream out(folder + "/old-" + std::to_string(i) + ".dat", std::ios::binary);
        out << block;
    }
    test::run("sync");
}

std::string keptContent() {
    std::string text;
    for (int i = 0; text.size() < 300000; ++i)
        text += "keep line " + std::to_string(i * 7919 % 100003) + "\n";
    return text;
}

class FillDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!LoopImage::available(&why))
            GTEST_SKIP() << why;
        image_ = std::make_unique<LoopImage>();
        ASSERT_TRUE(image_->ok()) << image_->error();
        env_.set("APPDATA", appData_.path());
        env_.set("SYSTEMDRIVE", "C:");
        platform_.mapDrive('T', image_->mountPoint());
        platform_.setRecordFolder(records_.path());
        platform::setPlatform(&platform_);
        frame::ResetLogState();
        frame::logState().LogEnabled = true;
        window_.drive = "T: [" + image_->mountPoint() + "]";
    }
    void TearDown() override {
        platform::setPlatform(nullptr);
        frame::ResetLogState();
    }

    int logCount(const std::string& needle) const {
        int n = 0;
        for (const auto& line : frame::logState().LogLines)
            n += line.find(needle) != std::string::npos;
        return n;
    }
    std::vector<std::string> leftoverTemporaryFiles() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(image_->mountPoint()))
            if (entry.path().filename().string().rfind("spylerom-", 0) == 0)
                found.push_back(entry.path().string());
        return found;
    }
    std::int64_t freeBytes() const {
        platform::DiskSpace space;
        platform::Error err;
        platform_.diskSpace(image_->mountPoint() + "/", space, err);
        return space.freeToCaller;
    }

    test::EnvGuard env_;
    test::TempDir appData_;
    test::TempDir records_;
    std::unique_ptr<LoopImage> image_;
    platform::PosixPlatform platform_;
    RecordingWindow window_;
    FillEngine engine_{window_};
};

class PatternTest : public FillDiskTest, public ::testing::WithParamInterface<int> {};

TEST_P(PatternTest, NoRemainsOfDeletedFilesAndKeptFileUnchanged) {
    const std::string mount = image_->mountPoint();
    // The kept file first: the deleted files' space is then one free stretch, which the fill
    // file holds in the few extents its inode has room for. A fill file whose extents need a
    // tree block of their own can leave that one block unwritten (see README).
    const std::string kept = keptContent();
    test::writeText(mount + "/kept.txt", kept);
    test::run("sync");
    writeMarkerFiles(mount, 40);
    ASSERT_GT(image_->countInImage(kMarker), 1000u) << "the markers must be on the image before the fill";
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(::unlink((mount + "/old-" + std::to_string(i) + ".dat").c_str()), 0);
    test::run("sync");
    const std::int64_t freeBefore = freeBytes();

    window_.fill = GetParam();
    window_.block = 7;
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_EQ(window_.passBars.back(), 100);
    EXPECT_TRUE(leftoverTemporaryFiles().empty());
    EXPECT_GE(freeBytes(), freeBefore - 64 * 1024) << "the space is given back";
    ASSERT_TRUE(image_->unmount());
    EXPECT_EQ(image_->countInImage(kMarker), 0u) << "a deleted file's content survived the fill";
    ASSERT_TRUE(image_->mount());
    EXPECT_EQ(test::readText(mount + "/kept.txt"), kept);
}

std::string patternName(const ::testing::TestParamInfo<int>& param) {
    static const char* const kNames[] = {"Null", "En", "Tilfeldig"};
    return kNames[param.param];
}

INSTANTIATE_TEST_SUITE_P(Fills, PatternTest, ::testing::Values(0, 1, 2), patternName);

TEST_F(FillDiskTest, RepetitionsShareTheTotalBar) {
    window_.repetitions = 3;
    window_.block = 7;
    engine_.TrackBar1Change(window_.repetitions);
    engine_.selectDrive(window_.driveChoice());

    // Collect the total bar per pass by watching which repetition is running.
    std::vector<std::vector<int>> perPass(3);
    std::size_t seen = 0;
    window_.onEvents = [&](int) {
        for (; seen < window_.totalBars.size(); ++seen)
            perPass[static_cast<std::size_t>(engine_.state().CurrentRepetition - 1)].push_back(
                window_.totalBars[seen]);
    };
    engine_.Spyleromen(window_.choices());

    EXPECT_EQ(logCount("START: "), 3);
    EXPECT_EQ(logCount("STOPP: "), 3);
    const std::pair<int, int> ranges[] = {{0, 33}, {33, 66}, {67, 100}};
    for (std::size_t pass = 0; pass < 3; ++pass) {
        ASSERT_FALSE(perPass[pass].empty()) << pass;
        for (const int value : perPass[pass]) {
            EXPECT_GE(value, ranges[pass].first) << "pass " << pass + 1;
            EXPECT_LE(value, ranges[pass].second) << "pass " << pass + 1;
        }
        EXPECT_EQ(perPass[pass].back(), ranges[pass].second) << "pass " << pass + 1 << " ends at its share";
    }
    EXPECT_TRUE(leftoverTemporaryFiles().empty());
}

TEST_F(FillDiskTest, StopInTheMiddleCleansUp) {
    // An image large enough that the first refresh comes long before it is full.
    image_ = std::make_unique<LoopImage>(LoopImage::Options{1024});
    ASSERT_TRUE(image_->ok()) << image_->error();
    platform_.mapDrive('T', image_->mountPoint());
    window_.drive = "T: [" + image_->mountPoint() + "]";
    const std::int64_t freeBefore = freeBytes();
    window_.block = 3;
    window_.onEvents = [&](int cycle) {
        if (cycle == 1)
            engine_.StoppKnappClick();
    };
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    EXPECT_EQ(logCount("Stopper fylling av disk"), 1);
    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_LT(window_.passBars.back(), 100);
    EXPECT_TRUE(leftoverTemporaryFiles().empty());
    EXPECT_GE(freeBytes(), freeBefore - 64 * 1024) << "the space is given back";
    EXPECT_FALSE(window_.waitNotice);
}

TEST_F(FillDiskTest, AVolumeUnmountedDuringThePassStopsItAndDeletesNothingElsewhere) {
    image_ = std::make_unique<LoopImage>(LoopImage::Options{1024}); // still being filled at the first refresh
    ASSERT_TRUE(image_->ok()) << image_->error();
    const std::string mount = image_->mountPoint();
    platform_.mapDrive('T', mount);
    window_.drive = "T: [" + mount + "]";
    bool unmounted = false;
    window_.onEvents = [&](int cycle) {
        if (cycle != 1)
            return;
        unmounted = test::run("umount -l '" + mount + "'") == 0;
        // What is now at the mount point is the disk underneath, with a file of the fill's name.
        test::writeText(mount + "/spylerom-1.tmp", "the user's own");
    };
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    ASSERT_TRUE(unmounted);
    EXPECT_EQ(logCount("FEIL: Stasjonen " + window_.drive + " er ikke lenger montert, fyllingen er stoppet"),
              1);
    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_EQ(engine_.troubledPasses(), 1);
    EXPECT_EQ(test::readText(mount + "/spylerom-1.tmp"), "the user's own")
        << "nothing deleted on another volume";
    ASSERT_EQ(::unlink((mount + "/spylerom-1.tmp").c_str()), 0);

    // The volume itself, mounted again: the fill's file went with the pass, the space is back.
    test::TempDir again;
    ASSERT_EQ(test::run("mount -o loop '" + image_->imagePath() + "' '" + again.path() + "'"), 0);
    EXPECT_FALSE(std::filesystem::exists(again.path() + "/spylerom-1.tmp"));
    platform::DiskSpace space;
    platform::Error err;
    ASSERT_TRUE(platform_.diskSpace(again.path() + "/", space, err));
    EXPECT_GT(space.freeToCaller, space.total * 9 / 10);
    EXPECT_EQ(test::run("umount '" + again.path() + "'"), 0);
}

// ext4's reserved clusters of the volume mounted at mountPoint, as the kernel shows them.
std::string reservedClustersAt(const std::string& mountPoint) {
    platform::MountFacts facts;
    if (!platform::mountOfFolder(mountPoint, facts))
        return {};
    std::ifstream in("/sys/fs/ext4/" + std::filesystem::path(facts.source).filename().string() +
                     "/reserved_clusters");
    std::string value;
    std::getline(in, value);
    return value;
}

// The drive's mount point detached during the pass while its volume stays mounted elsewhere (a
// bind mount): the pass stops, and the reserve it lifted goes back on its own volume, through
// the pinned folder, not by the mount point that now shows another disk.
TEST_F(FillDiskTest, TheLiftedReserveComesBackWhenTheMountPointIsDetachedDuringThePass) {
    image_ = std::make_unique<LoopImage>(LoopImage::Options{1024});
    ASSERT_TRUE(image_->ok()) << image_->error();
    const std::string mount = image_->mountPoint();
    test::TempDir elsewhere;
    ASSERT_EQ(test::run("mount --bind '" + mount + "' '" + elsewhere.path() + "'"), 0);
    const std::string before = reservedClustersAt(elsewhere.path());
    ASSERT_FALSE(before.empty());
    ASSERT_NE(before, "0");
    platform_.mapDrive('T', mount);
    window_.drive = "T: [" + mount + "]";
    std::string during;
    window_.onEvents = [&](int cycle) {
        if (cycle != 1)
            return;
        during = reservedClustersAt(elsewhere.path());
        test::run("umount -l '" + mount + "'");
    };
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    EXPECT_EQ(during, "0") << "lifted for the pass";
    EXPECT_EQ(logCount("FEIL: Stasjonen " + window_.drive + " er ikke lenger montert, fyllingen er stoppet"),
              1);
    EXPECT_EQ(reservedClustersAt(elsewhere.path()), before);
    EXPECT_FALSE(std::filesystem::exists(elsewhere.path() + "/spylerom-1.tmp")) << "its file went with it";
    EXPECT_EQ(test::run("umount '" + elsewhere.path() + "'"), 0);
}

TEST_F(FillDiskTest, ReadOnlyMountGivesTheTwoCreationLines) {
    ASSERT_TRUE(image_->unmount());
    ASSERT_TRUE(image_->mount(true));
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    EXPECT_EQ(logCount("FEIL: UNDER OPPRETTELSE AV FILEN " + image_->mountPoint() + "/spylerom-1.tmp"), 1);
    EXPECT_EQ(logCount("FEILNR: 19 Disketten er skriverbeskyttet"), 1);
    EXPECT_EQ(engine_.failedPasses(), 1);
}

TEST_F(FillDiskTest, NoFreeInodeGivesDiskFullWithItsText) {
    // Space left but no inode for a file: creation fails with ENOSPC (a full xfs does the same).
    image_ = std::make_unique<LoopImage>(LoopImage::Options{.mkfsOptions = "-N 16"});
    ASSERT_TRUE(image_->ok()) << image_->error();
    platform_.mapDrive('T', image_->mountPoint());
    window_.drive = "T: [" + image_->mountPoint() + "]";
    int made = 0;
    for (; made < 100000; ++made) {
        std::ofstream file(image_->mountPoint() + "/inode-" + std::to_string(made));
        if (!file)
            break;
    }
    ASSERT_LT(made, 100000) << "the inodes never ran out";
    ASSERT_GT(freeBytes(), 64 << 20) << "the blocks are free";
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    EXPECT_EQ(logCount("FEIL: UNDER OPPRETTELSE AV FILEN " + image_->mountPoint() + "/spylerom-1.tmp"), 1);
    EXPECT_EQ(logCount("FEILNR: 112 Det er ikke nok ledig plass på disken"), 1);
    EXPECT_EQ(engine_.failedPasses(), 1);
    EXPECT_TRUE(leftoverTemporaryFiles().empty());
}

TEST_F(FillDiskTest, UnwritableRootGivesAccessDenied) {
    // The user may pass through the test's folders, but not write into the drive's root.
    ASSERT_EQ(::chmod(std::filesystem::path(image_->mountPoint()).parent_path().c_str(), 0711), 0);
    ASSERT_EQ(::chmod(image_->mountPoint().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(appData_.path().c_str(), 0777), 0); // the user's own folders are the user's
    ASSERT_EQ(::chown(records_.path().c_str(), 65534, 65534), 0);
    {
        test::AsUser nobody(65534);
        ASSERT_TRUE(nobody.ok());
        engine_.selectDrive(window_.driveChoice());
        engine_.Spyleromen(window_.choices());
    }
    EXPECT_EQ(logCount("FEIL: UNDER OPPRETTELSE AV FILEN " + image_->mountPoint() + "/spylerom-1.tmp"), 1);
    EXPECT_EQ(logCount("FEILNR: 5 Ikke tilgang til fil/mappe"), 1);
    EXPECT_TRUE(leftoverTemporaryFiles().empty());
}

// Root acts on what a crash record says, so a pass keeps its record only where no other account
// can write: otherwise it makes nothing at all.
struct RecordFolderCase {
    const char* name;
    std::function<void(const std::string& folder)> spoil;
};

class RecordFolderTest : public FillDiskTest, public ::testing::WithParamInterface<RecordFolderCase> {};

TEST_P(RecordFolderTest, ThatAnotherAccountCouldWriteStopsThePassBeforeItMakesAnything) {
    if (geteuid() != 0)
        GTEST_SKIP() << "changing owners needs root";
    const std::string folder = records_.file("records");
    std::filesystem::create_directory(folder);
    GetParam().spoil(folder);
    platform_.setRecordFolder(folder + "/");
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
    EXPECT_EQ(logCount("FEIL: Kan ikke skrive " + folder + "/, ingen filer er laget"), 1) << logCount("FEIL");
    EXPECT_EQ(logCount("Oppretter "), 0);
    EXPECT_TRUE(leftoverTemporaryFiles().empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "no record written there";
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RecordFolderTest,
    ::testing::Values(
        RecordFolderCase{"OwnedByAnotherAccount",
                         [](const std::string& f) { ASSERT_EQ(::chown(f.c_str(), 65534, 65534), 0); }},
        RecordFolderCase{"WritableByOthers",
                         [](const std::string& f) { ASSERT_EQ(::chmod(f.c_str(), 0777), 0); }},
        RecordFolderCase{"WritableByItsGroup",
                         [](const std::string& f) { ASSERT_EQ(::chmod(f.c_str(), 0770), 0); }},
        RecordFolderCase{"AParentOthersMayWrite",
                         [](const std::string& f) {
                             ASSERT_EQ(::chmod(std::filesystem::path(f).parent_path().c_str(), 0777), 0);
                         }},
        RecordFolderCase{"ALink",
                         [](const std::string& f) {
                             std::filesystem::rename(f, f + ".real");
                             std::filesystem::create_directory_symlink(f + ".real", f);
                         }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(FillDiskTest, DriveThatIsGoneIsNotFilledThroughItsMountPoint) {
    // The drive's volume is gone; its mount point is now a plain folder of the root disk.
    ASSERT_TRUE(image_->unmount());
    platform_.mapDrive('T', "");
    window_.drive = "T: [" + image_->mountPoint() + "]";
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
    EXPECT_EQ(logCount("FEILNR: 3 Stasjonen eller mappen fins ikke"), 1);
    EXPECT_TRUE(leftoverTemporaryFiles().empty());
    ASSERT_TRUE(image_->mount());
}

} // namespace
} // namespace spylerom::fill
