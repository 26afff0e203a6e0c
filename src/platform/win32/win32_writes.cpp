// The fill's writes: unbuffered (FILE_FLAG_NO_BUFFERING) where the volume takes them, through
// the file's buffered handle otherwise, and the retries that let a fill take a full disk's
// last clusters. What to write is the caller's.
#include "platform/space_retry.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace spylerom::platform {

namespace {

constexpr std::size_t kFallbackBlock = 4096;

HANDLE handleOf(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

struct VolumeGeometry {
    std::size_t sector = 0;
    std::size_t cluster = 0;
};

// The root of the volume that holds the open file (a drive letter's root or a mounted folder);
// empty when unknown.
std::vector<wchar_t> volumeRootOf(HANDLE file) {
    std::vector<wchar_t> path(MAX_PATH + 1);
    DWORD length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length >= path.size()) {
        path.resize(length + 1);
        length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0);
    }
    if (length == 0 || length >= path.size())
        return {};
    std::vector<wchar_t> root(path.size() + 1);
    if (!GetVolumePathNameW(path.data(), root.data(), static_cast<DWORD>(root.size())))
        return {};
    return root;
}

// The sector and cluster size of the volume that holds the open file; zeros when unknown.
VolumeGeometry geometryOf(HANDLE file) {
    const std::vector<wchar_t> root = volumeRootOf(file);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (root.empty() ||
        !GetDiskFreeSpaceW(root.data(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return {};
    return {bytesPerSector, static_cast<std::size_t>(sectorsPerCluster) * bytesPerSector};
}

// Bytes the volume says this user may still take (quotas included); unknown counts as plenty,
// which leaves a piece as it is.
unsigned long long freeBytesOf(HANDLE file) {
    const std::vector<wchar_t> root = volumeRootOf(file);
    ULARGE_INTEGER toCaller{};
    if (root.empty() || !GetDiskFreeSpaceExW(root.data(), &toCaller, nullptr, nullptr))
        return ~0ull;
    return toCaller.QuadPart;
}

bool isPowerOfTwo(std::size_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

std::int64_t positionOf(HANDLE file) {
    LARGE_INTEGER zero{}, position{};
    return SetFilePointerEx(file, zero, &position, FILE_CURRENT) ? position.QuadPart : -1;
}

bool isDiskFull(DWORD code) {
    return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL;
}

// One piece of a file in direct mode through its buffered handle, at the direct handle's
// position, which then moves past it: the two handles keep one position between them.
bool writeBuffered(HANDLE direct, HANDLE buffered, std::int64_t position, const char* data, DWORD size,
                   DWORD& done) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(position) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(position) >> 32);
    if (!WriteFile(buffered, data, size, &done, &at))
        return false;
    LARGE_INTEGER next{};
    next.QuadPart = position + static_cast<std::int64_t>(done);
    return SetFilePointerEx(direct, next, nullptr, FILE_BEGIN) != 0;
}

// One writeFile call: which pieces go unbuffered and which through the buffered handle, and
// the retries at a full disk. A file that is not in direct mode writes through its own handle.
class PieceWriter {
public:
    PieceWriter(HANDLE file, std::optional<DirectFile>& direct) : file_(file), direct_(direct) {
        if (direct_) {
            position_ = positionOf(file_);
            if (position_ < 0)
                direct_->alignment = 0; // no position to check: every write goes buffered
        }
    }

    // Writes as much of the data as the disk takes; returns that count, and the error that
    // stopped it short in failure.
    std::size_t write(const char* data, std::size_t size, DWORD& failure) {
        constexpr std::size_t kMaxPiece = std::size_t{1} << 30; // WriteFile counts in a DWORD
        std::size_t block = direct_ ? direct_->blockSize : 0;   // a buffered file's, when full
        SpaceRetry retry(std::min(size, kMaxPiece), block ? block : 1);
        std::size_t total = 0;
        while (total < size) {
            std::size_t length = std::min(retry.piece(), size - total);
            const bool direct = goesDirect(data + total, length);
            if (direct)
                length = length / direct_->alignment * direct_->alignment; // the rest goes buffered
            DWORD done = 0;
            const bool ok = writePiece(data + total, static_cast<DWORD>(length), direct, done);
            if (ok && done > 0) {
                total += done;
                position_ += done;
                retry.took();
                continue;
            }
            // A write that took nothing without an error is the disk saying it is full.
            failure = ok ? ERROR_DISK_FULL : GetLastError();
            if (direct && failure == ERROR_INVALID_PARAMETER) {
                direct_->alignment = 0; // the volume refuses unbuffered writes: buffered from now on
                continue;
            }
            if (!isDiskFull(failure))
                break;
            if (block == 0) {
                block = clusterOf(file_);
                if (!direct_)
                    position_ = positionOf(file_); // counted from here on, for the cluster's slack
                retry.restart(retry.piece(), block);
            }
            if (!retryAfterFull(retry, direct, block))
                break;
        }
        return total;
    }

private:
    static std::size_t clusterOf(HANDLE file) {
        const std::size_t cluster = geometryOf(file).cluster;
        return isPowerOfTwo(cluster) ? cluster : kFallbackBlock;
    }

    bool goesDirect(const char* at, std::size_t length) const {
        if (!direct_ || tailOnly_)
            return false;
        const std::size_t alignment = direct_->alignment;
        return alignment > 0 && length >= alignment &&
               reinterpret_cast<std::uintptr_t>(at) % alignment == 0 &&
               static_cast<std::uint64_t>(position_) % alignment == 0;
    }

    bool writePiece(const char* at, DWORD length, bool direct, DWORD& done) {
        if (direct || !direct_)
            return WriteFile(file_, at, length, &done, nullptr);
        return writeBuffered(file_, handleOf(direct_->buffered), position_, at, length, done);
    }

    // Whether to go on after the disk refused a piece for want of space.
    bool retryAfterFull(SpaceRetry& retry, bool direct, std::size_t block) {
        switch (retry.refused()) {
        case SpaceRetry::Next::FlushAndRetry:
            FlushFileBuffers(file_);
            retry.fit(freeBytesOf(file_));
            return true;
        case SpaceRetry::Next::Retry:
            return true;
        case SpaceRetry::Next::GiveUp:
            break;
        }
        if (direct) {
            tailOnly_ = true; // an unbuffered cluster is refused; the buffered path may place it
            retry.restart(block, block);
            return true;
        }
        // No whole cluster is free, but the file's last one may have room left.
        const std::size_t slack = position_ >= 0 ? block - static_cast<std::size_t>(position_) % block : 0;
        if (slackTried_ || slack == 0 || slack >= block)
            return false;
        slackTried_ = true;
        retry.restart(slack, slack);
        return true;
    }

    HANDLE file_;
    std::optional<DirectFile>& direct_;
    std::int64_t position_ = 0;
    bool tailOnly_ = false;
    bool slackTried_ = false;
};

} // namespace

std::optional<DirectFile> Win32Platform::directFile(FileHandle file) const {
    const std::lock_guard lock(directMutex_);
    const auto found = directFiles_.find(file);
    if (found == directFiles_.end())
        return std::nullopt;
    return found->second;
}

void Win32Platform::setDirectFile(FileHandle file, std::optional<DirectFile> state) {
    const std::lock_guard lock(directMutex_);
    if (state)
        directFiles_[file] = *state;
    else
        directFiles_.erase(file);
}

std::size_t Win32Platform::enableDirectWrites(FileHandle& file) {
    if (const auto known = directFile(file))
        return known->alignment;
    const HANDLE buffered = handleOf(file);
    const VolumeGeometry geometry = geometryOf(buffered);
    if (!isPowerOfTwo(geometry.sector))
        return 0;
    const HANDLE direct = ReOpenFile(buffered, GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_NO_BUFFERING);
    if (direct == INVALID_HANDLE_VALUE)
        return 0;
    LARGE_INTEGER position{};
    position.QuadPart = positionOf(buffered);
    if (position.QuadPart < 0 || !SetFilePointerEx(direct, position, nullptr, FILE_BEGIN)) {
        CloseHandle(direct);
        return 0;
    }
    DirectFile state;
    state.buffered = file;
    state.alignment = geometry.sector;
    state.blockSize =
        isPowerOfTwo(geometry.cluster) ? std::max(geometry.cluster, geometry.sector) : kFallbackBlock;
    file = reinterpret_cast<FileHandle>(direct);
    setDirectFile(file, state);
    return state.alignment;
}

bool Win32Platform::writeFile(FileHandle file, const void* data, std::size_t size, std::size_t& written,
                              Error& err) {
    // A short count means the disk took no more; an error means it took nothing.
    std::optional<DirectFile> direct = directFile(file);
    DWORD failure = ERROR_DISK_FULL;
    written = PieceWriter(handleOf(file), direct).write(static_cast<const char*>(data), size, failure);
    if (direct)
        setDirectFile(file, direct);
    if (written == 0 && size > 0) {
        err = errorFromWin32(failure);
        return false;
    }
    return true;
}

} // namespace spylerom::platform
