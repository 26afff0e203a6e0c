#include "support/loop_image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace spylerom::test {

namespace {

bool makeFolder(std::string& pattern) {
#ifdef _WIN32
    (void)pattern;
    return false;
#else
    return mkdtemp(pattern.data()) != nullptr;
#endif
}

bool isFuseType(const std::string& fsType) {
    return fsType == "ntfs" || fsType == "exfat";
}

std::string makeCommand(const LoopImage::Options& options) {
    const std::string& type = options.fsType;
    if (type.rfind("ext", 0) == 0) // 4 KiB blocks as on real disks (mke2fs picks 1 KiB for small images)
        return "mkfs." + type + " -q -F -b 4096 -m " + std::to_string(options.reservedPercent);
    if (type == "xfs" || type == "btrfs")
        return "mkfs." + type + " -q -f";
    if (type == "ntfs") // quick: the image is all zeros already
        return "mkntfs -q -F -f";
    if (type == "exfat")
        return "mkfs.exfat";
    return "mkfs." + type;
}

// The program that mounts a FUSE type: device, then mount point.
std::string fuseMountCommand(const std::string& fsType) {
    return fsType == "ntfs" ? "ntfs-3g" : "mount.exfat-fuse";
}

// The first line a command prints (without its line end).
std::string firstLine(const std::string& command) {
    std::string line;
#ifndef _WIN32
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512] = {};
        if (fgets(buffer, sizeof buffer, pipe))
            line = buffer;
        pclose(pipe);
    }
#else
    (void)command;
#endif
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

} // namespace

bool LoopImage::canMake(const std::string& fsType, std::string* why) {
    if (!available(why))
        return false;
    const auto say = [&](const std::string& text) {
        if (why)
            *why = text;
        return false;
    };
    const std::string maker = fsType == "ntfs" ? "mkntfs" : "mkfs." + fsType;
    if (run("command -v " + maker + " >/dev/null 2>&1") != 0)
        return say(maker + " is not installed");
    if (isFuseType(fsType)) {
        if (run("command -v " + fuseMountCommand(fsType) + " >/dev/null 2>&1") != 0)
            return say(fuseMountCommand(fsType) + " is not installed");
        if (!std::filesystem::exists("/dev/fuse"))
            return say("this machine has no /dev/fuse");
    }
    return true;
}

int run(const std::string& command) {
    const int status = std::system(command.c_str());
#ifdef _WIN32
    return status;
#else
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

bool LoopImage::required() {
    const char* value = std::getenv(kRequireVariable);
    return value && *value && std::string(value) != "0";
}

bool LoopImage::available(std::string* why) {
    const auto say = [&](const char* text) {
        if (why)
            *why = text;
        return false;
    };
#ifdef _WIN32
    // Mounting is the Linux side's work: scripts/test-win32.sh maps its images to drive letters.
    return say("a Windows program cannot loop-mount an image");
#else
    const auto missing = [&](const char* text) {
        // Where the fill on a real disk must be proven, a machine that cannot run it fails.
        if (required())
            ADD_FAILURE() << kRequireVariable << " is set, but " << text
                          << ": the fill on a real disk would go untested";
        return say(text);
    };
    if (geteuid() != 0)
        return missing("loop mounts need root");
    if (!std::filesystem::exists("/dev/loop-control") && !std::filesystem::exists("/dev/loop0"))
        return missing("this machine has no loop device");
    return true;
#endif
}

LoopImage::LoopImage(Options options) : options_(std::move(options)) {
#ifdef _WIN32
    error_ = "a Windows program cannot loop-mount an image";
    return;
#endif
    std::string pattern = (std::filesystem::temp_directory_path() / "spylerom-img-XXXXXX").string();
    if (!makeFolder(pattern)) {
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
    if (run(makeCommand(options_) + " " + options_.mkfsOptions + " '" + imagePath_ + "'" + quiet) != 0) {
        error_ = "mkfs." + options_.fsType + " failed";
        return;
    }
    mount(options_.readOnly);
}

bool LoopImage::mount(bool readOnly) {
    if (mounted_)
        return true;
    if (isFuseType(options_.fsType)) {
        // A FUSE driver mounts a block device (a "fuseblk" mount, as a real disk would be).
        loopDevice_ = firstLine("losetup -f --show '" + imagePath_ + "' 2>/dev/null");
        const std::string ro = readOnly ? " -o ro" : "";
        if (loopDevice_.empty() || run(fuseMountCommand(options_.fsType) + ro + " '" + loopDevice_ + "' '" +
                                       mountPoint_ + "' >/dev/null 2>&1") != 0) {
            if (!loopDevice_.empty()) {
                run("umount '" + mountPoint_ + "' >/dev/null 2>&1"); // should the driver have mounted it
                run("losetup -d '" + loopDevice_ + "' >/dev/null 2>&1");
            }
            loopDevice_.clear();
            error_ = "mount failed";
            return false;
        }
        mounted_ = true;
        return true;
    }
    std::string flags = readOnly ? "-o loop,ro" : "-o loop";
    if (!options_.mountOptions.empty())
        flags += "," + options_.mountOptions;
    if (!options_.mountType.empty())
        flags += " -t " + options_.mountType;
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
    // A FUSE volume may still be busy for a moment: the driver is told of closed files after the
    // close returns.
    bool done = false;
    for (int attempt = 0; attempt < 50 && !done; ++attempt) {
        done = run("umount '" + mountPoint_ + "' >/dev/null 2>&1") == 0;
        if (!done && loopDevice_.empty())
            break; // a kernel file system is not busy by chance
        if (!done)
            run("sleep 0.1");
    }
    if (!done) {
        error_ = "umount failed";
        return false;
    }
    mounted_ = false;
    if (!loopDevice_.empty()) {
        // The FUSE driver has written everything once umount returns (fuseblk waits for it).
        run("losetup -d '" + loopDevice_ + "' >/dev/null 2>&1");
        loopDevice_.clear();
    }
    return true;
}

void LoopImage::sync() {
    run("sync");
}

std::uint64_t LoopImage::countInImage(const std::string& marker) const {
    return countInFile(imagePath_, marker);
}

std::uint64_t LoopImage::countInFile(const std::string& path, const std::string& marker) {
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
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
    if (!unmount()) {
        // Never leave a mount behind, nor delete through it.
        run("umount -l '" + mountPoint_ + "' >/dev/null 2>&1");
        if (!loopDevice_.empty())
            run("losetup -d '" + loopDevice_ + "' >/dev/null 2>&1");
    }
    std::error_code ec;
    if (!folder_.empty())
        std::filesystem::remove_all(folder_, ec);
}

std::int64_t allocatedBytes(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return -1;
#else
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_blocks) * 512 : -1;
#endif
}

} // namespace spylerom::test
