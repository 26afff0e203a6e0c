// Files that are read in part or that several processes append to at once (the log): bounded
// reads, and appending under flock with the file's rotation.
#include "platform/posix/descriptor.h"
#include "platform/posix/posix_platform.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace spylerom::platform {

namespace {

// How often an append starts over because another process rotated the file meanwhile.
constexpr int kAppendAttempts = 100;

bool fail(Error& err, int code) {
    err = errorFromErrno(code);
    return false;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool lockExclusive(int fd) {
    while (flock(fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

// Whether the open file is still the one the path names (another appender may have renamed
// it away while this one waited for the lock).
bool stillAtPath(int fd, const std::string& path, struct stat& st) {
    struct stat atPath {};
    return fstat(fd, &st) == 0 && lstat(path.c_str(), &atPath) == 0 && atPath.st_dev == st.st_dev &&
           atPath.st_ino == st.st_ino;
}

// Appends (the file is open with O_APPEND) under the lock held on fd; on failure the file is
// cut back to its old size.
bool appendLocked(int fd, off_t size, std::string_view bytes, Error& err) {
    if (writeAll(fd, bytes) && fsync(fd) == 0)
        return true;
    const int saved = errno;
    // Whatever part got in goes again; should that fail too, the old content is still whole.
    [[maybe_unused]] const int cut = ftruncate(fd, size);
    return fail(err, saved);
}

} // namespace

bool PosixPlatform::readFilePart(const std::string& path, bool fromEnd, std::int64_t maxBytes,
                                 std::string& bytes, std::int64_t& fileSize, Error& err) const {
    bytes.clear();
    fileSize = 0;
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return fail(err, errno);
    struct stat st {};
    if (fstat(file.get(), &st) != 0)
        return fail(err, errno);
    fileSize = static_cast<std::int64_t>(st.st_size);
    const std::int64_t wanted = std::max<std::int64_t>(0, std::min(maxBytes, fileSize));
    off_t offset = fromEnd ? static_cast<off_t>(fileSize - wanted) : 0;
    bytes.resize(static_cast<std::size_t>(wanted));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(file.get(), bytes.data() + got, bytes.size() - got, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int saved = errno;
            bytes.clear();
            return fail(err, saved);
        }
        if (n == 0)
            break; // the file shrank meanwhile
        got += static_cast<std::size_t>(n);
        offset += n;
    }
    bytes.resize(got);
    return true;
}

bool PosixPlatform::appendToSharedFile(const std::string& path, std::string_view bytes, std::int64_t rotateAt,
                                       const std::string& rotatedPath, Error& err) {
    for (int attempt = 0; attempt < kAppendAttempts; ++attempt) {
        // O_NOFOLLOW: a link planted at the name is refused; O_NONBLOCK: a FIFO fails at once.
        Descriptor file(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
        if (file.get() < 0)
            return fail(err, errno);
        if (!lockExclusive(file.get()))
            return fail(err, errno);
        struct stat st {};
        if (!stillAtPath(file.get(), path, st))
            continue; // renamed away by another appender: open the new one
        if (!S_ISREG(st.st_mode))
            return fail(err, EACCES);
        const auto size = static_cast<std::int64_t>(st.st_size);
        const auto adding = static_cast<std::int64_t>(bytes.size());
        if (rotateAt > 0 && size > 0 && size + adding > rotateAt && !rotatedPath.empty() &&
            ::rename(path.c_str(), rotatedPath.c_str()) == 0)
            continue; // the next round creates the file anew
        // A rotation that fails leaves the file growing rather than losing lines.
        if (!appendLocked(file.get(), st.st_size, bytes, err))
            return false;
        return file.close() || fail(err, errno);
    }
    return fail(err, EBUSY);
}

} // namespace spylerom::platform
