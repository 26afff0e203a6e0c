// Environment variables, the program's own path, the current folder and full paths.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <shlobj.h>

namespace spylerom::platform {

namespace {

// Calls a Win32 function that fills a buffer and returns the length it needs when the buffer
// is too small (GetEnvironmentVariableW, GetCurrentDirectoryW, GetFullPathNameW).
template <typename Fill> std::wstring growingBuffer(Fill fill) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length, L'\0'); // the size it asked for, its terminator included
    }
    return {};
}

// A folder of the user's profile (CSIDL_APPDATA, CSIDL_PROFILE); empty when there is none.
std::string profileFolder(int which) {
    wchar_t buffer[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, buffer)) ? narrow(buffer)
                                                                                            : std::string();
}

} // namespace

std::string Win32Platform::environment(std::string_view name) const {
    const std::wstring key = widen(name);
    if (key.empty())
        return {};
    std::string value = narrow(growingBuffer(
        [&](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(key.c_str(), buffer, size); }));
    // A process started without an environment still has an account with a profile; its
    // folders, not the root of the current drive, hold the maker's tree.
    if (value.empty() && name == "APPDATA")
        value = profileFolder(CSIDL_APPDATA);
    else if (value.empty() && name == "USERPROFILE")
        value = profileFolder(CSIDL_PROFILE);
    return value;
}

std::string Win32Platform::programPath() const {
    // GetModuleFileNameW cuts the name at the buffer's size and says so only by filling it.
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size() - 1) {
            buffer.resize(length);
            return narrow(buffer);
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
    return {};
}

std::string Win32Platform::currentFolder() const {
    return narrow(
        growingBuffer([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); }));
}

std::string Win32Platform::fullPath(const std::string& path) const {
    const std::wstring wide = widen(path);
    if (wide.empty())
        return currentFolder();
    return narrow(growingBuffer(
        [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(wide.c_str(), size, buffer, nullptr); }));
}

} // namespace spylerom::platform
