// Files and folders: the fill's files and the frame's whole-file reads and replacements.
#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <memory>

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

HANDLE handleOf(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

DWORD attributesOf(const std::string& path) {
    const std::wstring wide = widen(path);
    return wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
}

// The name without its trailing separators, except for a drive's root "X:\".
std::wstring withoutTrailingSeparator(std::wstring path) {
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/') &&
           !(path.size() == 3 && path[1] == L':'))
        path.pop_back();
    return path;
}

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// A fresh, unused name beside path for the replacement's temporary file.
HANDLE createBeside(const std::wstring& path, std::wstring& temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
                    L".tmp";
        const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE ||
            (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS))
            return file;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool Win32Platform::trimFile(FileHandle file, std::int64_t& bytes, Error& err) {
    // Not in every SDK's headers: FSCTL_FILE_LEVEL_TRIM (Windows 8 on) and its buffers.
    constexpr DWORD kFileLevelTrim = CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 130, METHOD_BUFFERED, FILE_WRITE_DATA);
    struct TrimRange {
        ULONGLONG offset;
        ULONGLONG length;
    };
    struct TrimInput {
        DWORD key;
        DWORD ranges;
        TrimRange range;
    };
    bytes = 0;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handleOf(file), &size))
        return fail(err);
    TrimInput input{0, 1, {0, static_cast<ULONGLONG>(size.QuadPart)}};
    DWORD processed = 0;
    DWORD returned = 0;
    if (!DeviceIoControl(handleOf(file), kFileLevelTrim, &input, sizeof input, &processed, sizeof processed,
                         &returned, nullptr))
        return fail(err);
    bytes = size.QuadPart;
    return true;
}

bool Win32Platform::flushFile(FileHandle file, Error& err) {
    return FlushFileBuffers(handleOf(file)) || fail(err);
}

bool Win32Platform::closeFile(FileHandle file, Error& err) {
    // A file in direct mode has its buffered handle too; both go, the first failure is told.
    if (const auto direct = directFile(file)) {
        setDirectFile(file, std::nullopt);
        const bool closedBuffered = CloseHandle(handleOf(direct->buffered));
        const DWORD code = GetLastError();
        const bool closed = CloseHandle(handleOf(file)) || fail(err);
        return closedBuffered ? closed : fail(err, code);
    }
    return CloseHandle(handleOf(file)) || fail(err);
}

bool Win32Platform::deleteFile(const std::string& path, Error& err) {
    return DeleteFileW(widen(path).c_str()) || fail(err);
}

bool Win32Platform::moveFile(const std::string& from, const std::string& to, Error& err) {
    return MoveFileW(widen(from).c_str(), widen(to).c_str()) || fail(err);
}

bool Win32Platform::fileExists(const std::string& path) const {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::folderExists(const std::string& path) const {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::isReadOnly(const std::string& path) const {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool Win32Platform::setNormalAttributes(const std::string& path, Error& err) {
    return SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_NORMAL) || fail(err);
}

bool Win32Platform::createFolder(const std::string& path, Error& err) {
    return CreateDirectoryW(widen(path).c_str(), nullptr) || fail(err);
}

bool Win32Platform::createFolderTree(const std::string& path, Error& err) {
    const std::wstring wide = withoutTrailingSeparator(widen(path));
    if (wide.empty())
        return fail(err, ERROR_PATH_NOT_FOUND);
    // From the top down; the parts that exist (the drive's root among them) are passed over.
    std::size_t from = 0;
    if (wide.rfind(L"\\\\", 0) == 0) {
        // \\server\share is the root of a network path.
        const std::size_t server = wide.find(L'\\', 2);
        const std::size_t share = server == std::wstring::npos ? server : wide.find(L'\\', server + 1);
        if (share == std::wstring::npos)
            return folderExists(path) || fail(err, ERROR_BAD_NETPATH);
        from = share + 1;
    }
    for (;;) {
        const std::size_t next = wide.find_first_of(L"\\/", from);
        const std::wstring prefix = wide.substr(0, next);
        const bool isDrive = prefix.size() == 2 && prefix[1] == L':';
        if (!prefix.empty() && !isDrive && !CreateDirectoryW(prefix.c_str(), nullptr)) {
            const DWORD code = GetLastError();
            const DWORD attributes = GetFileAttributesW(prefix.c_str());
            const bool isFolder =
                attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
            if (!isFolder)
                return fail(err, code == ERROR_ALREADY_EXISTS ? ERROR_PATH_NOT_FOUND : code);
        }
        if (next == std::wstring::npos)
            break;
        from = next + 1;
    }
    return true;
}

bool Win32Platform::removeFolder(const std::string& path, Error& err) {
    // A link to a folder goes as a link; its target stays.
    return RemoveDirectoryW(withoutTrailingSeparator(widen(path)).c_str()) || fail(err);
}

bool Win32Platform::listFolder(const std::string& path, std::vector<FolderEntry>& entries, Error& err) const {
    entries.clear();
    std::wstring pattern = widen(path);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L"*.*";
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        // An empty drive root has not even "." and "..".
        if (GetLastError() == ERROR_FILE_NOT_FOUND && folderExists(path))
            return true;
        return fail(err);
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        FolderEntry entry;
        entry.name = narrow(name);
        entry.isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.isFolder = !entry.isLink && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        entry.readOnly = (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        entries.push_back(std::move(entry));
    } while (FindNextFileW(search, &found));
    const DWORD code = GetLastError();
    FindClose(search);
    return code == ERROR_NO_MORE_FILES || fail(err, code);
}

bool Win32Platform::readFile(const std::string& path, std::string& bytes, Error& err) const {
    bytes.clear();
    const HANDLE file =
        CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail(err);
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            const DWORD code = GetLastError();
            CloseHandle(file);
            bytes.clear();
            return fail(err, code);
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return true;
}

bool Win32Platform::replaceFile(const std::string& path, std::string_view bytes, Error& err) {
    const std::wstring target = widen(path);
    if (target.empty())
        return fail(err, ERROR_PATH_NOT_FOUND);
    std::wstring temporary;
    const HANDLE file = createBeside(target, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return fail(err);
    const bool written = writeAll(file, bytes) && FlushFileBuffers(file);
    const DWORD writeError = GetLastError();
    const bool closed = CloseHandle(file);
    if (!written || !closed) {
        const DWORD code = written ? GetLastError() : writeError;
        DeleteFileW(temporary.c_str());
        return fail(err, code);
    }
    // ReplaceFileW keeps the old file's access rights; a new file is moved in.
    const DWORD old = GetFileAttributesW(target.c_str());
    const bool exists = old != INVALID_FILE_ATTRIBUTES;
    const bool replaced = exists ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                 : MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
        const DWORD code = GetLastError();
        DeleteFileW(temporary.c_str());
        return fail(err, code);
    }
    // Not every file system carries the attributes over (hidden, system, read-only); put them back.
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD now = GetFileAttributesW(target.c_str());
    if (exists && now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (old & kKept)) {
        const DWORD wanted = (now & ~(kKept | FILE_ATTRIBUTE_NORMAL)) | (old & kKept);
        SetFileAttributesW(target.c_str(), wanted ? wanted : FILE_ATTRIBUTE_NORMAL);
    }
    return true;
}

std::int64_t Win32Platform::fileSizeForWrite(const std::string& path) const {
    if (isReadOnly(path))
        return -1; // refused for writing whoever asks, as on Windows
    const HANDLE file =
        CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    LARGE_INTEGER size{};
    const bool known = GetFileSizeEx(file, &size);
    CloseHandle(file);
    return known ? static_cast<std::int64_t>(size.QuadPart) : -1;
}

} // namespace spylerom::platform
