// Files and folders: the fill's files and the frame's whole-file reads and replacements.
#include "platform/posix/posix_platform.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace spylerom::platform {

namespace {

bool fail(Error& err, int code) {
    err = errorFromErrno(code);
    return false;
}

int descriptor(FileHandle file) {
    return static_cast<int>(file);
}

bool writeAll(int fd, std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool PosixPlatform::flushFile(FileHandle file, Error& err) {
    // fsync puts the file's metadata blocks (its extent tree) only into the journal; were the
    // file deleted then, their home blocks would never be written and would keep old data.
    // syncfs writes them home as well.
    if (fsync(descriptor(file)) != 0 || syncfs(descriptor(file)) != 0)
        return fail(err, errno);
    return true;
}

bool PosixPlatform::closeFile(FileHandle file, Error& err) {
    setDirectFile(descriptor(file), std::nullopt); // the number may name another file next
    return ::close(descriptor(file)) == 0 || fail(err, errno);
}

bool PosixPlatform::deleteFile(const std::string& path, Error& err) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return fail(err, EACCES); // DeleteFileW refuses folders with access denied
    return ::unlink(path.c_str()) == 0 || fail(err, errno);
}

bool PosixPlatform::moveFile(const std::string& from, const std::string& to, Error& err) {
    // MoveFileW does not replace an existing target.
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0)
        return fail(err, EEXIST);
    return ::rename(from.c_str(), to.c_str()) == 0 || fail(err, errno);
}

bool PosixPlatform::fileExists(const std::string& path) const {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) &&
           !(S_ISLNK(st.st_mode) && folderExists(path));
}

bool PosixPlatform::folderExists(const std::string& path) const {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixPlatform::isReadOnly(const std::string& path) const {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

bool PosixPlatform::setNormalAttributes(const std::string& path, Error& err) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        return fail(err, errno);
    if (S_ISLNK(st.st_mode))
        return true; // a link has no attributes of its own here
    return chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0 || fail(err, errno);
}

bool PosixPlatform::createFolder(const std::string& path, Error& err) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    const int saved = errno;
    err = errorFromErrno(saved);
    if (saved == EEXIST)
        err.code = kErrorAlreadyExists;
    else if (saved == ENOENT)
        err.code = kErrorPathNotFound;
    return false;
}

bool PosixPlatform::createFolderTree(const std::string& path, Error& err) {
    if (path.empty())
        return fail(err, ENOENT);
    std::size_t next = path.front() == '/' ? 1 : 0;
    for (;;) {
        next = path.find('/', next);
        const std::string prefix = path.substr(0, next);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return fail(err, errno);
        if (next == std::string::npos)
            break;
        ++next;
    }
    return folderExists(path) || fail(err, ENOTDIR);
}

bool PosixPlatform::removeFolder(const std::string& path, Error& err) {
    std::string name = path;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    struct stat st {};
    if (lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return ::unlink(name.c_str()) == 0 || fail(err, errno); // the link goes, its target stays
    return ::rmdir(name.c_str()) == 0 || fail(err, errno);
}

bool PosixPlatform::listFolder(const std::string& path, std::vector<FolderEntry>& entries, Error& err) const {
    entries.clear();
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return fail(err, errno);
    const std::string folder = withTrailingSeparator(path);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (lstat((folder + name).c_str(), &st) != 0)
            continue; // vanished meanwhile
        FolderEntry item;
        item.name = name;
        item.isLink = S_ISLNK(st.st_mode);
        item.isFolder = S_ISDIR(st.st_mode);
        item.readOnly = !item.isLink && (st.st_mode & 0222) == 0;
        entries.push_back(std::move(item));
    }
    closedir(dir);
    return true;
}

bool PosixPlatform::readFile(const std::string& path, std::string& bytes, Error& err) const {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(err, errno);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            const int saved = errno;
            ::close(fd);
            return fail(err, saved);
        }
    }
    ::close(fd);
    return true;
}

bool PosixPlatform::replaceFile(const std::string& path, std::string_view bytes, Error& err) {
    mode_t mode = 0666 & ~[] {
        const mode_t mask = umask(0);
        umask(mask);
        return mask;
    }();
    struct stat st {};
    const bool existed = stat(path.c_str(), &st) == 0;
    if (existed)
        mode = st.st_mode & 07777;
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return fail(err, errno);
    // Root writing a user's file (a settings file in the user's working folder) leaves it the
    // user's: the new file takes the old one's owner along with its permissions.
    const bool owned = !existed || geteuid() != 0 || (st.st_uid == 0 && st.st_gid == 0) ||
                       fchown(fd, st.st_uid, st.st_gid) == 0;
    const bool ok = owned && writeAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    const int saved = errno;
    if (::close(fd) != 0 || !ok) {
        ::unlink(temporary.c_str());
        return fail(err, ok ? errno : saved);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.c_str());
        return fail(err, renameError);
    }
    return true;
}

std::int64_t PosixPlatform::fileSizeForWrite(const std::string& path) const {
    // The read-only attribute refuses a write open on Windows, whoever asks; so it does here.
    if (isReadOnly(path))
        return -1;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    const std::int64_t size = fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
    ::close(fd);
    return size;
}

} // namespace spylerom::platform
