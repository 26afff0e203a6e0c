// The start-up clean-up of temporary folders: the maker's "tmp" folder and, on request, the
// system's temporary and spool folders are emptied; the folders themselves remain. Each
// target must name itself a temporary folder and be long enough before anything in it is
// touched. Links inside a target are removed as links and never followed.
#pragma once

#include <string>

namespace spylerom::frame {

// The whole clean-up; includeSystem adds TEMP, WINDIR's temp and the printer spool folder.
void CleanTemporaryFiles(bool includeSystem);
// Deletes everything below path (7 characters or more, an existing folder) and keeps path.
void EmptyFolder(std::string path);
// The recursion behind EmptyFolder: folder ends in the separator; root is EmptyFolder's path.
void DeleteTree(const std::string& folder, const std::string& root);

} // namespace spylerom::frame
