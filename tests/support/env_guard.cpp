#include "support/env_guard.h"

#include <algorithm>
#include <cstdlib>

namespace spylerom::test {

void EnvGuard::remember(const std::string& name) {
    if (std::any_of(saved_.begin(), saved_.end(), [&](const auto& s) { return s.first == name; }))
        return;
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
}

void EnvGuard::set(const std::string& name, const std::string& value) {
    remember(name);
    setenv(name.c_str(), value.c_str(), 1);
}

void EnvGuard::unset(const std::string& name) {
    remember(name);
    unsetenv(name.c_str());
}

EnvGuard::~EnvGuard() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second)
            setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            unsetenv(it->first.c_str());
    }
}

} // namespace spylerom::test
