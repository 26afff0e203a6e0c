#include "cli_run.h"

#include "cli_options.h"
#include "console_window.h"
#include "dry_run.h"
#include "fill/fill_engine.h"
#include "fill/fill_record.h"
#include "fill/reserve_reach.h"
#include "frame/startup.h"
#include "frame/textfil.h"
#include "json_report.h"
#include "platform/console.h"
#include "platform/platform.h"

#include <cctype>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

namespace spylerom::cli {

using platform::sys;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSignalBase = 128;

int usageError(std::FILE* err, const std::string& problem) {
    std::fprintf(err, "spylerom-cli: %s\nTry 'spylerom-cli --help' for more information.\n", problem.c_str());
    return kExitUsage;
}

bool letterForm(const std::string& drive) {
    return (drive.size() == 1 || (drive.size() == 2 && drive[1] == ':')) &&
           std::isalpha(static_cast<unsigned char>(drive[0]));
}

// The drive of a letter, from the mount table alone: no device is read for a label.
fill::DriveChoice driveOf(char letter) {
    for (const auto& d : sys().driveRoots())
        if (d.letter == letter)
            return {d.itemText, d.root};
    return {};
}

std::string itemTextOf(char letter) {
    return driveOf(letter).text;
}

// A path of ours (UTF-8) as the file system library takes it on either system.
std::filesystem::path fsPath(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// The two arguments that name drive `letter`: its letter and its root as a user types it.
std::string argumentsFor(char letter) {
    std::string root = sys().driveRoot(letter);
    if (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return std::string(1, letter) + ": or " + root;
}

// Whether path is the drive's root: as the list shows it (with or without its last separator),
// or another name of the same folder.
bool isRootOf(const std::string& path, char letter) {
    const auto trimmed = [](std::string text) {
        while (text.size() > 1 && (text.back() == '/' || text.back() == '\\'))
            text.pop_back();
        return text;
    };
    const std::string root = sys().driveRoot(letter);
    if (trimmed(path) == trimmed(root))
        return true;
    std::error_code error;
    return std::filesystem::equivalent(fsPath(path), fsPath(root), error);
}

// The drive a path that does not exist would lie on: that of its nearest folder that does, when
// that folder lies on the drive's own file system; 0 when there is none.
char driveOfMissingPath(const std::string& path) {
    std::filesystem::path at = fsPath(path).parent_path();
    for (int depth = 0; depth < 256 && !at.empty(); ++depth, at = at.parent_path()) {
        const std::u8string text = at.u8string();
        const std::string folder(text.begin(), text.end());
        const char letter = sys().driveOfPath(folder);
        if (letter != 0) {
            platform::MountedVolume volume;
            platform::Error error;
            const bool onTheDrive = sys().volumeOfPath(folder, volume, error) &&
                                    volume.mountPoint.size() <= sys().driveRoot(letter).size();
            return onTheDrive ? letter : 0;
        }
        if (at == at.parent_path())
            break;
    }
    return 0;
}

// The drive that DRIVE names: a letter, or the root of a drive (empty when none). Any
// other path names none, and problem says why: a path below a drive's root (a mount point with
// nothing mounted on it is one) would fill the drive it lies on, which the user did not name; a
// path on a file system that is no drive (a tmpfs, /proc, a folder of another volume mounted
// into the tree) is told with its type and the drive that holds it.
fill::DriveChoice driveFor(const std::string& drive, std::string& problem) {
    if (letterForm(drive))
        return driveOf(static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0]))));
    const char letter = sys().driveOfPath(drive);
    if (letter == 0) {
        const char wouldBe = driveOfMissingPath(drive);
        if (wouldBe != 0 && !itemTextOf(wouldBe).empty())
            problem = "'" + drive + "' does not exist; it would lie on drive " + itemTextOf(wouldBe) +
                      ", which is filled only when named: give " + argumentsFor(wouldBe);
        return {};
    }
    const fill::DriveChoice choice = driveOf(letter);
    const std::string& itemText = choice.text;
    platform::MountedVolume volume;
    platform::Error error;
    // A mount deeper than the drive's root is a file system of its own inside that drive's tree.
    if (!itemText.empty() && sys().volumeOfPath(drive, volume, error) &&
        volume.mountPoint.size() > sys().driveRoot(letter).size()) {
        std::string mountPoint = volume.mountPoint;
        if (mountPoint.size() > 1)
            mountPoint.pop_back();
        problem = "'" + drive + "' lies on a " + (volume.type.empty() ? "file system" : volume.type) +
                  " file system mounted at " + mountPoint +
                  ", which is not a drive; the drive that holds it is " + itemText + " (see --list-drives)";
        return {};
    }
    if (!itemText.empty() && !isRootOf(drive, letter)) {
        problem = "'" + drive + "' is not the root of a drive; it lies on drive " + itemText +
                  ", which is filled only when named: give " + argumentsFor(letter);
        return {};
    }
    return choice;
}

void listDrives(std::FILE* out) {
    for (const auto& drive : sys().driveRoots()) {
        platform::DiskSpace space;
        platform::Error error;
        if (!sys().diskSpace(drive.root, space, error))
            space = platform::DiskSpace{};
        std::fprintf(out, "%s  %lld MB free of %lld MB\n", drive.itemText.c_str(),
                     static_cast<long long>(space.freeToCaller / 1024 / 1024),
                     static_cast<long long>(space.total / 1024 / 1024));
    }
}

// A file that could not be created, written, flushed, closed or deleted gives one of these.
bool isFailureLine(std::string_view message) {
    return message.substr(0, 4) == "FEIL";
}

// Names the drive and its free space before anything is written to it.
void announceDrive(ConsoleOutput& console, const fill::DriveChoice& drive) {
    platform::DiskSpace space;
    platform::Error error;
    const std::string& driveText = drive.text;
    const std::string root = sys().isDriveRoot(drive.root) ? drive.root : std::string();
    const std::string free = !root.empty() && sys().diskSpace(root, space, error)
                                 ? std::to_string(space.freeToCaller / 1024 / 1024) + " MB free"
                                 : "free space unknown";
    console.line("spylerom-cli: filling " + driveText + ", " + free);
    // What this run cannot reach without root, as the window's start notice tells it.
    const std::string pool = fill::ReserveOutOfReach(root);
    if (!pool.empty()) {
        frame::WriteLog(fill::ReserveHintLine(driveText, pool));
        console.line("spylerom-cli: " + fill::ReserveNoteForConsole(root, pool));
    }
}

// What the run is asked to do, from the parsed options and the drive they name.
fill::FillChoices choicesFrom(const CliOptions& options, const fill::DriveChoice& drive) {
    fill::FillChoices choices;
    choices.drive = drive;
    choices.pattern = options.pattern;
    choices.blockSize = options.block.bytes;
    choices.repetitions = options.repetitions;
    choices.trim = !options.noTrim && fill::TrimEtterFylling();
    return choices;
}

// Failures reach the user with logging off too; -v shows every line the log takes.
void watchLog(ConsoleOutput& console, std::optional<JsonReport>& json, bool verbose) {
    frame::setLogObserver([&console, &json, verbose](const frame::LogEvent& e) {
        const bool failure = isFailureLine(e.message);
        if (json)
            json->logMessage(e.message);
        if (verbose && e.taken)
            console.line(e.line);
        else if (failure)
            console.line("spylerom-cli: " + std::string(e.message));
    });
}

// The fill of a drive, in the window program's order: log, frame start-up, the undoing of a
// killed fill, the run, frame shut-down, log saved. Returns the exit status.
int runFill(const CliOptions& options, const fill::DriveChoice& drive, const std::vector<std::string>& args,
            std::FILE* out, std::FILE* err) {
    ConsoleOutput console(err);
    ConsoleOutput standardOutput(out);
    std::optional<JsonReport> json;
    if (options.json)
        json.emplace(standardOutput, drive.text);
    frame::InitLog();
    watchLog(console, json, options.verbose);
    frame::FrameStartup(args);
    // A fill that was killed left files and a lifted reserve: undone first, and told.
    for (const auto& recovery : fill::RecoverAbandonedFills()) {
        std::fprintf(err, "spylerom-cli: %s\n", fill::RecoveryText(recovery).c_str());
        for (const auto& kept : recovery.filesKept)
            std::fprintf(err, "spylerom-cli: not deleted, cannot be proven a fill file: %s\n", kept.c_str());
    }

    const fill::FillChoices choices = choicesFrom(options, drive);
    ConsoleWindow window(console, platform::isTerminal(err));
    fill::FillEngine engine(window);
    window.attach(&engine);
    window.reportTo(json ? &*json : nullptr);
    if (json)
        json->watch(engine);
    engine.TrackBar1Change(choices.repetitions);
    engine.selectDrive(choices.drive);
    fill::RunReport report;
    if (ConsoleWindow::endSignal() == 0) {
        announceDrive(console, drive);
        if (json)
            json->start(sys().isDriveRoot(drive.root) ? drive.root : std::string(), choices.pattern,
                        options.block.text, choices.repetitions);
        report = engine.Spyleromen(choices);
    }
    window.finish();
    frame::FrameShutdown();
    frame::setLogObserver(nullptr);

    platform::Error saveError;
    if (!frame::SaveLog(saveError))
        console.line("spylerom-cli: cannot write the log file " + frame::logState().LogFileName + ": " +
                     saveError.message);

    const int signal = ConsoleWindow::endSignal();
    const int status = signal != 0 ? kExitSignalBase + signal : report.failed() ? kExitFailed : kExitOk;
    if (json)
        json->end(status, signal);
    return status;
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
    const fill::DriveChoice drive = driveFor(options->drive, problem);
    if (drive.text.empty())
        return usageError(err, problem.empty() ? "no drive '" + options->drive + "' (see --list-drives)"
                                               : problem);
    // Everything up to here only reads; a fill makes and writes the frame's files.
    if (options->dryRun)
        return printDryRun(*options, drive, out);
    return runFill(*options, drive, args, out, err);
}

} // namespace spylerom::cli
