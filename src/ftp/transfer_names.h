// The names a download works with (remote, temporary, old) and the local size rule of the
// transfers. Pure rules over path texts and the platform's file size; no transfer happens here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace spylerom::ftp {

// path up to and including the first "." of its file-name part (or path and a "." when the name
// has none), followed by extension: /app/prog.exe -> /app/prog.tmp, /app/a.tar.gz -> /app/a.tmp.
// Dots in folder names are left alone, so the result stays beside the original.
std::string replaceExtension(const std::string& path, std::string_view extension);

// The remote name of a download: the folder text followed directly by the file-name part.
std::string remoteNameFor(const std::string& folder, const std::string& localPath);
// The temporary and the old name of a download to path. Never the path itself: a target that
// already carries the extension (prog.tmp, prog.OLD) gets it appended instead (prog.tmp.tmp).
std::string temporaryNameFor(const std::string& path);
std::string oldNameFor(const std::string& path);

// Size of an existing file that can be opened for reading and writing; -1 when it cannot (missing,
// read-only, locked) or when the size does not fit a signed 32-bit value.
std::int32_t localFileSize(const std::string& path);

} // namespace spylerom::ftp
