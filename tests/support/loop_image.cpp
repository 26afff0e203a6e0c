#include "support/loop_image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>
#ifndef _WIN32
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

} // namespace

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
    const bool ext = options_.fsType.rfind("ext", 0) == 0;
    std::string force = options_.fsType == "xfs" ? " -f" : ext ? " -F" : "";
    if (ext) // 4 KiB blocks as on real disks (mke2fs picks 1 KiB for small images)
        force += " -b 4096 -m " + std::to_string(options_.reservedPercent);
    const std::string quietFlag = options_.fsType == "exfat" ? "" : " -q"; // mkfs.exfat has none
    if (run("mkfs." + options_.fsType + quietFlag + force + " '" + imagePath_ + "'" + quiet) != 0) {
        error_ = "mkfs." + options_.fsType + " failed";
        return;
    }
    mount(options_.readOnly);
}

bool LoopImage::mount(bool readOnly) {
    if (mounted_)
        return true;
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
    unmount();
    std::error_code ec;
    if (!folder_.empty())
        std::filesystem::remove_all(folder_, ec);
}

} // namespace spylerom::test
