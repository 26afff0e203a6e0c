// The volume that holds a folder: its mount, its file-system type, the flush of its journal and
// the gauge of its file-record table. What to do with them is the fill's business.
#include "platform/posix/descriptor.h"
#include "platform/posix/posix_platform.h"

#include <algorithm>
#include <blkid/blkid.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <libmount/libmount.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <linux/types.h>
#include <memory>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

// Writes the ext4 journal home (Linux 5.13 on); older headers lack it.
#ifndef EXT4_IOC_CHECKPOINT
#define EXT4_IOC_CHECKPOINT _IOW('f', 43, __u32)
#define EXT4_IOC_CHECKPOINT_FLAG_DISCARD 0x00000001
#define EXT4_IOC_CHECKPOINT_FLAG_ZEROOUT 0x00000002
#endif

namespace spylerom::platform {

namespace {

struct TableDeleter {
    void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};
using Table = std::unique_ptr<libmnt_table, TableDeleter>;

Table mountTable() {
    return Table(mnt_new_table_from_file("/proc/self/mountinfo"));
}

std::string text(const char* value) {
    return value ? value : "";
}

MountFacts factsOf(libmnt_fs* fs) {
    MountFacts facts;
    facts.id = mnt_fs_get_id(fs);
    facts.target = text(mnt_fs_get_target(fs));
    facts.source = text(mnt_fs_get_source(fs));
    facts.type = text(mnt_fs_get_fstype(fs));
    facts.superOptions = text(mnt_fs_get_fs_options(fs));
    return facts;
}

bool isUnder(const std::string& path, const std::string& root) {
    if (root == "/")
        return true;
    return path.compare(0, root.size(), root) == 0 &&
           (path.size() == root.size() || path[root.size()] == '/');
}

std::string lower(std::string value) {
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return value;
}

bool isFuse(const MountFacts& mount) {
    return mount.type == "fuseblk" || mount.type.rfind("fuseblk.", 0) == 0 || mount.type == "fuse" ||
           mount.type.rfind("fuse.", 0) == 0;
}

} // namespace

bool mountOfFolder(const std::string& folder, MountFacts& out) {
    struct stat st {};
    char resolved[PATH_MAX] = {};
    if (stat(folder.c_str(), &st) != 0 || !realpath(folder.c_str(), resolved))
        return false;
    const Table table = mountTable();
    if (!table)
        return false;
    // Bind mounts share a device number: the deepest mount point above the folder is its mount.
    libmnt_iter* iter = mnt_new_iter(MNT_ITER_FORWARD);
    libmnt_fs* fs = nullptr;
    bool found = false;
    while (mnt_table_next_fs(table.get(), iter, &fs) == 0) {
        const char* target = mnt_fs_get_target(fs);
        if (!target || mnt_fs_get_devno(fs) != st.st_dev || !isUnder(resolved, target))
            continue;
        if (!found || std::string_view(target).size() >= out.target.size()) {
            out = factsOf(fs);
            found = true;
        }
    }
    mnt_free_iter(iter);
    return found;
}

std::string mountInstanceOf(const std::string& path) {
    constexpr unsigned kMountIdUnique = 0x4000U; // STATX_MNT_ID_UNIQUE, Linux 6.8 on
    struct statx st {};
    if (statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, kMountIdUnique, &st) == 0 &&
        (st.stx_mask & kMountIdUnique))
        return "u" + std::to_string(st.stx_mnt_id);
    if (statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_MNT_ID, &st) == 0 &&
        (st.stx_mask & STATX_MNT_ID))
        return "m" + std::to_string(st.stx_mnt_id);
    return {};
}

std::string volumeTypeOf(const MountFacts& mount) {
    if (!isFuse(mount))
        return lower(mount.type);
    // A FUSE driver (ntfs-3g, exfat-fuse) shows only "fuseblk": the device says what it holds.
    struct stat st {};
    if (mount.source.empty() || mount.source[0] != '/' || stat(mount.source.c_str(), &st) != 0 ||
        !S_ISBLK(st.st_mode))
        return {};
    // The device itself, not blkid's cache: a loop device may hold another volume by now.
    std::string type;
    if (blkid_probe probe = blkid_new_probe_from_filename(mount.source.c_str())) {
        const char* value = nullptr;
        if (blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, "TYPE", &value, nullptr) == 0 &&
            value)
            type = lower(value);
        blkid_free_probe(probe);
    }
    if (type.empty()) { // a user who may not read the device: the cache's word
        char* value = blkid_get_tag_value(nullptr, "TYPE", mount.source.c_str());
        type = value ? lower(value) : std::string();
        std::free(value);
    }
    return type;
}

bool PosixPlatform::settleVolume(FolderHandle folder, Error& err) {
    // Through the pinned folder: after a lazy unmount or under a mount laid over it, a path would
    // reach whatever is mounted there now, never the pass's own volume.
    // Opened anew through it: syncfs reports what went wrong since its descriptor was opened,
    // and the pass's own descriptor would show the full disk its writes met long ago.
    const Descriptor dir(folder == kInvalidFolder
                             ? -1
                             : ::openat(static_cast<int>(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int fd = dir.get();
    if (fd < 0 || syncfs(fd) != 0) {
        err = errorFromErrno(folder == kInvalidFolder ? EBADF : errno);
        return false;
    }
    struct statfs fs {};
    if (fstatfs(fd, &fs) == 0 && fs.f_type == EXT4_SUPER_MAGIC) {
        // A block freed after the journal took it but before the journal wrote it home (an
        // extent-tree block of a deleted fill file) would keep its old content: write it home now.
        // Without the right (CAP_SYS_ADMIN) or on an older kernel the sync above is what there is.
        __u32 flags = 0;
        (void)ioctl(fd, EXT4_IOC_CHECKPOINT, &flags);
    }
    return true;
}

JournalWipe PosixPlatform::wipeJournal(FolderHandle folder, Error& err) {
    const Descriptor dir(folder == kInvalidFolder
                             ? -1
                             : ::openat(static_cast<int>(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct statfs fs {};
    if (dir.get() < 0 || fstatfs(dir.get(), &fs) != 0 || fs.f_type != EXT4_SUPER_MAGIC)
        return JournalWipe::None;
    // Each flag writes the journal home first; what is refused leaves the journal as it was.
    for (const auto& [flag, done] :
         {std::pair{__u32{EXT4_IOC_CHECKPOINT_FLAG_ZEROOUT}, JournalWipe::Zeroed},
          std::pair{__u32{EXT4_IOC_CHECKPOINT_FLAG_DISCARD}, JournalWipe::Discarded},
          std::pair{__u32{0}, JournalWipe::WrittenHome}}) {
        __u32 flags = flag;
        if (ioctl(dir.get(), EXT4_IOC_CHECKPOINT, &flags) == 0)
            return done;
        err = errorFromErrno(errno);
        if (errno == EPERM || errno == EACCES || errno == ENOTTY)
            break; // no right (CAP_SYS_ADMIN), or a kernel before 5.13: no flag will do
    }
    return JournalWipe::None;
}

bool PosixPlatform::trimFreeSpace(FolderHandle folder, std::int64_t& bytes, Error& err) {
    bytes = 0;
    const Descriptor dir(folder == kInvalidFolder
                             ? -1
                             : ::openat(static_cast<int>(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        err = errorFromErrno(EBADF);
        return false;
    }
    // A block freed by a transaction that has not reached the journal yet is busy, and the trim
    // passes over the whole free extent it lies in (xfs): the deletes go to the journal first.
    (void)syncfs(dir.get());
    fstrim_range range{};
    range.start = 0;
    range.len = ~0ULL;
    range.minlen = 0;
    if (ioctl(dir.get(), FITRIM, &range) != 0) {
        err = errorFromErrno(errno == ENOTTY ? EOPNOTSUPP : errno);
        return false;
    }
    bytes = static_cast<std::int64_t>(std::min<unsigned long long>(range.len, INT64_MAX));
    return true;
}

bool PosixPlatform::trimFile(FileHandle, std::int64_t& bytes, Error& err) {
    bytes = 0;
    err = errorFromErrno(EOPNOTSUPP); // the volume is trimmed as a whole, after the deletes
    return false;
}

std::string PosixPlatform::fileSystemType(const std::string& folder) const {
    MountFacts mount;
    return mountOfFolder(folder, mount) ? volumeTypeOf(mount) : std::string();
}

bool PosixPlatform::fileRecordGauge(const std::string& folder, std::int64_t& gauge, Error& err) const {
    // Asked once for every record file: the mount table is read once per mount.
    const std::string instance = mountInstanceOf(folder);
    bool ntfs3g = false;
    {
        const std::lock_guard<std::mutex> lock(recordGaugeMutex_);
        if (instance.empty() || instance != recordGaugeMount_.first) {
            MountFacts mount;
            recordGaugeMount_ = {instance, mountOfFolder(folder, mount) && isFuse(mount) &&
                                               volumeTypeOf(mount) == "ntfs"};
        }
        ntfs3g = recordGaugeMount_.second;
    }
    if (!ntfs3g) {
        err = errorFromErrno(EOPNOTSUPP);
        return false;
    }
    struct statvfs st {};
    if (statvfs(folder.c_str(), &st) != 0) {
        err = errorFromErrno(errno);
        return false;
    }
    // ntfs-3g counts as "free inodes" the free records of its table plus those the free space
    // could hold, and as "inodes" the bits of the table's bitmap plus the same free-space share.
    // Their difference leaves the free records: one fewer for each file that reuses a record, a
    // jump up when the table is extended for new ones.
    gauge = static_cast<std::int64_t>(st.f_ffree) - static_cast<std::int64_t>(st.f_files);
    return true;
}

} // namespace spylerom::platform
