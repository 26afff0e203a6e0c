// The INI document: loading line by line with its trimming rules and size limits, lookups
// without regard to case, and the whole-file write that keeps unchanged lines as they were read.
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
// A stored text never spans lines: a line break would open new keys or sections in the file.
std::string oneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

// The line as the document holds it: trimmed, and a key and value each trimmed around the
// first "=". Only blanks go, so the bytes of a line and its text take the same cut.
std::string normalised(std::string_view line) {
    line = trim(line);
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::string(line);
    return std::string(trim(line.substr(0, eq))) + "=" + std::string(trim(line.substr(eq + 1)));
}

bool isHeading(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// "[name]" with the name trimmed.
std::string heading(std::string_view line) {
    return "[" + std::string(trim(line.substr(1, line.size() - 2))) + "]";
}

// Calls take(line) for every line of text, split at CR LF, CR or LF.
template <typename Take> void forEachLine(std::string_view text, Take take) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        take(text.substr(start, end - start));
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
}

// Text up to and including its last line break: a file read only in part ends mid-line.
std::string_view wholeLines(std::string_view text) {
    const auto last = text.find_last_of("\r\n");
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string kibText(std::int64_t bytes) {
    return std::to_string(bytes / 1024) + " KiB";
}

bool hasUtf16Mark(std::string_view bytes) {
    return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
}

} // namespace

IniDocument::IniDocument(std::string path) : path_(std::move(path)) {
    if (sys().fileExists(path_))
        load();
}

IniDocument::IniDocument(std::string path, std::string_view text) : path_(std::move(path)) {
    parseText(text);
}

void IniDocument::load() {
    std::string bytes;
    std::int64_t size = 0;
    // One byte past the limit tells a file at the limit from a larger one.
    if (!sys().readFilePart(path_, false, kMaxFileBytes + 1, bytes, size, loadError_)) {
        if (loadError_.code == platform::kErrorSuccess)
            loadError_.code = platform::kErrorAccessDenied;
        return;
    }
    std::string_view content = bytes;
    if (size > kMaxFileBytes) {
        tooLarge_ = true;
        content = content.substr(0, static_cast<std::size_t>(kMaxFileBytes));
        warnings_.push_back("ADVARSEL: " + path_ + " er større enn " + kibText(kMaxFileBytes) +
                            "; den blir lest bare så langt og aldri lagret");
    }
    if (hasUtf16Mark(content)) {
        const std::string text = fromUtf16(content.substr(2), content[0] == '\xFE');
        parseText(tooLarge_ ? wholeLines(text) : std::string_view(text));
        return;
    }
    if (tooLarge_)
        content = wholeLines(content);
    const bool utf8Mark = content.substr(0, 3) == "\xEF\xBB\xBF";
    parseBytes(utf8Mark ? content.substr(3) : content, utf8Mark);
}

void IniDocument::parseBytes(std::string_view bytes, bool utf8Mark) {
    forEachLine(bytes, [&](std::string_view raw) {
        raw = trim(raw);
        if (raw.empty())
            return;
        // Line by line: a line in another encoding does not change how the others read.
        const std::string asFileText = sys().fromFileText(raw);
        if (!utf8Mark) {
            addLine(asFileText, raw);
            return;
        }
        // UTF-8 by the mark, whatever the system's code page is; a line that is no UTF-8 after
        // all is read as the system's file text. Its bytes are kept only where they read back
        // as the same text without the mark, which the written file does not have.
        const bool valid = platform::utf8::isValid(raw);
        const std::string text = valid ? std::string(raw) : asFileText;
        addLine(text, asFileText == text ? std::optional<std::string_view>(raw) : std::nullopt);
    });
}

void IniDocument::parseText(std::string_view text) {
    forEachLine(text, [&](std::string_view line) { addLine(line, std::nullopt); });
}

void IniDocument::addLine(std::string_view text, std::optional<std::string_view> bytes) {
    const std::string_view line = trim(text);
    if (line.empty() || line.front() == ';')
        return;
    if (isHeading(line)) {
        const std::string_view name = trim(line.substr(1, line.size() - 2));
        // A section heading that repeats continues the first one, so each name is held once.
        current_ = sections_.size();
        for (std::size_t i = 0; i < sections_.size(); ++i)
            if (sameName(sections_[i].name, name))
                current_ = i;
        if (current_ == sections_.size()) {
            Section section{std::string(name), {}, std::nullopt};
            if (bytes && isHeading(*bytes))
                section.bytes = heading(*bytes);
            sections_.push_back(std::move(section));
        }
        return;
    }
    if (current_ >= sections_.size())
        return; // lines before the first section are dropped
    Line entry;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        entry.key = std::string(line);
    } else {
        entry.key = std::string(trim(line.substr(0, eq)));
        entry.value = std::string(trim(line.substr(eq + 1)));
        entry.hasValue = true;
    }
    if (bytes)
        entry.bytes = normalised(*bytes);
    if (entry.value.size() > kMaxValueBytes) {
        entry.refused = true;
        warnings_.push_back("ADVARSEL: verdien av " + entry.key + " i [" + sections_[current_].name + "] i " +
                            path_ + " er større enn " + kibText(kMaxValueBytes) + " og blir ikke lest");
    }
    sections_[current_].lines.push_back(std::move(entry));
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
            return line.refused ? nullptr : &line.value;
    return nullptr;
}

bool IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    if (value.size() > kMaxValueBytes)
        return false;
    Section* s = findSection(section);
    if (!s) {
        sections_.push_back(Section{oneLine(section), {}, std::nullopt});
        s = &sections_.back();
    }
    Line entry{oneLine(key), oneLine(value), true, false, std::nullopt};
    for (auto& line : s->lines) {
        if (line.hasValue && sameName(line.key, key)) {
            // The same text again is no change: the line keeps the bytes it was read as.
            if (line.refused || line.key != entry.key || line.value != entry.value)
                line = std::move(entry);
            return true;
        }
    }
    s->lines.push_back(std::move(entry));
    return true;
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

std::string IniDocument::fileBytes() const {
    std::string out;
    for (const auto& section : sections_) {
        out += section.bytes ? *section.bytes : sys().toFileText("[" + section.name + "]");
        out += "\r\n";
        for (const auto& line : section.lines) {
            if (line.bytes)
                out += *line.bytes;
            else
                out += sys().toFileText(line.hasValue ? line.key + "=" + line.value : line.key);
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
    if (tooLarge_) {
        err = platform::Error{platform::kErrorFileTooLarge, "filen er for stor"};
        return false;
    }
    if (sys().fileExists(path_) && sys().isReadOnly(path_)) {
        err = platform::Error{platform::kErrorAccessDenied, "filen er skrivebeskyttet"};
        return false;
    }
    const std::string bytes = fileBytes();
    // The frame saves after each of its steps; a save that would write what the file holds
    // already is left out, as each one costs the disk a flush.
    std::string current;
    platform::Error readError;
    if (sys().readFile(path_, current, readError) && current == bytes)
        return true;
    return sys().replaceFile(path_, bytes, err);
}

} // namespace spylerom::frame
