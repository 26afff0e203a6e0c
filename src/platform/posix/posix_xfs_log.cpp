// The xfs internal log's size, and extended attributes on a fill file: what the fill needs to
// write the log around with transactions of its own. When to do it is the fill's business.
#include "platform/posix/descriptor.h"
#include "platform/posix/posix_platform.h"

namespace spylerom::platform {

std::int64_t PosixPlatform::internalLogBytes(FolderHandle) const {
    return 0;
}

bool PosixPlatform::setFileAttribute(FileHandle, const std::string&, const void*, std::size_t, Error& err) {
    err = errorFromErrno(EOPNOTSUPP);
    return false;
}

} // namespace spylerom::platform
