// The ext4 reserved pool: clusters that ordinary writes may never take, so a free-space fill
// cannot reach the deleted data in them. Root may set the pool to 0 for the fill's duration
// through sysfs; the kernel puts its own value back at the next mount in any case.
#include "platform/posix/posix_platform.h"

#include <fstream>
#include <libmount/libmount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace spylerom::platform {

namespace {

// /sys/fs/ext4/<device>/reserved_clusters of the ext4 file system that holds folder.
std::string reservePath(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0)
        return {};
    libmnt_table* table = mnt_new_table_from_file("/proc/self/mountinfo");
    if (!table)
        return {};
    std::string path;
    libmnt_fs* fs = mnt_table_find_devno(table, st.st_dev, MNT_ITER_FORWARD);
    const char* type = fs ? mnt_fs_get_fstype(fs) : nullptr;
    const char* source = fs ? mnt_fs_get_source(fs) : nullptr;
    if (type && source && std::string_view(type) == "ext4") {
        std::string device = source;
        device = device.substr(device.find_last_of('/') + 1);
        path = "/sys/fs/ext4/" + device + "/reserved_clusters";
    }
    mnt_unref_table(table);
    return path;
}

bool writeValue(const std::string& path, const std::string& value) {
    std::ofstream out(path);
    out << value;
    out.flush();
    return static_cast<bool>(out);
}

} // namespace

std::string PosixPlatform::liftWriteReserve(const std::string& folder) {
    const std::string path = reservePath(folder);
    if (path.empty())
        return {};
    std::ifstream in(path);
    std::string value;
    if (!(in >> value) || value == "0")
        return {};
    if (!writeValue(path, "0"))
        return {}; // not root: the pool stays, and the fill reaches what it can
    return path + "=" + value;
}

void PosixPlatform::restoreWriteReserve(const std::string& token) {
    const auto cut = token.find('=');
    if (cut != std::string::npos)
        writeValue(token.substr(0, cut), token.substr(cut + 1));
}

} // namespace spylerom::platform
