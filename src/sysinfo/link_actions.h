// What a click on each link of the system information dialog starts: files in the editor,
// folders in the file manager, documents and web pages with the program registered for them,
// the log written out first, Tabulant from the "bin" folder. Starting is the frame launcher's
// business (LaunchFile); whether the target starts is not reported.
#pragma once

#include "platform/platform.h"

#include <string>

namespace spylerom::sysinfo {

// "notepad.exe" with file as its parameters.
void OpenInNotepad(const std::string& file);
// SystemRoot's "explorer.exe" with folder as its parameters and working folder.
void StartExplorerOn(const std::string& folder);
// target as the file, no parameters: the program registered for it opens it.
void OpenWithRegisteredProgram(const std::string& target);

// The main settings file in the editor.
void OpenSettingsFile();
// The per-user settings file in the editor, its path built now (the user name may have changed).
void OpenUserSettingsFile();
// Adds the log lines not yet in the log file to it (the lines stay in memory), then opens the
// file with the program registered for it. A file that cannot be written keeps what it had and
// is opened all the same.
void OpenLogFile();
// The lines of LogLines not yet in LogFileName appended to it (frame::AppendLogLines: the
// folder is created when missing, the earlier lines of this and other runs stay); false with
// err when it fails.
bool WriteLogLines(platform::Error& err);
// The database desktop program in the maker's "bin" folder, without parameters.
void StartTabulant();

} // namespace spylerom::sysinfo
