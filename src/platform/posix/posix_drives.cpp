// Mounted file systems as lettered drives: "/" is always C:, every other file system backed by
// a block device or a network share gets D:, E:, ... in the order of its mount point.
#include "platform/posix/posix_platform.h"

#include <algorithm>
#include <array>
#include <blkid/blkid.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <libmount/libmount.h>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace spylerom::platform {

namespace {

bool isNetworkType(std::string_view type) {
    static constexpr std::array<std::string_view, 10> kNetwork = {
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "ceph", "glusterfs", "9p", "afs"};
    return std::find(kNetwork.begin(), kNetwork.end(), type) != kNetwork.end();
}

bool isCdType(std::string_view type) {
    return type == "iso9660" || type == "udf";
}

bool isBlockDevice(const char* source) {
    struct stat st {};
    return source && source[0] == '/' && stat(source, &st) == 0 && S_ISBLK(st.st_mode);
}

bool isFolder(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool underSystemTree(std::string_view target) {
    for (std::string_view prefix : {"/proc", "/sys", "/dev", "/run"})
        if (target == prefix || (target.size() > prefix.size() && target.substr(0, prefix.size()) == prefix &&
                                 target[prefix.size()] == '/'))
            return true;
    return false;
}

std::string volumeLabel(const char* device) {
    if (!device)
        return {};
    // The device itself where it can be read: looked up through blkid's cache, every drive list
    // run by root would rewrite the cache file.
    errno = 0;
    if (blkid_probe probe = blkid_new_probe_from_filename(device)) {
        blkid_probe_enable_superblocks(probe, 1);
        blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL);
        const char* value = nullptr;
        std::string label;
        if (blkid_do_safeprobe(probe) == 0 &&
            blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 && value)
            label = value;
        blkid_free_probe(probe);
        return label;
    }
    // A user who may not read the device: the cache's word (which a user cannot rewrite). What
    // is no device (a network share, an overlay) has no label to look up.
    if (errno != EACCES)
        return {};
    char* value = blkid_get_tag_value(nullptr, "LABEL", device);
    std::string label = value ? value : "";
    std::free(value);
    return label;
}

std::string itemText(char letter, const std::string& mountPoint) {
    return std::string(1, letter) + ": [" + mountPoint + "]";
}

struct TableDeleter {
    void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};

} // namespace

std::vector<Drive> PosixPlatform::drivesFromMountInfo(const std::string& mountInfoPath, DriveFacts facts) {
    const bool details = facts == DriveFacts::All;
    std::vector<Drive> found;
    Drive root;
    root.letter = 'C';
    root.root = "/";
    root.type = DriveType::Fixed;
    root.itemText = itemText('C', "/");

    std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table_from_file(mountInfoPath.c_str()));
    if (table) {
        libmnt_iter* iter = mnt_new_iter(MNT_ITER_FORWARD);
        libmnt_fs* fs = nullptr;
        while (mnt_table_next_fs(table.get(), iter, &fs) == 0) {
            const char* target = mnt_fs_get_target(fs);
            const char* type = mnt_fs_get_fstype(fs);
            const char* source = mnt_fs_get_source(fs);
            const char* fsRoot = mnt_fs_get_root(fs);
            if (!target || !type)
                continue;
            const std::string mountPoint = target;
            if (mountPoint == "/") {
                if (details) {
                    root.label = volumeLabel(source);
                    root.fileSystem =
                        volumeTypeOf(MountFacts{-1, mountPoint, source ? source : "", type, {}});
                }
                continue;
            }
            const bool network = isNetworkType(type);
            // A bind mount of a sub-folder (fsRoot other than "/") is not a volume of its own.
            const bool wholeVolume = !fsRoot || std::string_view(fsRoot) == "/";
            if (underSystemTree(mountPoint) || !wholeVolume || !(network || isBlockDevice(source)) ||
                !isFolder(target))
                continue;
            // A later mount on the same point hides the earlier one.
            std::erase_if(found, [&](const Drive& d) { return d.root == mountPoint; });
            Drive drive;
            drive.root = mountPoint;
            drive.type = network ? DriveType::Remote : isCdType(type) ? DriveType::CdRom : DriveType::Fixed;
            if (network)
                drive.remotePath = source ? source : "";
            else if (details)
                drive.label = volumeLabel(source);
            if (details) {
                // A FUSE driver's volume (ntfs-3g, exfat-fuse: "fuseblk" on the device) is a disk
                // like any other; its type is the one on the device.
                MountFacts mount;
                mount.type = type;
                mount.source = source ? source : "";
                drive.fileSystem = volumeTypeOf(mount);
            }
            found.push_back(std::move(drive));
        }
        mnt_free_iter(iter);
    }

    std::sort(found.begin(), found.end(), [](const Drive& a, const Drive& b) { return a.root < b.root; });
    std::vector<Drive> drives{root};
    char letter = 'D';
    for (auto& drive : found) {
        if (letter > 'Z')
            break;
        drive.letter = letter++;
        drive.itemText = itemText(drive.letter, drive.root);
        drive.root = withTrailingSeparator(drive.root);
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::vector<Drive> PosixPlatform::drives() const {
    return drives(DriveFacts::All);
}

std::vector<Drive> PosixPlatform::drives(DriveFacts facts) const {
    std::vector<Drive> drives = drivesFromMountInfo("/proc/self/mountinfo", facts);
    for (const auto& [letter, mapped] : mappedDrives_) {
        // The mapped letter replaces both a drive of that letter and the mount's own letter.
        std::erase_if(drives, [&](const Drive& d) { return d.letter == letter || d.root == mapped; });
        Drive drive;
        drive.letter = letter;
        drive.root = mapped;
        drive.type = DriveType::Fixed;
        std::string shown = mapped.size() > 1 ? mapped.substr(0, mapped.size() - 1) : mapped;
        drive.itemText = itemText(letter, shown);
        drives.push_back(std::move(drive));
    }
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    return drives;
}

std::string PosixPlatform::driveRoot(char letter) const {
    if (auto it = mappedDrives_.find(letter); it != mappedDrives_.end())
        return it->second;
    for (const auto& drive : drives(DriveFacts::RootsOnly))
        if (drive.letter == letter)
            return drive.root;
    return {};
}

std::vector<Drive> PosixPlatform::driveRoots() const {
    return drives(DriveFacts::RootsOnly);
}

bool PosixPlatform::isDriveRoot(const std::string& root) const {
    if (root.empty())
        return false;
    const auto list = drives(DriveFacts::RootsOnly);
    return std::any_of(list.begin(), list.end(), [&](const Drive& d) { return d.root == root; });
}

char PosixPlatform::driveOfPath(const std::string& path) const {
    char resolved[PATH_MAX] = {};
    if (!realpath(path.c_str(), resolved))
        return 0;
    const std::string full = withTrailingSeparator(resolved);
    char best = 0;
    std::size_t bestLength = 0;
    for (const auto& drive : drives(DriveFacts::RootsOnly)) {
        char rootResolved[PATH_MAX] = {};
        const std::string rootPath =
            realpath(drive.root.c_str(), rootResolved) ? withTrailingSeparator(rootResolved) : drive.root;
        if (full.compare(0, rootPath.size(), rootPath) == 0 && rootPath.size() > bestLength) {
            best = drive.letter;
            bestLength = rootPath.size();
        }
    }
    return best;
}

bool PosixPlatform::volumeOfPath(const std::string& path, MountedVolume& out, Error& err) const {
    out = MountedVolume{};
    char resolved[PATH_MAX] = {};
    if (!realpath(path.c_str(), resolved)) {
        err = errorFromErrno(errno);
        return false;
    }
    std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table_from_file("/proc/self/mountinfo"));
    // Backwards: of several mounts on one point, the last one made is the one that is seen.
    libmnt_fs* fs = table ? mnt_table_find_mountpoint(table.get(), resolved, MNT_ITER_BACKWARD) : nullptr;
    const char* target = fs ? mnt_fs_get_target(fs) : nullptr;
    if (!target) {
        err = errorFromErrno(ENOENT);
        return false;
    }
    const char* type = mnt_fs_get_fstype(fs);
    out.mountPoint = withTrailingSeparator(target);
    out.type = type ? type : "";
    return true;
}

bool PosixPlatform::diskSpace(const std::string& root, DiskSpace& out, Error& err) const {
    struct statvfs st {};
    if (root.empty() || statvfs(root.c_str(), &st) != 0) {
        err = errorFromErrno(root.empty() ? ENOENT : errno);
        out = DiskSpace{};
        return false;
    }
    out.freeToCaller = static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
    out.total = static_cast<std::int64_t>(st.f_blocks) * static_cast<std::int64_t>(st.f_frsize);
    return true;
}

bool PosixPlatform::sameVolume(const std::string& a, const std::string& b) const {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

} // namespace spylerom::platform
