// spylerom-cli --dry-run: what a run over a drive would do, told on standard output. Only reads:
// no file, folder, log line or setting is made.
#pragma once

#include "cli_options.h"

#include <cstdio>
#include <string>

namespace spylerom::cli {

// Prints the plan of a run over a drive; returns the exit status (0).
int printDryRun(const CliOptions& options, const fill::DriveChoice& drive, std::FILE* out);

} // namespace spylerom::cli
