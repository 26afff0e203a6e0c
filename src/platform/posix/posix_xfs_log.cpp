// The xfs internal log's size, and extended attributes on a fill file: what the fill needs to
// write the log around with transactions of its own. When to do it is the fill's business.
#include "platform/posix/posix_platform.h"

#include <cerrno>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <xfs/xfs.h>

namespace spylerom::platform {

std::int64_t PosixPlatform::internalLogBytes(FolderHandle folder) const {
    if (folder == kInvalidFolder)
        return 0;
    const int fd = static_cast<int>(folder);
    struct statfs fs {};
    if (fstatfs(fd, &fs) != 0 || fs.f_type != XFS_SUPER_MAGIC)
        return 0;
    // The geometry needs no privilege. An external log (logstart 0) lies on another device,
    // which the volume's own writes never reach.
    struct xfs_fsop_geom geometry {};
    if (ioctl(fd, XFS_IOC_FSGEOMETRY, &geometry) != 0 || geometry.logstart == 0)
        return 0;
    return static_cast<std::int64_t>(geometry.logblocks) * static_cast<std::int64_t>(geometry.blocksize);
}

bool PosixPlatform::setFileAttribute(FileHandle file, const std::string& name, const void* data,
                                     std::size_t size, Error& err) {
    // The user namespace: the file's owner may set it without any privilege.
    const std::string full = "user." + name;
    if (fsetxattr(static_cast<int>(file), full.c_str(), data, size, 0) == 0)
        return true;
    err = errorFromErrno(errno);
    return false;
}

} // namespace spylerom::platform
