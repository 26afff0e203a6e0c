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
// Outside Windows, a program that the system's package manager installed, or one without an
// updater beside it, is not ended: a message box (and a "HINT:" line) tells the user how the
// program is updated on this system instead.
void StartProgramUpdate();
// Writes (or updates) the launcher of this program in the user's desktop folder "Skrivebord".
// Throws ShortcutError when it cannot be written; the caller shows the text to the user.
void CreateDesktopShortcut();

// The updater's file name on this system ("oppdater.exe" on Windows).
std::string updaterFileName();
// Whether a program file lies where only the system's package manager puts programs (under
// /usr, outside /usr/local); never on Windows.
bool installedByPackageManager(const std::string& program);
// The caption of the update command's message box.
inline constexpr const char* kUpdateCaption = "Direkte oppdatering fra internett";
// The shortcut's path: USERPROFILE (or HOME), "Skrivebord", the program file's name with the
// launcher's extension.
std::string desktopShortcutPath();

} // namespace spylerom::frame
