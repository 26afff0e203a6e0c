#include "cli_options.h"

#include <algorithm>
#include <cctype>

namespace spylerom::cli {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "--name value" or "--name=value"; advances i past the value.
bool takeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value, std::string& problem) {
    const std::string& arg = args[i];
    if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        problem = "option " + name + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

bool isOption(const std::string& arg, const std::string& name) {
    return arg == name || arg.rfind(name + "=", 0) == 0;
}

// The frame's options: their effect is the frame start-up's business.
bool isFrameSwitch(const std::string& arg) {
    return arg == "--debug" || arg == "-install";
}
bool isFrameValueOption(const std::string& arg) {
    return arg == "-ip" || arg == "--caption" || arg == "--user";
}

} // namespace

std::optional<CliOptions> parseOptions(const std::vector<std::string>& args, std::string& problem) {
    CliOptions options;
    bool driveSeen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (isFrameSwitch(arg)) {
            continue;
        } else if (isFrameValueOption(arg)) {
            // The value is the next argument (none when it is the last). One that looks like an
            // option is examined as an argument of its own as well, as the frame does.
            if (i + 1 < args.size() && (args[i + 1].empty() || args[i + 1].front() != '-'))
                ++i;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--list-drives") {
            options.listDrives = true;
        } else if (arg == "-v" || arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--dry-run" || arg == "-n") {
            options.dryRun = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--no-trim") {
            options.noTrim = true;
        } else if (isOption(arg, "--fill")) {
            if (!takeValue(args, i, "--fill", value, problem))
                return std::nullopt;
            const auto it =
                std::find_if(fill::kPatternNames.begin(), fill::kPatternNames.end(),
                             [&](std::string_view name) { return lower(std::string(name)) == lower(value); });
            if (it == fill::kPatternNames.end()) {
                problem = "unknown fill '" + value + "' (choose null, en or tilfeldig)";
                return std::nullopt;
            }
            options.pattern = fill::PatternAt(static_cast<int>(it - fill::kPatternNames.begin()));
        } else if (isOption(arg, "--repetitions")) {
            if (!takeValue(args, i, "--repetitions", value, problem))
                return std::nullopt;
            const bool digits =
                !value.empty() && value.size() <= 2 &&
                std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); });
            const int n = digits ? std::stoi(value) : 0;
            if (n < 1 || n > 10) {
                problem = "repetitions must be a whole number from 1 to 10, not '" + value + "'";
                return std::nullopt;
            }
            options.repetitions = n;
        } else if (isOption(arg, "--block-size")) {
            if (!takeValue(args, i, "--block-size", value, problem))
                return std::nullopt;
            const auto it =
                std::find_if(fill::kBlockChoices.begin(), fill::kBlockChoices.end(),
                             [&](const fill::BlockChoice& choice) { return choice.text == value; });
            if (it == fill::kBlockChoices.end()) {
                problem =
                    "block size must be one of 512, 1024, 2048, 4096, 8192, 16384, 32768, 65536, not '" +
                    value + "'";
                return std::nullopt;
            }
            options.block = *it;
        } else if (arg.size() > 1 && arg.front() == '-') {
            problem = "unknown option '" + arg + "'";
            return std::nullopt;
        } else if (driveSeen) {
            problem = "only one drive can be filled at a time ('" + options.drive + "' and '" + arg + "')";
            return std::nullopt;
        } else {
            options.drive = arg;
            driveSeen = true;
        }
    }
    if (!options.help && !options.version && !options.listDrives && options.drive.empty()) {
        problem = "no drive given";
        return std::nullopt;
    }
    return options;
}

std::string usageText() {
    return "Usage: spylerom-cli [OPTION]... DRIVE\n"
           "       spylerom-cli --list-drives\n"
           "Wipe the free space of DRIVE: fill it with temporary files of a pattern, then delete\n"
           "them, so the remains of deleted files cannot be restored. Existing files are not touched.\n"
           "\n"
           "DRIVE is a drive letter (D or D:) or the root of a drive (its mount point), as\n"
           "--list-drives shows them; a path below a drive's root is refused.\n"
           "\n"
           "  --fill PATTERN       null (zero bytes, the default), en (all bits set) or tilfeldig (random)\n"
           "  --repetitions N      passes over the drive, 1 to 10 (default 1)\n"
           "  --block-size B       bytes per write: 512, 1024, 2048, 4096, 8192, 16384, 32768 or 65536\n"
           "                       (default 65536, which writes blocks of 65537 bytes)\n"
           "  --list-drives        list the drives with their free and total MB\n"
           "  -n, --dry-run        tell what a run would do (drive, files, steps, time) and write\n"
           "                       nothing: no file, no log, no settings\n"
           "      --no-trim        keep the freed space from the device after each pass (the\n"
           "                       default hands it back, as TrimEtterFylling=1 in solvarek.ini)\n"
           "      --json           progress and the result as JSON objects, one a line, on\n"
           "                       standard output (fields: see the manual page)\n"
           "  -v, --verbose        print every log line as it is taken\n"
           "                       (lines are taken when LogToFile=1 in solvarek.ini, as for\n"
           "                       the window program)\n"
           "  -h, --help           show this help and exit\n"
           "      --version        show the version and exit\n"
           "\n"
           "The options of the window program are taken as well:\n"
           "  --debug              detail lines in the log for this run\n"
           "  -install             as --debug, and make the folder tree again\n"
           "  -ip ADDRESS          the IP address the log names for this machine\n"
           "  --caption TEXT       accepted and kept\n"
           "  --user NAME          the user name of the log and the per-user settings\n"
           "\n"
           "Settings: solvarek.ini in the working folder, else $APPDATA/Solvarek/etc/solvarek.ini.\n"
           "\n"
           "Ctrl+C, Ctrl+\\, a closed terminal or kill stop the fill cleanly: the temporary files are\n"
           "flushed, closed and deleted first. Every FEIL line of the log is shown on standard error.\n"
           "\n"
           "Exit status: 0 when the run ended normally; 1 when a file could not be created, written,\n"
           "flushed or deleted; 2 on bad input (nothing is written then); 128 + N after signal N\n"
           "(130 after Ctrl+C).\n";
}

} // namespace spylerom::cli
