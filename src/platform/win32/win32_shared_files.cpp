// Files that are read in part or that several processes append to at once (the log): bounded
// reads, and appending under LockFileEx with the file's rotation.
#include "platform/win32/handle.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <algorithm>

namespace spylerom::platform {

namespace {

// How often an append starts over because another process rotated the file meanwhile.
constexpr int kAppendAttempts = 100;
// The byte that appenders lock: far beyond any content, so readers of the file are never
// refused (Windows locks are mandatory for the range they cover).
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

bool fail(Error& err, DWORD code) {
    err = errorFromWin32(code);
    return false;
}

// Holds the appenders' lock byte of an open file until it goes out of scope.
class AppendLock {
public:
    explicit AppendLock(HANDLE file) : file_(file) {
        OVERLAPPED at{};
        at.OffsetHigh = kLockOffsetHigh;
        locked_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
    }
    ~AppendLock() {
        if (!locked_)
            return;
        OVERLAPPED at{};
        at.OffsetHigh = kLockOffsetHigh;
        UnlockFileEx(file_, 0, 1, 0, &at);
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;
    bool locked() const { return locked_; }

private:
    HANDLE file_;
    bool locked_ = false;
};

// Whether the open file is still the one the path names (another appender may have renamed
// it away while this one waited for the lock).
bool stillAtPath(HANDLE file, const std::wstring& path) {
    const Handle named(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION open{}, atPath{};
    return named.valid() && GetFileInformationByHandle(file, &open) &&
           GetFileInformationByHandle(named.get(), &atPath) &&
           open.dwVolumeSerialNumber == atPath.dwVolumeSerialNumber &&
           open.nFileIndexHigh == atPath.nFileIndexHigh && open.nFileIndexLow == atPath.nFileIndexLow;
}

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// Appends at the end under the lock; on failure the file is cut back to its old size.
bool appendLocked(HANDLE file, LARGE_INTEGER size, std::string_view bytes, Error& err) {
    if (!SetFilePointerEx(file, size, nullptr, FILE_BEGIN))
        return fail(err, GetLastError());
    if (writeAll(file, bytes) && FlushFileBuffers(file))
        return true;
    const DWORD code = GetLastError();
    // Whatever part got in goes again; should that fail too, the old content is still whole.
    if (SetFilePointerEx(file, size, nullptr, FILE_BEGIN))
        SetEndOfFile(file);
    return fail(err, code);
}

} // namespace

bool Win32Platform::readFilePart(const std::string& path, bool fromEnd, std::int64_t maxBytes,
                                 std::string& bytes, std::int64_t& fileSize, Error& err) const {
    bytes.clear();
    fileSize = 0;
    const Handle file(CreateFileW(widen(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return fail(err, GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return fail(err, GetLastError());
    fileSize = static_cast<std::int64_t>(size.QuadPart);
    const std::int64_t wanted = std::max<std::int64_t>(0, std::min(maxBytes, fileSize));
    LARGE_INTEGER start{};
    start.QuadPart = fromEnd ? fileSize - wanted : 0;
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN))
        return fail(err, GetLastError());
    bytes.resize(static_cast<std::size_t>(wanted));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t left = bytes.size() - got;
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!ReadFile(file.get(), bytes.data() + got, chunk, &n, nullptr)) {
            const DWORD code = GetLastError();
            bytes.clear();
            return fail(err, code);
        }
        if (n == 0)
            break; // the file shrank meanwhile
        got += n;
    }
    bytes.resize(got);
    return true;
}

bool Win32Platform::appendToSharedFile(const std::string& path, std::string_view bytes, std::int64_t rotateAt,
                                       const std::string& rotatedPath, Error& err) {
    const std::wstring wide = widen(path);
    if (wide.empty())
        return fail(err, ERROR_PATH_NOT_FOUND);
    for (int attempt = 0; attempt < kAppendAttempts; ++attempt) {
        // Every appender shares delete access, so the one that rotates may rename the file
        // while others hold it open.
        const Handle file(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
        if (!file.valid())
            return fail(err, GetLastError());
        if (GetFileType(file.get()) != FILE_TYPE_DISK)
            return fail(err, ERROR_ACCESS_DENIED);
        const AppendLock lock(file.get());
        if (!lock.locked())
            return fail(err, GetLastError());
        if (!stillAtPath(file.get(), wide))
            continue; // renamed away by another appender: open the new one
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.get(), &size))
            return fail(err, GetLastError());
        const auto adding = static_cast<std::int64_t>(bytes.size());
        if (rotateAt > 0 && size.QuadPart > 0 && size.QuadPart + adding > rotateAt && !rotatedPath.empty() &&
            MoveFileExW(wide.c_str(), widen(rotatedPath).c_str(), MOVEFILE_REPLACE_EXISTING))
            continue; // the next round creates the file anew
        // A rotation that fails leaves the file growing rather than losing lines.
        return appendLocked(file.get(), size, bytes, err);
    }
    return fail(err, ERROR_SHARING_VIOLATION);
}

} // namespace spylerom::platform
