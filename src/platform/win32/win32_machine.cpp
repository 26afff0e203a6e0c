// Machine facts: the registry reads, the system's version and the memory status.
#include "platform/win32/win32_platform.h"

#include <windows.h>

namespace spylerom::platform {

namespace {

HKEY rootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// An open-or-create registry key with full access, closed when it goes out of scope.
class RegistryKey {
public:
    RegistryKey(RegistryRoot root, const std::string& key) {
        const std::wstring name = widen(key);
        if (RegCreateKeyExW(rootKey(root), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key_, nullptr) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_)
            RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool open() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

bool Win32Platform::registryOpenKey(RegistryRoot root, const std::string& key) {
    return RegistryKey(root, key).open();
}

RegistryValue Win32Platform::registryRead(RegistryRoot root, const std::string& key,
                                          const std::string& value) {
    RegistryValue result;
    const RegistryKey opened(root, key);
    if (!opened.open())
        return result;
    const std::wstring name = widen(value);
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS)
        return result; // missing
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        result.kind = RegistryValue::Kind::OtherType;
        return result;
    }
    // The value may grow between the two calls; ask again with the new size.
    std::wstring text;
    for (int attempt = 0; attempt < 4; ++attempt) {
        text.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(text.data()), &bytes);
        if (status == ERROR_MORE_DATA) {
            size = bytes;
            continue;
        }
        if (status != ERROR_SUCCESS)
            return result;
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            result.kind = RegistryValue::Kind::OtherType;
            return result;
        }
        // Stored texts need not end in a terminator, and may carry more than one.
        text.resize(bytes / sizeof(wchar_t));
        text.resize(wcsnlen(text.c_str(), text.size()));
        result.kind = RegistryValue::Kind::Text;
        result.text = narrow(text);
        return result;
    }
    return result;
}

std::vector<std::string> Win32Platform::registrySubkeys(RegistryRoot root, const std::string& key) {
    std::vector<std::string> names;
    const RegistryKey opened(root, key);
    if (!opened.open())
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {}; // a key name has at most 255 characters
        DWORD length = 256;
        const LSTATUS status =
            RegEnumKeyExW(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        names.push_back(narrow(std::wstring_view(name, length)));
    }
    return names;
}

OsVersion Win32Platform::osVersion() const {
    OsVersion version;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info))
        return version;
    version.platformId = static_cast<int>(info.dwPlatformId);
    version.major = static_cast<int>(info.dwMajorVersion);
    version.minor = static_cast<int>(info.dwMinorVersion);
    version.build = std::to_string(info.dwBuildNumber);
    return version;
}

MemoryStatus Win32Platform::memoryStatus() const {
    MemoryStatus status;
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (!GlobalMemoryStatusEx(&memory))
        return status;
    status.totalBytes = memory.ullTotalPhys;
    status.availableBytes = memory.ullAvailPhys;
    status.loadPercent = static_cast<int>(memory.dwMemoryLoad);
    return status;
}

} // namespace spylerom::platform
