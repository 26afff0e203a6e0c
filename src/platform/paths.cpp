// Path helpers shared by every platform.
#include "platform/platform.h"

namespace spylerom::platform {

std::string withTrailingSeparator(std::string path) {
    if (!path.empty() && path.back() != kPathSeparator)
        path += kPathSeparator;
    return path;
}

std::string folderOf(const std::string& path) {
    const auto cut = path.find_last_of(kPathSeparator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string fileNameOf(const std::string& path) {
    const auto cut = path.find_last_of(kPathSeparator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string hexText(const unsigned char* bytes, std::size_t size) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 15];
    }
    return text;
}

} // namespace spylerom::platform
