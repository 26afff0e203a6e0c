// Fixed-point number text of the progress text and the log, independent of the locale.
#pragma once

#include <string>

namespace spylerom::fill {

// value with exactly `decimals` digits after a "." (none when 0), padded on the left with
// blanks to `width`; width 100 gives the bare number.
std::string FormatNumber(long double value, int width, int decimals);

} // namespace spylerom::fill
