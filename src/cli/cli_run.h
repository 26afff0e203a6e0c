// spylerom-cli as a function: parse, then list the drives or run one fill run over a drive.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace spylerom::cli {

// args without the program name. Returns the exit status.
int runCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

} // namespace spylerom::cli
