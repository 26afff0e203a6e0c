// The command line of spylerom-cli: parsed and checked before anything touches a disk.
#pragma once

#include "fill/fill_choices.h"

#include <optional>
#include <string>
#include <vector>

namespace spylerom::cli {

struct CliOptions {
    bool help = false;
    bool version = false;
    bool listDrives = false;
    bool verbose = false;
    bool dryRun = false; // tell what a run would do, and write nothing
    bool json = false;   // progress and the result as JSON lines on standard output
    bool noTrim = false; // the freed space is not handed back to the device
    fill::Pattern pattern = fill::Pattern::Null;
    int repetitions = 1;                                  // 1..10
    fill::BlockChoice block = fill::kBlockChoices.back(); // as the window's list has it
    std::string drive; // a letter ("D", "D:") or a path on a mounted file system
};

// Parses argv[1..]; on bad input returns nullopt and sets `problem` to one line naming it.
// The frame's own options ("--debug", "-install", "-ip", "--caption", "--user") are accepted
// and left to the frame's start-up, which reads them from the same arguments.
std::optional<CliOptions> parseOptions(const std::vector<std::string>& args, std::string& problem);

std::string usageText();

} // namespace spylerom::cli
