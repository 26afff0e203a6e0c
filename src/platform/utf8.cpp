#include "platform/utf8.h"

namespace spylerom::platform::utf8 {

void append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool decode(std::string_view text, std::size_t& i, char32_t& out) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
        out = lead;
        ++i;
        return true;
    } else if ((lead & 0xE0) == 0xC0 && lead >= 0xC2) {
        length = 2;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
    } else {
        return false;
    }
    if (i + length > text.size())
        return false;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char following = byte(i + k);
        if ((following & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (following & 0x3F);
    }
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
    if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return false;
    out = c;
    i += length;
    return true;
}

char32_t next(std::string_view text, std::size_t& i) {
    char32_t c = 0;
    if (decode(text, i, c))
        return c;
    ++i;
    return kReplacement;
}

bool isValid(std::string_view text) {
    char32_t c = 0;
    for (std::size_t i = 0; i < text.size();)
        if (!decode(text, i, c))
            return false;
    return true;
}

} // namespace spylerom::platform::utf8
