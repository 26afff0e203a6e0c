#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include "platform/win32/win32_platform.h"

#include <windows.h>
#endif

namespace spylerom::test {

namespace {

// A path of ours (UTF-8) as the file system library takes it on either system.
std::filesystem::path fsPath(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

#ifdef _WIN32
// mkdtemp's work: a fresh folder under the user's temporary folder.
std::string makeTempFolder() {
    const std::string base = (std::filesystem::temp_directory_path() / "spylerom-test-").string();
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = base + std::to_string(GetCurrentProcessId()) + "-" +
                                      std::to_string(GetTickCount64() % 100000) + "-" +
                                      std::to_string(++counter);
        if (CreateDirectoryW(platform::widen(candidate).c_str(), nullptr))
            return candidate;
    }
    throw std::runtime_error("cannot create a temporary folder");
}
#else
std::string makeTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "spylerom-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}
#endif

} // namespace

TempDir::TempDir() : path_(makeTempFolder()) {}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only folders left by a test must not stop the removal.
    for (auto it = std::filesystem::recursive_directory_iterator(fsPath(path_), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (!it->is_symlink())
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(fsPath(path_), ec);
}

void writeText(const std::string& path, const std::string& bytes) {
    std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string readText(const std::string& path) {
    std::ifstream in(fsPath(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(fsPath(path), ec));
}

} // namespace spylerom::test
