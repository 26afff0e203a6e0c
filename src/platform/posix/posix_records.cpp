// Where a pass keeps its crash record, and how a record is read: only from folders and files that
// no other account could have written, since root acts on what a record says.
#include "platform/posix/descriptor.h"
#include "platform/posix/posix_platform.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace spylerom::platform {

namespace {

constexpr const char* kSystemRecordFolder = "/var/lib/spylerom/";

// Whether an entry could only have been changed by this account or root: owned by one of them
// and writable by nobody else. A folder on the way may be everyone's if it is sticky and root's
// (/tmp): no one else can then rename or remove what is ours in it.
bool trusted(const struct stat& st, bool onTheWay) {
    const uid_t me = geteuid();
    if (st.st_uid != me && st.st_uid != 0)
        return false;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return true;
    return onTheWay && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) && st.st_uid == 0;
}

Error refusal(ErrorCode code, const char* text) {
    Error err;
    err.code = code;
    err.message = text;
    return err;
}

// The account's home: the password database's; only where that names no folder (a system
// account's /nonexistent) the environment's. Root never gets here, and whatever the home is, its
// records are read only where no other account could have written them.
std::string homeOfAccount() {
    const passwd* entry = getpwuid(geteuid());
    struct stat st {};
    if (entry && entry->pw_dir && entry->pw_dir[0] == '/' && stat(entry->pw_dir, &st) == 0 &&
        S_ISDIR(st.st_mode))
        return entry->pw_dir;
    const char* home = std::getenv("HOME");
    return home && home[0] == '/' ? home : "";
}

// Walks an absolute folder path from "/" one name at a time, never through a link, making what
// is missing (owner only) and checking that each step is trusted.
bool walkTrusted(const std::string& folder, Error& err) {
    Descriptor fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0) {
        err = errorFromErrno(errno);
        return false;
    }
    if (!trusted(st, true)) {
        err = refusal(kErrorAccessDenied, "writable by another account");
        return false;
    }
    std::size_t start = 1;
    while (start < folder.size()) {
        std::size_t end = folder.find('/', start);
        if (end == std::string::npos)
            end = folder.size();
        const std::string name = folder.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            err = errorFromErrno(EINVAL);
            return false;
        }
        int next = ::openat(fd.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT) {
            if (::mkdirat(fd.get(), name.c_str(), 0700) != 0 && errno != EEXIST) {
                err = errorFromErrno(errno);
                if (errno == ENOENT)
                    err.code = kErrorPathNotFound;
                return false;
            }
            next = ::openat(fd.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (next < 0) {
            const int failure = errno;
            // ENOTDIR: a link, or a file where a folder should be.
            err = failure == ENOTDIR || failure == ELOOP
                      ? refusal(kErrorNotSupported, "a link or not a folder")
                      : errorFromErrno(failure);
            return false;
        }
        fd.reset(next);
        const bool last = start >= folder.size();
        if (fstat(fd.get(), &st) != 0 || !trusted(st, !last)) {
            err = refusal(kErrorAccessDenied, "owned by another account or writable by others");
            return false;
        }
    }
    return true;
}

} // namespace

bool PosixPlatform::recordFolder(std::string& folder, bool& systemWide, Error& err) {
    systemWide = geteuid() == 0;
    if (!recordFolder_.empty()) {
        folder = withTrailingSeparator(recordFolder_);
    } else if (systemWide) {
        folder = kSystemRecordFolder;
    } else {
        const std::string home = homeOfAccount();
        if (home.empty()) {
            err = errorFromErrno(ENOENT);
            err.code = kErrorPathNotFound;
            return false;
        }
        folder = withTrailingSeparator(home) + ".local/state/spylerom/";
    }
    return folder.front() == '/' && walkTrusted(folder, err);
}

bool PosixPlatform::readOwnFile(const std::string& path, std::int64_t maxBytes, std::string& bytes,
                                Error& err) const {
    // O_NONBLOCK: a FIFO at the name must not keep the program waiting for a writer.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        err = errorFromErrno(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) {
        err = errorFromErrno(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        err = refusal(kErrorInvalidParameter, "not a regular file");
        return false;
    }
    if (!trusted(st, false)) {
        err = refusal(kErrorAccessDenied, "owned by another account or writable by others");
        return false;
    }
    if (st.st_size > maxBytes) {
        err = refusal(kErrorFileTooLarge, "too large");
        return false;
    }
    bytes.assign(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            err = errorFromErrno(errno);
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return true;
}

} // namespace spylerom::platform
