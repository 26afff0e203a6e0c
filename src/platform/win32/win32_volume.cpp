// The volume that holds a folder: its file-system name, the flush of its metadata and the gauge
// of NTFS's table of file records. Windows file systems hold no blocks back from file writes.
#include "platform/win32/handle.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cwctype>

namespace spylerom::platform {

namespace {

// "X:\" (or the mounted folder) of the volume that holds path; empty when unknown.
std::wstring volumeRootOf(const std::string& path) {
    wchar_t root[MAX_PATH + 1] = {};
    return GetVolumePathNameW(widen(path).c_str(), root, MAX_PATH + 1) ? std::wstring(root) : std::wstring();
}

// The folder itself, opened for queries only (no right to its content is needed).
HANDLE openFolder(const std::string& folder) {
    return CreateFileW(widen(folder).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

std::string Win32Platform::writeReserveToken(FolderHandle) {
    return {};
}

bool Win32Platform::liftWriteReserve(const std::string&, FolderHandle) {
    return false;
}

bool Win32Platform::restoreWriteReserve(const std::string&, FolderHandle) {
    return false;
}

bool Win32Platform::settleVolume(FolderHandle folder, Error& err) {
    // Flushing a whole volume writes its metadata home; it takes an administrator's handle on
    // "\\.\X:". Without one, the flushes of the single files are what there is. The volume is
    // the pinned folder's own: a pinned folder cannot be moved or removed while held.
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetFinalPathNameByHandleW(reinterpret_cast<HANDLE>(folder), path, MAX_PATH + 1,
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length > MAX_PATH)
        return true;
    std::wstring full(path, length);
    if (full.rfind(L"\\\\?\\", 0) == 0)
        full.erase(0, 4);
    const std::wstring root = volumeRootOf(narrow(full));
    if (root.size() != 3 || root[1] != L':')
        return true;
    const std::wstring device = L"\\\\.\\" + root.substr(0, 2);
    const Handle volume(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!volume.valid())
        return true;
    if (!FlushFileBuffers(volume.get())) {
        err = lastError();
        return false;
    }
    return true;
}

std::string Win32Platform::fileSystemType(const std::string& folder) const {
    const std::wstring root = volumeRootOf(folder);
    wchar_t name[MAX_PATH + 1] = {};
    if (root.empty() ||
        !GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1))
        return {};
    std::wstring lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return std::towlower(c); });
    return narrow(lower);
}

bool Win32Platform::fileRecordGauge(const std::string& folder, std::int64_t& gauge, Error& err) const {
    const Handle dir(openFolder(folder));
    if (!dir.valid()) {
        err = lastError();
        return false;
    }
    NTFS_VOLUME_DATA_BUFFER data{};
    DWORD returned = 0;
    if (!DeviceIoControl(dir.get(), FSCTL_GET_NTFS_VOLUME_DATA, nullptr, 0, &data, sizeof data, &returned,
                         nullptr) ||
        data.BytesPerFileRecordSegment == 0) {
        err = errorFromWin32(kErrorNotSupported); // not NTFS
        return false;
    }
    // The table's records in use or free: it grows only when no free record is left.
    gauge = data.MftValidDataLength.QuadPart / data.BytesPerFileRecordSegment;
    return true;
}

// The fill writes no log of a Windows volume over: they are xfs's alone.
// NTFS's $LogFile is out of a program's reach, and a Windows volume keeps no btrfs block groups.
JournalWipe Win32Platform::wipeJournal(FolderHandle, Error&) {
    return JournalWipe::None;
}

bool Win32Platform::relocateMetadata(FolderHandle, Error& err) {
    err = errorFromWin32(ERROR_NOT_SUPPORTED);
    return false;
}

bool Win32Platform::relocationProgress(FolderHandle, RelocationProgress& out) const {
    out = {};
    return false;
}

void Win32Platform::cancelRelocation(FolderHandle) {}

bool Win32Platform::metadataSpace(FolderHandle, DiskSpace& out, Error& err) const {
    out = {};
    err = errorFromWin32(ERROR_NOT_SUPPORTED);
    return false;
}

// Windows volumes are trimmed file by file, before each fill file's delete (trimFile).
bool Win32Platform::trimFreeSpace(FolderHandle, std::int64_t& bytes, Error& err) {
    bytes = 0;
    err = errorFromWin32(ERROR_NOT_SUPPORTED);
    return false;
}

std::int64_t Win32Platform::internalLogBytes(FolderHandle) const {
    return 0;
}

bool Win32Platform::setFileAttribute(FileHandle, const std::string&, const void*, std::size_t, Error& err) {
    err = errorFromWin32(kErrorNotSupported);
    return false;
}

} // namespace spylerom::platform
