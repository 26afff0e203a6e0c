#include "fill/format_number.h"

#include <charconv>
#include <cmath>

namespace spylerom::fill {

std::string FormatNumber(long double value, int width, int decimals) {
    if (!std::isfinite(value))
        value = 0; // a number that has no value shows as 0, never as "nan"
    char buffer[128];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::fixed, decimals);
    std::string text(buffer, result.ec == std::errc() ? result.ptr : buffer);
    if (text == "-0" || text.find_first_not_of("-0.") == std::string::npos)
        if (!text.empty() && text.front() == '-')
            text.erase(0, 1); // no "-0.0" for a value that rounds to zero
    if (width != 100 && static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

} // namespace spylerom::fill
