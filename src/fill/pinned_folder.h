// A folder below a pinned folder, opened one name at a time (Platform::openSubfolder) for the
// files in it, and closed with the object.
#pragma once

#include "platform/platform.h"

#include <string>

namespace spylerom::fill {

class PinnedFolder {
public:
    PinnedFolder(platform::FolderHandle base, const std::string& below, platform::Error& err)
        : handle_(platform::sys().openSubfolder(base, below, err)) {}
    ~PinnedFolder() { platform::sys().closeFolder(handle_); }
    PinnedFolder(const PinnedFolder&) = delete;
    PinnedFolder& operator=(const PinnedFolder&) = delete;
    bool ok() const { return handle_ != platform::kInvalidFolder; }
    platform::FolderHandle get() const { return handle_; }

private:
    platform::FolderHandle handle_;
};

} // namespace spylerom::fill
