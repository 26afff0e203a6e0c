// The platform class of this build, for tests that subclass it to inject a fault, and the
// error that platform reports for a POSIX errno (so one table of cases serves both systems).
#pragma once

#include <cerrno>

#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#else
#include "platform/posix/posix_platform.h"
#endif

namespace spylerom::test {

#ifdef _WIN32
using NativePlatform = platform::Win32Platform;

// The Windows code the system gives where POSIX gives err (the few that tests inject).
inline platform::Error nativeError(int err) {
    switch (err) {
    case EACCES:
        return platform::errorFromWin32(platform::kErrorAccessDenied);
    case EROFS:
        return platform::errorFromWin32(platform::kErrorWriteProtect);
    case ENOSPC:
        return platform::errorFromWin32(platform::kErrorDiskFull);
    case EIO:
        return platform::errorFromWin32(1117); // ERROR_IO_DEVICE
    default:
        return platform::errorFromWin32(platform::kErrorInvalidParameter);
    }
}
#else
using NativePlatform = platform::PosixPlatform;

inline platform::Error nativeError(int err) {
    return platform::errorFromErrno(err);
}
#endif

// Creates a fill file at path the way a pass does: new, through its folder pinned for the call.
inline platform::FileHandle createFillFileAt(platform::Platform& p, const std::string& path, platform::Error& err) {
    const platform::FolderHandle folder = p.openFillFolder(platform::folderOf(path), "", err);
    if (folder == platform::kInvalidFolder)
        return platform::kInvalidFile;
    platform::FileIdentity id;
    const platform::FileHandle file = p.createFillFile(folder, platform::fileNameOf(path), id, err);
    p.closeFolder(folder);
    return file;
}

} // namespace spylerom::test
