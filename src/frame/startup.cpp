// Start-up and shut-down of the frame, in their fixed order.
#include "frame/startup.h"

#include "frame/cleanup.h"
#include "frame/folders.h"
#include "frame/settings.h"
#include "frame/sysqueries.h"
#include "frame/textfil.h"
#include "platform/platform.h"

namespace spylerom::frame {

using platform::kPathSeparator;
using platform::sys;

namespace {

StartupState g_startup;

bool makerDataFolderExists() {
    return sys().folderExists(sys().environment("APPDATA") + kPathSeparator + "Solvarek" + kPathSeparator +
                              "data");
}

void writeStartLines() {
    WriteLog("START: " + sys().programPath());
    WriteLog("INIFIL: " + settingsState().SettingsFileName);
    WriteLog("BRUKER: " + UserName());
    if (logState().Verbose)
        WriteLog(LoginLine());
}

} // namespace

StartupState& startupState() {
    return g_startup;
}

void ReadCommandLine(const std::vector<std::string>& arguments) {
    LogState& log = logState();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        const std::string next = i + 1 < arguments.size() ? arguments[i + 1] : std::string();
        if (arg == "--debug") {
            log.LogEnabled = true;
            log.Verbose = true;
        } else if (arg == "-install") {
            log.LogEnabled = true;
            log.Verbose = true;
            g_startup.InstallRequested = true;
        } else if (arg == "-ip") {
            systemQueryState().IpOverride = next;
        } else if (arg == "--caption") {
            g_startup.CaptionOverride = next;
        } else if (arg == "--user") {
            settingsState().UserOverride = next;
        }
    }
}

std::string LoginLine() {
    return "LOGIN: " + LogonUserName() + "  node: " + ComputerName() + "." + DomainName() +
           " IP:" + IpAddress();
}

void FrameStartup(const std::vector<std::string>& arguments) {
    if (g_startup.started)
        return;
    g_startup.started = true;
    LogState& log = logState();

    ReadCommandLine(arguments);
    OpenSettingsFile();
    SetFolderPath("etc", settingsState().SettingsFolder);
    // A first start finds the settings folder made by OpenSettingsFile: it is no failure.
    if (g_startup.InstallRequested)
        CreateFolderTree(TreeFolders::Every);
    else if (!makerDataFolderExists())
        CreateFolderTree(TreeFolders::Missing);
    log.LogEnabled = ReadSettingBool("LogToFile");
    if (ReadSettingBool("ClearLogFileOnStartup"))
        ClearLog();
    LoadLog();
    if (ReadSettingBool("DeleteTemporaryFiles"))
        CleanTemporaryFiles(ReadSettingBool("DeleteSystemTemporaryFiles"));
    log.LogFolder = ResolveLogFolder();
    if (!log.Verbose)
        log.Verbose = ReadSettingBool("VerboseLogging") && log.LogEnabled;
    if (log.LogEnabled)
        writeStartLines();
    ReportSettingsWarnings();
}

void FrameStartup(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    FrameStartup(arguments);
}

void FrameShutdown() {
    if (g_startup.shutDown)
        return;
    g_startup.shutDown = true;
    CloseSettingsFile();
    const LogState& log = logState();
    if (!log.Verbose)
        return;
    WriteLog("AVSLUTTER PROGRAM. " + std::to_string(log.ErrorCount) + " feilmeldinger og " +
             std::to_string(log.WarningCount) + " advarsler");
    if (log.HintCount > 0)
        WriteLog("Det ble gitt " + std::to_string(log.HintCount) + " hint i programmet");
}

void ResetFrameState() {
    ResetLogState();
    ResetSettingsState();
    ResetSystemQueryState();
    g_startup = StartupState{};
}

} // namespace spylerom::frame
