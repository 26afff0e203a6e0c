// The log: in-memory lines, counts, and the log file.
#include "frame/textfil.h"

#include "frame/frame_ui.h"
#include "frame/text_lines.h"

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

} // namespace

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
    line += message;
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
    platform::Error err;
    if (!sys().replaceFile(g_log.LogFileName, sys().toFileText(line + "\r\n"), err)) {
        ++g_log.ErrorCount;
        frameUi().messageBox("FEIL", "Feil under oppretting av ny fil: " + g_log.LogFileName + "  (" +
                                         std::to_string(err.code) + ")");
    }
    g_log.ErrorCount = 0;
}

void LoadLog() {
    if (!sys().fileExists(g_log.LogFileName))
        return;
    std::string bytes;
    platform::Error err;
    if (sys().readFile(g_log.LogFileName, bytes, err))
        g_log.LogLines = splitLines(sys().fromFileText(bytes));
}

bool SaveLog(platform::Error& err) {
    const std::string folder = platform::folderOf(g_log.LogFileName);
    if (!folder.empty() && !sys().folderExists(folder) && !sys().createFolderTree(folder, err))
        return false;
    if (!sys().replaceFile(g_log.LogFileName, sys().toFileText(joinLines(g_log.LogLines)), err))
        return false;
    g_log.LogLines.clear();
    g_log.LogLines.shrink_to_fit();
    return true;
}

} // namespace spylerom::frame
