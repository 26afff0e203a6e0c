// Blocks a file system holds back from ordinary writes, so a free-space fill cannot reach the
// deleted data in them: ext4's reserved clusters (sysfs) and the xfs reserve pool (ioctl). Root
// may give them to the fill for its duration; the kernel sets its own value at the next mount.
// Tokens name the volume by its device and the life of its mount (the inode of its folder under
// /sys/fs, made anew at each mount), so a restore reaches the same volume wherever it is
// mounted, in any mount namespace, and never one mounted anew. A restore never sets more than
// the kernel itself would.
#include "platform/posix/descriptor.h"
#include "platform/posix/posix_platform.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <libmount/libmount.h>
#include <linux/magic.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <xfs/xfs.h>

namespace spylerom::platform {

namespace {

struct Token {
    std::string kind; // "ext4" or "xfs"
    unsigned major = 0;
    unsigned minor = 0;
    std::uint64_t instance = 0; // inode of /sys/fs/<kind>/<device>
    std::uint64_t value = 0;
};

bool parseNumber(std::string_view text, std::uint64_t& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "<kind>:<major>:<minor>:<instance>=<value>"
bool parseToken(const std::string& text, Token& out) {
    std::vector<std::string_view> parts;
    std::string_view rest(text);
    const auto eq = rest.find('=');
    if (eq == std::string_view::npos)
        return false;
    std::string_view head = rest.substr(0, eq);
    while (true) {
        const auto colon = head.find(':');
        parts.push_back(head.substr(0, colon));
        if (colon == std::string_view::npos)
            break;
        head.remove_prefix(colon + 1);
    }
    std::uint64_t major = 0, minor = 0;
    if (parts.size() != 4 || (parts[0] != "ext4" && parts[0] != "xfs") || !parseNumber(parts[1], major) ||
        !parseNumber(parts[2], minor) || !parseNumber(parts[3], out.instance) ||
        !parseNumber(rest.substr(eq + 1), out.value) || major > 0xfffff || minor > 0xfffff)
        return false;
    out.kind = std::string(parts[0]);
    out.major = static_cast<unsigned>(major);
    out.minor = static_cast<unsigned>(minor);
    return true;
}

std::string tokenText(const Token& t) {
    return t.kind + ":" + std::to_string(t.major) + ":" + std::to_string(t.minor) + ":" +
           std::to_string(t.instance) + "=" + std::to_string(t.value);
}

// The kernel's name of a block device ("loop3", "sda1"), from its number.
std::string deviceName(unsigned major, unsigned minor) {
    char target[512] = {};
    const std::string link = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return {};
    const std::string path(target, static_cast<std::size_t>(n));
    return path.substr(path.find_last_of('/') + 1);
}

// The folder of the mounted volume under /sys/fs, and its inode: the mount's life.
std::string sysfsFolder(const Token& t) {
    const std::string name = deviceName(t.major, t.minor);
    return name.empty() ? std::string() : "/sys/fs/" + t.kind + "/" + name;
}

std::optional<std::uint64_t> sysfsInstance(const Token& t) {
    struct stat st {};
    const std::string folder = sysfsFolder(t);
    if (folder.empty() || stat(folder.c_str(), &st) != 0)
        return std::nullopt;
    return st.st_ino;
}

bool readNumber(const std::string& path, std::uint64_t& value) {
    std::ifstream in(path);
    std::string text;
    return static_cast<bool>(in >> text) && parseNumber(text, value);
}

bool writeNumber(const std::string& path, std::uint64_t value) {
    std::ofstream out(path);
    out << value;
    out.flush();
    return static_cast<bool>(out);
}

bool onDevice(int fd, const Token& t) {
    struct stat st {};
    return fd >= 0 && fstat(fd, &st) == 0 && major(st.st_dev) == t.major && minor(st.st_dev) == t.minor;
}

// A descriptor on the token's volume: `through` where it lies there, else any mount of the
// device this process sees (a bind mount of a folder of it will do).
int openVolume(const Token& t, FolderHandle through) {
    if (through != kInvalidFolder && onDevice(static_cast<int>(through), t))
        return fcntl(static_cast<int>(through), F_DUPFD_CLOEXEC, 0);
    libmnt_table* table = mnt_new_table_from_file("/proc/self/mountinfo");
    if (!table)
        return -1;
    int found = -1;
    libmnt_iter* iter = mnt_new_iter(MNT_ITER_FORWARD);
    libmnt_fs* fs = nullptr;
    const dev_t device = makedev(t.major, t.minor);
    while (found < 0 && mnt_table_next_fs(table, iter, &fs) == 0) {
        const char* target = mnt_fs_get_target(fs);
        if (!target || mnt_fs_get_devno(fs) != device)
            continue;
        const int fd = ::open(target, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (onDevice(fd, t))
            found = fd;
        else if (fd >= 0)
            ::close(fd);
    }
    mnt_free_iter(iter);
    mnt_unref_table(table);
    return found;
}

bool xfsPool(int fd, const std::uint64_t* set, std::uint64_t& blocks) {
    xfs_fsop_resblks_t pool{};
    bool ok = false;
    if (set) {
        pool.resblks = *set;
        ok = ioctl(fd, XFS_IOC_SET_RESBLKS, &pool) == 0;
    } else {
        ok = ioctl(fd, XFS_IOC_GET_RESBLKS, &pool) == 0;
    }
    blocks = pool.resblks;
    return ok;
}

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// What the kernel reserves on an ext4 volume when it mounts it: 2 % of its clusters, at most
// 4096, none without extents. Read from the superblock on the device.
std::optional<std::uint64_t> ext4Default(const Token& t) {
    const std::string name = deviceName(t.major, t.minor);
    if (name.empty())
        return std::nullopt;
    const Descriptor dev(::open(("/dev/" + name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat st {};
    unsigned char sb[1024] = {};
    if (dev.get() < 0 || fstat(dev.get(), &st) != 0 || !S_ISBLK(st.st_mode) ||
        st.st_rdev != makedev(t.major, t.minor) || pread(dev.get(), sb, sizeof sb, 1024) != sizeof sb ||
        (sb[0x38] | sb[0x39] << 8) != 0xEF53)
        return std::nullopt;
    const std::uint32_t incompat = le32(sb + 0x60);
    constexpr std::uint32_t kExtents = 0x40, kSixtyFourBit = 0x80;
    std::uint64_t blocks = le32(sb + 0x04);
    if (incompat & kSixtyFourBit)
        blocks |= static_cast<std::uint64_t>(le32(sb + 0x150)) << 32;
    const std::uint32_t logBlock = le32(sb + 0x18);
    const std::uint32_t logCluster = le32(sb + 0x1C);
    const unsigned clusterBits = logCluster > logBlock ? logCluster - logBlock : 0;
    if (!(incompat & kExtents) || clusterBits >= 32)
        return 0;
    return std::min<std::uint64_t>((blocks >> clusterBits) / 50, 4096);
}

// What the kernel reserves on an xfs volume when it mounts it: 5 % of its data blocks, at most 8192.
std::optional<std::uint64_t> xfsDefault(int fd) {
    struct xfs_fsop_geom geometry {};
    if (ioctl(fd, XFS_IOC_FSGEOMETRY, &geometry) != 0)
        return std::nullopt;
    return std::min<std::uint64_t>(geometry.datablocks / 20, 8192);
}

// Sets the token's reserve to value on its volume, if it is still the mount the token saw.
bool setReserve(const Token& t, std::uint64_t value, FolderHandle through, bool capped) {
    if (sysfsInstance(t) != t.instance)
        return false; // gone, or mounted anew: the kernel set its own value
    if (t.kind == "ext4") {
        if (capped) {
            const auto most = ext4Default(t);
            if (!most)
                return false; // nothing proves the value is not a raise
            value = std::min(value, *most);
        }
        return writeNumber(sysfsFolder(t) + "/reserved_clusters", value);
    }
    const Descriptor fd(openVolume(t, through));
    if (fd.get() < 0)
        return false;
    if (capped) {
        const auto most = xfsDefault(fd.get());
        if (!most)
            return false;
        value = std::min(value, *most);
    }
    std::uint64_t blocks = 0;
    return xfsPool(fd.get(), &value, blocks);
}

} // namespace

std::string PosixPlatform::writeReserveToken(FolderHandle folder) {
    const int fd = static_cast<int>(folder);
    struct stat st {};
    struct statfs fs {};
    if (folder == kInvalidFolder || fstat(fd, &st) != 0 || fstatfs(fd, &fs) != 0)
        return {};
    Token t;
    t.major = major(st.st_dev);
    t.minor = minor(st.st_dev);
    if (fs.f_type == EXT4_SUPER_MAGIC)
        t.kind = "ext4";
    else if (fs.f_type == XFS_SUPER_MAGIC)
        t.kind = "xfs";
    else
        return {};
    const auto instance = sysfsInstance(t);
    if (!instance)
        return {};
    t.instance = *instance;
    if (t.kind == "ext4") {
        const std::string path = sysfsFolder(t) + "/reserved_clusters";
        // Only who may write the pool's file may lift it (ext2 and ext3 volumes have none).
        if (!readNumber(path, t.value) || ::access(path.c_str(), W_OK) != 0)
            return {};
    } else if (!xfsPool(fd, nullptr, t.value)) { // reading the pool takes the right to set it
        return {};
    }
    return t.value == 0 ? std::string() : tokenText(t);
}

bool PosixPlatform::liftWriteReserve(const std::string& token, FolderHandle through) {
    Token t;
    return parseToken(token, t) && setReserve(t, 0, through, false);
}

bool PosixPlatform::restoreWriteReserve(const std::string& token, FolderHandle through) {
    Token t;
    return parseToken(token, t) && setReserve(t, t.value, through, true);
}

} // namespace spylerom::platform
