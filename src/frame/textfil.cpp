// The log: in-memory lines, counts, and the log file.
#include "frame/textfil.h"

#include "frame/frame_ui.h"
#include "frame/text_lines.h"
#include "platform/utf8.h"

#include <algorithm>

namespace spylerom::frame {

using platform::sys;

namespace {

LogState g_log;
LogObserver g_observer;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string stamp() {
    return sys().dateTimeText(sys().localTime());
}

std::string programLogName() {
    std::string name = platform::fileNameOf(sys().programPath());
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name + ".log";
}

// The file's lines, each decoded on its own: one line in another encoding does not change how
// the others read.
std::vector<std::string> decodedLines(std::string_view bytes) {
    std::vector<std::string> lines = splitLines(bytes);
    for (auto& line : lines)
        line = sys().fromFileText(line);
    return lines;
}

void appendEscape(std::string& out, char32_t c) {
    static const char kHex[] = "0123456789abcdef";
    if (c == '\r') {
        out += "\\r";
    } else if (c == '\n') {
        out += "\\n";
    } else if (c == '\t') {
        out += "\\t";
    } else if (c < 0x80) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    } else {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kHex[(c >> shift) & 0xF];
    }
}

// C0 controls, DEL, the C1 controls (NEL among them) and the Unicode line and paragraph
// separators: what a text viewer may take for a line end, or a terminal for a command.
bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

std::string visibleControls(std::string_view message) {
    std::string out;
    out.reserve(message.size());
    for (std::size_t i = 0; i < message.size();) {
        const std::size_t start = i;
        char32_t c = 0;
        if (!platform::utf8::decode(message, i, c)) {
            out += message[i++]; // not UTF-8: a byte of the file text as it is
            continue;
        }
        if (isControl(c))
            appendEscape(out, c);
        else
            out.append(message.substr(start, i - start));
    }
    return out;
}

LogState& logState() {
    return g_log;
}

void ResetLogState() {
    g_log = LogState{};
}

void setLogObserver(LogObserver observer) {
    g_observer = std::move(observer);
}

void InitLog() {
    g_log.LogLines.clear();
    if (g_log.LogFolder.empty()) {
        const char sep = platform::kPathSeparator;
        g_log.LogFolder = sys().environment("APPDATA") + sep + "Solvarek" + sep + "log" + sep;
    }
    g_log.LogFileName = g_log.LogFolder + programLogName();
}

void WriteLog(std::string_view message) {
    // The observer hears every message, taken or not: a console must be able to show a failure
    // with logging off. What is counted stays what the log holds.
    if (!g_log.LogEnabled && !g_observer)
        return;
    std::string line = stamp();
    line += ' ';
    line += visibleControls(message);
    if (!g_log.LogEnabled) {
        g_observer(LogEvent{message, line, false});
        return;
    }
    if (startsWith(message, "ERROR:") || startsWith(message, "FEIL:"))
        ++g_log.ErrorCount;
    if (startsWith(message, "WARNING:") || startsWith(message, "ADVARSEL:"))
        ++g_log.WarningCount;
    if (startsWith(message, "HINT:"))
        ++g_log.HintCount;
    g_log.LogLines.push_back(std::move(line));
    if (g_observer)
        g_observer(LogEvent{message, g_log.LogLines.back(), true});
}

void ClearLog() {
    const std::string line = stamp() + " LOGGFIL TØMT (TextFile.ClearLog).";
    g_log.LogLines.assign(1, line);
    g_log.SavedLines = 0;
    platform::Error err;
    if (!sys().replaceFile(g_log.LogFileName, sys().toFileText(line + "\r\n"), err)) {
        ++g_log.ErrorCount;
        frameUi().messageBox("FEIL", "Feil under oppretting av ny fil: " + g_log.LogFileName + "  (" +
                                         std::to_string(err.code) + ")");
    } else {
        g_log.SavedLines = 1;
        // The older lines of the rotated file belong to the log that is emptied.
        if (sys().fileExists(RotatedLogFileName()))
            sys().deleteFile(RotatedLogFileName(), err);
    }
    g_log.ErrorCount = 0;
}

std::string RotatedLogFileName() {
    return g_log.LogFileName + ".1";
}

void LoadLog() {
    if (!sys().fileExists(g_log.LogFileName))
        return;
    std::string bytes;
    std::int64_t size = 0;
    platform::Error err;
    // One byte more than the limit: the byte before the tail tells whether it begins a line.
    if (!sys().readFilePart(g_log.LogFileName, true, g_log.LogLoadLimit + 1, bytes, size, err))
        return;
    std::string_view tail = bytes;
    if (size > g_log.LogLoadLimit) {
        // Read from the middle of the file: what comes before the first line end is only the
        // end of a line.
        const auto lineEnd = tail.find('\n');
        tail = lineEnd == std::string_view::npos ? std::string_view() : tail.substr(lineEnd + 1);
    }
    g_log.LogLines = decodedLines(tail);
    g_log.SavedLines = g_log.LogLines.size();
}

bool AppendLogLines(platform::Error& err) {
    const std::string folder = platform::folderOf(g_log.LogFileName);
    if (!folder.empty() && !sys().folderExists(folder) && !sys().createFolderTree(folder, err))
        return false;
    const std::size_t saved = std::min(g_log.SavedLines, g_log.LogLines.size());
    std::string text;
    for (std::size_t i = saved; i < g_log.LogLines.size(); ++i) {
        text += g_log.LogLines[i];
        text += "\r\n";
    }
    if (!sys().appendToSharedFile(g_log.LogFileName, sys().toFileText(text), g_log.LogFileLimit,
                                  RotatedLogFileName(), err))
        return false;
    g_log.SavedLines = g_log.LogLines.size();
    return true;
}

bool SaveLog(platform::Error& err) {
    if (!AppendLogLines(err))
        return false;
    g_log.LogLines.clear();
    g_log.LogLines.shrink_to_fit();
    g_log.SavedLines = 0;
    return true;
}

} // namespace spylerom::frame
