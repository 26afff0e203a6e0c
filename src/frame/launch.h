// Handing work to other programs: starting a program or opening a document or folder, starting
// the maker's updater (and ending this program), and the desktop shortcut. Whether the other
// program does its work is not checked; starting it is the platform's business.
#pragma once

#include <stdexcept>
#include <string>

namespace spylerom::frame {

// A desktop shortcut that could not be written: "Unable to write to <path>".
class ShortcutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Starts file (a program, a document, a folder or a URL) with parameters in folder; empty texts
// mean none. Shows the wait cursor meanwhile; reports nothing.
void LaunchFile(const std::string& file, const std::string& parameters, const std::string& folder);
// Starts the updater with this program's path, logs it, and asks the application to end.
void StartProgramUpdate();
// Writes (or updates) the launcher of this program in the user's desktop folder "Skrivebord".
// Throws ShortcutError when it cannot be written; the caller shows the text to the user.
void CreateDesktopShortcut();

// The updater's file name on this system ("oppdater.exe" on Windows).
std::string updaterFileName();
// The shortcut's path: USERPROFILE (or HOME), "Skrivebord", the program file's name with the
// launcher's extension.
std::string desktopShortcutPath();

} // namespace spylerom::frame
