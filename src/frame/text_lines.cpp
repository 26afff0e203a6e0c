#include "frame/text_lines.h"

namespace spylerom::frame {

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        lines.emplace_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines, std::string_view lineEnd) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += lineEnd;
    }
    return text;
}

} // namespace spylerom::frame
