// The POSIX platform: error codes, drives from the mount table, btrfs's metadata groups, files,
// text and time.
#include "platform/posix/posix_platform.h"
#include "support/env_guard.h"
#include "support/loop_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <linux/btrfs.h>
#include <linux/btrfs_tree.h>
#include <pwd.h>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace spylerom::platform {
namespace {

using test::TempDir;

struct ErrnoCase {
    int err;
    ErrorCode code;
};

class ErrnoMapping : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoMapping, WindowsCodeAndSystemMessage) {
    const Error e = errorFromErrno(GetParam().err);
    EXPECT_EQ(e.code, GetParam().code);
    EXPECT_FALSE(e.message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErrnoMapping,
    ::testing::Values(ErrnoCase{EACCES, 5}, ErrnoCase{EPERM, 5}, ErrnoCase{ENOENT, 2}, ErrnoCase{ENOTDIR, 3},
                      ErrnoCase{EMFILE, 4}, ErrnoCase{ENFILE, 4}, ErrnoCase{ENOMEM, 8}, ErrnoCase{EROFS, 19},
                      ErrnoCase{ENXIO, 21}, ErrnoCase{ENODEV, 21}, ErrnoCase{ENOMEDIUM, 21},
                      ErrnoCase{EBUSY, 32}, ErrnoCase{ETXTBSY, 32}, ErrnoCase{ENOSPC, 112},
                      ErrnoCase{EDQUOT, 112}, ErrnoCase{EEXIST, 80}, ErrnoCase{EINVAL, 87},
                      ErrnoCase{EOPNOTSUPP, 50}, ErrnoCase{ENAMETOOLONG, 206}, ErrnoCase{ELOOP, 1921},
                      ErrnoCase{EIO, 1117}, ErrnoCase{ECANCELED, 1223},
                      ErrnoCase{EPIPE, 0x20000000u | EPIPE}));

TEST(Drives, MountTableGivesLetteredVolumes) {
    TempDir dir;
    const std::string a = dir.file("a"), b = dir.file("b"), bind = dir.file("bind");
    for (const auto& p : {a, b, bind})
        ASSERT_EQ(mkdir(p.c_str(), 0755), 0);
    // mountinfo lines: id parent major:minor root mountpoint options - type source superoptions.
    const std::string table = "1 0 8:1 / / rw - ext4 /dev/loop0 rw\n"
                              "2 1 0:5 / /proc rw - proc proc rw\n"
                              "3 1 0:6 / " +
                              b +
                              " rw - ext4 /dev/loop1 rw\n"
                              "4 1 0:7 / " +
                              a +
                              " rw - nfs4 server:/export rw\n"
                              "5 1 0:8 / /dev/shm rw - tmpfs tmpfs rw\n"
                              "6 1 8:1 /sub " +
                              bind +
                              " rw - ext4 /dev/loop0 rw\n"
                              "7 1 0:9 / " +
                              dir.file("missing") + " rw - ext4 /dev/loop2 rw\n";
    test::writeText(dir.file("mountinfo"), table);

    const auto drives = PosixPlatform::drivesFromMountInfo(dir.file("mountinfo"));
    ASSERT_EQ(drives.size(), 3u)
        << "proc, tmpfs, a bind mount of a folder and a missing mount point are no drives";
    EXPECT_EQ(drives[0].letter, 'C');
    EXPECT_EQ(drives[0].root, "/");
    EXPECT_EQ(drives[0].itemText, "C: [/]");
    EXPECT_EQ(drives[1].letter, 'D');
    EXPECT_EQ(drives[1].root, a + "/");
    EXPECT_EQ(drives[1].type, DriveType::Remote);
    EXPECT_EQ(drives[1].remotePath, "server:/export");
    EXPECT_EQ(drives[1].itemText, "D: [" + a + "]");
    EXPECT_EQ(drives[2].letter, 'E');
    EXPECT_EQ(drives[2].root, b + "/");
    EXPECT_EQ(drives[2].fileSystem, "ext4");

    // Without the devices' labels and types, as the lookups of a drive's root read them, the
    // drives are lettered alike.
    const auto roots =
        PosixPlatform::drivesFromMountInfo(dir.file("mountinfo"), PosixPlatform::DriveFacts::RootsOnly);
    ASSERT_EQ(roots.size(), drives.size());
    for (std::size_t i = 0; i < roots.size(); ++i) {
        EXPECT_EQ(roots[i].letter, drives[i].letter);
        EXPECT_EQ(roots[i].root, drives[i].root);
        EXPECT_EQ(roots[i].itemText, drives[i].itemText);
    }
}

TEST(Drives, MappedLetterAndPathLookup) {
    TempDir dir;
    PosixPlatform p;
    p.mapDrive('T', dir.path());
    EXPECT_EQ(p.driveRoot('T'), dir.path() + "/");
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
    EXPECT_EQ(p.driveOfPath(dir.file("sub")), 'T');
    EXPECT_EQ(p.driveOfPath("/"), 'C');
    EXPECT_EQ(p.driveOfPath(dir.file("nothing-here")), 0);
    DiskSpace space;
    Error err;
    EXPECT_TRUE(p.diskSpace(p.driveRoot('T'), space, err));
    EXPECT_GT(space.total, 0);
    EXPECT_FALSE(p.diskSpace(dir.file("nothing-here"), space, err));
    EXPECT_EQ(err.code, kErrorFileNotFound);
    p.mapDrive('T', "");
    EXPECT_EQ(p.driveRoot('T'), "");
}

TEST(Drives, LoopMountedImageIsADriveWithItsSize) {
    std::string why;
    if (!test::LoopImage::available(&why))
        GTEST_SKIP() << why;
    test::LoopImage image({64, "ext4", false});
    ASSERT_TRUE(image.ok()) << image.error();
    PosixPlatform p;
    const char letter = p.driveOfPath(image.mountPoint());
    ASSERT_GE(letter, 'D');
    DiskSpace space;
    Error err;
    ASSERT_TRUE(p.diskSpace(p.driveRoot(letter), space, err));
    EXPECT_GT(space.total, 50ll << 20);
    EXPECT_LE(space.total, 64ll << 20);
    // The volume of a path deep in it is the image, mounted where the drive's root is.
    ASSERT_EQ(mkdir((image.mountPoint() + "/sub").c_str(), 0755), 0);
    MountedVolume volume;
    ASSERT_TRUE(p.volumeOfPath(image.mountPoint() + "/sub", volume, err)) << err.message;
    EXPECT_EQ(volume.mountPoint, p.driveRoot(letter));
    EXPECT_EQ(volume.type, "ext4");
}

// CI sets the variable: there a machine that cannot mount images fails instead of skipping.
TEST(Drives, AMachineWithoutLoopMountsFailsWhereImagesAreRequired) {
    if (geteuid() != 0)
        GTEST_SKIP() << "runs this program again as a user without root, which needs root";
    // This program, in a folder any user may enter, run again as nobody on the image test.
    TempDir dir;
    const std::string program = dir.file("platform_tests");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(test::run("cp /proc/" + std::to_string(getpid()) + "/exe '" + program + "'"), 0);
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups env ";
    const std::string imageTest =
        " '" + program + "' --gtest_filter=Drives.LoopMountedImageIsADriveWithItsSize >/dev/null 2>&1";
    EXPECT_EQ(test::run(asNobody + "-u " + test::LoopImage::kRequireVariable + imageTest), 0)
        << "skipped where images are not required";
    EXPECT_EQ(test::run(asNobody + test::LoopImage::kRequireVariable + "=1" + imageTest), 1)
        << "failed where they are";
}

TEST(Drives, VolumeOfAPathOnAFileSystemThatIsNoDrive) {
    PosixPlatform p;
    MountedVolume volume;
    Error err;
    ASSERT_TRUE(p.volumeOfPath("/proc/self", volume, err)) << err.message;
    EXPECT_EQ(volume.mountPoint, "/proc/");
    EXPECT_EQ(volume.type, "proc");
    EXPECT_EQ(p.driveOfPath("/proc/self"), 'C') << "the drive that holds its mount point";
    EXPECT_FALSE(p.volumeOfPath("/no/such/path/here", volume, err));
    EXPECT_EQ(err.code, kErrorFileNotFound);
}

// Disks of every kind are drives with their file-system type, FUSE ones ("fuseblk" on a loop
// device, as ntfs-3g and exfat-fuse mount a real disk) included.
class DiskKinds : public ::testing::TestWithParam<std::string> {};

TEST_P(DiskKinds, MountedDiskIsADriveWithItsType) {
    std::string why;
    if (!test::LoopImage::canMake(GetParam(), &why))
        GTEST_SKIP() << why;
    test::LoopImage image({64, GetParam()});
    ASSERT_TRUE(image.ok()) << image.error();
    PosixPlatform p;
    const std::vector<Drive> drives = p.drives();
    const auto it = std::find_if(drives.begin(), drives.end(),
                                 [&](const Drive& d) { return d.root == image.mountPoint() + "/"; });
    ASSERT_NE(it, drives.end()) << "the mounted image is listed";
    EXPECT_EQ(it->fileSystem, GetParam());
    EXPECT_EQ(it->type, DriveType::Fixed);
    EXPECT_EQ(it->itemText, std::string(1, it->letter) + ": [" + image.mountPoint() + "]");
    EXPECT_EQ(p.fileSystemType(image.mountPoint() + "/"), GetParam());
    EXPECT_EQ(p.driveOfPath(image.mountPoint()), it->letter);

    // Only NTFS keeps a table of file records whose growth the platform can show.
    std::int64_t gauge = 0;
    Error err;
    EXPECT_EQ(p.fileRecordGauge(image.mountPoint() + "/", gauge, err), GetParam() == "ntfs");
    if (GetParam() != "ntfs") {
        EXPECT_EQ(err.code, kErrorNotSupported);
    }
    // Settling a volume is harmless everywhere.
    const FolderHandle root = p.openFillFolder(image.mountPoint() + "/", "", err);
    ASSERT_NE(root, kInvalidFolder) << err.message;
    EXPECT_TRUE(p.settleVolume(root, err)) << err.message;
    p.closeFolder(root);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DiskKinds, ::testing::Values("ext4", "ntfs", "exfat"),
                         [](const ::testing::TestParamInfo<std::string>& kind) { return kind.param; });

// The xfs internal log's size, as the volume's own tool tells it ("log =internal log bsize=B
// blocks=N"): 0 where that tool is missing or names no internal log.
std::int64_t xfsInfoLogBytes(const std::string& mountPoint) {
    std::int64_t bytes = 0;
    if (FILE* pipe = popen(("xfs_info '" + mountPoint + "' 2>/dev/null").c_str(), "r")) {
        char line[512] = {};
        while (fgets(line, sizeof line, pipe)) {
            long long blockSize = 0, blocks = 0;
            if (std::sscanf(line, "log =internal log bsize=%lld blocks=%lld", &blockSize, &blocks) == 2)
                bytes = blockSize * blocks;
        }
        pclose(pipe);
    }
    return bytes;
}

// Where a volume keeps a log inside itself that it writes around, and whether a fill file takes
// the extended attributes that write it.
struct LogCase {
    const char* name;
    const char* fsType;
    std::uint64_t sizeMiB;
    const char* mkfsOptions;
    bool internalLog;
    bool attributes;
};

class InternalLog : public ::testing::TestWithParam<LogCase> {};

TEST_P(InternalLog, SizeAsTheVolumeTellsItAndAttributesOnAFillFile) {
    const LogCase& c = GetParam();
    std::string why;
    if (!test::LoopImage::canMake(c.fsType, &why))
        GTEST_SKIP() << why;
    test::LoopImage::Options options{c.sizeMiB, c.fsType};
    options.mkfsOptions = c.mkfsOptions;
    test::LoopImage image(options);
    ASSERT_TRUE(image.ok()) << image.error();
    PosixPlatform p;
    Error err;
    const FolderHandle root = p.openFillFolder(image.mountPoint() + "/", "", err);
    ASSERT_NE(root, kInvalidFolder) << err.message;

    const std::int64_t logBytes = p.internalLogBytes(root);
    if (c.internalLog) {
        const std::int64_t told = xfsInfoLogBytes(image.mountPoint());
        ASSERT_GT(told, 0) << "xfs_info names the internal log";
        EXPECT_EQ(logBytes, told);
    } else {
        EXPECT_EQ(logBytes, 0);
    }

    FileIdentity id;
    const FileHandle file = p.createFillFile(root, "a.tmp", id, err);
    ASSERT_NE(file, kInvalidFile) << err.message;
    const std::string value(512, '\x5a');
    const bool set = p.setFileAttribute(file, "spylerom.7", value.data(), value.size(), err);
    EXPECT_EQ(set, c.attributes) << err.message;
    if (c.attributes) {
        std::string read(1024, '\0');
        const ssize_t size = fgetxattr(static_cast<int>(file), "user.spylerom.7", read.data(), read.size());
        ASSERT_EQ(size, 512);
        read.resize(512);
        EXPECT_EQ(read, value) << "a user attribute of the value";
    } else {
        EXPECT_EQ(err.code, kErrorNotSupported);
    }
    // Set again: the value is replaced, not refused.
    EXPECT_EQ(p.setFileAttribute(file, "spylerom.7", value.data(), 100, err), c.attributes);
    EXPECT_FALSE(p.setFileAttribute(kInvalidFile, "spylerom.7", value.data(), 1, err));
    EXPECT_NE(err.code, kErrorSuccess);
    EXPECT_TRUE(p.closeFile(file, err));
    EXPECT_TRUE(p.deleteFillFile(root, "a.tmp", err));
    EXPECT_EQ(p.internalLogBytes(kInvalidFolder), 0);
    p.closeFolder(root);
}

INSTANTIATE_TEST_SUITE_P(Volumes, InternalLog,
                         ::testing::Values(LogCase{"xfs", "xfs", 320, "", true, true},
                                           LogCase{"xfs1KiBBlocks", "xfs", 320, "-b size=1024", true, true},
                                           LogCase{"ext4", "ext4", 64, "", false, true},
                                           LogCase{"exfat", "exfat", 64, "", false, false}),
                         [](const auto& p) { return std::string(p.param.name); });

// The logical addresses of a btrfs volume's metadata and system block groups, read from its
// chunk tree (needs root).
std::set<std::uint64_t> metadataGroups(const std::string& mountPoint) {
    std::set<std::uint64_t> groups;
    const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return groups;
    btrfs_ioctl_search_args args{};
    args.key.tree_id = BTRFS_CHUNK_TREE_OBJECTID;
    args.key.min_objectid = args.key.max_objectid = BTRFS_FIRST_CHUNK_TREE_OBJECTID;
    args.key.min_type = args.key.max_type = BTRFS_CHUNK_ITEM_KEY;
    args.key.max_offset = ~0ULL;
    args.key.max_transid = ~0ULL;
    args.key.nr_items = 4096;
    if (ioctl(fd, BTRFS_IOC_TREE_SEARCH, &args) == 0) {
        std::size_t at = 0;
        for (std::uint32_t i = 0; i < args.key.nr_items; ++i) {
            btrfs_ioctl_search_header header{};
            std::memcpy(&header, args.buf + at, sizeof header);
            btrfs_chunk chunk{};
            std::memcpy(&chunk, args.buf + at + sizeof header,
                        std::min<std::size_t>(header.len, sizeof chunk));
            if ((chunk.type & (BTRFS_BLOCK_GROUP_METADATA | BTRFS_BLOCK_GROUP_SYSTEM)) != 0)
                groups.insert(header.offset);
            at += sizeof header + header.len;
        }
    }
    ::close(fd);
    return groups;
}

// btrfs's metadata block groups: their space, their relocation and its progress; every other
// volume has none.
class MetadataGroups : public ::testing::TestWithParam<std::string> {};

TEST_P(MetadataGroups, SpaceAndRelocation) {
    std::string why;
    if (!test::LoopImage::canMake(GetParam(), &why))
        GTEST_SKIP() << why;
    test::LoopImage image({256, GetParam()});
    ASSERT_TRUE(image.ok()) << image.error();
    PosixPlatform p;
    Error err;
    const FolderHandle root = p.openFillFolder(image.mountPoint() + "/", "", err);
    ASSERT_NE(root, kInvalidFolder) << err.message;
    struct Closer {
        PosixPlatform& p;
        FolderHandle h;
        ~Closer() { p.closeFolder(h); }
    } closer{p, root};
    DiskSpace space;
    RelocationProgress progress;
    if (GetParam() != "btrfs") {
        EXPECT_FALSE(p.metadataSpace(root, space, err));
        EXPECT_EQ(err.code, kErrorNotSupported);
        err = {};
        EXPECT_FALSE(p.relocateMetadata(root, err));
        EXPECT_EQ(err.code, kErrorNotSupported);
        EXPECT_FALSE(p.relocationProgress(root, progress));
        return;
    }
    ASSERT_TRUE(p.metadataSpace(root, space, err)) << err.message;
    EXPECT_GT(space.total, 0);
    EXPECT_LT(space.total, 256LL << 20);
    EXPECT_GT(space.freeToCaller, space.total / 2) << "a new volume's metadata is nearly all free";
    EXPECT_LE(space.freeToCaller, space.total);
    // 2000 small files live inline in tree leaves: the metadata's use grows by their bytes.
    for (int i = 0; i < 2000; ++i)
        test::writeText(image.mountPoint() + "/small-" + std::to_string(i), std::string(1500, 's'));
    test::run("sync");
    DiskSpace grown;
    ASSERT_TRUE(p.metadataSpace(root, grown, err)) << err.message;
    EXPECT_GE((grown.total - grown.freeToCaller) - (space.total - space.freeToCaller), 2000 * 1500);

    // Without the right (a user's process, the pinned folder inherited): refused, nothing moves.
    const std::set<std::uint64_t> before = metadataGroups(image.mountPoint());
    ASSERT_FALSE(before.empty());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Error childErr;
        if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
            setresuid(65534, 65534, 65534) != 0)
            _exit(99);
        DiskSpace asUser;
        const bool measured = p.metadataSpace(root, asUser, childErr) && asUser.total > 0;
        _exit(!measured ? 98 : p.relocateMetadata(root, childErr) ? 0 : static_cast<int>(childErr.code));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(kErrorAccessDenied)) << "98: a user could not measure";
    EXPECT_EQ(metadataGroups(image.mountPoint()), before);

    // As root every metadata and system group moves to a new place, and no balance stays.
    ASSERT_TRUE(p.relocateMetadata(root, err)) << err.code << " " << err.message;
    const std::set<std::uint64_t> after = metadataGroups(image.mountPoint());
    ASSERT_FALSE(after.empty());
    for (const std::uint64_t group : after)
        EXPECT_EQ(before.count(group), 0u) << "the group at " << group << " stayed";
    EXPECT_FALSE(p.relocationProgress(root, progress)) << "no balance runs or waits";
    DiskSpace moved;
    ASSERT_TRUE(p.metadataSpace(root, moved, err));
    EXPECT_NEAR(static_cast<double>(moved.total - moved.freeToCaller),
                static_cast<double>(grown.total - grown.freeToCaller), 1 << 20)
        << "the same trees, in new places";
    for (int i = 0; i < 2000; i += 199)
        EXPECT_EQ(test::readText(image.mountPoint() + "/small-" + std::to_string(i)), std::string(1500, 's'));
}

INSTANTIATE_TEST_SUITE_P(Kinds, MetadataGroups, ::testing::Values("btrfs", "ext4"),
                         [](const ::testing::TestParamInfo<std::string>& kind) { return kind.param; });

TEST(Files, FolderCreationCodes) {
    TempDir dir;
    PosixPlatform p;
    Error err;
    EXPECT_TRUE(p.createFolder(dir.file("x"), err));
    EXPECT_FALSE(p.createFolder(dir.file("x"), err));
    EXPECT_EQ(err.code, kErrorAlreadyExists);
    EXPECT_FALSE(p.createFolder(dir.file("no/such/parent"), err));
    EXPECT_EQ(err.code, kErrorPathNotFound);
    EXPECT_TRUE(p.createFolderTree(dir.file("deep/er/still/"), err));
    EXPECT_TRUE(p.folderExists(dir.file("deep/er/still")));
}

// What may already stand at a fill file's name; none of it is ever opened for writing.
struct ExistingEntry {
    const char* what;
    std::function<void(const TempDir&)> make;
    friend void PrintTo(const ExistingEntry& e, std::ostream* os) { *os << e.what; }
};

class FillFileName : public ::testing::TestWithParam<ExistingEntry> {};

TEST_P(FillFileName, AnExistingEntryIsNeverOpened) {
    TempDir dir;
    PosixPlatform p;
    test::writeText(dir.file("target"), "keep");
    struct stat before {};
    ASSERT_EQ(stat(dir.file("target").c_str(), &before), 0);
    GetParam().make(dir);
    Error err;
    const FolderHandle folder = p.openFillFolder(dir.path() + "/", "", err);
    ASSERT_NE(folder, kInvalidFolder) << err.message;
    FileIdentity id;
    EXPECT_EQ(p.createFillFile(folder, "spylerom-1.tmp", id, err), kInvalidFile)
        << "must fail at once, not hang";
    EXPECT_EQ(err.code, kErrorFileExists);
    EXPECT_EQ(test::readText(dir.file("target")), "keep");
    struct stat st {};
    ASSERT_EQ(stat(dir.file("target").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode, before.st_mode) << "the user's file keeps its mode";
    p.closeFolder(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FillFileName,
    ::testing::Values(
        ExistingEntry{"SymbolicLink",
                      [](const TempDir& d) {
                          ASSERT_EQ(symlink(d.file("target").c_str(), d.file("spylerom-1.tmp").c_str()), 0);
                      }},
        ExistingEntry{"HardLink",
                      [](const TempDir& d) {
                          ASSERT_EQ(link(d.file("target").c_str(), d.file("spylerom-1.tmp").c_str()), 0);
                      }},
        ExistingEntry{"Fifo",
                      [](const TempDir& d) { ASSERT_EQ(mkfifo(d.file("spylerom-1.tmp").c_str(), 0600), 0); }},
        ExistingEntry{"UserFile",
                      [](const TempDir& d) { test::writeText(d.file("spylerom-1.tmp"), "mine"); }},
        ExistingEntry{"Folder",
                      [](const TempDir& d) { ASSERT_EQ(mkdir(d.file("spylerom-1.tmp").c_str(), 0700), 0); }}),
    [](const auto& param) { return std::string(param.param.what); });

TEST(Files, FillFileIsNewPrivateAndKnownByItsIdentity) {
    TempDir dir;
    PosixPlatform p;
    Error err;
    const FolderHandle folder = p.openFillFolder(dir.path() + "/", "", err);
    ASSERT_NE(folder, kInvalidFolder);
    FileIdentity made;
    const FileHandle h = p.createFillFile(folder, "plain", made, err);
    ASSERT_NE(h, kInvalidFile) << err.message;
    std::size_t written = 0;
    EXPECT_TRUE(p.writeFile(h, "abc", 3, written, err));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(p.flushFile(h, err));
    EXPECT_TRUE(p.closeFile(h, err));
    struct stat st {};
    ASSERT_EQ(stat(dir.file("plain").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    FileIdentity found;
    ASSERT_TRUE(p.identifyFile(folder, "plain", found));
    EXPECT_TRUE(found.sameFile(made));
    EXPECT_TRUE(found.privateFile);
    EXPECT_EQ(found.size, 3);
    // Another file at the same name later is not the same file.
    ASSERT_TRUE(p.deleteFillFile(folder, "plain", err));
    test::writeText(dir.file("plain"), "abc");
    ASSERT_TRUE(p.identifyFile(folder, "plain", found));
    EXPECT_FALSE(found.sameFile(made));
    EXPECT_FALSE(p.identifyFile(folder, "missing", found));
    p.closeFolder(folder);
}

TEST(Files, OneDriveLockAtATime) {
    TempDir dir;
    PosixPlatform p;
    Error err;
    const FolderHandle first = p.lockDrive(dir.path(), err);
    ASSERT_NE(first, kInvalidFolder) << err.message;
    EXPECT_EQ(p.lockDrive(dir.path(), err), kInvalidFolder);
    EXPECT_EQ(err.code, kErrorLockViolation);
    p.closeFolder(first);
    const FolderHandle again = p.lockDrive(dir.path(), err);
    EXPECT_NE(again, kInvalidFolder) << "released with its holder";
    p.closeFolder(again);
}

TEST(Drives, APinnedFolderMustLieOnItsDrive) {
    std::string why;
    if (!test::LoopImage::available(&why))
        GTEST_SKIP() << why;
    test::LoopImage image({64, "ext4", false});
    ASSERT_TRUE(image.ok()) << image.error();
    TempDir elsewhere;
    PosixPlatform p;
    const std::string root = image.mountPoint() + "/";
    Error err;
    EXPECT_EQ(p.openFillFolder(elsewhere.path() + "/", root, err), kInvalidFolder);
    EXPECT_EQ(err.code, kErrorNotSameDevice);

    const FolderHandle folder = p.openFillFolder(root, root, err);
    ASSERT_NE(folder, kInvalidFolder) << err.message;
    EXPECT_TRUE(p.fillFolderStillMounted(folder));
    FileIdentity id;
    const FileHandle h = p.createFillFile(folder, "spylerom-1.tmp", id, err);
    ASSERT_NE(h, kInvalidFile);
    // Unmounted under the pass: noticed, and the file is still deleted on its own volume.
    ASSERT_EQ(test::run("umount -l '" + image.mountPoint() + "'"), 0);
    EXPECT_FALSE(p.fillFolderStillMounted(folder));
    EXPECT_TRUE(p.closeFile(h, err));
    EXPECT_TRUE(p.deleteFillFile(folder, "spylerom-1.tmp", err));
    p.closeFolder(folder);
    EXPECT_EQ(p.openFillFolder(root, root, err), kInvalidFolder) << "the mount point without its volume";
    ASSERT_TRUE(image.mount());
    EXPECT_FALSE(std::filesystem::exists(image.mountPoint() + "/spylerom-1.tmp"));
}

TEST(Files, ReplaceFileKeepsModeAndLeavesNoTemporary) {
    TempDir dir;
    PosixPlatform p;
    Error err;
    const std::string path = dir.file("settings.ini");
    test::writeText(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(p.replaceFile(path, "new content", err));
    EXPECT_EQ(test::readText(path), "new content");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(p.listFolder(dir.path(), entries, err));
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_FALSE(p.replaceFile(dir.file("no/folder/file"), "x", err));
    EXPECT_EQ(err.code, kErrorFileNotFound);
}

// Root writing back a user's settings file (one in the user's working folder) leaves it the user's.
TEST(Files, ReplaceFileByRootKeepsTheOwner) {
    if (geteuid() != 0)
        GTEST_SKIP() << "changing owners needs root";
    TempDir dir;
    PosixPlatform p;
    Error err;
    const std::string path = dir.file("solvarek.ini");
    test::writeText(path, "the user's");
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    ASSERT_TRUE(p.replaceFile(path, "written by root", err)) << err.message;
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(test::readText(path), "written by root");
}

// What stands at a shared file's name before an append, and what the append must do with it.
struct SharedNameCase {
    const char* name;
    void (*plant)(const TempDir& dir); // puts something at dir/shared.log
    bool appended;
};

class SharedFileName : public ::testing::TestWithParam<SharedNameCase> {};

TEST_P(SharedFileName, AppendGoesOnlyIntoARegularFile) {
    TempDir dir;
    test::writeText(dir.file("target"), "keep");
    GetParam().plant(dir);
    PosixPlatform p;
    Error err;
    EXPECT_EQ(p.appendToSharedFile(dir.file("shared.log"), "line\r\n", 0, "", err), GetParam().appended)
        << "must fail at once, not hang";
    EXPECT_EQ(test::readText(dir.file("target")), "keep") << "nothing written through the name";
    if (GetParam().appended) {
        EXPECT_TRUE(test::readText(dir.file("shared.log")).ends_with("line\r\n"));
    } else {
        EXPECT_NE(err.code, kErrorSuccess);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, SharedFileName,
    ::testing::Values(
        SharedNameCase{"Missing", [](const TempDir&) {}, true},
        SharedNameCase{"ExistingFile",
                       [](const TempDir& d) { test::writeText(d.file("shared.log"), "old\r\n"); }, true},
        SharedNameCase{"LinkToAFile",
                       [](const TempDir& d) {
                           ASSERT_EQ(symlink(d.file("target").c_str(), d.file("shared.log").c_str()), 0);
                       },
                       false},
        SharedNameCase{"Fifo",
                       [](const TempDir& d) { ASSERT_EQ(mkfifo(d.file("shared.log").c_str(), 0600), 0); },
                       false},
        SharedNameCase{"Folder",
                       [](const TempDir& d) { ASSERT_EQ(mkdir(d.file("shared.log").c_str(), 0700), 0); },
                       false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Files, ReadFilePartReadsTheHeadOrTheTailOnly) {
    TempDir dir;
    PosixPlatform p;
    Error err;
    test::writeText(dir.file("f"), "0123456789");
    std::string bytes;
    std::int64_t size = 0;
    ASSERT_TRUE(p.readFilePart(dir.file("f"), false, 4, bytes, size, err));
    EXPECT_EQ(bytes, "0123");
    EXPECT_EQ(size, 10);
    ASSERT_TRUE(p.readFilePart(dir.file("f"), true, 4, bytes, size, err));
    EXPECT_EQ(bytes, "6789");
    ASSERT_TRUE(p.readFilePart(dir.file("f"), true, 100, bytes, size, err));
    EXPECT_EQ(bytes, "0123456789");
    EXPECT_FALSE(p.readFilePart(dir.file("missing"), true, 4, bytes, size, err));
    EXPECT_EQ(err.code, kErrorFileNotFound);
}

TEST(Files, ReadOnlyAttributeAndListing) {
    TempDir dir;
    PosixPlatform p;
    Error err;
    test::writeText(dir.file("ro"), "x");
    ASSERT_EQ(chmod(dir.file("ro").c_str(), 0444), 0);
    EXPECT_TRUE(p.isReadOnly(dir.file("ro")));
    EXPECT_EQ(p.fileSizeForWrite(dir.file("ro")), -1);
    ASSERT_TRUE(p.setNormalAttributes(dir.file("ro"), err));
    EXPECT_FALSE(p.isReadOnly(dir.file("ro")));
    EXPECT_EQ(p.fileSizeForWrite(dir.file("ro")), 1);

    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0755), 0);
    ASSERT_EQ(symlink("/", dir.file("rootlink").c_str()), 0);
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(p.listFolder(dir.path(), entries, err));
    ASSERT_EQ(entries.size(), 3u);
    for (const auto& e : entries) {
        if (e.name == "rootlink") {
            EXPECT_TRUE(e.isLink);
            EXPECT_FALSE(e.isFolder) << "a link to a folder is not entered as a folder";
        }
        if (e.name == "folder") {
            EXPECT_TRUE(e.isFolder);
        }
    }
    EXPECT_TRUE(p.removeFolder(dir.file("rootlink"), err)) << "a link goes as a link";
    EXPECT_TRUE(p.folderExists("/"));
}

TEST(Files, MoveDoesNotReplace) {
    TempDir dir;
    PosixPlatform p;
    Error err;
    test::writeText(dir.file("a"), "a");
    test::writeText(dir.file("b"), "b");
    EXPECT_FALSE(p.moveFile(dir.file("a"), dir.file("b"), err));
    EXPECT_EQ(err.code, kErrorFileExists);
    EXPECT_TRUE(p.moveFile(dir.file("a"), dir.file("c"), err));
    EXPECT_EQ(test::readText(dir.file("c")), "a");
}

TEST(Paths, FullPath) {
    PosixPlatform p;
    EXPECT_EQ(p.fullPath("/a/b/../c"), "/a/c");
    EXPECT_EQ(p.fullPath("/a/./b/"), "/a/b/");
    EXPECT_EQ(p.fullPath("/a/b/../../.."), "/");
    EXPECT_EQ(p.fullPath("x"), p.currentFolder() + "/x");
    EXPECT_EQ(p.fullPath("/opt/bin/../doc"), "/opt/doc");
}

TEST(Text, Utf8PassesAndWindows1252IsConverted) {
    PosixPlatform p;
    EXPECT_EQ(p.fromFileText("Blokkstørrelse"), "Blokkstørrelse");
    EXPECT_EQ(p.fromFileText("\xC6\xD8\xC5 \x80"), "ÆØÅ €");
    EXPECT_EQ(p.toFileText("ÆØÅ"), "ÆØÅ");
    EXPECT_EQ(p.toUpper("kari østbø"), "KARI ØSTBØ");
}

TEST(Time, DateTimeTextLeavesOutMidnight) {
    test::EnvGuard env;
    PosixPlatform p;
    LocalTime t{2011, 12, 24, 14, 5, 9, 0};
    const std::string full = p.dateTimeText(t);
    t.hour = t.minute = t.second = 0;
    const std::string midnight = p.dateTimeText(t);
    EXPECT_NE(full.find(' '), std::string::npos);
    EXPECT_LT(midnight.size(), full.size());
    EXPECT_EQ(full.rfind(midnight, 0), 0u) << "the date part stays";
    t.millisecond = 1;
    EXPECT_EQ(p.dateTimeText(t).size(), full.size()) << "a millisecond past midnight shows the time";
}

TEST(Environment, PosixHomesOfTheWindowsNames) {
    test::EnvGuard env;
    PosixPlatform p;
    env.unset("APPDATA");
    env.set("XDG_DATA_HOME", "/xdg");
    EXPECT_EQ(p.environment("APPDATA"), "/xdg");
    env.unset("XDG_DATA_HOME");
    env.set("HOME", "/home/kari");
    EXPECT_EQ(p.environment("APPDATA"), "/home/kari/.local/share");
    env.set("APPDATA", "/data");
    EXPECT_EQ(p.environment("APPDATA"), "/data");
    env.unset("TEMP");
    env.unset("TMPDIR");
    EXPECT_EQ(p.environment("TEMP"), "/tmp");
    env.unset("SYSTEMDRIVE");
    EXPECT_EQ(p.environment("SYSTEMDRIVE"), "C:");
    env.unset("USERNAME");
    env.set("USER", "ola");
    EXPECT_EQ(p.environment("USERNAME"), "ola");
    env.unset("USERPROFILE");
    EXPECT_EQ(p.environment("USERPROFILE"), "/home/kari");
    env.unset("WINDIR");
    EXPECT_EQ(p.environment("WINDIR"), "");
    EXPECT_EQ(p.programPath().substr(p.programPath().rfind('/') + 1), "platform_tests");
}

// The password database's entry of the real user (what a process without any environment has).
std::pair<std::string, std::string> accountNameAndHome() {
    const passwd* entry = getpwuid(getuid());
    return entry ? std::pair{std::string(entry->pw_name), std::string(entry->pw_dir)}
                 : std::pair{std::string(), std::string()};
}

struct EmptyEnvironmentCase {
    const char* name;
    const char* home;    // HOME, nullptr for unset
    const char* appData; // expected APPDATA, "@" standing for the account's home
    const char* profile; // expected USERPROFILE, the same way
};

class EmptyEnvironment : public ::testing::TestWithParam<EmptyEnvironmentCase> {};

TEST_P(EmptyEnvironment, FoldersComeFromTheAccountNeverTheRoot) {
    const auto [account, home] = accountNameAndHome();
    if (home.empty() || home == "/")
        GTEST_SKIP() << "this account has no home of its own in the password database";
    test::EnvGuard env;
    // As cron or "env -i" start a program: nothing of the session's environment.
    for (const char* name : {"APPDATA", "XDG_DATA_HOME", "HOME", "USERPROFILE", "USERNAME", "USER"})
        env.unset(name);
    if (GetParam().home)
        env.set("HOME", GetParam().home);
    const auto expand = [&](std::string text) {
        if (!text.empty() && text.front() == '@')
            text.replace(0, 1, home);
        return text;
    };
    PosixPlatform p;
    EXPECT_EQ(p.environment("APPDATA"), expand(GetParam().appData));
    EXPECT_EQ(p.environment("USERPROFILE"), expand(GetParam().profile));
    EXPECT_EQ(p.environment("USERNAME"), account);
    EXPECT_NE(p.environment("APPDATA"), "");
}

INSTANTIATE_TEST_SUITE_P(Homes, EmptyEnvironment,
                         ::testing::Values(EmptyEnvironmentCase{"NothingSet", nullptr, "@/.local/share", "@"},
                                           EmptyEnvironmentCase{"EmptyHome", "", "@/.local/share", "@"},
                                           EmptyEnvironmentCase{"HomeWithSlash", "/home/kari/",
                                                                "/home/kari/.local/share", "/home/kari"},
                                           EmptyEnvironmentCase{"HomeIsTheRoot", "/", "/.local/share", "/"}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace spylerom::platform
