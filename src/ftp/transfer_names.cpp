// Derived names and the local size rule of the transfers.
#include "ftp/transfer_names.h"

#include "platform/platform.h"

#include <limits>

namespace spylerom::ftp {

namespace {

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Windows compares names without case; treat them alike here so no build overwrites its target.
bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

std::string derivedName(const std::string& path, std::string_view extension) {
    std::string name = replaceExtension(path, extension);
    if (sameName(name, path))
        name = path + "." + std::string(extension);
    return name;
}

} // namespace

std::string replaceExtension(const std::string& path, std::string_view extension) {
    const std::size_t nameStart = platform::folderOf(path).size();
    const std::size_t dot = path.find('.', nameStart);
    std::string result = dot == std::string::npos ? path + "." : path.substr(0, dot + 1);
    result += extension;
    return result;
}

std::string remoteNameFor(const std::string& folder, const std::string& localPath) {
    return folder + platform::fileNameOf(localPath);
}

std::string temporaryNameFor(const std::string& path) {
    return derivedName(path, "tmp");
}

std::string oldNameFor(const std::string& path) {
    return derivedName(path, "old");
}

std::int32_t localFileSize(const std::string& path) {
    const std::int64_t size = platform::sys().fileSizeForWrite(path);
    if (size < 0 || size > std::numeric_limits<std::int32_t>::max())
        return -1;
    return static_cast<std::int32_t>(size);
}

} // namespace spylerom::ftp
