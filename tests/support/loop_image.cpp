#include "support/loop_image.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace spylerom::test {

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool LoopImage::available(std::string* why) {
    const auto say = [&](const char* text) {
        if (why)
            *why = text;
        return false;
    };
    if (geteuid() != 0)
        return say("loop mounts need root");
    if (!std::filesystem::exists("/dev/loop-control") && !std::filesystem::exists("/dev/loop0"))
        return say("this machine has no loop device");
    return true;
}

LoopImage::LoopImage(Options options) : options_(std::move(options)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "spylerom-img-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error_ = "mkdtemp failed";
        return;
    }
    folder_ = pattern;
    imagePath_ = folder_ + "/disk.img";
    mountPoint_ = folder_ + "/mnt";
    std::filesystem::create_directory(mountPoint_);
    const std::string quiet = " >/dev/null 2>&1";
    if (run("truncate -s " + std::to_string(options_.sizeMiB) + "M '" + imagePath_ + "'" + quiet) != 0) {
        error_ = "truncate failed";
        return;
    }
    const bool ext = options_.fsType.rfind("ext", 0) == 0;
    std::string force = options_.fsType == "xfs" ? " -f" : ext ? " -F" : "";
    if (ext) // 4 KiB blocks as on real disks (mke2fs picks 1 KiB for small images)
        force += " -b 4096 -m " + std::to_string(options_.reservedPercent);
    if (run("mkfs." + options_.fsType + " -q" + force + " '" + imagePath_ + "'" + quiet) != 0) {
        error_ = "mkfs." + options_.fsType + " failed";
        return;
    }
    mount(options_.readOnly);
}

bool LoopImage::mount(bool readOnly) {
    if (mounted_)
        return true;
    const std::string flags = readOnly ? "-o loop,ro" : "-o loop";
    if (run("mount " + flags + " '" + imagePath_ + "' '" + mountPoint_ + "' >/dev/null 2>&1") != 0) {
        error_ = "mount failed";
        return false;
    }
    mounted_ = true;
    return true;
}

bool LoopImage::unmount() {
    if (!mounted_)
        return true;
    if (run("umount '" + mountPoint_ + "' >/dev/null 2>&1") != 0) {
        error_ = "umount failed";
        return false;
    }
    mounted_ = false;
    return true;
}

void LoopImage::sync() {
    run("sync");
}

std::uint64_t LoopImage::countInImage(const std::string& marker) const {
    std::ifstream in(imagePath_, std::ios::binary);
    if (marker.empty() || !in)
        return 0;
    std::uint64_t count = 0;
    constexpr std::size_t kChunk = 1 << 20;
    const std::size_t keep = marker.size() - 1;
    std::vector<char> buffer(kChunk + keep);
    std::size_t carried = 0;
    while (in) {
        in.read(buffer.data() + carried, static_cast<std::streamsize>(kChunk));
        const std::size_t have = carried + static_cast<std::size_t>(in.gcount());
        if (have < marker.size())
            break;
        const std::string_view view(buffer.data(), have);
        for (std::size_t at = view.find(marker); at != std::string_view::npos; at = view.find(marker, at + 1))
            ++count;
        // Keep the tail so a marker split across chunks is found once, in the next round.
        std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(have - keep),
                  buffer.begin() + static_cast<std::ptrdiff_t>(have), buffer.begin());
        carried = keep;
    }
    return count;
}

LoopImage::~LoopImage() {
    unmount();
    std::error_code ec;
    if (!folder_.empty())
        std::filesystem::remove_all(folder_, ec);
}

} // namespace spylerom::test
