// errno to Windows system error codes, in one place.
#include "platform/posix/posix_platform.h"

#include <cerrno>
#include <cstring>

namespace spylerom::platform {

namespace {

ErrorCode windowsCode(int err) {
    switch (err) {
    case 0:
        return kErrorSuccess;
    case EACCES:
    case EPERM:
        return kErrorAccessDenied;
    case ENOENT:
        return kErrorFileNotFound;
    case ENOTDIR:
        return kErrorPathNotFound;
    case EMFILE:
    case ENFILE:
        return kErrorTooManyOpenFiles;
    case ENOMEM:
        return kErrorNotEnoughMemory;
    case EROFS:
        return kErrorWriteProtect;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
        return kErrorNotReady;
    case EBUSY:
    case ETXTBSY:
        return kErrorSharingViolation;
    case ENOSPC:
    case EDQUOT:
        return kErrorDiskFull;
    case EOPNOTSUPP:
        return kErrorNotSupported;
    case EEXIST:
        return kErrorFileExists;
    case EINVAL:
        return kErrorInvalidParameter;
    case ENAMETOOLONG:
        return kErrorFilenameTooLong;
    case ELOOP:
        return kErrorCantResolveFilename;
    case ENOTEMPTY:
        return kErrorDirNotEmpty;
    case EISDIR:
        return kErrorAccessDenied;
    case EXDEV:
        return 17; // ERROR_NOT_SAME_DEVICE
    case EFBIG:
        return 223; // ERROR_FILE_TOO_LARGE
    case EIO:
        return 1117; // ERROR_IO_DEVICE
    case ECANCELED:
        return kErrorCancelled;
    default:
        // Any other errno gets a code in the range Windows keeps for applications (bit 29),
        // so it never reads as one of the table's codes; its system message comes with it.
        return 0x20000000u | static_cast<ErrorCode>(err);
    }
}

} // namespace

Error errorFromErrno(int err) {
    Error e;
    e.code = windowsCode(err);
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may or may not live in buffer.
    const char* text = strerror_r(err, buffer, sizeof buffer);
    e.message = text ? text : "";
    return e;
}

} // namespace spylerom::platform
