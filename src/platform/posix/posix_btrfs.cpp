// btrfs: relocating the metadata and system block groups (a balance), its progress and its
// cancel, and the metadata space. When to relocate is the fill's business.
#include "platform/posix/descriptor.h"
#include "platform/posix/posix_platform.h"

namespace spylerom::platform {

bool PosixPlatform::relocateMetadata(FolderHandle, Error& err) {
    err = errorFromErrno(EOPNOTSUPP);
    return false;
}

bool PosixPlatform::relocationProgress(FolderHandle, RelocationProgress& out) const {
    out = {};
    return false;
}

void PosixPlatform::cancelRelocation(FolderHandle) {}

bool PosixPlatform::metadataSpace(FolderHandle, DiskSpace& out, Error& err) const {
    out = {};
    err = errorFromErrno(EOPNOTSUPP);
    return false;
}

} // namespace spylerom::platform
