// Logical folders of the maker's programs ("tmp", "log", "data", "bin" ...): their paths,
// kept in section "FOLDERS" of the main settings file, defaults under the maker's folder in
// APPDATA, and the standard folder tree. The settings document itself is the settings' business.
#pragma once

#include <string>
#include <string_view>

namespace spylerom::frame {

// APPDATA, "Solvarek" and a separator; computed afresh on every use.
std::string MakerFolder();
// The full path, ending in the separator, of a logical folder; its entry is written back and
// the settings flushed. A missing folder inside the maker's folder is created (not "bin").
// An empty name gives MakerFolder() and leaves the settings alone.
std::string solvarekpath(std::string_view name);
// Records a folder's path (a separator is appended); no flush.
void SetFolderPath(std::string_view name, std::string_view path);
// Creates one folder (its parent must exist) and logs the outcome with the system's code.
void mkdirsafe(const std::string& path);
// Which folders of the tree CreateFolderTree attempts.
enum class TreeFolders {
    Every,  // each one, an existing one included (it gives its "FEIL:" line): "-install"
    Missing // only those not there yet: a first start, whose settings folder already exists
};
// Creates the 24 standard folders under the maker's folder (and the folders above it that are
// missing) and records them with "bin" and "doc".
void CreateFolderTree(TreeFolders which = TreeFolders::Every);
// The log folder, made to exist; a recorded one that is missing outside the maker's folder
// is put back to the default.
std::string ResolveLogFolder();
// Records the running program's folder as "bin" and returns it.
std::string ProgramFolder();

// The path of a logical name under a base folder: "export\html" becomes export/html here.
std::string logicalPath(std::string_view name);

} // namespace spylerom::frame
