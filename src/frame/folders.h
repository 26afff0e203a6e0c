// Logical folders of the maker's programs ("tmp", "log", "data", "bin" ...) and their paths.
#pragma once

#include <string>
#include <string_view>

namespace spylerom::frame {

// The full path, ending in the separator, of a logical folder; creates it under the maker's
// folder when it is missing.
std::string solvarekpath(std::string_view name);

} // namespace spylerom::frame
