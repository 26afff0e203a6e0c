// btrfs: relocating the metadata and system block groups (a balance), its progress and its
// cancel, and the metadata space. When to relocate is the fill's business.
#include "platform/posix/descriptor.h"
#include "platform/posix/posix_platform.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/btrfs.h>
#include <linux/btrfs_tree.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <vector>

namespace spylerom::platform {

namespace {

// The volume of a pinned folder, opened anew so the caller's descriptor keeps its own state.
// -1 (errno set) when the folder is not pinned or not on btrfs.
int openBtrfsVolume(FolderHandle folder, Descriptor& dir) {
    if (folder == kInvalidFolder) {
        errno = EBADF;
        return -1;
    }
    dir.reset(::openat(static_cast<int>(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return -1;
    struct statfs fs {};
    if (fstatfs(dir.get(), &fs) != 0)
        return -1;
    if (fs.f_type != BTRFS_SUPER_MAGIC) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return dir.get();
}

// The volume's space infos (data, metadata, system, the global reserve), asked twice: once for
// their number, once for them.
bool spaceInfos(int fd, std::vector<btrfs_ioctl_space_info>& out) {
    btrfs_ioctl_space_args head{};
    if (ioctl(fd, BTRFS_IOC_SPACE_INFO, &head) != 0)
        return false;
    // One slot more than counted: a group of a new kind may come between the two calls.
    const std::size_t slots = head.total_spaces + 1;
    std::vector<unsigned char> buffer(sizeof(btrfs_ioctl_space_args) +
                                      slots * sizeof(btrfs_ioctl_space_info));
    auto* args = reinterpret_cast<btrfs_ioctl_space_args*>(buffer.data());
    args->space_slots = slots;
    if (ioctl(fd, BTRFS_IOC_SPACE_INFO, args) != 0)
        return false;
    out.assign(args->spaces, args->spaces + std::min<std::uint64_t>(args->total_spaces, slots));
    return true;
}

// Mixed block groups hold data and metadata together; the kernel relocates them only when both
// kinds are asked for, with the same filters.
bool hasMixedGroups(int fd) {
    std::vector<btrfs_ioctl_space_info> infos;
    if (!spaceInfos(fd, infos))
        return false;
    for (const auto& info : infos)
        if ((info.flags & BTRFS_BLOCK_GROUP_DATA) != 0 && (info.flags & BTRFS_BLOCK_GROUP_METADATA) != 0)
            return true;
    return false;
}

} // namespace

bool PosixPlatform::relocateMetadata(FolderHandle folder, Error& err) {
    Descriptor dir;
    const int fd = openBtrfsVolume(folder, dir);
    if (fd < 0) {
        err = errorFromErrno(errno);
        return false;
    }
    // No filters: every metadata and system group moves. The kernel takes system groups without
    // BTRFS_BALANCE_FORCE when they get the same (empty) filters as metadata; the force is only
    // for lowering their redundancy.
    btrfs_ioctl_balance_args args{};
    args.flags = BTRFS_BALANCE_METADATA | BTRFS_BALANCE_SYSTEM;
    if (hasMixedGroups(fd))
        args.flags |= BTRFS_BALANCE_DATA;
    const int rc = ioctl(fd, BTRFS_IOC_BALANCE_V2, &args);
    if (rc == 0)
        return true;
    if (rc > 0) {
        // A btrfs_err_code: another exclusive operation (a device add or remove, a resize) runs.
        err = errorFromErrno(EBUSY);
        return false;
    }
    // EINPROGRESS: a balance of someone else's runs or waits paused.
    err = errorFromErrno(errno == EINPROGRESS ? EBUSY : errno == ENOTTY ? EOPNOTSUPP : errno);
    return false;
}

bool PosixPlatform::relocationProgress(FolderHandle folder, RelocationProgress& out) const {
    out = {};
    Descriptor dir;
    const int fd = openBtrfsVolume(folder, dir);
    if (fd < 0)
        return false;
    btrfs_ioctl_balance_args args{};
    // ENOTCONN: no balance runs or waits; EPERM: only an administrator may ask.
    if (ioctl(fd, BTRFS_IOC_BALANCE_PROGRESS, &args) != 0)
        return false;
    out.running = (args.state & BTRFS_BALANCE_STATE_RUNNING) != 0;
    out.paused = !out.running;
    out.expected = args.stat.expected;
    out.completed = args.stat.completed;
    return true;
}

void PosixPlatform::cancelRelocation(FolderHandle folder) {
    Descriptor dir;
    const int fd = openBtrfsVolume(folder, dir);
    if (fd < 0)
        return;
    // Blocks until the block group being moved is done and the balance has ended. ENOTCONN
    // (none runs, or it ended meanwhile) leaves nothing to do.
    (void)ioctl(fd, BTRFS_IOC_BALANCE_CTL, BTRFS_BALANCE_CTL_CANCEL);
}

bool PosixPlatform::metadataSpace(FolderHandle folder, DiskSpace& out, Error& err) const {
    out = {};
    Descriptor dir;
    const int fd = openBtrfsVolume(folder, dir);
    std::vector<btrfs_ioctl_space_info> infos;
    if (fd < 0 || !spaceInfos(fd, infos)) {
        err = errorFromErrno(errno == ENOTTY ? EOPNOTSUPP : errno);
        return false;
    }
    std::uint64_t total = 0;
    std::uint64_t used = 0;
    for (const auto& info : infos) {
        // The global reserve is a share of the metadata groups, not groups of its own.
        if ((info.flags & BTRFS_BLOCK_GROUP_METADATA) == 0 || (info.flags & BTRFS_SPACE_INFO_GLOBAL_RSV) != 0)
            continue;
        total += info.total_bytes;
        used += info.used_bytes;
    }
    if (total == 0) {
        err = errorFromErrno(EOPNOTSUPP);
        return false;
    }
    out.total = static_cast<std::int64_t>(total);
    out.freeToCaller = static_cast<std::int64_t>(total > used ? total - used : 0);
    return true;
}

} // namespace spylerom::platform
