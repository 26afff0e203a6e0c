// A small file-system image of a test's own, loop-mounted on a temporary folder, so a fill
// runs against a real disk and the raw image can be searched afterwards. Needs root and a
// loop device; available() says whether this machine has them (and fails the test where they
// are required). ext4, xfs and btrfs mount through the kernel; ntfs (ntfs-3g) and exfat
// (exfat-fuse) through FUSE on a loop device.
#pragma once

#include <cstdint>
#include <string>

namespace spylerom::test {

class LoopImage {
public:
    struct Options {
        std::uint64_t sizeMiB = 128; // xfs needs 300 at least
        std::string fsType = "ext4"; // "ext4", "xfs", "btrfs", "ntfs", "exfat"
        bool readOnly = false;
        // Blocks kept for root (ext file systems). Writing them needs CAP_SYS_RESOURCE, which a
        // user (and a container's root) lacks; a fill then cannot reach them. 0 keeps none.
        int reservedPercent = 0;
        // The type and options given to mount: "exfat-fuse" mounts an exFAT image through FUSE;
        // empty lets mount find the type. Options such as "data=journal" go after "loop".
        std::string mountType = {};
        std::string mountOptions = {};
        // More options for mkfs, such as "-N 16" for an ext4 with few inodes.
        std::string mkfsOptions = {};
    };

    // The variable that makes a machine without root or a loop device a failure of every test
    // that needs an image, instead of a skip (CI sets it: a green run must have filled disks).
    static constexpr const char* kRequireVariable = "SPYLEROM_REQUIRE_LOOP";
    static bool required();
    // Whether this machine can loop-mount (why not, when it cannot). When required() and it
    // cannot, the running test fails as well, so the caller's skip does not pass it.
    static bool available(std::string* why = nullptr);
    // Whether this machine can make and mount a file system of that type (its tools, FUSE).
    static bool canMake(const std::string& fsType, std::string* why = nullptr);

    explicit LoopImage(Options options);
    LoopImage() : LoopImage(Options{}) {}
    ~LoopImage();
    LoopImage(const LoopImage&) = delete;
    LoopImage& operator=(const LoopImage&) = delete;

    bool ok() const { return mounted_; }
    const std::string& error() const { return error_; }
    // The mount point, without a trailing separator.
    const std::string& mountPoint() const { return mountPoint_; }
    const std::string& imagePath() const { return imagePath_; }

    bool unmount();
    bool mount(bool readOnly = false);
    // Drops the page cache of the image so a scan sees what reached it.
    void sync();
    // Counts the places the marker occurs in the raw image (unmount first for a true picture).
    std::uint64_t countInImage(const std::string& marker) const;
    // The same count over any file (an image that someone else mounted).
    static std::uint64_t countInFile(const std::string& path, const std::string& marker);

private:
    Options options_;
    std::string folder_;
    std::string imagePath_;
    std::string mountPoint_;
    std::string loopDevice_; // the FUSE types' loop device while mounted
    std::string error_;
    bool mounted_ = false;
};

// Bytes a file takes on its own disk (an image's blocks, fewer where it has holes); -1 when unknown.
std::int64_t allocatedBytes(const std::string& path);

// Runs a shell command; returns its exit status.
int run(const std::string& command);

} // namespace spylerom::test
