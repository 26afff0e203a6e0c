#include "support/env_guard.h"

#include <algorithm>
#include <cstdlib>

#ifdef _WIN32
#include "platform/win32/win32_platform.h"

#include <windows.h>
#endif

namespace spylerom::test {

namespace {

// The C runtime's copy of the environment and the process's own are kept alike on Windows.
std::optional<std::string> currentValue(const std::string& name) {
#ifdef _WIN32
    const std::wstring key = platform::widen(name);
    const DWORD size = GetEnvironmentVariableW(key.c_str(), nullptr, 0);
    if (size == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::string>("");
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(key.c_str(), value.data(), size));
    return platform::narrow(value);
#else
    const char* old = std::getenv(name.c_str());
    return old ? std::optional<std::string>(old) : std::nullopt;
#endif
}

void setValue(const std::string& name, const std::string& value) {
#ifdef _WIN32
    const std::wstring key = platform::widen(name);
    // _wputenv_s with an empty value would remove the variable; the process's own copy keeps it.
    _wputenv_s(key.c_str(), platform::widen(value).c_str());
    SetEnvironmentVariableW(key.c_str(), platform::widen(value).c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void unsetValue(const std::string& name) {
#ifdef _WIN32
    const std::wstring key = platform::widen(name);
    _wputenv_s(key.c_str(), L"");
    SetEnvironmentVariableW(key.c_str(), nullptr);
#else
    unsetenv(name.c_str());
#endif
}

} // namespace

void EnvGuard::remember(const std::string& name) {
    if (std::any_of(saved_.begin(), saved_.end(), [&](const auto& s) { return s.first == name; }))
        return;
    saved_.emplace_back(name, currentValue(name));
}

void EnvGuard::set(const std::string& name, const std::string& value) {
    remember(name);
    setValue(name, value);
}

void EnvGuard::unset(const std::string& name) {
    remember(name);
    unsetValue(name);
}

EnvGuard::~EnvGuard() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second)
            setValue(it->first, *it->second);
        else
            unsetValue(it->first);
    }
}

} // namespace spylerom::test
