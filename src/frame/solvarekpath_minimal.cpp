// The folder lookup before the settings file exists: the maker's folder under APPDATA.
#include "frame/folders.h"

#include "platform/platform.h"

namespace spylerom::frame {

std::string solvarekpath(std::string_view name) {
    using platform::kPathSeparator;
    std::string path = platform::sys().environment("APPDATA") + kPathSeparator + "Solvarek" + kPathSeparator;
    if (name.empty())
        return path;
    path = platform::withTrailingSeparator(path + std::string(name));
    platform::Error err;
    if (!platform::sys().folderExists(path))
        platform::sys().createFolderTree(path, err);
    return path;
}

} // namespace spylerom::frame
