// The launcher, the update start and the desktop shortcut (a freedesktop launcher here, an
// internet shortcut on Windows).
#include "frame/launch.h"

#include "frame/folders.h"
#include "frame/frame_ui.h"
#include "frame/text_lines.h"
#include "frame/textfil.h"
#include "platform/platform.h"

#include <utility>
#include <vector>

namespace spylerom::frame {

using platform::kPathSeparator;
using platform::sys;

namespace {

#ifdef _WIN32
constexpr const char* kShortcutExtension = ".URL";
#else
constexpr const char* kShortcutExtension = ".desktop";
#endif

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool isHeading(const std::string& line) {
    const std::string t = trimmed(line);
    return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

std::string keyOf(const std::string& line) {
    const auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : trimmed(line.substr(0, eq));
}

// Sets entries in one section of a profile text and keeps every other line as it stands, the
// way a profile writer updates one entry at a time.
std::string setProfileEntries(const std::string& text, const std::string& section, const Entries& entries) {
    std::vector<std::string> lines = splitLines(text);
    std::size_t begin = lines.size();
    for (std::size_t i = 0; i < lines.size() && begin == lines.size(); ++i)
        if (trimmed(lines[i]) == "[" + section + "]")
            begin = i;
    if (begin == lines.size()) {
        if (!lines.empty() && !trimmed(lines.back()).empty())
            lines.emplace_back();
        lines.push_back("[" + section + "]");
    }
    for (const auto& [key, value] : entries) {
        std::size_t end = begin + 1;
        bool replaced = false;
        for (; end < lines.size() && !isHeading(lines[end]); ++end) {
            if (!replaced && keyOf(lines[end]) == key) {
                lines[end] = key + "=" + value;
                replaced = true;
            }
        }
        if (replaced)
            continue;
        std::size_t at = end; // after the section's last line that is not blank
        while (at > begin + 1 && trimmed(lines[at - 1]).empty())
            --at;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), key + "=" + value);
    }
    return joinLines(lines, "\n");
}

#ifndef _WIN32
// One argument of a launcher's Exec key: quoted where it holds reserved characters, "%"
// doubled, then escaped as a launcher's string value.
std::string execArgument(const std::string& path) {
    std::string arg;
    bool quote = false;
    for (const char c : path) {
        if (std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos)
            quote = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            arg += '\\';
        if (c == '%')
            arg += '%';
        arg += c;
    }
    if (quote)
        arg = "\"" + arg + "\"";
    std::string value;
    for (const char c : arg)
        value += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return value;
}
#endif

Entries shortcutEntries(const std::string& program) {
#ifdef _WIN32
    return {{"URL", "file:///" + program}, {"IconIndex", "0"}, {"IconFile", program}};
#else
    return {
        {"Type", "Application"}, {"Name", platform::fileNameOf(program)}, {"Exec", execArgument(program)}};
#endif
}

std::string shortcutSection() {
#ifdef _WIN32
    return "InternetShortcut";
#else
    return "Desktop Entry";
#endif
}

} // namespace

std::string updaterFileName() {
#ifdef _WIN32
    return "oppdater.exe";
#else
    return "oppdater";
#endif
}

std::string desktopShortcutPath() {
    return sys().environment("USERPROFILE") + kPathSeparator + "Skrivebord" + kPathSeparator +
           platform::fileNameOf(sys().programPath()) + kShortcutExtension;
}

void LaunchFile(const std::string& file, const std::string& parameters, const std::string& folder) {
    // Long texts are passed whole: cutting a path short would start something else.
    frameUi().setWaitCursor(true);
    sys().launch(file, parameters, folder);
    frameUi().setWaitCursor(false);
}

bool installedByPackageManager(const std::string& program) {
#ifdef _WIN32
    (void)program;
    return false;
#else
    return program.starts_with("/usr/") && !program.starts_with("/usr/local/");
#endif
}

namespace {

#ifndef _WIN32
// Tells the user how this program is brought up to date instead of ending it: the package
// manager replaces its files, and without an updater ending would only lose the session.
void explainUpdate(const std::string& text) {
    WriteLog("HINT: " + text);
    frameUi().messageBox(kUpdateCaption, text);
}

std::string packageManagerAdvice() {
    std::string text = "Spylerom er installert med systemets pakkebehandler og oppdateres med den, sammen "
                       "med resten av systemet";
    if (sys().fileExists("/usr/bin/apt"))
        text += " (for eksempel med \"apt update\" og \"apt upgrade\" som administrator, eller i "
                "programvaresenteret)";
    return text + ". Programmet fortsetter.";
}
#endif

} // namespace

void StartProgramUpdate() {
    const std::string program = sys().programPath();
#ifndef _WIN32
    if (installedByPackageManager(program)) {
        explainUpdate(packageManagerAdvice());
        return;
    }
#endif
    std::string bin = solvarekpath("bin");
    if (!sys().fileExists(bin + updaterFileName()))
        bin = ProgramFolder();
#ifndef _WIN32
    if (!sys().fileExists(bin + updaterFileName())) {
        explainUpdate("Oppdateringsprogrammet " + bin + updaterFileName() +
                      " finnes ikke, så Spylerom kan ikke oppdatere seg selv fra internett her. Installer "
                      "den nye versjonen på samme måte som denne ble installert. Programmet fortsetter.");
        return;
    }
#endif
    WriteLog("Starter oppdatering av programmet...");
    LaunchFile(bin + updaterFileName(), program, bin);
    WriteLog("Avslutter " + program + " for å oppdatere i fra internett.");
    frameUi().requestQuit();
}

void CreateDesktopShortcut() {
    const std::string path = desktopShortcutPath();
    std::string bytes;
    platform::Error err;
    std::string text;
    if (sys().fileExists(path)) {
        // An existing launcher keeps its other entries; one that cannot be read or written is
        // left alone rather than replaced by a bare one.
        if (sys().isReadOnly(path) || !sys().readFile(path, bytes, err))
            throw ShortcutError("Unable to write to " + path);
        text = sys().fromFileText(bytes);
    }
    const std::string updated =
        setProfileEntries(text, shortcutSection(), shortcutEntries(sys().programPath()));
    if (!sys().replaceFile(path, sys().toFileText(updated), err))
        throw ShortcutError("Unable to write to " + path);
}

} // namespace spylerom::frame
