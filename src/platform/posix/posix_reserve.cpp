// Blocks a file system holds back from ordinary writes, so a free-space fill cannot reach the
// deleted data in them: ext4's reserved clusters (sysfs) and the xfs reserve pool (ioctl). Root
// may give them to the fill for its duration; the kernel sets its own value at the next mount.
// Tokens name the mount instance, so a restore never reaches a volume mounted anew.
#include "platform/posix/posix_platform.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <unistd.h>
#include <xfs/xfs.h>

namespace spylerom::platform {

namespace {

struct Token {
    std::string kind;     // "ext4" or "xfs"
    std::string instance; // mountInstanceOf the mount point
    std::string mountPoint;
    std::uint64_t value = 0;
};

std::string tokenText(const Token& t) {
    return t.kind + ":" + t.instance + ":" + t.mountPoint + "=" + std::to_string(t.value);
}

bool parseNumber(std::string_view text, std::uint64_t& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "<kind>:<instance>:<mount point>=<value>"; the mount point may hold ':' and '=' itself.
bool parseToken(const std::string& text, Token& out) {
    const auto kindEnd = text.find(':');
    const auto instanceEnd = kindEnd == std::string::npos ? kindEnd : text.find(':', kindEnd + 1);
    const auto valueStart = text.rfind('=');
    if (instanceEnd == std::string::npos || valueStart == std::string::npos || valueStart < instanceEnd)
        return false;
    out.kind = text.substr(0, kindEnd);
    out.instance = text.substr(kindEnd + 1, instanceEnd - kindEnd - 1);
    out.mountPoint = text.substr(instanceEnd + 1, valueStart - instanceEnd - 1);
    return parseNumber(std::string_view(text).substr(valueStart + 1), out.value) && !out.instance.empty() &&
           !out.mountPoint.empty();
}

std::string ext4ReservePath(const MountFacts& mount) {
    const std::string device = mount.source.substr(mount.source.find_last_of('/') + 1);
    return device.empty() ? std::string() : "/sys/fs/ext4/" + device + "/reserved_clusters";
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

// The xfs pool of the file system mounted at mountPoint: read (set == nullptr) or set.
bool xfsPool(const std::string& mountPoint, const std::uint64_t* set, std::uint64_t& blocks) {
    const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    xfs_fsop_resblks_t pool{};
    bool ok = false;
    if (set) {
        pool.resblks = *set;
        ok = ioctl(fd, XFS_IOC_SET_RESBLKS, &pool) == 0;
    } else {
        ok = ioctl(fd, XFS_IOC_GET_RESBLKS, &pool) == 0;
    }
    ::close(fd);
    blocks = pool.resblks;
    return ok;
}

// The token's volume is still mounted where it was, as the same mount, and of its kind: then
// the file or ioctl that sets its reserve.
bool setReserve(const Token& t, std::uint64_t value) {
    MountFacts mount;
    if (mountInstanceOf(t.mountPoint) != t.instance || !mountOfFolder(t.mountPoint, mount) ||
        mount.target != t.mountPoint || volumeTypeOf(mount) != t.kind)
        return false;
    if (t.kind == "ext4") {
        const std::string path = ext4ReservePath(mount);
        return !path.empty() && writeNumber(path, value);
    }
    std::uint64_t blocks = 0;
    return t.kind == "xfs" && xfsPool(t.mountPoint, &value, blocks);
}

} // namespace

std::string PosixPlatform::writeReserveToken(const std::string& folder) {
    MountFacts mount;
    if (!mountOfFolder(folder, mount))
        return {};
    Token t;
    t.kind = volumeTypeOf(mount);
    t.mountPoint = mount.target;
    t.instance = mountInstanceOf(mount.target);
    if (t.instance.empty())
        return {};
    if (t.kind == "ext4") {
        const std::string path = ext4ReservePath(mount);
        // Only who may write the pool's file may lift it.
        if (path.empty() || !readNumber(path, t.value) || ::access(path.c_str(), W_OK) != 0)
            return {};
    } else if (t.kind == "xfs") {
        // Reading the pool takes the same right as setting it (CAP_SYS_ADMIN).
        if (!xfsPool(t.mountPoint, nullptr, t.value))
            return {};
    } else {
        return {};
    }
    return t.value == 0 ? std::string() : tokenText(t);
}

bool PosixPlatform::liftWriteReserve(const std::string& token) {
    Token t;
    return parseToken(token, t) && setReserve(t, 0);
}

void PosixPlatform::restoreWriteReserve(const std::string& token) {
    Token t;
    if (parseToken(token, t))
        setReserve(t, t.value);
}

} // namespace spylerom::platform
