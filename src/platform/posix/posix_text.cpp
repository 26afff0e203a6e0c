// Text of the log and settings files: UTF-8 here, with Windows-1252 for files from Windows.
#include "platform/posix/posix_platform.h"

#include <clocale>
#include <cwctype>

namespace spylerom::platform {

namespace {

// The printable characters 0x80..0x9F of Windows-1252; the rest of the page is Latin-1.
constexpr char32_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
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

// Decodes one UTF-8 sequence at text[i]; false when it is not valid UTF-8.
bool decodeUtf8(std::string_view text, std::size_t& i, char32_t& out) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int length = 0;
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
    if (i + static_cast<std::size_t>(length) > text.size())
        return false;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + static_cast<std::size_t>(k));
        if ((next & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
    if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return false;
    out = c;
    i += static_cast<std::size_t>(length);
    return true;
}

bool isValidUtf8(std::string_view text) {
    char32_t c = 0;
    for (std::size_t i = 0; i < text.size();)
        if (!decodeUtf8(text, i, c))
            return false;
    return true;
}

locale_t utf8Locale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l ? l : newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    }();
    return locale;
}

} // namespace

std::string PosixPlatform::toFileText(std::string_view utf8) const {
    return std::string(utf8);
}

std::string PosixPlatform::fromFileText(std::string_view bytes) const {
    if (isValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b});
    }
    return out;
}

std::string PosixPlatform::toUpper(std::string_view utf8) const {
    std::string out;
    out.reserve(utf8.size());
    const locale_t locale = utf8Locale();
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        if (!decodeUtf8(utf8, i, c)) {
            out += utf8[i++]; // not text: left as it is
            continue;
        }
        if (locale)
            c = static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
        appendUtf8(out, c);
    }
    return out;
}

} // namespace spylerom::platform
