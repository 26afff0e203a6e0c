#include "sysinfo/link_actions.h"

#include "frame/folders.h"
#include "frame/launch.h"
#include "frame/settings.h"
#include "frame/textfil.h"
#include "sysinfo/product_facts.h"
#include "sysinfo/system_facts.h"

namespace spylerom::sysinfo {

using platform::sys;

void OpenInNotepad(const std::string& file) {
    frame::LaunchFile("notepad.exe", file, "");
}

void StartExplorerOn(const std::string& folder) {
    frame::LaunchFile(sys().environment("SystemRoot") + platform::kPathSeparator + "explorer.exe", folder,
                      folder);
}

void OpenWithRegisteredProgram(const std::string& target) {
    frame::LaunchFile(target, "", "");
}

void OpenSettingsFile() {
    OpenInNotepad(frame::settingsState().SettingsFileName);
}

void OpenUserSettingsFile() {
    OpenInNotepad(PerUserSettingsPath());
}

bool WriteLogLines(platform::Error& err) {
    // Rewriting the file with LogLines would lose what the start did not load of it, and the
    // lines other runs added meanwhile.
    return frame::AppendLogLines(err);
}

void OpenLogFile() {
    platform::Error err;
    WriteLogLines(err); // nothing on the dialog reports a failure; the file keeps its old lines
    OpenWithRegisteredProgram(frame::logState().LogFileName);
}

void StartTabulant() {
    frame::LaunchFile(frame::solvarekpath("bin") + kTabulantProgram, "", "");
}

} // namespace spylerom::sysinfo
