#include "cli_run.h"

#include "cli_options.h"
#include "console_window.h"
#include "fill/fill_engine.h"
#include "fill/fill_record.h"
#include "frame/startup.h"
#include "frame/textfil.h"
#include "platform/platform.h"

#include <cctype>
#include <unistd.h>

namespace spylerom::cli {

using platform::sys;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNoFiles = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

int usageError(std::FILE* err, const std::string& problem) {
    std::fprintf(err, "spylerom-cli: %s\nTry 'spylerom-cli --help' for more information.\n", problem.c_str());
    return kExitUsage;
}

// The drive list's text of the drive that DRIVE names: a letter, or a path on a drive.
std::string driveTextFor(const std::string& drive) {
    char letter = 0;
    const bool letterForm = (drive.size() == 1 || (drive.size() == 2 && drive[1] == ':')) &&
                            std::isalpha(static_cast<unsigned char>(drive[0]));
    if (letterForm)
        letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
    else
        letter = sys().driveOfPath(drive);
    if (letter == 0)
        return {};
    for (const auto& d : sys().drives())
        if (d.letter == letter)
            return d.itemText;
    return {};
}

void listDrives(std::FILE* out) {
    for (const auto& drive : sys().drives()) {
        platform::DiskSpace space;
        platform::Error error;
        if (!sys().diskSpace(drive.root, space, error))
            space = platform::DiskSpace{};
        std::fprintf(out, "%s  %lld MB free of %lld MB\n", drive.itemText.c_str(),
                     static_cast<long long>(space.freeToCaller / 1024 / 1024),
                     static_cast<long long>(space.total / 1024 / 1024));
    }
}

} // namespace

int runCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    std::string problem;
    const auto options = parseOptions(args, problem);
    if (!options)
        return usageError(err, problem);
    if (options->help) {
        std::fputs(usageText().c_str(), out);
        return kExitOk;
    }
    if (options->version) {
        std::fputs("spylerom-cli (Spylerom) 2.07\n", out);
        return kExitOk;
    }
    if (options->listDrives) {
        listDrives(out);
        return kExitOk;
    }
    const std::string driveText = driveTextFor(options->drive);
    if (driveText.empty())
        return usageError(err, "no drive '" + options->drive + "' (see --list-drives)");

    // Everything above only reads; from here on the frame's files are made and written, in the
    // window program's order: log, frame start-up, the work, frame shut-down, log saved.
    auto& log = frame::logState();
    frame::InitLog();
    if (options->verbose)
        frame::setLogObserver([err](const std::string& line) { std::fprintf(err, "%s\n", line.c_str()); });
    frame::FrameStartup(args);
    // A fill that was killed left files and a lifted reserve: undone first, and told.
    for (const auto& recovery : fill::RecoverAbandonedFills()) {
        std::fprintf(err, "spylerom-cli: %s\n", fill::RecoveryText(recovery).c_str());
        for (const auto& kept : recovery.filesKept)
            std::fprintf(err, "spylerom-cli: not deleted, cannot be proven a fill file: %s\n", kept.c_str());
    }

    ConsoleWindow window(driveText, options->fillIndex, options->blockIndex, options->repetitions, err,
                         isatty(fileno(err)) != 0);
    fill::FillEngine engine(window);
    window.attach(&engine);
    engine.TrackBar1Change();
    engine.StasjonChange(true);
    engine.Spyleromen();
    window.finish();
    frame::FrameShutdown();
    frame::setLogObserver(nullptr);

    platform::Error saveError;
    if (!frame::SaveLog(saveError))
        std::fprintf(err, "spylerom-cli: cannot write the log file %s: %s\n", log.LogFileName.c_str(),
                     saveError.message.c_str());

    if (window.interrupted())
        return kExitInterrupted;
    return engine.failedPasses() > 0 ? kExitNoFiles : kExitOk;
}

} // namespace spylerom::cli
