// Environment variables with the POSIX homes of the Windows names, and the program's own path.
#include "platform/posix/posix_platform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace spylerom::platform {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string firstSet(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::string value = variable(name);
        if (!value.empty())
            return value;
    }
    return {};
}

// The real user's entry in the password database: its name and home folder (empty when the
// account has none, as a user id without an entry in a container).
struct Account {
    std::string name;
    std::string home;
};

Account account() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int failure = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (failure == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (failure != 0 || !found)
            return {};
        return {found->pw_name ? found->pw_name : "", found->pw_dir ? found->pw_dir : ""};
    }
}

// The user's home folder without a trailing "/": HOME, else the account's home from the
// password database (a cron job or "env -i" has no HOME). Empty only when neither exists.
std::string homeFolder() {
    std::string home = variable("HOME");
    if (home.empty())
        home = account().home;
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

} // namespace

std::string PosixPlatform::environment(std::string_view name) const {
    const std::string key(name);
    if (key == "SYSTEMDRIVE") {
        const std::string value = variable("SYSTEMDRIVE");
        return value.empty() ? "C:" : value;
    }
    if (key == "APPDATA") {
        std::string value = firstSet({"APPDATA", "XDG_DATA_HOME"});
        if (value.empty()) {
            // A home of "/" gives "/.local/share", never the root itself.
            const std::string home = homeFolder();
            if (!home.empty())
                value = (home == "/" ? std::string() : home) + "/.local/share";
        }
        return value;
    }
    if (key == "TEMP") {
        const std::string value = firstSet({"TEMP", "TMPDIR"});
        return value.empty() ? "/tmp" : value;
    }
    if (key == "USERPROFILE") {
        const std::string value = variable("USERPROFILE");
        return value.empty() ? homeFolder() : value;
    }
    if (key == "USERNAME") {
        const std::string value = firstSet({"USERNAME", "USER"});
        return value.empty() ? account().name : value;
    }
    return variable(key.c_str());
}

std::string PosixPlatform::programPath() const {
    char buffer[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::string PosixPlatform::currentFolder() const {
    char buffer[PATH_MAX] = {};
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string PosixPlatform::fullPath(const std::string& path) const {
    // Like GetFullPathNameW: purely textual, the path need not exist.
    std::string absolute = (!path.empty() && path.front() == '/') ? path : currentFolder() + "/" + path;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        const std::size_t end = std::min(absolute.find('/', start), absolute.size());
        const std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const auto& part : parts)
        result += "/" + part;
    if (result.empty())
        result = "/";
    // A trailing separator names a folder; keep it.
    if (absolute.size() > 1 && absolute.back() == '/' && result != "/")
        result += '/';
    return result;
}

} // namespace spylerom::platform
