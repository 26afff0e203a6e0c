// Sets environment variables for one test and puts the old values back afterwards.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace spylerom::test {

class EnvGuard {
public:
    EnvGuard() = default;
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

    void set(const std::string& name, const std::string& value);
    void unset(const std::string& name);

private:
    void remember(const std::string& name);
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace spylerom::test
