// The texts the system information dialog shows, gathered from the frame (settings, folders,
// log, system queries), the platform (program path, memory) and the build's constants, in the
// order the dialog fills its labels. Putting them on the screen is the dialog's business.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace spylerom::sysinfo {

// The title of the next dialog; the caller sets it before it opens one. Empty at program start.
extern std::string InfoProgramnavn;

// Every text of the dialog, named after the control that shows it.
struct SystemFacts {
    std::string Label13;      // InfoProgramnavn
    std::string cProgramnavn; // full path of the running program file
    std::string PhysMem;      // total physical memory, "2 097 152 KB"
    std::string FreeRes;      // memory load, "37 %"
    std::string v_init, v_build, v_firma, n_build, v_Flash, v_Kompilator, v_id;
    std::string n_fil;  // the main settings file
    std::string nb_fil; // the per-user settings file
    std::string v_platform, n_system, xmlv, eLogfil, lHosts, lLMHosts, cData;
    std::string lParameter;
    bool ParamMemoVisible = false;
    std::vector<std::string> ParamMemo; // the program's parameters, one a line
    std::string TabulantLabel, TabulantCache, Versjon, Dato, Bruker, Peker;
    std::string NotesLabel, ProgramdataLabel, Innstillinger;
    std::string RapportLabel;
};

// All texts, computed afresh. parameters: the program's arguments after its path;
// groupSeparator: the user's locale's thousands separator for the memory figure.
SystemFacts CollectSystemFacts(const std::vector<std::string>& parameters, std::string_view groupSeparator);

// value with its digits grouped by thousands: 4194304 -> "4,194,304" with ",".
std::string GroupThousands(std::uint64_t value, std::string_view separator);
// Total memory in KB, rounded to a whole KB and grouped, with " KB" appended. 64-bit throughout,
// so a machine with more than 4 GiB shows what it has.
std::string MemoryText(std::uint64_t totalBytes, std::string_view groupSeparator);
// "37 %": the load, a blank and the percent sign.
std::string MemoryLoadText(int loadPercent);
// The caption over the parameters: "Parameter:" when there are any, else the notice that
// there are none.
std::string ParameterCaption(const std::vector<std::string>& parameters);
// The per-user settings file the frame uses now (settings folder, user name, ".INI").
std::string PerUserSettingsPath();
// The printing layer's version and date: "Utskriftsmodul: 1.13  11.10.2011".
std::string PrintingVersionText();
// A file in the hosts folder: HostsFolder(), the separator and name.
std::string HostsFilePath(std::string_view name);

} // namespace spylerom::sysinfo
