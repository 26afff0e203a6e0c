// The fill's writes: direct (O_DIRECT) where the file system takes it, buffered otherwise, and
// the retries that let a fill take a full disk's last blocks. What to write is the caller's.
#include "platform/posix/posix_platform.h"
#include "platform/space_retry.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace spylerom::platform {

namespace {

constexpr std::size_t kPage = 4096;

// The device's logical block size from sysfs (a partition's is its disk's); 0 when unknown.
std::size_t logicalBlockSize(dev_t device) {
    const std::string base =
        "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    for (const char* queue : {"/queue/logical_block_size", "/../queue/logical_block_size"}) {
        std::ifstream in(base + queue);
        std::size_t size = 0;
        if (in >> size && size > 0)
            return size;
    }
    return 0;
}

bool isPowerOfTwo(std::size_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// What the file system says direct writes to fd must keep: statx's DIOALIGN where the kernel
// answers it (0 there means no direct writes at all), else the device's logical block size,
// else a page.
std::size_t directAlignment(int fd) {
#ifdef STATX_DIOALIGN
    struct statx sx {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &sx) == 0 && (sx.stx_mask & STATX_DIOALIGN)) {
        if (sx.stx_dio_offset_align == 0)
            return 0;
        return std::max<std::size_t>(sx.stx_dio_mem_align, sx.stx_dio_offset_align);
    }
#endif
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return 0;
    const std::size_t logical = logicalBlockSize(st.st_dev);
    return isPowerOfTwo(logical) ? logical : kPage;
}

// The file system's block: below it a piece takes no fewer blocks.
std::size_t fileSystemBlock(int fd) {
    struct statvfs vfs {};
    if (fstatvfs(fd, &vfs) == 0 && vfs.f_bsize > 0)
        return vfs.f_bsize;
    return kPage;
}

// Bytes the file system says this process may still take on fd's volume: root may take the
// blocks kept for it as well. Unknown counts as plenty, which leaves the piece as it is.
unsigned long long freeBytesOf(int fd) {
    struct statvfs vfs {};
    if (fstatvfs(fd, &vfs) != 0)
        return ~0ull;
    const unsigned long long blocks = geteuid() == 0 ? vfs.f_bfree : vfs.f_bavail;
    return blocks * vfs.f_frsize;
}

bool setDirectFlag(int fd, bool on) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    const int wanted = on ? (flags | O_DIRECT) : (flags & ~O_DIRECT);
    return wanted == flags || fcntl(fd, F_SETFL, wanted) == 0;
}

// One writeFile call: which pieces go direct and which buffered, and the retries at a full disk.
class PieceWriter {
public:
    PieceWriter(int fd, std::optional<DirectFile>& direct) : fd_(fd), direct_(direct) {
        if (direct_) {
            offset_ = lseek(fd_, 0, SEEK_CUR);
            if (offset_ < 0)
                direct_->alignment = 0; // no offset to check: every write goes buffered
        }
    }

    // Writes as much of the data as the disk takes; returns that count, and the errno that
    // stopped it short in failure.
    std::size_t write(const char* data, std::size_t size, int& failure) {
        const bool directMode = direct_ && direct_->alignment > 0;
        SpaceRetry retry(size, directMode ? direct_->blockSize : kPage);
        std::size_t total = 0;
        while (total < size) {
            std::size_t length = std::min(retry.piece(), size - total);
            const bool direct = goesDirect(data + total, length);
            if (direct)
                length = length / direct_->alignment * direct_->alignment; // the rest goes buffered
            const ssize_t n = writePiece(data + total, length, direct);
            if (n > 0) {
                total += static_cast<std::size_t>(n);
                offset_ += n;
                retry.took();
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            failure = n < 0 ? errno : ENOSPC;
            if (direct && failure == EINVAL) {
                direct_->alignment = 0; // took the flag but not the write: buffered from now on
                continue;
            }
            // Anything else ends the call; EFBIG (past the file-size limit, with SIGXFSZ
            // ignored) as well: no retry makes the file take more, and the caller takes it as
            // a full disk.
            if (failure != ENOSPC || !retryAfterFull(retry, direct))
                break;
        }
        return total;
    }

private:
    bool goesDirect(const char* at, std::size_t length) const {
        if (!direct_ || tailOnly_)
            return false;
        const std::size_t alignment = direct_->alignment;
        return alignment > 0 && length >= alignment &&
               reinterpret_cast<std::uintptr_t>(at) % alignment == 0 &&
               static_cast<std::uint64_t>(offset_) % alignment == 0;
    }

    // One write(2), with O_DIRECT set or cleared for it; -1 and errno as write(2).
    ssize_t writePiece(const char* at, std::size_t length, bool direct) {
        if (direct_ && direct_->directNow != direct) {
            if (!setDirectFlag(fd_, direct)) {
                if (!direct)
                    return -1;
                direct_->alignment = 0; // the flag will not go back on: buffered for good
                return writePiece(at, length, false);
            }
            direct_->directNow = direct;
        }
        return ::write(fd_, at, length);
    }

    // Whether to go on after the disk refused a piece for want of space.
    bool retryAfterFull(SpaceRetry& retry, bool direct) {
        switch (retry.refused()) {
        case SpaceRetry::Next::FlushAndRetry:
            fsync(fd_);
            retry.fit(freeBytesOf(fd_));
            return true;
        case SpaceRetry::Next::Retry:
            return true;
        case SpaceRetry::Next::GiveUp:
            break;
        }
        if (!direct)
            return false;
        // Direct pieces of one block are refused; the page cache may still place pages.
        tailOnly_ = true;
        retry.restart(kPage, kPage);
        return true;
    }

    int fd_;
    std::optional<DirectFile>& direct_;
    off_t offset_ = 0;
    bool tailOnly_ = false;
};

} // namespace

std::optional<DirectFile> PosixPlatform::directFile(int fd) const {
    const std::lock_guard lock(directMutex_);
    const auto found = directFiles_.find(fd);
    if (found == directFiles_.end())
        return std::nullopt;
    return found->second;
}

void PosixPlatform::setDirectFile(int fd, std::optional<DirectFile> state) {
    const std::lock_guard lock(directMutex_);
    if (state)
        directFiles_[fd] = *state;
    else
        directFiles_.erase(fd);
}

std::size_t PosixPlatform::enableDirectWrites(FileHandle& file) {
    const int fd = static_cast<int>(file);
    if (const auto known = directFile(fd))
        return known->alignment;
    const std::size_t alignment = directAlignment(fd);
    // Some file systems refuse the flag here (ramfs, some FUSE ones); others take it and
    // refuse the first write, which writeFile finds out and answers by going buffered.
    if (alignment == 0 || !setDirectFlag(fd, true))
        return 0;
    DirectFile state;
    state.alignment = alignment;
    const std::size_t block = fileSystemBlock(fd);
    state.blockSize = std::max(alignment, (block + alignment - 1) / alignment * alignment);
    state.directNow = true;
    setDirectFile(fd, state);
    return alignment;
}

bool PosixPlatform::writeFile(FileHandle file, const void* data, std::size_t size, std::size_t& written,
                              Error& err) {
    // Like WriteFile: all of it unless the disk is full. A short count means the disk took no
    // more; an error means it took nothing.
    const int fd = static_cast<int>(file);
    std::optional<DirectFile> direct = directFile(fd);
    int failure = ENOSPC;
    written = PieceWriter(fd, direct).write(static_cast<const char*>(data), size, failure);
    if (direct)
        setDirectFile(fd, direct);
    if (written == 0 && size > 0) {
        err = errorFromErrno(failure);
        return false;
    }
    return true;
}

} // namespace spylerom::platform
