// Where a pass keeps its crash record on Windows, how a record is read, and the pass's mark: an
// administrator's records live under ProgramData in a folder only administrators and the system
// may use, a user's under the user's own local application data; never where the environment
// points. The mark is an alternate data stream of the file or folder.
#include "platform/win32/file_owner.h"
#include "platform/win32/handle.h"
#include "platform/win32/owner_only_security.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <aclapi.h>
#include <knownfolders.h>
#include <ntsecapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <memory>

namespace spylerom::platform {

namespace {

constexpr const wchar_t* kMarkStream = L":spylerom.mark";

Error refusal(DWORD code, const char* text) {
    Error err = errorFromWin32(code);
    err.message = text;
    return err;
}

bool elevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool yes = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                     elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return yes;
}

std::string knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string out;
    if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path) == S_OK)
        out = narrow(path);
    CoTaskMemFree(path);
    return out;
}

// Makes one folder: the administrators' and the system's alone, or the creator's alone.
bool makeFolder(const std::wstring& path, bool systemWide) {
    if (!systemWide) {
        OwnerOnlySecurity security;
        return CreateDirectoryW(path.c_str(), security.get()) || GetLastError() == ERROR_ALREADY_EXISTS;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                                                              SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const bool made = CreateDirectoryW(path.c_str(), &attributes) || GetLastError() == ERROR_ALREADY_EXISTS;
    LocalFree(descriptor);
    return made;
}

// Makes what is missing of `below` under a known folder, and checks that no step is a link and
// that the last one belongs to us (or the administrators).
bool walkTrusted(const std::string& base, const std::string& below, bool systemWide, Error& err) {
    std::string path = withTrailingSeparator(base);
    std::size_t start = 0;
    while (start < below.size()) {
        std::size_t end = below.find('\\', start);
        if (end == std::string::npos)
            end = below.size();
        path += below.substr(start, end - start) + kPathSeparator;
        start = end + 1;
        const std::wstring wide = widen(path);
        if (!makeFolder(wide, systemWide)) {
            err = lastError();
            return false;
        }
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            err = refusal(ERROR_NOT_SUPPORTED, "a link or not a folder");
            return false;
        }
    }
    const Handle folder(CreateFileW(widen(path).c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder.valid() || !ownedByMe(folder.get(), true)) {
        err = refusal(ERROR_ACCESS_DENIED, "owned by another account");
        return false;
    }
    return true;
}

// The full path of an open file or folder, as the stream names want it.
std::wstring pathOf(HANDLE handle) {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetFinalPathNameByHandleW(handle, path, MAX_PATH + 1, FILE_NAME_NORMALIZED);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(path, length);
}

// Whether the volume of an open file or folder keeps named streams (NTFS does; FAT, and Wine's
// folders of the host, do not: there "name:stream" would be a file of its own beside it).
bool keepsStreams(HANDLE handle) {
    DWORD flags = 0;
    return GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_NAMED_STREAMS);
}

} // namespace

bool Win32Platform::setMark(std::intptr_t handle, const std::string& mark, Error& err) {
    const std::wstring path = pathOf(reinterpret_cast<HANDLE>(handle));
    if (path.empty() || !keepsStreams(reinterpret_cast<HANDLE>(handle))) {
        err = errorFromWin32(ERROR_NOT_SUPPORTED);
        return false;
    }
    const Handle stream(CreateFileW((path + kMarkStream).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!stream.valid() ||
        !WriteFile(stream.get(), mark.data(), static_cast<DWORD>(mark.size()), &written, nullptr) ||
        written != mark.size()) {
        err = lastError();
        return false;
    }
    return true;
}

std::string Win32Platform::markOf(FolderHandle folder, const std::string& name) const {
    const std::wstring path = pathOf(reinterpret_cast<HANDLE>(folder));
    if (path.empty() || !keepsStreams(reinterpret_cast<HANDLE>(folder)))
        return {};
    const std::wstring entry = path + L"\\" + widen(name);
    const DWORD attributes = GetFileAttributesW(entry.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return {};
    const Handle stream(CreateFileW((entry + kMarkStream).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char value[64] = {};
    DWORD got = 0;
    if (!stream.valid() || !ReadFile(stream.get(), value, sizeof value, &got, nullptr))
        return {};
    return std::string(value, got);
}

std::string Win32Platform::randomToken() const {
    unsigned char bytes[16] = {};
    if (!RtlGenRandom(bytes, sizeof bytes))
        std::abort(); // no randomness: nothing may be proven with a mark that others can guess
    return hexText(bytes, sizeof bytes);
}

bool Win32Platform::recordFolder(std::string& folder, bool& systemWide, Error& err) {
    systemWide = elevated();
    std::string base;
    std::string below;
    if (!recordFolder_.empty()) {
        folder = withTrailingSeparator(recordFolder_);
        base = folder;
    } else {
        base = knownFolder(systemWide ? FOLDERID_ProgramData : FOLDERID_LocalAppData);
        below = "Solvarek\\Spylerom\\records";
        folder = withTrailingSeparator(base) + below + kPathSeparator;
    }
    if (base.empty()) {
        err = errorFromWin32(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return walkTrusted(base, below, systemWide, err);
}

bool Win32Platform::readOwnFile(const std::string& path, std::int64_t maxBytes, std::string& bytes,
                                Error& err) const {
    const Handle file(CreateFileW(widen(path).c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        err = lastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        err = refusal(ERROR_INVALID_PARAMETER, "not a regular file");
        return false;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        err = refusal(ERROR_CANT_RESOLVE_FILENAME, "a link");
        return false;
    }
    if (!ownedByMe(file.get(), true)) {
        err = refusal(ERROR_ACCESS_DENIED, "owned by another account");
        return false;
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > static_cast<std::uint64_t>(maxBytes)) {
        err = refusal(ERROR_FILE_TOO_LARGE, "too large");
        return false;
    }
    bytes.assign(static_cast<std::size_t>(size), '\0');
    DWORD got = 0;
    if (size > 0 && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(size), &got, nullptr)) {
        err = lastError();
        return false;
    }
    bytes.resize(got);
    return true;
}

} // namespace spylerom::platform
