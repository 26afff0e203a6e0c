// The fill on the file systems users bring: ext4, xfs, btrfs, NTFS (ntfs-3g) and exFAT
// (exfat-fuse), each on an image of the test's own. Deleted files' contents are on the raw image
// before a pass and gone after it, wherever the file system kept them (free blocks, the xfs
// reserve pool, an ext4 tree block, an NTFS file record, a btrfs tree leaf); kept files stay byte
// for byte.
#include "fill/fill_engine.h"
#include "fill/fill_record.h"
#include "fill/record_fill.h"
#include "fill/recording_window.h"
#include "frame/textfil.h"
#include "platform/posix/posix_platform.h"
#include "support/as_user.h"
#include "support/env_guard.h"
#include "support/loop_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/ioctl.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <xfs/xfs.h>

namespace spylerom::fill {
namespace {

using test::LoopImage;
using test::RecordingWindow;

const std::string kMarker = "DELETED-SECRET-51c8e2-";

// `count` files of `bytes` bytes holding the marker over and over, synced.
// `prefix` + i + ".dat", i = 0..count-1.
void writeMarkerFiles(const std::string& prefix, int count, std::size_t bytes = 1u << 20) {
    std::string block;
    while (block.size() < bytes)
        block += kMarker + std::to_string(block.size()) + "\n";
    block.resize(bytes);
    for (int i = 0; i < count; ++i)
        test::writeText(prefix + std::to_string(i) + ".dat", block);
}

std::int64_t freeBytes(const std::string& folder) {
    struct statvfs st {};
    return statvfs(folder.c_str(), &st) == 0
               ? static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize)
               : -1;
}

// Marker files of 1 MiB until less than `leaveMiB` is free (or a file no longer fits, where
// the free count is an estimate, as on btrfs); returns how many were written whole.
int writeMarkersUntilNearlyFull(const std::string& folder, std::int64_t leaveMiB) {
    int count = 0;
    try {
        for (; freeBytes(folder) > (leaveMiB + 1) << 20; ++count)
            writeMarkerFiles(folder + "/old-" + std::to_string(count) + "-", 1);
    } catch (const std::runtime_error&) {
        std::filesystem::remove(folder + "/old-" + std::to_string(count) + "-0.dat");
    }
    test::run("sync");
    return count;
}

void deleteMarkerFiles(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(::unlink((folder + "/old-" + std::to_string(i) + "-0.dat").c_str()), 0) << i;
    test::run("sync");
}

std::string keptContent(int seed = 0) {
    std::string text;
    for (int i = 0; text.size() < 300000; ++i)
        text += "keep " + std::to_string(seed) + " line " + std::to_string(i * 7919 % 100003) + "\n";
    return text;
}

// The UTF-16LE form of an ASCII text, as NTFS keeps file names.
std::string utf16(const std::string& ascii) {
    std::string wide;
    for (const char c : ascii) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

// The xfs reserve pool of the volume mounted at mountPoint, in blocks; -1 when unreadable.
long long xfsPool(const std::string& mountPoint) {
    const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return -1;
    xfs_fsop_resblks_t pool{};
    const int rc = ioctl(fd, XFS_IOC_GET_RESBLKS, &pool);
    ::close(fd);
    return rc == 0 ? static_cast<long long>(pool.resblks) : -1;
}

bool setXfsPool(const std::string& mountPoint, std::uint64_t blocks) {
    const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    xfs_fsop_resblks_t pool{};
    pool.resblks = blocks;
    const int rc = ioctl(fd, XFS_IOC_SET_RESBLKS, &pool);
    ::close(fd);
    return rc == 0;
}

// A mount's root folder, pinned as a pass pins its folder.
class PinnedRoot {
public:
    PinnedRoot(platform::Platform& p, const std::string& mountPoint) : p_(p) {
        platform::Error err;
        handle_ = p_.openFillFolder(mountPoint + "/", "", err);
        EXPECT_NE(handle_, platform::kInvalidFolder) << err.message;
    }
    ~PinnedRoot() { p_.closeFolder(handle_); }
    PinnedRoot(const PinnedRoot&) = delete;
    PinnedRoot& operator=(const PinnedRoot&) = delete;
    platform::FolderHandle get() const { return handle_; }

private:
    platform::Platform& p_;
    platform::FolderHandle handle_ = platform::kInvalidFolder;
};

struct Volume {
    std::string fsType;
    std::uint64_t sizeMiB;
    std::string mkfsOptions = {};
};

// The real platform, with a relocation of btrfs metadata that can be made to fail as it does
// without the right or the room.
class FillPlatform : public platform::PosixPlatform {
public:
    platform::ErrorCode relocationRefusal = 0; // 0: the kernel's own answer
    int relocations = 0;
    bool refuseRelocationRecord = false; // a crash record that names a relocation cannot be saved
    std::string undeletableStepFile;     // a small-file step's file that cannot be deleted

    bool relocateMetadata(platform::FolderHandle folder, platform::Error& err) override {
        ++relocations;
        if (relocationRefusal == 0)
            return PosixPlatform::relocateMetadata(folder, err);
        err.code = relocationRefusal;
        err.message = "refused by the test";
        return false;
    }
    bool replaceFile(const std::string& path, std::string_view bytes, platform::Error& err) override {
        if (refuseRelocationRecord && bytes.find("step=relocation\n") != std::string_view::npos) {
            err = platform::errorFromErrno(EACCES);
            return false;
        }
        return PosixPlatform::replaceFile(path, bytes, err);
    }
    bool deleteFillFile(platform::FolderHandle folder, const std::string& name,
                        platform::Error& err) override {
        if (!undeletableStepFile.empty() && name == undeletableStepFile) {
            err = platform::errorFromErrno(EACCES);
            return false;
        }
        return PosixPlatform::deleteFillFile(folder, name, err);
    }
};

class FilesystemFill : public ::testing::Test {
protected:
    // Mounts a fresh image as drive T:; false (with a skip) where the machine cannot make it.
    void start(const Volume& volume) {
        std::string why;
        if (!LoopImage::canMake(volume.fsType, &why))
            GTEST_SKIP() << why;
        LoopImage::Options options{volume.sizeMiB, volume.fsType};
        options.mkfsOptions = volume.mkfsOptions;
        image_ = std::make_unique<LoopImage>(options);
        ASSERT_TRUE(image_->ok()) << volume.fsType << ": " << image_->error();
        env_.set("APPDATA", appData_.path());
        env_.set("SYSTEMDRIVE", "C:");
        platform_.mapDrive('T', image_->mountPoint() + "/");
        platform_.setRecordFolder(records_.path());
        platform::setPlatform(&platform_);
        frame::ResetLogState();
        frame::logState().LogEnabled = true;
        window_.drive = "T: [" + image_->mountPoint() + "]";
        window_.fill = 0; // "Null"
        window_.block = 7;
    }
    void TearDown() override {
        platform::setPlatform(nullptr);
        frame::ResetLogState();
    }

    // Trim off unless a test is about it: a loop device's discard punches the freed space out of
    // the image, which would hide what the fill itself left.
    RunReport runPass(bool trim = false) {
        engine_.selectDrive(window_.driveChoice());
        FillChoices choices = window_.choices();
        choices.trim = trim;
        return engine_.Spyleromen(choices);
    }
    int logCount(const std::string& needle) const {
        int n = 0;
        for (const auto& line : frame::logState().LogLines)
            n += line.find(needle) != std::string::npos;
        return n;
    }
    std::string logLineWith(const std::string& needle) const {
        for (const auto& line : frame::logState().LogLines)
            if (line.find(needle) != std::string::npos)
                return line;
        return {};
    }
    std::string logText() const {
        std::string text;
        for (const auto& line : frame::logState().LogLines)
            text += line + "\n";
        return text;
    }
    std::vector<std::string> leftovers() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(image_->mountPoint()))
            if (entry.path().filename().string().rfind("spylerom-", 0) == 0)
                found.push_back(entry.path().string());
        return found;
    }
    std::string mount() const { return image_->mountPoint(); }

    test::EnvGuard env_;
    test::TempDir appData_;
    test::TempDir records_;
    std::unique_ptr<LoopImage> image_;
    FillPlatform platform_;
    RecordingWindow window_;
    FillEngine engine_{window_};
};

class EveryFilesystem : public FilesystemFill, public ::testing::WithParamInterface<Volume> {};

TEST_P(EveryFilesystem, NoMarkerLeftAndKeptFileUnchanged) {
    start(GetParam());
    if (IsSkipped() || HasFatalFailure())
        return;
    const std::string kept = keptContent();
    test::writeText(mount() + "/kept.txt", kept);
    // Deleted data nearly everywhere: what a file system holds back from a fill (the xfs pool)
    // is then sure to hold some of it.
    const int markers = writeMarkersUntilNearlyFull(mount(), 8);
    ASSERT_GT(markers, 50);
    ASSERT_GT(image_->countInImage(kMarker), 1000u) << "the markers must be on the image before the fill";
    deleteMarkerFiles(mount(), markers);

    runPass();

    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    EXPECT_TRUE(leftovers().empty());
    ASSERT_TRUE(image_->unmount()) << image_->error();
    EXPECT_EQ(image_->countInImage(kMarker), 0u)
        << GetParam().fsType << ": a deleted file's content survived";
    ASSERT_TRUE(image_->mount()) << image_->error();
    EXPECT_EQ(test::readText(mount() + "/kept.txt"), kept);
}

std::string volumeName(const ::testing::TestParamInfo<Volume>& param) {
    return param.param.fsType;
}

// xfs takes 300 MiB at least; the others are kept small so each case runs in seconds.
INSTANTIATE_TEST_SUITE_P(Volumes, EveryFilesystem,
                         ::testing::Values(Volume{"ext4", 160}, Volume{"xfs", 320}, Volume{"btrfs", 256},
                                           Volume{"ntfs", 160}, Volume{"exfat", 160}),
                         volumeName);

TEST_F(FilesystemFill, Ext4FreeSpaceScatteredBetweenKeptFiles) {
    start({"ext4", 160});
    if (IsSkipped() || HasFatalFailure())
        return;
    // Markers and kept files in turn: once the markers are gone the free space is thousands of
    // holes, and the fill file needs more extents than its inode holds, so ext4 gives it tree
    // blocks of its own, taken from the holes and freed with the file.
    int pairs = 0;
    for (; freeBytes(mount()) > 8 << 20; ++pairs) {
        writeMarkerFiles(mount() + "/old-" + std::to_string(pairs) + "-", 1, 64 * 1024);
        test::writeText(mount() + "/kept-" + std::to_string(pairs) + ".txt",
                        "kept file " + std::to_string(pairs) +
                            std::string(4000, static_cast<char>('a' + pairs % 26)));
    }
    test::run("sync");
    ASSERT_GT(pairs, 1000);
    deleteMarkerFiles(mount(), pairs);

    runPass();

    EXPECT_EQ(logCount("STOPP: "), 1);
    ASSERT_TRUE(image_->unmount());
    EXPECT_EQ(image_->countInImage(kMarker), 0u) << "a tree block kept what a deleted file held";
    ASSERT_TRUE(image_->mount());
    for (int i = 0; i < pairs; ++i)
        ASSERT_EQ(test::readText(mount() + "/kept-" + std::to_string(i) + ".txt"),
                  "kept file " + std::to_string(i) + std::string(4000, static_cast<char>('a' + i % 26)))
            << i;
}

TEST_F(FilesystemFill, NtfsSmallFilesLeaveNeitherContentNorName) {
    start({"ntfs", 160});
    if (IsSkipped() || HasFatalFailure())
        return;
    // Notes of 200 bytes: NTFS keeps each one's data and name inside its file record.
    constexpr int kNotes = 2000;
    const std::string folder = mount() + "/notater";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    for (int i = 0; i < kNotes; ++i) {
        std::string note = "NOTE-SECRET-" + std::to_string(i) + "-";
        note.resize(200, 'n');
        test::writeText(folder + "/hemmelig-notat-" + std::to_string(i) + ".txt", note);
    }
    test::run("sync");
    ASSERT_GE(image_->countInImage("NOTE-SECRET-"), static_cast<std::uint64_t>(kNotes));
    ASSERT_GE(image_->countInImage(utf16("hemmelig-notat-")), static_cast<std::uint64_t>(kNotes));
    std::filesystem::remove_all(folder);
    test::run("sync");

    runPass();

    EXPECT_EQ(logCount("Fyller ledige filposter på T: [" + mount() + "]"), 1);
    const std::string filled = logLineWith(" filposter fylt");
    EXPECT_FALSE(filled.empty());
    if (!filled.empty()) {
        const auto end = filled.find(" filposter fylt");
        EXPECT_GE(std::stoll(filled.substr(filled.rfind(' ', end - 1) + 1)), kNotes);
    }
    EXPECT_EQ(logCount("FEIL"), 0) << logLineWith("FEIL");
    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_TRUE(leftovers().empty()) << "the record files and their folder go with the big files";
    ASSERT_TRUE(image_->unmount());
    EXPECT_EQ(image_->countInImage("NOTE-SECRET-"), 0u) << "a small file's data survived in its record";
    EXPECT_EQ(image_->countInImage(utf16("hemmelig-notat-")), 0u) << "a small file's name survived";
}

TEST_F(FilesystemFill, StopDuringTheRecordStepRemovesItsFiles) {
    start({"ntfs", 128});
    if (IsSkipped() || HasFatalFailure())
        return;
    for (int i = 0; i < 1000; ++i)
        test::writeText(mount() + "/n" + std::to_string(i), std::string(100, 'x'));
    for (int i = 0; i < 1000; ++i)
        std::filesystem::remove(mount() + "/n" + std::to_string(i));
    bool stopped = false;
    window_.onEvents = [&](int) {
        if (!stopped && logCount("Fyller ledige filposter") == 1) {
            stopped = true;
            engine_.StoppKnappClick();
        }
    };
    runPass();

    EXPECT_TRUE(stopped) << "the record step serves the window while it works";
    const std::string filled = logLineWith(" filposter fylt");
    ASSERT_FALSE(filled.empty());
    EXPECT_LT(std::stoll(filled.substr(filled.rfind(' ', filled.find(" filposter fylt") - 1) + 1)), 1000);
    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_TRUE(leftovers().empty()) << "the record files go even when the step was stopped";
}

TEST_F(FilesystemFill, RecordStepTakesFreedRecordsAndRemovesItsFiles) {
    start({"ntfs", 128});
    if (IsSkipped() || HasFatalFailure())
        return;
    for (int i = 0; i < 300; ++i)
        test::writeText(mount() + "/n" + std::to_string(i), std::string(100, 'x'));
    for (int i = 0; i < 300; ++i)
        std::filesystem::remove(mount() + "/n" + std::to_string(i));
    const std::vector<std::uint8_t> pattern(kRecordFileBytes, 0xFF);
    const PinnedRoot root(platform_, mount());

    const RecordFillResult result =
        TakeFreeFileRecords(root.get(), mount() + "/", "mark", pattern.data(), pattern.size(), nullptr);
    EXPECT_FALSE(result.skipped);
    EXPECT_TRUE(result.tookAll);
    EXPECT_EQ(result.error.code, 0u) << result.error.message;
    EXPECT_GE(result.files, 300);
    EXPECT_LT(result.files, 300 + 200) << "it ends soon after the table begins to grow";
    EXPECT_EQ(std::filesystem::file_size(mount() + "/spylerom-poster/1.tmp"), kRecordFileBytes);

    platform::Error err;
    EXPECT_EQ(RemoveRecordFiles(root.get(), result.files, err), 0);
    EXPECT_EQ(err.code, 0u) << err.message;
    EXPECT_FALSE(std::filesystem::exists(mount() + "/spylerom-poster"));
}

TEST_F(FilesystemFill, RecordStepStopsWhenAskedAndLeavesAForeignFolderAlone) {
    start({"ntfs", 128});
    if (IsSkipped() || HasFatalFailure())
        return;
    for (int i = 0; i < 300; ++i)
        test::writeText(mount() + "/n" + std::to_string(i), std::string(100, 'x'));
    for (int i = 0; i < 300; ++i)
        std::filesystem::remove(mount() + "/n" + std::to_string(i));
    const std::vector<std::uint8_t> pattern(kRecordFileBytes, 0);
    const PinnedRoot root(platform_, mount());
    int asked = 0;
    const RecordFillResult stopped = TakeFreeFileRecords(root.get(), mount() + "/", "mark", pattern.data(),
                                                         pattern.size(), [&] { return ++asked > 10; });
    EXPECT_EQ(stopped.files, 10);
    EXPECT_FALSE(stopped.tookAll);
    platform::Error err;
    EXPECT_EQ(RemoveRecordFiles(root.get(), stopped.files, err), 0);

    // A folder of that name that the step did not make is not filled.
    ASSERT_TRUE(std::filesystem::create_directory(mount() + "/spylerom-poster"));
    test::writeText(mount() + "/spylerom-poster/1.tmp", "user's own");
    const RecordFillResult refused =
        TakeFreeFileRecords(root.get(), mount() + "/", "mark", pattern.data(), pattern.size(), nullptr);
    EXPECT_EQ(refused.files, 0);
    EXPECT_EQ(refused.error.code, platform::kErrorAlreadyExists);
    EXPECT_EQ(test::readText(mount() + "/spylerom-poster/1.tmp"), "user's own");
}

// A run killed in the file-record step on NTFS, where ntfs-3g shows every file as everyone's:
// the mark on the step's folder and on each fill file is what proves them the run's own, a
// planned file that carries the mark goes too, and a file of the user's that took a fill file's
// name and number (NTFS reuses its file numbers) stays.
TEST_F(FilesystemFill, AKilledRunOnNtfsIsUndoneByItsMarks) {
    start({"ntfs", 128});
    if (IsSkipped() || HasFatalFailure())
        return;
    const PinnedRoot root(platform_, mount());
    FillRecord record;
    platform::FileIdentity rootId;
    ASSERT_TRUE(platform_.folderIdentity(root.get(), rootId));
    record.setPlace(mount() + "/", rootId.volume, "");
    record.planFile("spylerom-1.tmp");
    record.planFile("spylerom-2.tmp");
    record.planStepFolder();
    platform::Error err;
    ASSERT_TRUE(record.save(err)) << err.message;

    // The planned file, made and marked, killed before it was identified.
    platform::FileIdentity made;
    const platform::FileHandle first = platform_.createFillFile(root.get(), "spylerom-1.tmp", made, err);
    ASSERT_NE(first, platform::kInvalidFile) << err.message;
    ASSERT_TRUE(platform_.setMark(first, record.mark(), err)) << "ntfs-3g keeps marks as named streams";
    ASSERT_TRUE(platform_.closeFile(first, err));
    // A user's file at the other name, with the number the run recorded for it.
    test::writeText(mount() + "/spylerom-2.tmp", "the user's own");
    platform::FileIdentity users;
    ASSERT_TRUE(platform_.identifyFile(root.get(), "spylerom-2.tmp", users));
    record.identify("spylerom-2.tmp", users, true);
    // The step's small files in its marked folder.
    const std::vector<std::uint8_t> pattern(kRecordFileBytes, 0xFF);
    int asked = 0;
    const RecordFillResult step =
        TakeFreeFileRecords(root.get(), mount() + "/", record.mark(), pattern.data(), pattern.size(),
                            [&] { return ++asked > 25; });
    ASSERT_EQ(step.files, 25);
    ASSERT_TRUE(record.save(err));

    const auto recovered = RecoverAbandonedFills();
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].filesDeleted, 1 + 25);
    EXPECT_FALSE(std::filesystem::exists(mount() + "/spylerom-1.tmp"));
    EXPECT_FALSE(std::filesystem::exists(mount() + "/spylerom-poster"));
    EXPECT_EQ(test::readText(mount() + "/spylerom-2.tmp"), "the user's own");
    EXPECT_EQ(recovered[0].filesKept, std::vector<std::string>{mount() + "/spylerom-2.tmp"});
    EXPECT_TRUE(recovered[0].complete);
}

TEST_F(FilesystemFill, RecordStepIsSkippedWhereRecordsHoldNoData) {
    start({"ext4", 64});
    if (IsSkipped() || HasFatalFailure())
        return;
    const std::vector<std::uint8_t> pattern(kRecordFileBytes, 0);
    const PinnedRoot root(platform_, mount());
    const RecordFillResult result =
        TakeFreeFileRecords(root.get(), mount() + "/", "mark", pattern.data(), pattern.size(), nullptr);
    EXPECT_TRUE(result.skipped);
    EXPECT_EQ(result.files, 0);
    EXPECT_FALSE(std::filesystem::exists(mount() + "/spylerom-poster"));
    runPass();
    EXPECT_EQ(logCount("filposter"), 0);
}

// btrfs keeps a file below max_inline inside a tree leaf, and every name; a leaf it no longer
// uses is free space inside a metadata block group, where no data write reaches. The pass moves
// the metadata groups before its fill (the old ones fall to the fill), or, where it may not or
// cannot move them all, fills their free space with small files after the deletes.
const std::string kNameMarker = "NAME-SECRET-7d1f-";

struct MetadataCase {
    const char* name;
    platform::ErrorCode refusal; // what the relocation answers; 0: the kernel moves the groups
    const char* hint;            // the head of the HINT lines; empty: none
    int hints;
};

class BtrfsMetadata : public FilesystemFill, public ::testing::WithParamInterface<MetadataCase> {
protected:
    // 2000 small files with the marker and 1000 empty ones named by the other, in a folder
    // that stays with a kept file; all synced, then deleted and synced.
    void leaveDeletedSmallFiles() {
        ASSERT_TRUE(std::filesystem::create_directory(mount() + "/notater"));
        ASSERT_TRUE(std::filesystem::create_directory(mount() + "/arkiv"));
        writeMarkerFiles(mount() + "/notater/n-", 2000, 1500);
        for (int i = 0; i < 1000; ++i)
            test::writeText(mount() + "/arkiv/" + kNameMarker + std::to_string(i), "");
        test::writeText(mount() + "/arkiv/kept.txt", keptContent(1));
        test::run("sync");
        std::filesystem::remove_all(mount() + "/notater");
        for (int i = 0; i < 1000; ++i)
            ASSERT_TRUE(std::filesystem::remove(mount() + "/arkiv/" + kNameMarker + std::to_string(i)));
        test::run("sync");
    }
};

TEST_P(BtrfsMetadata, DeletedSmallFilesAndNamesLeaveNoTrace) {
    start({"btrfs", 256});
    if (IsSkipped() || HasFatalFailure())
        return;
    platform_.relocationRefusal = GetParam().refusal;
    const std::string kept = keptContent();
    test::writeText(mount() + "/kept.txt", kept);
    leaveDeletedSmallFiles();
    if (HasFatalFailure())
        return;
    ASSERT_GE(image_->countInImage(kMarker), 2000u) << "deleted small files stay in free tree leaves";
    ASSERT_GE(image_->countInImage(kNameMarker), 1000u) << "deleted names stay in free tree leaves";

    runPass(false);

    const std::string drive = "T: [" + mount() + "]";
    EXPECT_EQ(platform_.relocations, 1);
    EXPECT_EQ(logCount("Flytter metadataene på " + drive + " til nye blokkgrupper"), 1) << logText();
    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    EXPECT_EQ(logCount("HINT:"), GetParam().hints) << logText();
    if (GetParam().refusal == 0) {
        EXPECT_EQ(logCount("Metadataene på " + drive + " er flyttet på "), 1) << logText();
        EXPECT_EQ(logCount("små filer"), 0) << "nothing is left to fill";
    } else {
        EXPECT_EQ(logCount("HINT: " + std::string(GetParam().hint) + drive), GetParam().hints) << logText();
        EXPECT_EQ(logCount("Fyller ledig metadataplass på " + drive), 1) << logText();
        // What the small files measured: how many, and what they left of the metadata space.
        const std::regex measured(
            ": ledig metadataplass er fylt med ([0-9]+) små filer i stedet, ([0-9]+) KB av "
            "([0-9]+) KB metadataplass ble ikke nådd$");
        std::smatch m;
        const std::string hint = logLineWith("små filer i stedet");
        ASSERT_TRUE(std::regex_search(hint, m, measured)) << hint;
        const long long files = std::stoll(m[1]), leftKB = std::stoll(m[2]), totalKB = std::stoll(m[3]);
        // Without unallocated space (the fill's data groups keep it) the metadata groups cannot
        // grow: the files end where btrfs holds its reserve back, and that is what is told.
        EXPECT_GT(files, 2000) << hint;
        EXPECT_GT(totalKB, 0);
        EXPECT_LT(leftKB, totalKB / 2) << hint;
        EXPECT_LE(files * 2 + leftKB, totalKB) << "the files and what they left fit in the space: " << hint;
        EXPECT_EQ(logCount("Sletter " + std::to_string(files) + " små filer"), 1);
    }
    EXPECT_TRUE(leftovers().empty()) << "the fill's files and the small files' folder are gone";
    EXPECT_TRUE(std::filesystem::is_empty(records_.path())) << "the crash record is gone";
    ASSERT_TRUE(image_->unmount()) << image_->error();
    EXPECT_EQ(image_->countInImage(kMarker), 0u) << "a deleted small file survived in a tree leaf";
    EXPECT_EQ(image_->countInImage(kNameMarker), 0u) << "a deleted name survived in a tree leaf";
    ASSERT_TRUE(image_->mount()) << image_->error();
    EXPECT_EQ(test::readText(mount() + "/kept.txt"), kept);
    EXPECT_EQ(test::readText(mount() + "/arkiv/kept.txt"), keptContent(1));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, BtrfsMetadata,
    ::testing::Values(MetadataCase{"Relocated", 0, "", 0},
                      MetadataCase{"WithoutTheRight", platform::kErrorAccessDenied,
                                   "Bare en administrator kan flytte metadataene på ", 1},
                      // Told when the relocation ends, and again with what the small files measured.
                      MetadataCase{"WithoutRoom", platform::kErrorDiskFull,
                                   "Det var ikke plass til å flytte alle metadataene på ", 2}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(FilesystemFill, BtrfsStopDuringTheRelocationCancelsIt) {
    start({"btrfs", 512});
    if (IsSkipped() || HasFatalFailure())
        return;
    // Enough tree blocks that moving them takes many refreshes of the window.
    ASSERT_TRUE(std::filesystem::create_directory(mount() + "/notater"));
    writeMarkerFiles(mount() + "/notater/n-", 12000, 1500);
    test::run("sync");
    std::string shown;
    window_.onEvents = [&](int) {
        if (!shown.empty() || window_.progressTexts.empty())
            return;
        // The balance is under way once the kernel tells its block groups.
        const std::string& text = window_.progressTexts.back();
        if (text.find(" blokkgrupper") != std::string::npos) {
            shown = text;
            engine_.StoppKnappClick();
        }
    };
    runPass();

    const std::string drive = "T: [" + mount() + "]";
    EXPECT_EQ(shown.rfind("Flytter metadata: ", 0), 0u) << "its progress is shown: " << shown;
    EXPECT_EQ(logCount("Flyttingen av metadataene på " + drive + " er avbrutt"), 1) << logText();
    EXPECT_EQ(logCount("er flyttet"), 0);
    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_EQ(engine_.state().BytesWritten, 0) << "no fill begins after Stop";
    EXPECT_TRUE(leftovers().empty());
    EXPECT_TRUE(std::filesystem::is_empty(records_.path())) << "the crash record is gone";
    const PinnedRoot root(platform_, mount());
    platform::RelocationProgress progress;
    EXPECT_FALSE(platform_.relocationProgress(root.get(), progress))
        << "a balance stayed: running " << progress.running << ", paused " << progress.paused;
    std::string block;
    while (block.size() < 1500)
        block += kMarker + std::to_string(block.size()) + "\n";
    block.resize(1500);
    for (int i = 0; i < 12000; i += 997)
        EXPECT_EQ(test::readText(mount() + "/notater/n-" + std::to_string(i) + ".dat"), block) << i;
}

// A volume whose metadata needs more room than the unallocated space has (a user's file took
// the rest): the kernel refuses the relocation, the pass says so and does what it can.
TEST_F(FilesystemFill, BtrfsWithoutRoomToRelocateGoesOnWithTheFill) {
    start({"btrfs", 256});
    if (IsSkipped() || HasFatalFailure())
        return;
    ASSERT_TRUE(std::filesystem::create_directory(mount() + "/arkiv"));
    for (int i = 0; i < 4000; ++i)
        test::writeText(mount() + "/arkiv/" + std::to_string(i) + ".txt", std::string(1500, 'k'));
    test::run("sync");
    // A file as large as the disk takes: every unallocated byte goes to its data groups.
    {
        std::ofstream big(mount() + "/stor.bin", std::ios::binary);
        const std::string block(1 << 20, 'b');
        while (big.write(block.data(), static_cast<std::streamsize>(block.size())))
            ;
    }
    // Cut back, it leaves free space inside its data groups: room to fill, none to allocate.
    std::filesystem::resize_file(mount() + "/stor.bin",
                                 std::filesystem::file_size(mount() + "/stor.bin") - (32 << 20));
    test::run("sync");
    const auto bigSize = std::filesystem::file_size(mount() + "/stor.bin");
    ASSERT_GT(bigSize, 100u << 20);
    platform::DiskSpace before;
    {
        const PinnedRoot root(platform_, mount());
        platform::Error err;
        ASSERT_TRUE(platform_.metadataSpace(root.get(), before, err)) << err.message;
    }

    const RunReport report = runPass(false);

    const std::string drive = "T: [" + mount() + "]";
    EXPECT_EQ(platform_.relocations, 1);
    EXPECT_EQ(logCount("HINT: Det var ikke plass til å flytte alle metadataene på " + drive +
                       ", ledig metadataplass fylles i stedet etter slettingen"),
              1)
        << logText();
    EXPECT_EQ(logCount("Fyller ledig metadataplass på " + drive), 1) << logText();
    // No group could be added meanwhile: the space the line tells is the one measured before.
    const std::string measured =
        " KB av " + std::to_string(before.total / 1024) + " KB metadataplass ble ikke nådd";
    EXPECT_NE(logLineWith("små filer i stedet").find(measured), std::string::npos) << measured << "\n"
                                                                                   << logText();
    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    EXPECT_FALSE(report.failed());
    EXPECT_GT(engine_.state().BytesWritten, 16 << 20) << "the fill goes on";
    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_TRUE(std::filesystem::is_empty(records_.path()));
    EXPECT_EQ(std::filesystem::file_size(mount() + "/stor.bin"), bigSize);
    for (int i = 0; i < 4000; i += 397)
        EXPECT_EQ(test::readText(mount() + "/arkiv/" + std::to_string(i) + ".txt"), std::string(1500, 'k'));
}

// A relocation begins only once the crash record names it; the fill goes on without it.
TEST_F(FilesystemFill, BtrfsRelocationThatCannotBeRecordedDoesNotBegin) {
    start({"btrfs", 256});
    if (IsSkipped() || HasFatalFailure())
        return;
    platform_.refuseRelocationRecord = true;
    const RunReport report = runPass(false);

    EXPECT_EQ(platform_.relocations, 0);
    EXPECT_EQ(logCount("FEIL: Kan ikke skrive loggen over fyllingen, metadataene på T: [" + mount() +
                       "] flyttes ikke"),
              1)
        << logText();
    EXPECT_EQ(logCount("FEIL"), 1) << logText();
    EXPECT_TRUE(report.failed());
    EXPECT_EQ(logCount("små filer"), 0) << "a step that cannot be recorded does not run either";
    EXPECT_GT(engine_.state().BytesWritten, 100 * 1024 * 1024) << "the fill goes on";
    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_TRUE(std::filesystem::is_empty(records_.path()));
}

// Stop in the small-file step ends it; a file of it that cannot be deleted stays in the record,
// and the next start's clean-up takes it and the step's folder.
TEST_F(FilesystemFill, BtrfsSmallFileStepStopsAndLeavesWhatStaysToTheNextStart) {
    start({"btrfs", 256});
    if (IsSkipped() || HasFatalFailure())
        return;
    platform_.relocationRefusal = platform::kErrorAccessDenied;
    platform_.undeletableStepFile = "7.tmp";
    bool stopped = false;
    window_.onEvents = [&](int) {
        if (!stopped && logCount("Fyller ledig metadataplass") == 1) {
            stopped = true;
            engine_.StoppKnappClick();
        }
    };
    const RunReport report = runPass(false);

    const std::string steps = mount() + "/spylerom-poster";
    EXPECT_TRUE(stopped) << "the step serves the window while it works";
    const std::string made = logLineWith(" små filer laget i metadataplassen");
    ASSERT_FALSE(made.empty()) << logText();
    const long long files = std::stoll(made.substr(made.rfind(' ', made.find(" små filer") - 1) + 1));
    EXPECT_GE(files, 7);
    EXPECT_LT(files, 2000) << "Stop ends the step";
    EXPECT_EQ(logCount("FEIL UNDER SLETTING AV SMÅ FILER I " + steps), 1) << logText();
    EXPECT_EQ(logCount("FEILNR: 5 "), 1);
    EXPECT_TRUE(report.failed());
    EXPECT_NE(logLineWith("HINT: Bare en administrator kan flytte metadataene på").find("(stoppet)"),
              std::string::npos)
        << logText();
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(steps))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"7.tmp"});
    EXPECT_FALSE(std::filesystem::is_empty(records_.path())) << "the record keeps what is left";

    platform_.undeletableStepFile.clear();
    const auto recovered = RecoverAbandonedFills();
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].filesDeleted, 1);
    EXPECT_FALSE(recovered[0].relocationPaused);
    EXPECT_TRUE(recovered[0].complete);
    EXPECT_FALSE(std::filesystem::exists(steps));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(FilesystemFill, XfsPoolIsLiftedForThePassAndRestoredAfterIt) {
    start({"xfs", 320});
    if (IsSkipped() || HasFatalFailure())
        return;
    const long long before = xfsPool(mount());
    ASSERT_GT(before, 0) << "xfs keeps a reserve pool";
    long long during = -1;
    window_.onEvents = [&](int cycle) {
        if (cycle == 1)
            during = xfsPool(mount());
    };
    runPass();
    EXPECT_EQ(during, 0) << "the pool is given to the fill";
    EXPECT_EQ(xfsPool(mount()), before);
}

TEST_F(FilesystemFill, XfsPoolIsRestoredAfterStop) {
    start({"xfs", 320});
    if (IsSkipped() || HasFatalFailure())
        return;
    const long long before = xfsPool(mount());
    ASSERT_GT(before, 0);
    window_.block = 3;
    window_.onEvents = [&](int cycle) {
        if (cycle == 1) { // the first refresh comes long before the image is full
            EXPECT_EQ(xfsPool(mount()), 0);
            engine_.StoppKnappClick();
        }
    };
    runPass();
    EXPECT_EQ(logCount("Stopper fylling av disk"), 1);
    EXPECT_EQ(xfsPool(mount()), before);
    EXPECT_TRUE(leftovers().empty());
}

// The xfs internal log of the volume mounted at mountPoint, in bytes, as its geometry gives it.
std::int64_t xfsLogBytes(const std::string& mountPoint) {
    const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return -1;
    struct xfs_fsop_geom geometry {};
    const int rc = ioctl(fd, XFS_IOC_FSGEOMETRY, &geometry);
    ::close(fd);
    return rc == 0 && geometry.logstart != 0
               ? static_cast<std::int64_t>(geometry.logblocks) * geometry.blocksize
               : -1;
}

// The figures of the log step's line "Skrev N MB over loggen på <drive> (loggen er M MB)";
// -1 where the line is missing.
struct LogLine {
    long long written = -1;
    long long log = -1;
};
LogLine parseLogLine(const std::string& line) {
    LogLine figures;
    const auto at = line.find("Skrev ");
    const auto of = line.find("(loggen er ");
    if (at != std::string::npos && of != std::string::npos) {
        figures.written = std::stoll(line.substr(at + 6));
        figures.log = std::stoll(line.substr(of + 11));
    }
    return figures;
}

const std::string kGoneName = "GONE-NAME-9e03b7-";

// Empty files named with the marker in a folder that stays, synced and deleted: xfs keeps the
// directory blocks that held their names in its log. Returns how often the names are on the
// raw image afterwards.
std::uint64_t deleteNamedFiles(LoopImage& image, const std::string& folder, int count) {
    for (int i = 0; i < count; ++i)
        test::writeText(folder + "/" + kGoneName + std::to_string(i), "");
    test::run("sync");
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(::unlink((folder + "/" + kGoneName + std::to_string(i)).c_str()), 0) << i;
    test::run("sync");
    if (!image.unmount())
        return 0;
    const std::uint64_t found = image.countInImage(kGoneName);
    EXPECT_TRUE(image.mount()) << image.error();
    return found;
}

// Names of deleted files in the xfs log, written over by a pass: as root and as a user (whose
// attributes need no privilege), on 4 KiB blocks and on 1 KiB ones (where a value much larger
// than the step's would leave the attribute leaf, and so the log).
struct XfsLogCase {
    const char* name;
    const char* mkfsOptions;
    uid_t user;
};

class XfsLog : public FilesystemFill, public ::testing::WithParamInterface<XfsLogCase> {};

TEST_P(XfsLog, NoNameOfADeletedFileStaysInTheLog) {
    start({"xfs", 320, GetParam().mkfsOptions});
    if (IsSkipped() || HasFatalFailure())
        return;
    const std::string folder = mount() + "/kept";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const std::string kept = keptContent(3);
    test::writeText(folder + "/kept.txt", kept);
    ASSERT_GT(deleteNamedFiles(*image_, folder, 1000), 500u) << "the log keeps the deleted names";
    const std::int64_t logBytes = xfsLogBytes(mount());
    ASSERT_GT(logBytes, 0);

    if (GetParam().user != 0) {
        // The user may pass through the test's folders and write the drive's root.
        ASSERT_EQ(::chmod(std::filesystem::path(mount()).parent_path().c_str(), 0711), 0);
        ASSERT_EQ(::chmod(mount().c_str(), 0777), 0);
        ASSERT_EQ(::chmod(appData_.path().c_str(), 0777), 0);
        ASSERT_EQ(::chown(records_.path().c_str(), GetParam().user, GetParam().user), 0);
    }
    const auto began = std::chrono::steady_clock::now();
    {
        test::AsUser user(GetParam().user);
        ASSERT_TRUE(GetParam().user == 0 || user.ok());
        runPass();
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    EXPECT_EQ(logCount("HINT: Loggen"), 0) << logText();
    const LogLine figures = parseLogLine(logLineWith(" MB over loggen på T: [" + mount() + "]"));
    EXPECT_EQ(figures.log, logBytes >> 20);
    EXPECT_GE(figures.written, figures.log * 5 / 4) << "the log is written around with a margin";
    EXPECT_TRUE(leftovers().empty());
    EXPECT_TRUE(std::filesystem::is_empty(records_.path())) << "nothing is left for a clean-up";
    RecordProperty("passSeconds", std::to_string(seconds));
    ASSERT_TRUE(image_->unmount()) << image_->error();
    EXPECT_EQ(image_->countInImage(kGoneName), 0u) << "a deleted file's name survived in the log";
    ASSERT_TRUE(image_->mount()) << image_->error();
    EXPECT_EQ(test::readText(folder + "/kept.txt"), kept);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Accounts, XfsLog,
                         ::testing::Values(XfsLogCase{"Root", "", 0},
                                           XfsLogCase{"Root1KiBBlocks", "-b size=1024", 0},
                                           XfsLogCase{"User", "", 65534}),
                         [](const auto& p) { return std::string(p.param.name); });

// The log step on a disk that is nearly full, and ended early by Stop or by a disk that another
// program fills meanwhile: its files and folder go, nothing is left for a clean-up, and its line
// tells how much of the log it wrote.
struct XfsLogEndCase {
    const char* name;
    bool nearlyFull;    // ordinary writes take all they may before the pass
    int stopAtPoll;     // the step's poll of the window at which Stop is pressed; 0: never
    int fillAtPoll;     // the poll at which the disk is filled; 0: never
    const char* reason; // the end of the "HINT:" line; nullptr: the whole log is written
};

class XfsLogEnd : public FilesystemFill, public ::testing::WithParamInterface<XfsLogEndCase> {
protected:
    // Ordinary writes of 1 MiB until the disk takes no more (xfs then keeps less than 1 MiB
    // free), and with `whole` of 4 KiB after them; the size of the first file.
    std::uintmax_t fillDisk(bool whole) {
        test::run("dd if=/dev/zero of='" + mount() + "/full.dat' bs=1M status=none 2>/dev/null; sync");
        if (whole)
            test::run("dd if=/dev/zero of='" + mount() + "/rest.dat' bs=4k status=none 2>/dev/null; sync");
        return std::filesystem::file_size(mount() + "/full.dat");
    }
};

TEST_P(XfsLogEnd, LeavesNoStepFileAndTellsWhatItWrote) {
    const XfsLogEndCase& c = GetParam();
    start({"xfs", 320});
    if (IsSkipped() || HasFatalFailure())
        return;
    const std::string kept = keptContent(4);
    test::writeText(mount() + "/kept.txt", kept);
    std::uintmax_t fullBytes = 0;
    if (c.nearlyFull) {
        // What is left is less than 1 MiB; the step takes one file's room at a time.
        fullBytes = fillDisk(false);
        ASSERT_GT(fullBytes, 200u << 20);
        ASSERT_LT(freeBytes(mount()), 1 << 20);
    }
    bool stopped = false;
    int polls = 0;
    window_.onEvents = [&](int) {
        if (logCount("Skriver over loggen på") != 1 || stopped)
            return;
        ++polls;
        if (polls == c.fillAtPoll)
            fullBytes = fillDisk(true);
        if (polls == c.stopAtPoll) {
            stopped = true;
            engine_.StoppKnappClick();
        }
    };
    runPass();

    EXPECT_EQ(stopped, c.stopAtPoll != 0);
    EXPECT_EQ(logCount("Skriver over loggen på T: [" + mount() + "]"), 1) << logText();
    const LogLine figures = parseLogLine(logLineWith(" MB over loggen på T: [" + mount() + "]"));
    EXPECT_EQ(figures.log, xfsLogBytes(mount()) >> 20);
    const std::string hint = "HINT: Loggen på T: [" + mount() +
                             "] er ikke skrevet helt over og kan fortsatt ha navn på slettede filer";
    if (c.reason) {
        EXPECT_GT(figures.written, 0) << "files were written before the step ended";
        EXPECT_LT(figures.written, figures.log);
        EXPECT_EQ(logCount(hint + ": " + c.reason), 1) << logText();
    } else {
        EXPECT_GE(figures.written, figures.log * 5 / 4);
        EXPECT_EQ(logCount(hint), 0) << logText();
    }
    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    EXPECT_TRUE(leftovers().empty()) << "no step file and no step folder";
    EXPECT_TRUE(std::filesystem::is_empty(records_.path())) << "nothing is left for a clean-up";
    EXPECT_EQ(test::readText(mount() + "/kept.txt"), kept);
    if (fullBytes > 0) {
        EXPECT_EQ(std::filesystem::file_size(mount() + "/full.dat"), fullBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Ends, XfsLogEnd,
                         ::testing::Values(XfsLogEndCase{"NearlyFullDisk", true, 0, 0, nullptr},
                                           XfsLogEndCase{"Stop", false, 4, 0, "fyllingen ble stoppet"},
                                           XfsLogEndCase{"DiskFilledMeanwhile", false, 0, 3,
                                                         "disken ble full"}),
                         [](const auto& p) { return std::string(p.param.name); });

// The sysfs file of ext4's reserved clusters of the volume mounted at mountPoint.
std::string ext4ReserveFile(const std::string& mountPoint) {
    platform::MountFacts facts;
    if (!platform::mountOfFolder(mountPoint, facts))
        return {};
    return "/sys/fs/ext4/" + std::filesystem::path(facts.source).filename().string() + "/reserved_clusters";
}

// A reserve token is the volume's, not its mount point's: it reaches the volume through a
// pinned folder or any other mount of it, but never a volume mounted anew (whose reserve the
// kernel set itself), and never sets more than the kernel would.
struct TokenCase {
    const char* kind;
    std::uint64_t sizeMiB;
};

class ReserveToken : public FilesystemFill, public ::testing::WithParamInterface<TokenCase> {
protected:
    bool xfs() const { return std::string(GetParam().kind) == "xfs"; }
    // The reserve as the kernel shows it, and set by hand.
    long long reserve() const { return xfs() ? xfsPool(mount()) : std::stoll(test::readText(ext4File_)); }
    void setReserve(long long value) {
        if (xfs())
            ASSERT_TRUE(setXfsPool(mount(), static_cast<std::uint64_t>(value)));
        else
            std::ofstream(ext4File_) << value;
    }
    std::string ext4File_;
};

TEST_P(ReserveToken, RestoresItsOwnVolumeWhereverItIsMountedAndNeverRaisesIt) {
    start({GetParam().kind, GetParam().sizeMiB});
    if (IsSkipped() || HasFatalFailure())
        return;
    ext4File_ = ext4ReserveFile(mount());
    const long long before = reserve();
    ASSERT_GT(before, 0) << "the volume holds blocks back";
    std::string token;
    {
        const PinnedRoot root(platform_, mount());
        token = platform_.writeReserveToken(root.get());
        ASSERT_EQ(token.rfind(std::string(GetParam().kind) + ":", 0), 0u) << token;
        EXPECT_NE(token.find("=" + std::to_string(before)), std::string::npos) << token;
        ASSERT_TRUE(platform_.liftWriteReserve(token, root.get()));
        EXPECT_EQ(reserve(), 0);
        EXPECT_TRUE(platform_.restoreWriteReserve(token, root.get()));
        EXPECT_EQ(reserve(), before);
    }

    // The mount point covered by another mount, the volume still mounted elsewhere (a bind
    // mount): the restore finds the volume, not what is mounted at its old place now.
    test::TempDir elsewhere;
    ASSERT_EQ(test::run("mount --bind '" + mount() + "' '" + elsewhere.path() + "'"), 0);
    ASSERT_TRUE(platform_.liftWriteReserve(token, platform::kInvalidFolder));
    ASSERT_EQ(test::run("mount -t tmpfs -o size=1m cover '" + mount() + "'"), 0);
    EXPECT_TRUE(platform_.restoreWriteReserve(token, platform::kInvalidFolder));
    ASSERT_EQ(test::run("umount '" + mount() + "'"), 0);
    EXPECT_EQ(reserve(), before);

    // A token forged to raise the reserve is cut to what the kernel itself sets.
    const std::string raised = token.substr(0, token.rfind('=') + 1) + "60000";
    ASSERT_TRUE(platform_.liftWriteReserve(token, platform::kInvalidFolder));
    EXPECT_TRUE(platform_.restoreWriteReserve(raised, platform::kInvalidFolder));
    EXPECT_EQ(reserve(), before) << "the kernel's own value, never more";
    ASSERT_EQ(test::run("umount '" + elsewhere.path() + "'"), 0);

    // Mounted anew, the kernel set the volume's reserve itself: an old token leaves it alone.
    ASSERT_TRUE(platform_.liftWriteReserve(token, platform::kInvalidFolder));
    ASSERT_TRUE(image_->unmount());
    EXPECT_FALSE(platform_.restoreWriteReserve(token, platform::kInvalidFolder)) << "the volume is gone";
    ASSERT_TRUE(image_->mount());
    ext4File_ = ext4ReserveFile(mount());
    setReserve(7);
    ASSERT_EQ(reserve(), 7);
    EXPECT_FALSE(platform_.liftWriteReserve(token, platform::kInvalidFolder));
    EXPECT_FALSE(platform_.restoreWriteReserve(token, platform::kInvalidFolder));
    EXPECT_EQ(reserve(), 7) << "a token never reaches a volume mounted anew";
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReserveToken,
                         ::testing::Values(TokenCase{"xfs", 320}, TokenCase{"ext4", 160}),
                         [](const auto& p) { return std::string(p.param.kind); });

// --- What the file system's own structures keep of deleted files ----------------------------

// What a user leaves behind: small files of marker lines, one big file of markers, and empty
// files whose names are markers, in a folder that stays; all deleted after they reached the disk.
constexpr int kSmallFiles = 2000;
constexpr int kNamedFiles = 1000;
const std::string kSmallMarker = "SMALL-SECRET-3d91f0-";

void leaveDeletedFiles(const std::string& mount) {
    const std::string small = mount + "/notes";
    const std::string names = mount + "/kept-folder";
    ASSERT_TRUE(std::filesystem::create_directory(small));
    ASSERT_TRUE(std::filesystem::create_directory(names));
    for (int i = 0; i < kSmallFiles; ++i) {
        std::string text;
        while (text.size() < 1500)
            text += kSmallMarker + std::to_string(i) + "\n";
        text.resize(1500);
        test::writeText(small + "/note-" + std::to_string(i) + ".txt", text);
    }
    writeMarkerFiles(mount + "/big-", 1, 40u << 20);
    for (int i = 0; i < kNamedFiles; ++i)
        test::writeText(names + "/" + kGoneName + std::to_string(i), "");
    test::run("sync");
    std::filesystem::remove_all(small);
    std::filesystem::remove(mount + "/big-0.dat");
    for (int i = 0; i < kNamedFiles; ++i)
        std::filesystem::remove(names + "/" + kGoneName + std::to_string(i));
    test::run("sync");
}

struct MarkerCounts {
    std::uint64_t small = 0;
    std::uint64_t big = 0;
    std::uint64_t names = 0;
};

MarkerCounts countMarkers(const LoopImage& image, bool utf16Names) {
    return {image.countInImage(kSmallMarker), image.countInImage(kMarker),
            image.countInImage(utf16Names ? utf16(kGoneName) : kGoneName)};
}

struct DeletedCase {
    const char* title;
    Volume volume;
    // With the trim, which on a loop image clears whatever free space it hands back: what the
    // file system holds back from every file write is reached only that way.
    bool trim;
};

class DeletedFilesEverywhere : public FilesystemFill, public ::testing::WithParamInterface<DeletedCase> {};

TEST_P(DeletedFilesEverywhere, NoContentAndNoNameLeftInTheImage) {
    const Volume& volume = GetParam().volume;
    start(volume);
    if (IsSkipped() || HasFatalFailure())
        return;
    const bool ntfs = volume.fsType == "ntfs";
    const std::string kept = keptContent(3);
    test::writeText(mount() + "/kept.txt", kept);
    leaveDeletedFiles(mount());
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(image_->unmount());
    const MarkerCounts before = countMarkers(*image_, ntfs);
    ASSERT_TRUE(image_->mount());
    // Each kind of remains must be on the image before the pass, or the test proves nothing.
    EXPECT_GT(before.small, 0u);
    EXPECT_GT(before.big, 0u);
    EXPECT_GT(before.names, 0u) << "the deleted names are somewhere on the image";

    runPass(GetParam().trim);

    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    EXPECT_EQ(logCount("STOPP: "), 1);
    EXPECT_TRUE(leftovers().empty());
    ASSERT_TRUE(image_->unmount());
    const MarkerCounts after = countMarkers(*image_, ntfs);
    EXPECT_EQ(after.small, 0u) << volume.fsType << ": a small file's content survived";
    EXPECT_EQ(after.big, 0u) << volume.fsType << ": the big file's content survived";
    if (ntfs)
        // NTFS keeps a name in its file record, which the record step takes, and in the slack of
        // its folder's index, which is the kept folder's own: no fill may write into a user's folder.
        EXPECT_LE(after.names + kNamedFiles, before.names) << "a name survived in a free file record";
    else
        EXPECT_EQ(after.names, 0u) << volume.fsType << ": a deleted file's name survived";
    ASSERT_TRUE(image_->mount());
    EXPECT_EQ(test::readText(mount() + "/kept.txt"), kept);
    EXPECT_TRUE(std::filesystem::is_empty(mount() + "/kept-folder"));
}

// xfs keeps free blocks in each allocation group for its own reflink and reverse-mapping trees,
// which no file write may take: with those trees it is wiped whole only with the trim, without
// them by the fill alone.
INSTANTIATE_TEST_SUITE_P(Volumes, DeletedFilesEverywhere,
                         ::testing::Values(DeletedCase{"Ext4", {"ext4", 160}, false},
                                           DeletedCase{"Xfs", {"xfs", 320}, true},
                                           DeletedCase{"XfsWithoutReflinkOrReverseMapping",
                                                       {"xfs", 320, "-m reflink=0,rmapbt=0 -i sparse=0 -f"},
                                                       false},
                                           DeletedCase{"Btrfs", {"btrfs", 256}, false},
                                           DeletedCase{"Ntfs", {"ntfs", 160}, false}),
                         [](const auto& p) { return std::string(p.param.title); });

// --- The freed space handed back to the device ------------------------------------------------

std::int64_t usedBytes(const std::string& folder) {
    struct statvfs st {};
    return statvfs(folder.c_str(), &st) == 0
               ? static_cast<std::int64_t>(st.f_blocks - st.f_bfree) * static_cast<std::int64_t>(st.f_frsize)
               : -1;
}

struct TrimCase {
    const char* title;
    Volume volume;
    bool trim;
};

class TrimAfterFill : public FilesystemFill, public ::testing::WithParamInterface<TrimCase> {};

TEST_P(TrimAfterFill, TheImageKeepsOnlyTheSpaceInUse) {
    const TrimCase& c = GetParam();
    start(c.volume);
    if (IsSkipped() || HasFatalFailure())
        return;
    const std::string kept = keptContent(5);
    test::writeText(mount() + "/kept.txt", kept);
    const std::int64_t imageBytes = static_cast<std::int64_t>(c.volume.sizeMiB) << 20;

    runPass(c.trim);

    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    const std::int64_t used = usedBytes(mount());
    ASSERT_TRUE(image_->unmount());
    // A loop device that takes discards punches holes into its image.
    const std::int64_t allocated = test::allocatedBytes(image_->imagePath());
    if (c.trim) {
        const std::string line = logLineWith(" MB tilbake til lagringsenheten");
        const auto given = line.find(" Ga ");
        ASSERT_NE(given, std::string::npos) << logText();
        // btrfs discards much of what it frees by itself (discard=async): the trim counts the rest.
        EXPECT_GT(std::stoll(line.substr(given + 4)), 0) << line;
        // What the file system itself keeps (inode tables, the journal, the log) is in use too.
        EXPECT_LT(allocated, used + imageBytes / 5)
            << "allocated " << allocated << " of an image of " << imageBytes << ", in use " << used;
    } else {
        EXPECT_EQ(logCount("tilbake til lagringsenheten"), 0);
        EXPECT_GT(allocated, imageBytes * 8 / 10) << "the fill wrote the whole image";
    }
    ASSERT_TRUE(image_->mount());
    EXPECT_EQ(test::readText(mount() + "/kept.txt"), kept);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrimAfterFill,
                         ::testing::Values(TrimCase{"Ext4", {"ext4", 160}, true},
                                           TrimCase{"Xfs", {"xfs", 320}, true},
                                           TrimCase{"Btrfs", {"btrfs", 256}, true},
                                           TrimCase{"Ext4SwitchedOff", {"ext4", 160}, false}),
                         [](const auto& p) { return std::string(p.param.title); });

TEST_F(FilesystemFill, ADeviceWithoutDiscardsGetsAHint) {
    start({"exfat", 160});
    if (IsSkipped() || HasFatalFailure())
        return;

    runPass(true);

    EXPECT_EQ(logCount("FEIL"), 0) << logText();
    EXPECT_EQ(
        logCount("HINT: Frigjort plass på T: [" + mount() +
                 "] kan ikke gis tilbake til lagringsenheten (filsystemet eller enheten tar ikke imot det)"),
        1)
        << logText();
    EXPECT_EQ(logCount(" MB tilbake til lagringsenheten"), 0);
}

} // namespace
} // namespace spylerom::fill
