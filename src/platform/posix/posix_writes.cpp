// The fill's writes: direct (O_DIRECT) where the file system takes it, buffered otherwise, and
// the retries that let a fill take a full disk's last blocks. What to write is the caller's.
#include "platform/posix/posix_platform.h"

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

bool setDirectFlag(int fd, bool on) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    const int wanted = on ? (flags | O_DIRECT) : (flags & ~O_DIRECT);
    return wanted == flags || fcntl(fd, F_SETFL, wanted) == 0;
}

bool aligned(std::uintptr_t value, std::size_t alignment) {
    return value % alignment == 0;
}

} // namespace

std::optional<PosixPlatform::DirectFile> PosixPlatform::directFile(int fd) const {
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
    const int fd = static_cast<int>(file);
    const auto* bytes = static_cast<const char*>(data);
    std::optional<DirectFile> direct = directFile(fd);
    off_t offset = 0;
    if (direct) {
        offset = lseek(fd, 0, SEEK_CUR);
        if (offset < 0)
            direct->alignment = 0; // no offset to check: every write goes buffered
    }
    const bool directMode = direct && direct->alignment > 0;
    const std::size_t floor = directMode ? direct->blockSize : kPage;
    std::size_t total = 0;
    std::size_t chunk = size;
    bool flushedForSpace = false;
    bool tailOnly = false; // the direct pieces are down to a block and refused: buffered from here
    int failure = 0;
    while (total < size) {
        std::size_t length = std::min(chunk, size - total);
        const char* at = bytes + total;
        const bool goDirect = directMode && direct->alignment > 0 && !tailOnly &&
                              length >= direct->alignment &&
                              aligned(reinterpret_cast<std::uintptr_t>(at), direct->alignment) &&
                              aligned(static_cast<std::uintptr_t>(offset), direct->alignment);
        if (goDirect)
            length = length / direct->alignment * direct->alignment; // the rest goes buffered
        if (direct && direct->directNow != goDirect) {
            if (!setDirectFlag(fd, goDirect)) {
                failure = errno;
                if (goDirect) {
                    direct->alignment = 0; // it will not go back on: buffered for good
                    continue;
                }
                break;
            }
            direct->directNow = goDirect;
        }
        const ssize_t n = ::write(fd, at, length);
        if (n > 0) {
            total += static_cast<std::size_t>(n);
            offset += n;
            flushedForSpace = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        failure = n < 0 ? errno : ENOSPC;
        if (goDirect && failure == EINVAL) {
            // The file system took the flag but not the write: it stays buffered from now on.
            direct->alignment = 0;
            continue;
        }
        if (failure != ENOSPC)
            break;
        // A full disk is not yet full for the fill: delayed allocation holds blocks back for
        // data not yet written out (a flush gives them back), and a large piece may be refused
        // where a smaller one still fits. Deleted data lies in those last blocks too.
        if (!flushedForSpace) {
            flushedForSpace = true;
            if (fsync(fd) == 0)
                continue;
        }
        if (chunk > floor) {
            chunk = std::max(floor, chunk / 2 / floor * floor);
            if (chunk == floor)
                flushedForSpace = false; // once more after a flush at the smallest piece
            continue;
        }
        if (goDirect) {
            // Direct pieces of one block are refused; the page cache may still place pages.
            tailOnly = true;
            chunk = kPage;
            flushedForSpace = false;
            continue;
        }
        break;
    }
    if (direct)
        setDirectFile(fd, direct);
    written = total;
    if (total == 0 && size > 0) {
        err = errorFromErrno(failure);
        return false;
    }
    return true;
}

} // namespace spylerom::platform
