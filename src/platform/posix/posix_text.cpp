// Text of the log and settings files: UTF-8 here, with Windows-1252 for files from Windows.
#include "platform/posix/posix_platform.h"
#include "platform/utf8.h"

#include <clocale>
#include <cwctype>

namespace spylerom::platform {

namespace {

// The printable characters 0x80..0x9F of Windows-1252; the rest of the page is Latin-1.
constexpr char32_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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
    if (utf8::isValid(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        utf8::append(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b});
    }
    return out;
}

std::string PosixPlatform::toUpper(std::string_view utf8) const {
    std::string out;
    out.reserve(utf8.size());
    const locale_t locale = utf8Locale();
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        if (!utf8::decode(utf8, i, c)) {
            out += utf8[i++]; // not text: left as it is
            continue;
        }
        if (locale)
            c = static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
        utf8::append(out, c);
    }
    return out;
}

} // namespace spylerom::platform
