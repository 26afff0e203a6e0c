// The fill's writes: unbuffered (FILE_FLAG_NO_BUFFERING) where the volume takes them, through
// the file's buffered handle otherwise, and the retries that let a fill take a full disk's
// last clusters. What to write is the caller's.
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

// The sector and cluster size of the volume that holds the open file; zeros when unknown.
VolumeGeometry geometryOf(HANDLE file) {
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
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceW(root.data(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return {};
    return {bytesPerSector, static_cast<std::size_t>(sectorsPerCluster) * bytesPerSector};
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

} // namespace

std::optional<Win32Platform::DirectFile> Win32Platform::directFile(FileHandle file) const {
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
    written = 0;
    const HANDLE handle = handleOf(file);
    const auto* bytes = static_cast<const char*>(data);
    std::optional<DirectFile> direct = directFile(file);
    std::int64_t position = direct ? positionOf(handle) : 0;
    if (direct && position < 0)
        direct->alignment = 0;
    // The cluster, known for a direct file; for a buffered one asked when the disk is full.
    std::size_t floor = direct ? direct->blockSize : 0;
    constexpr std::size_t kMaxPiece = std::size_t{1} << 30; // WriteFile counts in a DWORD
    std::size_t total = 0;
    std::size_t chunk = std::min(size, kMaxPiece);
    bool flushedForSpace = false;
    bool tailOnly = false;
    DWORD failure = ERROR_SUCCESS;
    while (total < size) {
        std::size_t length = std::min(chunk, size - total);
        const char* at = bytes + total;
        const std::size_t alignment = direct && !tailOnly ? direct->alignment : 0;
        const bool goDirect = alignment > 0 && length >= alignment &&
                              reinterpret_cast<std::uintptr_t>(at) % alignment == 0 &&
                              static_cast<std::uint64_t>(position) % alignment == 0;
        if (goDirect)
            length = length / alignment * alignment; // the rest goes buffered
        DWORD done = 0;
        bool ok = false;
        if (goDirect || !direct)
            ok = WriteFile(handle, at, static_cast<DWORD>(length), &done, nullptr);
        else
            ok = writeBuffered(handle, handleOf(direct->buffered), position, at, static_cast<DWORD>(length),
                               done);
        if (ok && done > 0) {
            total += done;
            position += done;
            flushedForSpace = false;
            continue;
        }
        // A write that took nothing without an error is the disk saying it is full.
        failure = ok ? ERROR_DISK_FULL : GetLastError();
        if (goDirect && failure == ERROR_INVALID_PARAMETER) {
            direct->alignment = 0; // the volume refuses unbuffered writes: buffered from now on
            continue;
        }
        if (!isDiskFull(failure))
            break;
        if (!flushedForSpace) {
            flushedForSpace = true;
            if (FlushFileBuffers(handle))
                continue;
        }
        if (floor == 0) {
            floor = geometryOf(handle).cluster;
            floor = isPowerOfTwo(floor) ? floor : kFallbackBlock;
            if (!direct)
                position = positionOf(handle);
        }
        if (chunk > floor) {
            chunk = std::max(floor, chunk / 2 / floor * floor);
            if (chunk == floor)
                flushedForSpace = false;
            continue;
        }
        if (goDirect) {
            tailOnly = true; // a direct cluster is refused; the buffered path may still place it
            flushedForSpace = false;
            continue;
        }
        // No whole cluster is free, but the last one of the file may have room left.
        const std::size_t slack = position >= 0 ? floor - static_cast<std::size_t>(position) % floor : 0;
        if (slack < floor && chunk > slack) {
            chunk = slack;
            continue;
        }
        break;
    }
    if (direct)
        setDirectFile(file, direct);
    written = total;
    if (total == 0 && size > 0) {
        err = errorFromWin32(failure);
        return false;
    }
    return true;
}

} // namespace spylerom::platform
