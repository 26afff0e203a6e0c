// A pass's pinned folder: its files are made, identified and deleted relative to a descriptor of
// the folder, checked once against the mount at the drive's root, so a mount that changes later
// can neither redirect a file nor make the pass delete one on another volume. Also the drive
// lock and the process identity that the crash record keeps.
#include "platform/posix/posix_platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <libmount/libmount.h>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <sys/random.h>
#include <sys/xattr.h>

#ifndef STATX_MNT_ID
#define STATX_MNT_ID 0x00001000U
#endif

namespace spylerom::platform {

namespace {

struct Pinned {
    std::string root; // empty: no drive to compare with
    dev_t device = 0;
    std::uint64_t mountId = 0;
};

std::mutex& pinnedMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<int, Pinned>& pinnedFolders() {
    static std::map<int, Pinned> folders;
    return folders;
}

// The mount and the device a descriptor lies on.
bool mountOf(int fd, std::uint64_t& mountId, dev_t& device) {
    struct statx sx {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &sx) != 0)
        return false;
    mountId = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    return true;
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Whether the mount table has the mount `mountId` at exactly `target`.
bool mountedAt(std::uint64_t mountId, const std::string& target) {
    libmnt_table* table = mnt_new_table_from_file("/proc/self/mountinfo");
    if (!table)
        return false;
    bool found = false;
    libmnt_iter* iter = mnt_new_iter(MNT_ITER_FORWARD);
    libmnt_fs* fs = nullptr;
    while (!found && mnt_table_next_fs(table, iter, &fs) == 0) {
        const char* at = mnt_fs_get_target(fs);
        found = static_cast<std::uint64_t>(mnt_fs_get_id(fs)) == mountId && at && target == at;
    }
    mnt_free_iter(iter);
    mnt_unref_table(table);
    return found;
}

// The volume a descriptor lies on: the file system's own id, or where it gives none (FUSE among
// others) the device number.
std::uint64_t volumeOf(int fd, dev_t device) {
    struct statfs fs {};
    std::uint64_t fsid = 0;
    if (fstatfs(fd, &fs) == 0)
        std::memcpy(&fsid, &fs.f_fsid, std::min(sizeof fsid, sizeof fs.f_fsid));
    return fsid != 0 ? fsid : device;
}

bool identify(int fd, FileIdentity& id) {
    struct statx sx {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0 || !S_ISREG(sx.stx_mode))
        return false;
    id.volume = volumeOf(fd, makedev(sx.stx_dev_major, sx.stx_dev_minor));
    id.file = sx.stx_ino;
    id.birthNs = (sx.stx_mask & STATX_BTIME)
                     ? static_cast<std::int64_t>(sx.stx_btime.tv_sec) * 1000000000 + sx.stx_btime.tv_nsec
                     : 0;
    id.size = static_cast<std::int64_t>(sx.stx_size);
    id.privateFile = (sx.stx_mode & 07777) == 0600 && sx.stx_uid == geteuid();
    return true;
}

constexpr const char* kMarkAttribute = "user.spylerom.mark";

Pinned pinnedOf(FolderHandle folder, bool& found) {
    const std::lock_guard lock(pinnedMutex());
    const auto it = pinnedFolders().find(static_cast<int>(folder));
    found = it != pinnedFolders().end();
    return found ? it->second : Pinned{};
}

void pin(int fd, const Pinned& pinned) {
    const std::lock_guard lock(pinnedMutex());
    pinnedFolders()[fd] = pinned;
}

// The names of a relative folder path ("a/b/"), or false for one that could leave its base.
bool namesOf(const std::string& relative, std::vector<std::string>& names) {
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        const std::string name = relative.substr(start, end - start);
        if (name == "..")
            return false;
        if (!name.empty() && name != ".")
            names.push_back(name);
        start = end + 1;
    }
    return relative.empty() || relative.front() != '/';
}

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Field 22 of /proc/<pid>/stat: the process's start time in clock ticks since boot.
std::string startTimeOf(const std::string& pid) {
    const std::string stat = readFirstLine("/proc/" + pid + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            return field;
    return {};
}

} // namespace

FolderHandle PosixPlatform::openFillFolder(const std::string& folder, const std::string& driveRoot,
                                           Error& err) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        err = errorFromErrno(errno);
        if (errno == ENOENT)
            err.code = kErrorPathNotFound;
        return kInvalidFolder;
    }
    Pinned pinned;
    if (!driveRoot.empty()) {
        const int rootFd = ::open(driveRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool rootKnown = rootFd >= 0 && mountOf(rootFd, pinned.mountId, pinned.device);
        if (rootFd >= 0)
            ::close(rootFd);
        // A drive's root must still be the mount the drive list named; a folder that a test maps
        // to a letter is its own root.
        const std::string target = withoutTrailingSlash(driveRoot);
        const bool mapped = std::any_of(mappedDrives_.begin(), mappedDrives_.end(), [&](const auto& m) {
            return m.second == withTrailingSeparator(target);
        });
        if (!rootKnown || (!mapped && !mountedAt(pinned.mountId, target))) {
            ::close(fd);
            err = errorFromErrno(ENOENT);
            err.code = kErrorPathNotFound; // the drive is gone
            return kInvalidFolder;
        }
        std::uint64_t folderMount = 0;
        dev_t folderDevice = 0;
        // A mapped drive is a folder, not a volume: a folder outside it lies on another drive.
        char resolvedFolder[PATH_MAX] = {};
        char resolvedRoot[PATH_MAX] = {};
        const bool outsideMapped =
            mapped &&
            (!realpath(folder.c_str(), resolvedFolder) || !realpath(driveRoot.c_str(), resolvedRoot) ||
             withTrailingSeparator(resolvedFolder).rfind(withTrailingSeparator(resolvedRoot), 0) != 0);
        if (outsideMapped || !mountOf(fd, folderMount, folderDevice) || folderDevice != pinned.device) {
            ::close(fd);
            err = errorFromErrno(EXDEV);
            return kInvalidFolder;
        }
        pinned.root = target;
    }
    pin(fd, pinned);
    return fd;
}

FolderHandle PosixPlatform::openSubfolder(FolderHandle base, const std::string& relative, Error& err) {
    bool found = false;
    const Pinned pinned = pinnedOf(base, found);
    std::vector<std::string> names;
    struct stat baseSt {};
    if (!found || fstat(static_cast<int>(base), &baseSt) != 0) {
        err = errorFromErrno(EBADF);
        return kInvalidFolder;
    }
    if (!namesOf(relative, names)) {
        err = errorFromErrno(EINVAL);
        return kInvalidFolder;
    }
    int fd = fcntl(static_cast<int>(base), F_DUPFD_CLOEXEC, 0);
    for (const auto& name : names) {
        if (fd < 0)
            break;
        // O_NOFOLLOW: a link on the way is refused, never followed.
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int saved = errno;
        ::close(fd);
        fd = next;
        struct stat st {};
        if (fd < 0) {
            err = errorFromErrno(saved);
            if (saved == ENOENT)
                err.code = kErrorPathNotFound;
            return kInvalidFolder;
        }
        if (fstat(fd, &st) != 0 || st.st_dev != baseSt.st_dev) {
            ::close(fd);
            err = errorFromErrno(EXDEV); // another volume mounted on the way
            return kInvalidFolder;
        }
    }
    if (fd < 0) {
        err = errorFromErrno(errno);
        return kInvalidFolder;
    }
    pin(fd, pinned);
    return fd;
}

bool PosixPlatform::folderIdentity(FolderHandle folder, FileIdentity& id) const {
    struct stat st {};
    if (fstat(static_cast<int>(folder), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    id.volume = volumeOf(static_cast<int>(folder), st.st_dev);
    id.file = st.st_ino;
    return true;
}

bool PosixPlatform::createFillFolder(FolderHandle folder, const std::string& name, Error& err) {
    if (::mkdirat(static_cast<int>(folder), name.c_str(), 0700) == 0)
        return true;
    err = errorFromErrno(errno);
    if (errno == EEXIST)
        err.code = kErrorAlreadyExists;
    return false;
}

bool PosixPlatform::removeFillFolder(FolderHandle folder, const std::string& name, Error& err) {
    // A link of that name is not a folder: AT_REMOVEDIR refuses it rather than follow it.
    if (::unlinkat(static_cast<int>(folder), name.c_str(), AT_REMOVEDIR) == 0)
        return true;
    err = errorFromErrno(errno);
    return false;
}

std::vector<std::string> PosixPlatform::rootsOfVolume(std::uint64_t volume, const std::string& hint) const {
    std::vector<std::string> roots;
    const auto onVolume = [volume](const std::string& root) {
        const int fd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        const bool same = fd >= 0 && fstat(fd, &st) == 0 && volumeOf(fd, st.st_dev) == volume;
        if (fd >= 0)
            ::close(fd);
        return same;
    };
    if (!hint.empty() && onVolume(hint))
        roots.push_back(withTrailingSeparator(hint));
    // Elsewhere only whole volumes on devices: a share could keep a query waiting for its server.
    libmnt_table* table = mnt_new_table_from_file("/proc/self/mountinfo");
    if (!table)
        return roots;
    libmnt_iter* iter = mnt_new_iter(MNT_ITER_FORWARD);
    libmnt_fs* fs = nullptr;
    while (mnt_table_next_fs(table, iter, &fs) == 0) {
        const char* target = mnt_fs_get_target(fs);
        const char* source = mnt_fs_get_source(fs);
        const char* root = mnt_fs_get_root(fs);
        if (!target || !source || std::string_view(source).rfind("/dev/", 0) != 0 || !root ||
            std::string_view(root) != "/")
            continue;
        const std::string candidate = withTrailingSeparator(target);
        if (std::find(roots.begin(), roots.end(), candidate) == roots.end() && onVolume(target))
            roots.push_back(candidate);
    }
    mnt_free_iter(iter);
    mnt_unref_table(table);
    for (const auto& [letter, mapped] : mappedDrives_)
        if (std::find(roots.begin(), roots.end(), mapped) == roots.end() && onVolume(mapped))
            roots.push_back(mapped);
    return roots;
}

bool PosixPlatform::setMark(std::intptr_t handle, const std::string& mark, Error& err) {
    if (fsetxattr(static_cast<int>(handle), kMarkAttribute, mark.data(), mark.size(), 0) == 0)
        return true;
    err = errorFromErrno(errno);
    return false;
}

std::string PosixPlatform::markOf(FolderHandle folder, const std::string& name) const {
    const int fd = ::openat(static_cast<int>(folder), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string mark;
    struct stat st {};
    // A path descriptor has no attribute calls of its own; its /proc name reaches the file
    // itself, and only a file or a folder is asked (never a link, a device or a FIFO).
    if (fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) {
        char value[64] = {};
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t size = getxattr(self.c_str(), kMarkAttribute, value, sizeof value);
        if (size > 0)
            mark.assign(value, static_cast<std::size_t>(size));
    }
    ::close(fd);
    return mark;
}

std::string PosixPlatform::randomToken() const {
    unsigned char bytes[16] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0)
            got += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            std::abort(); // no randomness: nothing may be proven with a mark that others can guess
    }
    return hexText(bytes, sizeof bytes);
}

bool PosixPlatform::fillFolderStillMounted(FolderHandle folder) const {
    Pinned pinned;
    {
        const std::lock_guard lock(pinnedMutex());
        const auto it = pinnedFolders().find(static_cast<int>(folder));
        if (it == pinnedFolders().end())
            return false;
        pinned = it->second;
    }
    if (pinned.root.empty())
        return true;
    const int rootFd = ::open(pinned.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return false;
    std::uint64_t mountId = 0;
    dev_t device = 0;
    const bool same =
        mountOf(rootFd, mountId, device) && mountId == pinned.mountId && device == pinned.device;
    ::close(rootFd);
    return same;
}

void PosixPlatform::closeFolder(FolderHandle folder) {
    if (folder == kInvalidFolder)
        return;
    {
        const std::lock_guard lock(pinnedMutex());
        pinnedFolders().erase(static_cast<int>(folder));
    }
    ::close(static_cast<int>(folder));
}

FileHandle PosixPlatform::createFillFile(FolderHandle folder, const std::string& name, FileIdentity& id,
                                         Error& err) {
    // O_EXCL: an existing name (a user's file, a hard link to one, a link, a FIFO) is never
    // opened, let alone truncated; O_NOFOLLOW for good measure.
    const int fd = ::openat(static_cast<int>(folder), name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        err = errorFromErrno(errno);
        return kInvalidFile;
    }
    // The umask may have taken bits away, never given: 0600 is what the fill's data gets.
    if (fchmod(fd, 0600) != 0 || !identify(fd, id)) {
        const int saved = errno;
        ::close(fd);
        ::unlinkat(static_cast<int>(folder), name.c_str(), 0);
        err = errorFromErrno(saved != 0 ? saved : EIO);
        return kInvalidFile;
    }
    return fd;
}

bool PosixPlatform::identifyFile(FolderHandle folder, const std::string& name, FileIdentity& id) const {
    const int fd = ::openat(static_cast<int>(folder), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool found = identify(fd, id);
    ::close(fd);
    return found;
}

bool PosixPlatform::deleteFillFile(FolderHandle folder, const std::string& name, Error& err) {
    if (::unlinkat(static_cast<int>(folder), name.c_str(), 0) == 0)
        return true;
    err = errorFromErrno(errno == EISDIR ? EACCES : errno);
    return false;
}

FolderHandle PosixPlatform::lockDrive(const std::string& driveRoot, Error& err) {
    const int fd = ::open(driveRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        err = errorFromErrno(errno);
        if (errno == ENOENT)
            err.code = kErrorPathNotFound;
        return kInvalidFolder;
    }
    // flock belongs to the open file and dies with the process, whatever ends it. Where the file
    // system cannot lock at all (some network shares), the fill goes on unlocked.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        err = errorFromErrno(EWOULDBLOCK);
        err.code = kErrorLockViolation;
        return kInvalidFolder;
    }
    return fd;
}

std::string PosixPlatform::processIdentity() const {
    const std::string pid = std::to_string(getpid());
    return pid + ":" + startTimeOf(pid) + ":" + readFirstLine("/proc/sys/kernel/random/boot_id");
}

} // namespace spylerom::platform
