// The program's log: lines collected in memory with a time stamp, counted by kind, the last
// ones loaded from, and the new ones appended to, one text file named after the program that
// runs at the same time share. Whether a line is worth logging is the caller's business; the
// file's folder is the folder service's.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace spylerom::frame {

struct LogState {
    // The log file is rotated to LogFileName + ".1" (replacing an older one) before it would
    // grow past LogFileLimit bytes; the start loads no more than its last LogLoadLimit bytes.
    static constexpr std::int64_t kDefaultFileLimit = 8 * 1024 * 1024;
    static constexpr std::int64_t kDefaultLoadLimit = 1024 * 1024;

    std::vector<std::string> LogLines;
    std::size_t SavedLines = 0; // the first SavedLines of LogLines are in the file already
    std::string LogFolder;      // ends in the path separator
    std::string LogFileName;    // full path
    bool LogEnabled = false;
    bool Verbose = false;
    std::int32_t ErrorCount = 0;
    std::int32_t WarningCount = 0;
    std::int32_t HintCount = 0;
    std::int64_t LogFileLimit = kDefaultFileLimit;
    std::int64_t LogLoadLimit = kDefaultLoadLimit;
};

// The one log state of the process.
LogState& logState();
// Back to the state before InitLog (tests).
void ResetLogState();

// Empties the lines and fixes LogFileName from LogFolder (APPDATA/Solvarek/log/ when empty)
// and the program file's name with ".log".
void InitLog();
// Takes one message when logging is on, stamped with the local date and time. Control
// characters in it are shown as "\r", "\n", "\t" or "\x1b", so no message can begin a line
// of its own in the file; the counts go by the message as given.
void WriteLog(std::string_view message);
// Empties the log and its file (the rotated one too), leaving one stamped line.
void ClearLog();
// Replaces LogLines with the last lines of LogFileName when that file exists: no more than
// LogLoadLimit bytes of it, whatever its size. Each line that is not UTF-8 is read as the
// system's file text on its own.
void LoadLog();
// Appends the lines not yet in the file to LogFileName as it is now, under a lock that other
// runs appending to it wait for, rotating it first when it would grow past LogFileLimit; the
// lines stay in memory. Creates the folder and the file when missing. On failure err says
// why and the lines are kept for another try.
bool AppendLogLines(platform::Error& err);
// AppendLogLines, then releases LogLines.
bool SaveLog(platform::Error& err);
// The name the log file is rotated to.
std::string RotatedLogFileName();
// message with its control characters made visible (see WriteLog).
std::string visibleControls(std::string_view message);

// One message as WriteLog saw it: the message, its stamped line, and whether the log took it.
struct LogEvent {
    std::string_view message;
    const std::string& line;
    bool taken;
};
using LogObserver = std::function<void(const LogEvent&)>;
// Called with every message WriteLog gets, taken or not (for a console that echoes the log or
// shows its failures).
void setLogObserver(LogObserver observer);

} // namespace spylerom::frame
