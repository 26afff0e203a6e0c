// Text files as lines: split at LF with an optional CR before it, joined with CR LF as the
// log and settings files are written. Encodings are the platform's business.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace spylerom::frame {

// The lines of text; a final line end does not add an empty line.
std::vector<std::string> splitLines(std::string_view text);
// Every line followed by lineEnd.
std::string joinLines(const std::vector<std::string>& lines, std::string_view lineEnd = "\r\n");

} // namespace spylerom::frame
