#include "sysinfo/system_facts.h"

#include "frame/folders.h"
#include "frame/settings.h"
#include "frame/sysqueries.h"
#include "frame/textfil.h"
#include "platform/platform.h"
#include "printing/printing_version.h"
#include "sysinfo/build_facts.h"
#include "sysinfo/product_facts.h"

namespace spylerom::sysinfo {

using platform::sys;

std::string InfoProgramnavn;

std::string GroupThousands(std::uint64_t value, std::string_view separator) {
    const std::string digits = std::to_string(value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += separator;
        text += digits[i];
    }
    return text;
}

std::string MemoryText(std::uint64_t totalBytes, std::string_view groupSeparator) {
    // Half a KB rounds up, as a whole-number format of bytes / 1024 would.
    const std::uint64_t kb = totalBytes / 1024 + (totalBytes % 1024 >= 512 ? 1 : 0);
    return GroupThousands(kb, groupSeparator) + " KB";
}

std::string MemoryLoadText(int loadPercent) {
    return std::to_string(loadPercent) + " %";
}

std::string ParameterCaption(const std::vector<std::string>& parameters) {
    return parameters.empty() ? "Ingen parametere til programmet" : "Parameter:";
}

std::string PerUserSettingsPath() {
    // The frame's own rule, so the link names the file the frame really reads and writes.
    return frame::UserSettingsFileName();
}

std::string PrintingVersionText() {
    return std::string(kPrintingVersionTag) + ": " + printing::kPrintingVersion + "  " +
           printing::kPrintingDate;
}

std::string HostsFilePath(std::string_view name) {
    return frame::HostsFolder() + platform::kPathSeparator + std::string(name);
}

namespace {

void fillProgramAndMemory(SystemFacts& f, std::string_view groupSeparator) {
    f.Label13 = InfoProgramnavn;
    f.cProgramnavn = sys().programPath();
    const platform::MemoryStatus memory = sys().memoryStatus();
    f.PhysMem = MemoryText(memory.totalBytes, groupSeparator);
    f.FreeRes = MemoryLoadText(memory.loadPercent);
}

void fillBuildFacts(SystemFacts& f) {
    f.v_init = kInitVersion;
    f.v_build = kBuildNumber;
    f.v_firma = kSuiteVersion;
    f.n_build = kBuildDate;
    f.v_Flash = kSuiteDatabase;
    f.v_Kompilator = CompilerVersionText();
    f.v_id = kBuildId;
}

void fillFilesAndFolders(SystemFacts& f) {
    f.n_fil = frame::settingsState().SettingsFileName;
    f.nb_fil = PerUserSettingsPath();
    f.v_platform = frame::WindowsVersionText();
    f.n_system = sys().environment("WINDIR");
    f.xmlv = std::string(kXmlApiName) + " " + kXmlApiVersion;
    f.eLogfil = frame::logState().LogFileName;
    f.lHosts = HostsFilePath("hosts");
    f.lLMHosts = HostsFilePath("lmhosts");
    f.cData = frame::solvarekpath("data");
}

void fillParameters(SystemFacts& f, const std::vector<std::string>& parameters) {
    f.lParameter = ParameterCaption(parameters);
    f.ParamMemoVisible = !parameters.empty();
    f.ParamMemo = parameters;
}

void fillProducts(SystemFacts& f) {
    f.TabulantLabel = kTabulantName;
    f.TabulantCache = kTabulantCache;
    f.Versjon = std::string("Versjon ") + kTabulantVersion;
    f.Dato = std::string("Oppdatert ") + kTabulantDate;
    f.Bruker = kTabulantUserMode;
    f.Peker = "Pekerstørrelse (datapointer) " + std::to_string(kTabulantPointerSize) + " bytes";
}

void fillOtherFolders(SystemFacts& f) {
    f.NotesLabel = frame::NotesDataFolder();
    f.ProgramdataLabel = sys().environment("APPDATA");
    f.Innstillinger = sys().environment("TEMP");
}

void fillReport(SystemFacts& f) {
    f.RapportLabel = PrintingVersionText();
}

} // namespace

SystemFacts CollectSystemFacts(const std::vector<std::string>& parameters, std::string_view groupSeparator) {
    SystemFacts f;
    fillProgramAndMemory(f, groupSeparator);
    fillBuildFacts(f);
    fillFilesAndFolders(f);
    fillParameters(f, parameters);
    fillProducts(f);
    fillOtherFolders(f);
    fillReport(f);
    return f;
}

} // namespace spylerom::sysinfo
