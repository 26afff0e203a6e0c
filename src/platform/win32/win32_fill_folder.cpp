// A pass's pinned folder on Windows: the folder is held open without delete sharing, so it can be
// neither renamed nor removed under the pass, and checked against the volume of the drive's root
// by its serial number. Fill files are made with CREATE_NEW, so an existing entry of the name is
// never opened. Also the drive lock (a named kernel object that dies with its last holder) and
// the process identity that the crash record keeps.
#include "platform/win32/file_owner.h"
#include "platform/win32/owner_only_security.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace spylerom::platform {

namespace {

bool fail(Error& err) {
    err = lastError();
    return false;
}

bool fail(Error& err, DWORD code) {
    err = errorFromWin32(code);
    return false;
}

struct Pinned {
    std::string folder; // ends in the separator
    std::string root;   // empty: no drive to compare with
    DWORD serial = 0;
};

std::mutex& pinnedMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<FolderHandle, Pinned>& pinnedFolders() {
    static std::map<FolderHandle, Pinned> folders;
    return folders;
}

// The serial number of the volume that holds a folder, as its handle reports it (the same
// source as a pinned folder's, so the two compare alike on any file system).
bool volumeSerialOf(const std::string& folder, DWORD& serial) {
    const std::wstring wide = widen(withTrailingSeparator(folder));
    const HANDLE handle = wide.empty()
                              ? INVALID_HANDLE_VALUE
                              : CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    serial = info.dwVolumeSerialNumber;
    return known;
}

std::int64_t nanoseconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<std::int64_t>(value.QuadPart) * 100;
}

bool identify(HANDLE file, FileIdentity& id) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    id.volume = info.dwVolumeSerialNumber;
    id.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    // NTFS's file reference carries a sequence number that changes when a record is reused, so
    // volume and number alone tell one file from a later one; the creation time is left out,
    // as some file systems (and Wine on them) derive it from a time that writes change.
    id.birthNs = 0;
    id.size =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    // The fill's files carry an owner-only list; owned by us and not read-only is what can be checked.
    id.privateFile = !(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) && ownedByMe(file);
    return true;
}

std::string pinnedPath(FolderHandle folder, const std::string& name) {
    const std::lock_guard lock(pinnedMutex());
    const auto it = pinnedFolders().find(folder);
    return it == pinnedFolders().end() ? std::string() : it->second.folder + name;
}

std::string processCreation(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return {};
    return std::to_string(nanoseconds(created));
}

} // namespace

FolderHandle Win32Platform::openFillFolder(const std::string& folder, const std::string& driveRoot,
                                           Error& err) {
    const std::wstring wide = widen(folder);
    // No delete sharing: the folder cannot be renamed or removed while the pass holds it.
    const HANDLE handle = wide.empty() ? INVALID_HANDLE_VALUE
                                       : CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        err = wide.empty() ? errorFromWin32(ERROR_PATH_NOT_FOUND) : lastError();
        if (err.code == ERROR_FILE_NOT_FOUND)
            err = errorFromWin32(ERROR_PATH_NOT_FOUND);
        return kInvalidFolder;
    }
    Pinned pinned;
    pinned.folder = withTrailingSeparator(folder);
    if (!driveRoot.empty()) {
        BY_HANDLE_FILE_INFORMATION info{};
        DWORD rootSerial = 0;
        if (!volumeSerialOf(driveRoot, rootSerial)) {
            CloseHandle(handle);
            err = errorFromWin32(ERROR_PATH_NOT_FOUND); // the drive is gone
            return kInvalidFolder;
        }
        const bool onDrive = GetFileInformationByHandle(handle, &info) &&
                             info.dwVolumeSerialNumber == rootSerial &&
                             mappedDriveOf(folder) == mappedDriveOf(driveRoot);
        if (!onDrive) {
            CloseHandle(handle);
            err = errorFromWin32(ERROR_NOT_SAME_DEVICE);
            return kInvalidFolder;
        }
        pinned.root = driveRoot;
        pinned.serial = rootSerial;
    }
    const auto result = reinterpret_cast<FolderHandle>(handle);
    const std::lock_guard lock(pinnedMutex());
    pinnedFolders()[result] = pinned;
    return result;
}

bool Win32Platform::fillFolderStillMounted(FolderHandle folder) const {
    Pinned pinned;
    {
        const std::lock_guard lock(pinnedMutex());
        const auto it = pinnedFolders().find(folder);
        if (it == pinnedFolders().end())
            return false;
        pinned = it->second;
    }
    DWORD serial = 0;
    return pinned.root.empty() || (volumeSerialOf(pinned.root, serial) && serial == pinned.serial);
}

void Win32Platform::closeFolder(FolderHandle folder) {
    if (folder == kInvalidFolder)
        return;
    {
        const std::lock_guard lock(pinnedMutex());
        pinnedFolders().erase(folder);
    }
    CloseHandle(reinterpret_cast<HANDLE>(folder));
}

FileHandle Win32Platform::createFillFile(FolderHandle folder, const std::string& name, FileIdentity& id,
                                         Error& err) {
    const std::wstring wide = widen(pinnedPath(folder, name));
    if (wide.empty()) {
        err = errorFromWin32(ERROR_PATH_NOT_FOUND);
        return kInvalidFile;
    }
    OwnerOnlySecurity security;
    // CREATE_NEW: an existing file, link or folder of that name is never opened.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, security.get(), CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        err = lastError();
        if (err.code == ERROR_ALREADY_EXISTS)
            err = errorFromWin32(ERROR_FILE_EXISTS);
        return kInvalidFile;
    }
    // Only a file on a disk: a device name ("CON", "NUL") or a pipe is no place for the fill.
    if (GetFileType(file) != FILE_TYPE_DISK || !identify(file, id)) {
        CloseHandle(file);
        DeleteFileW(wide.c_str());
        err = errorFromWin32(ERROR_ACCESS_DENIED);
        return kInvalidFile;
    }
    return reinterpret_cast<FileHandle>(file);
}

bool Win32Platform::identifyFile(FolderHandle folder, const std::string& name, FileIdentity& id) const {
    const std::wstring wide = widen(pinnedPath(folder, name));
    if (wide.empty())
        return false;
    const HANDLE file =
        CreateFileW(wide.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool found = identify(file, id);
    CloseHandle(file);
    return found;
}

bool Win32Platform::deleteFillFile(FolderHandle folder, const std::string& name, Error& err) {
    const std::wstring wide = widen(pinnedPath(folder, name));
    if (wide.empty())
        return fail(err, ERROR_PATH_NOT_FOUND);
    return DeleteFileW(wide.c_str()) || fail(err);
}

FolderHandle Win32Platform::lockDrive(const std::string& driveRoot, Error& err) {
    DWORD serial = 0;
    if (!volumeSerialOf(driveRoot, serial)) {
        err = errorFromWin32(ERROR_PATH_NOT_FOUND);
        return kInvalidFolder;
    }
    // The name is the lock: it exists while a holder has it open, and the system closes a
    // holder's handles when it dies, whatever ends it.
    const std::wstring name = L"Local\\Spylerom-fill-" + std::to_wstring(serial);
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    if (!event) {
        err = lastError();
        return kInvalidFolder;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(event);
        err = errorFromWin32(ERROR_LOCK_VIOLATION);
        return kInvalidFolder;
    }
    return reinterpret_cast<FolderHandle>(event);
}

std::string Win32Platform::processIdentity() const {
    return std::to_string(GetCurrentProcessId()) + ":" + processCreation(GetCurrentProcess());
}

FolderHandle Win32Platform::openSubfolder(FolderHandle base, const std::string& relative, Error& err) {
    Pinned pinned;
    {
        const std::lock_guard lock(pinnedMutex());
        const auto it = pinnedFolders().find(base);
        if (it == pinnedFolders().end()) {
            err = errorFromWin32(ERROR_INVALID_HANDLE);
            return kInvalidFolder;
        }
        pinned = it->second;
    }
    BY_HANDLE_FILE_INFORMATION baseInfo{};
    if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(base), &baseInfo)) {
        err = lastError();
        return kInvalidFolder;
    }
    // One name at a time, each held open (without delete sharing) until the next is open, so no
    // step can be swapped for a link meanwhile; a reparse point (a link, a junction, a mounted
    // volume) is refused, never followed.
    HANDLE held = INVALID_HANDLE_VALUE;
    std::string path = pinned.folder;
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t end = relative.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = relative.size();
        const std::string name = relative.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (held != INVALID_HANDLE_VALUE)
                CloseHandle(held);
            err = errorFromWin32(ERROR_INVALID_PARAMETER);
            return kInvalidFolder;
        }
        path += name + kPathSeparator;
        const HANDLE next = CreateFileW(widen(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        held = next;
        if (held == INVALID_HANDLE_VALUE) {
            err = lastError();
            if (err.code == ERROR_FILE_NOT_FOUND)
                err = errorFromWin32(ERROR_PATH_NOT_FOUND);
            return kInvalidFolder;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(held, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            info.dwVolumeSerialNumber != baseInfo.dwVolumeSerialNumber) {
            CloseHandle(held);
            err = errorFromWin32((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                                     ? ERROR_CANT_RESOLVE_FILENAME
                                     : ERROR_NOT_SAME_DEVICE);
            return kInvalidFolder;
        }
    }
    if (held == INVALID_HANDLE_VALUE) {
        held = CreateFileW(widen(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (held == INVALID_HANDLE_VALUE) {
            err = lastError();
            return kInvalidFolder;
        }
    }
    pinned.folder = path;
    const auto result = reinterpret_cast<FolderHandle>(held);
    const std::lock_guard lock(pinnedMutex());
    pinnedFolders()[result] = pinned;
    return result;
}

bool Win32Platform::folderIdentity(FolderHandle folder, FileIdentity& id) const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(folder), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    id.volume = info.dwVolumeSerialNumber;
    id.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool Win32Platform::createFillFolder(FolderHandle folder, const std::string& name, Error& err) {
    const std::wstring wide = widen(pinnedPath(folder, name));
    if (wide.empty())
        return fail(err, ERROR_PATH_NOT_FOUND);
    OwnerOnlySecurity security;
    return CreateDirectoryW(wide.c_str(), security.get()) || fail(err);
}

bool Win32Platform::removeFillFolder(FolderHandle folder, const std::string& name, Error& err) {
    const std::wstring wide = widen(pinnedPath(folder, name));
    if (wide.empty())
        return fail(err, ERROR_PATH_NOT_FOUND);
    // A junction of that name would be removed as a link, but it is no folder of the pass's.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return fail(err, ERROR_CANT_RESOLVE_FILENAME);
    return RemoveDirectoryW(wide.c_str()) || fail(err);
}

std::vector<std::string> Win32Platform::rootsOfVolume(std::uint64_t volume, const std::string& hint) const {
    std::vector<std::string> roots;
    const auto add = [&](const std::string& root) {
        DWORD serial = 0;
        if (!root.empty() && volumeSerialOf(root, serial) && serial == volume &&
            std::find(roots.begin(), roots.end(), withTrailingSeparator(root)) == roots.end())
            roots.push_back(withTrailingSeparator(root));
    };
    add(hint);
    for (const auto& drive : drives())
        add(drive.root);
    return roots;
}

} // namespace spylerom::platform
