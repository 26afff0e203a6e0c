// The INI document: loading with its trimming rules, lookups without regard to case, and the
// whole-file write.
#include "frame/settings.h"

#include "platform/utf8.h"

namespace spylerom::frame {

using platform::sys;

namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Section names and keys compare without regard to case, by the system's rules.
bool sameName(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (asciiUpper(a[i]) != asciiUpper(b[i]))
                return false;
        return true;
    }
    return sys().toUpper(a) == sys().toUpper(b);
}

// UTF-16 text (after its byte-order mark) to UTF-8; a lone surrogate becomes U+FFFD.
std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? char32_t((b0 << 8) | b1) : char32_t((b1 << 8) | b0);
    };
    std::string out;
    const std::size_t units = bytes.size() / 2;
    for (std::size_t k = 0; k < units; ++k) {
        char32_t c = unit(2 * k);
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units) {
            const char32_t low = unit(2 * (k + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++k;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        platform::utf8::append(out, c);
    }
    return out;
}

std::string decodeFileText(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        // UTF-8 by its mark, whatever the system's code page is; bytes that are no UTF-8 after
        // all are read as the system's file text.
        const std::string_view rest = bytes.substr(3);
        return platform::utf8::isValid(rest) ? std::string(rest) : sys().fromFileText(rest);
    }
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return fromUtf16(bytes.substr(2), false);
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return fromUtf16(bytes.substr(2), true);
    return sys().fromFileText(bytes);
}

// A stored text never spans lines: a line break would open new keys or sections in the file.
std::string oneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

} // namespace

IniDocument::IniDocument(std::string path) : path_(std::move(path)) {
    std::string bytes;
    if (!sys().fileExists(path_))
        return;
    if (sys().readFile(path_, bytes, loadError_))
        parse(decodeFileText(bytes));
    else if (loadError_.code == platform::kErrorSuccess)
        loadError_.code = platform::kErrorAccessDenied;
}

IniDocument::IniDocument(std::string path, std::string_view text) : path_(std::move(path)) {
    parse(text);
}

void IniDocument::parse(std::string_view text) {
    std::size_t current = sections_.size(); // none yet: lines before the first section are dropped
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = trim(text.substr(start, end - start));
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);

        if (line.empty() || line.front() == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string_view name = trim(line.substr(1, line.size() - 2));
            // A section heading that repeats continues the first one, so each name is held once.
            current = sections_.size();
            for (std::size_t i = 0; i < sections_.size(); ++i)
                if (sameName(sections_[i].name, name))
                    current = i;
            if (current == sections_.size())
                sections_.push_back(Section{std::string(name), {}});
            continue;
        }
        if (current >= sections_.size())
            continue;
        Line entry;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            entry.key = std::string(line);
        } else {
            entry.key = std::string(trim(line.substr(0, eq)));
            entry.value = std::string(trim(line.substr(eq + 1)));
            entry.hasValue = true;
        }
        sections_[current].lines.push_back(std::move(entry));
    }
}

IniDocument::Section* IniDocument::findSection(std::string_view name) {
    for (auto& section : sections_)
        if (sameName(section.name, name))
            return &section;
    return nullptr;
}

const IniDocument::Section* IniDocument::findSection(std::string_view name) const {
    return const_cast<IniDocument*>(this)->findSection(name);
}

const std::string* IniDocument::find(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (!s)
        return nullptr;
    for (const auto& line : s->lines)
        if (line.hasValue && sameName(line.key, key))
            return &line.value;
    return nullptr;
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = findSection(section);
    if (!s) {
        sections_.push_back(Section{oneLine(section), {}});
        s = &sections_.back();
    }
    Line entry{oneLine(key), oneLine(value), true};
    for (auto& line : s->lines) {
        if (line.hasValue && sameName(line.key, key)) {
            line = std::move(entry);
            return;
        }
    }
    s->lines.push_back(std::move(entry));
}

std::string IniDocument::text() const {
    std::string out;
    for (const auto& section : sections_) {
        out += "[" + section.name + "]\r\n";
        for (const auto& line : section.lines) {
            out += line.key;
            if (line.hasValue)
                out += "=" + line.value;
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

bool IniDocument::flush(platform::Error& err) const {
    // Writing what little was read of a file that could not be read would lose the rest.
    if (loadError_.code != platform::kErrorSuccess) {
        err = loadError_;
        return false;
    }
    if (sys().fileExists(path_) && sys().isReadOnly(path_)) {
        err = platform::Error{platform::kErrorAccessDenied, "filen er skrivebeskyttet"};
        return false;
    }
    return sys().replaceFile(path_, sys().toFileText(text()), err);
}

} // namespace spylerom::frame
