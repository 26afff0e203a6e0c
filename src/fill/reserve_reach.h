// Blocks a file system holds back from ordinary writes (ext4's reserved clusters, the xfs
// reserve pool) are lifted for a fill only by a process with the right to change them. Without
// it they stay unwiped: the window and the CLI tell the user so at START, and how to get it.
#pragma once

#include <string>
#include <vector>

namespace spylerom::fill {

// The type ("ext4", "xfs") of the file system at root when it holds such a pool back and this
// process may not lift it; empty when there is nothing out of reach.
std::string ReserveOutOfReach(const std::string& root);
// Whether a fill of the volume at root would lift a pool it holds back (this process may).
bool ReserveLiftable(const std::string& root);

// The window's notice (lines as the other notices have them), Norwegian.
std::vector<std::string> ReserveNoticeLines(const std::string& fileSystem);
// The log's line, "HINT: ...", naming the drive as its list shows it.
std::string ReserveHintLine(const std::string& driveText, const std::string& fileSystem);
// The CLI's note on standard error, English, naming the drive's root.
std::string ReserveNoteForConsole(const std::string& root, const std::string& fileSystem);

} // namespace spylerom::fill
