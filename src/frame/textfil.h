// The program's log: lines collected in memory with a time stamp, counted by kind, loaded from
// and saved to one text file named after the program. Whether a line is worth logging is the
// caller's business; the file's folder is the folder service's.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace spylerom::frame {

struct LogState {
    std::vector<std::string> LogLines;
    std::string LogFolder;   // ends in the path separator
    std::string LogFileName; // full path
    bool LogEnabled = false;
    bool Verbose = false;
    std::int32_t ErrorCount = 0;
    std::int32_t WarningCount = 0;
    std::int32_t HintCount = 0;
};

// The one log state of the process.
LogState& logState();
// Back to the state before InitLog (tests).
void ResetLogState();

// Empties the lines and fixes LogFileName from LogFolder (APPDATA/Solvarek/log/ when empty)
// and the program file's name with ".log".
void InitLog();
// Takes one message when logging is on, stamped with the local date and time.
void WriteLog(std::string_view message);
// Empties the log and its file, leaving one stamped line.
void ClearLog();
// Replaces LogLines with the lines of LogFileName when that file exists.
void LoadLog();
// Writes LogLines to LogFileName (replacing it atomically) and releases them. Creates the
// folder when it is missing. On failure err says why; the lines are kept for another try.
bool SaveLog(platform::Error& err);

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
