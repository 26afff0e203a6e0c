// Drives A..Z from GetLogicalDrives, their types, labels and network paths, and free space.
#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <winnetwk.h>

#include <cctype>

namespace spylerom::platform {

namespace {

DriveType typeOf(UINT type) {
    switch (type) {
    case DRIVE_REMOVABLE:
        return DriveType::Removable;
    case DRIVE_FIXED:
        return DriveType::Fixed;
    case DRIVE_REMOTE:
        return DriveType::Remote;
    case DRIVE_CDROM:
        return DriveType::CdRom;
    case DRIVE_RAMDISK:
        return DriveType::RamDisk;
    default:
        return DriveType::Unknown;
    }
}

// Keeps the system from asking the user to insert a disk while drives are probed.
class QuietDriveErrors {
public:
    QuietDriveErrors() : old_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~QuietDriveErrors() { SetErrorMode(old_); }
    QuietDriveErrors(const QuietDriveErrors&) = delete;
    QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

private:
    UINT old_;
};

std::string volumeLabel(const std::wstring& root) {
    wchar_t label[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
        return {};
    return narrow(label);
}

std::string networkPath(char letter) {
    const wchar_t local[3] = {static_cast<wchar_t>(letter), L':', L'\0'};
    DWORD size = MAX_PATH;
    std::wstring remote(size, L'\0');
    DWORD result = WNetGetConnectionW(local, remote.data(), &size);
    if (result == ERROR_MORE_DATA) {
        remote.assign(size, L'\0');
        result = WNetGetConnectionW(local, remote.data(), &size);
    }
    if (result != NO_ERROR)
        return {};
    remote.resize(wcsnlen(remote.c_str(), remote.size()));
    return narrow(remote);
}

std::string upper(const std::string& text) {
    std::wstring wide = widen(text);
    if (!wide.empty())
        CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return narrow(wide);
}

// The root "X:\" of a path's volume when that volume is a lettered drive; empty otherwise
// (a network path, or a folder on which another volume is mounted).
std::wstring volumeRootOf(const std::string& path) {
    const std::wstring wide = widen(path);
    if (wide.empty())
        return {};
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(wide.c_str(), root, MAX_PATH + 1))
        return {};
    return root;
}

bool isLetterRoot(const std::wstring& root) {
    const wchar_t letter = root.empty() ? L'\0' : root[0];
    const bool isLetter = (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
    return root.size() == 3 && isLetter && root[1] == L':' && root[2] == L'\\';
}

} // namespace

std::string Win32Platform::driveItemText(const Drive& drive) {
    std::string text = std::string(1, drive.letter) + ":";
    switch (drive.type) {
    case DriveType::Fixed:
    case DriveType::CdRom:
    case DriveType::RamDisk:
        return text + " [" + upper(drive.label) + "]";
    case DriveType::Remote:
        return text + " " +
               (drive.remotePath.empty() ? "[" + upper(drive.label) + "]" : upper(drive.remotePath));
    default:
        return text;
    }
}

char Win32Platform::mappedDriveOf(const std::string& path) const {
    if (mappedDrives_.empty())
        return 0;
    const std::string full = withTrailingSeparator(fullPath(path));
    for (const auto& [letter, root] : mappedDrives_)
        if (CompareStringOrdinal(widen(full.substr(0, root.size())).c_str(), -1, widen(root).c_str(), -1,
                                 TRUE) == CSTR_EQUAL)
            return letter;
    return 0;
}

std::vector<Drive> Win32Platform::drives() const {
    QuietDriveErrors quiet;
    std::vector<Drive> drives;
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        const char letter = static_cast<char>('A' + i);
        if (auto mapped = mappedDrives_.find(letter); mapped != mappedDrives_.end()) {
            Drive drive;
            drive.letter = letter;
            drive.root = mapped->second;
            drive.type = DriveType::Fixed;
            const std::string shown = mapped->second.substr(0, mapped->second.size() - 1);
            drive.itemText = std::string(1, letter) + ": [" + shown + "]";
            drives.push_back(std::move(drive));
            continue;
        }
        if (!(mask & (1u << i)))
            continue;
        Drive drive;
        drive.letter = letter;
        drive.root = std::string(1, drive.letter) + ":\\";
        const std::wstring root = widen(drive.root);
        drive.type = typeOf(GetDriveTypeW(root.c_str()));
        // A removable drive is not asked for its label: that would spin up a diskette.
        if (drive.type != DriveType::Removable && drive.type != DriveType::Unknown) {
            drive.label = volumeLabel(root);
            drive.fileSystem = fileSystemType(drive.root);
        }
        if (drive.type == DriveType::Remote)
            drive.remotePath = networkPath(drive.letter);
        drive.itemText = driveItemText(drive);
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::string Win32Platform::driveRoot(char letter) const {
    const int upperLetter = std::toupper(static_cast<unsigned char>(letter));
    if (upperLetter < 'A' || upperLetter > 'Z')
        return {};
    if (auto mapped = mappedDrives_.find(static_cast<char>(upperLetter)); mapped != mappedDrives_.end())
        return mapped->second;
    if (!(GetLogicalDrives() & (1u << (upperLetter - 'A'))))
        return {};
    return std::string(1, static_cast<char>(upperLetter)) + ":\\";
}

bool Win32Platform::isDriveRoot(const std::string& root) const {
    // A letter given a folder (a substituted drive) has that folder as its root; any other
    // drive's root is its letter's.
    for (const auto& [letter, mapped] : mappedDrives_)
        if (mapped == root)
            return true;
    return isLetterRoot(widen(root)) && driveRoot(root.front()) == root;
}

char Win32Platform::driveOfPath(const std::string& path) const {
    if (const char mapped = mappedDriveOf(path))
        return mapped;
    QuietDriveErrors quiet;
    const std::wstring root = volumeRootOf(path);
    if (!isLetterRoot(root))
        return 0;
    return static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
}

bool Win32Platform::volumeOfPath(const std::string& path, MountedVolume& out, Error& err) const {
    QuietDriveErrors quiet;
    out = MountedVolume{};
    const std::wstring root = volumeRootOf(path);
    if (root.empty() || GetFileAttributesW(widen(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        err = root.empty() ? lastError() : errorFromWin32(ERROR_PATH_NOT_FOUND);
        return false;
    }
    wchar_t type[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, type, MAX_PATH + 1)) {
        err = lastError();
        return false;
    }
    out.mountPoint = narrow(root);
    out.type = narrow(type);
    return true;
}

bool Win32Platform::diskSpace(const std::string& root, DiskSpace& out, Error& err) const {
    QuietDriveErrors quiet;
    out = DiskSpace{};
    ULARGE_INTEGER freeToCaller{}, total{};
    const std::wstring wide = widen(root);
    if (wide.empty()) {
        err = errorFromWin32(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (!GetDiskFreeSpaceExW(wide.c_str(), &freeToCaller, &total, nullptr)) {
        err = lastError();
        return false;
    }
    out.freeToCaller = static_cast<std::int64_t>(freeToCaller.QuadPart);
    out.total = static_cast<std::int64_t>(total.QuadPart);
    return true;
}

bool Win32Platform::sameVolume(const std::string& a, const std::string& b) const {
    QuietDriveErrors quiet;
    const std::wstring rootA = volumeRootOf(a);
    const std::wstring rootB = volumeRootOf(b);
    if (rootA.empty() || rootB.empty())
        return false;
    if (CompareStringOrdinal(rootA.c_str(), -1, rootB.c_str(), -1, TRUE) == CSTR_EQUAL)
        return true;
    // Two roots may still be one volume (a drive letter and a mounted folder of it).
    wchar_t nameA[MAX_PATH] = {}, nameB[MAX_PATH] = {};
    return GetVolumeNameForVolumeMountPointW(rootA.c_str(), nameA, MAX_PATH) &&
           GetVolumeNameForVolumeMountPointW(rootB.c_str(), nameB, MAX_PATH) &&
           CompareStringOrdinal(nameA, -1, nameB, -1, TRUE) == CSTR_EQUAL;
}

} // namespace spylerom::platform
