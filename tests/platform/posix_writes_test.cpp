// The fill's writes on real file systems: direct where the file system takes it, buffered where
// it does not, the same bytes either way, and a full disk taken to its last block.
#include "platform/aligned_buffer.h"
#include "platform/posix/posix_platform.h"
#include "platform/space_retry.h"
#include "support/loop_image.h"
#include "support/native_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/mman.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace spylerom::platform {
namespace {

using platform::AlignedBuffer;
using test::LoopImage;
using test::TempDir;

// A folder on a file system of one kind: a loop-mounted image, or a RAM file system mounted on
// a temporary folder.
class Volume {
public:
    Volume(const std::string& kind, std::uint64_t sizeMiB) {
        if (kind == "ramfs" || kind == "tmpfs") {
            const std::string options = kind == "tmpfs" ? " -o size=" + std::to_string(sizeMiB) + "m" : "";
            mounted_ = test::run("mount -t " + kind + options + " none '" + scratch_.path() +
                                 "' >/dev/null 2>&1") == 0;
            folder_ = scratch_.path();
            return;
        }
        LoopImage::Options options;
        options.sizeMiB = kind == "xfs" ? std::max<std::uint64_t>(sizeMiB, 300) : sizeMiB; // xfs's least
        if (kind == "exfat-fuse") {
            options.fsType = "exfat";
            options.mountType = "exfat-fuse";
        } else if (kind == "ext4-journalled-data") {
            options.mountOptions = "data=journal"; // ext4 takes no direct writes in this mode
        } else {
            options.fsType = kind;
        }
        image_ = std::make_unique<LoopImage>(options);
        mounted_ = image_->ok();
        folder_ = image_->mountPoint();
    }
    ~Volume() {
        if (!image_ && mounted_)
            test::run("umount '" + scratch_.path() + "'");
    }
    Volume(const Volume&) = delete;
    Volume& operator=(const Volume&) = delete;

    bool ok() const { return mounted_; }
    std::string file(const std::string& name) const { return folder_ + "/" + name; }

    // Free blocks of the file system, and its block size.
    std::uint64_t freeBlocks() const {
        struct statvfs vfs {};
        return statvfs(folder_.c_str(), &vfs) == 0 ? vfs.f_bfree : ~0ull;
    }

private:
    TempDir scratch_;
    std::unique_ptr<LoopImage> image_;
    std::string folder_;
    bool mounted_ = false;
};

std::string readAll(const std::string& path) {
    PosixPlatform p;
    std::string bytes;
    Error err;
    EXPECT_TRUE(p.readFile(path, bytes, err)) << err.message;
    return bytes;
}

bool oDirectIsSet(FileHandle file) {
    return (fcntl(static_cast<int>(file), F_GETFL) & O_DIRECT) != 0;
}

// Pages of the file's first `length` bytes that the page cache holds.
std::size_t cachedPages(const std::string& path, std::size_t length) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ~std::size_t{0};
    void* map = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED)
        return ~std::size_t{0};
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((length + page - 1) / page);
    std::size_t count = 0;
    if (mincore(map, length, resident.data()) == 0)
        for (const unsigned char r : resident)
            count += r & 1u;
    munmap(map, length);
    return count;
}

// A buffer of distinct bytes at the alignment of direct writes (4096 when the file is buffered).
AlignedBuffer patternBuffer(std::size_t size, std::size_t alignment) {
    AlignedBuffer buffer(size, alignment ? alignment : 4096);
    for (std::size_t i = 0; i < size; ++i)
        buffer.data()[i] = static_cast<std::uint8_t>((i * 7 + i / 251) % 253);
    return buffer;
}

// Writes a piece and adds what it should leave in the file to `expected`.
void writePiece(PosixPlatform& p, FileHandle file, const std::uint8_t* data, std::size_t size,
                std::string& expected) {
    std::size_t written = 0;
    Error err;
    ASSERT_TRUE(p.writeFile(file, data, size, written, err)) << err.code << " " << err.message;
    ASSERT_EQ(written, size);
    expected.append(reinterpret_cast<const char*>(data), size);
}

bool needsRoot() {
    std::string why;
    return !LoopImage::available(&why);
}

TEST(DirectWrites, Ext4TakesAlignedPiecesDirectAndTheUnalignedRestBuffered) {
    if (needsRoot())
        GTEST_SKIP() << "loop mounts need root and a loop device";
    Volume volume("ext4", 64);
    ASSERT_TRUE(volume.ok());
    PosixPlatform p;
    Error err;
    const std::string path = volume.file("spylerom-1.tmp");
    FileHandle file = test::createFillFileAt(p, path, err);
    ASSERT_NE(file, kInvalidFile) << err.message;
    const std::size_t alignment = p.enableDirectWrites(file);
    ASSERT_GT(alignment, 0u);
    EXPECT_EQ(alignment & (alignment - 1), 0u) << "a power of two";
    EXPECT_LE(alignment, 4096u);
    EXPECT_TRUE(oDirectIsSet(file));
    EXPECT_EQ(p.enableDirectWrites(file), alignment) << "asking again changes nothing";

    const AlignedBuffer buffer = patternBuffer(4 << 20, alignment);
    std::string expected;
    writePiece(p, file, buffer.data(), 2 << 20, expected);
    // Direct: the written pages went past the page cache.
    EXPECT_EQ(cachedPages(path, 2 << 20), 0u);
    EXPECT_TRUE(oDirectIsSet(file));
    // An unaligned address and length, then an aligned piece at the unaligned offset they leave.
    writePiece(p, file, buffer.data() + 3, 5000, expected);
    writePiece(p, file, buffer.data(), 1 << 20, expected);
    // An aligned length with an unaligned tail: the head goes direct, the tail buffered.
    writePiece(p, file, buffer.data() + 11, 65537, expected);
    ASSERT_TRUE(p.closeFile(file, err)) << err.message;

    EXPECT_EQ(readAll(path), expected);
}

struct VolumeCase {
    const char* name;
    const char* kind;
    enum { Direct, Buffered, EitherWay } expect;
};

void PrintTo(const VolumeCase& c, std::ostream* os) {
    *os << c.name;
}

class DirectWritesOn : public ::testing::TestWithParam<VolumeCase> {};

// Whatever the file system says to direct writes, every byte lands as it was given.
TEST_P(DirectWritesOn, WritesLandByteForByte) {
    if (needsRoot())
        GTEST_SKIP() << "mounts need root";
    Volume volume(GetParam().kind, 64);
    if (!volume.ok())
        GTEST_SKIP() << GetParam().kind << " cannot be mounted here";
    PosixPlatform p;
    Error err;
    const std::string path = volume.file("spylerom-1.tmp");
    FileHandle file = test::createFillFileAt(p, path, err);
    ASSERT_NE(file, kInvalidFile) << err.message;
    const std::size_t alignment = p.enableDirectWrites(file);
    if (GetParam().expect == VolumeCase::Direct) {
        EXPECT_GT(alignment, 0u);
    }
    if (GetParam().expect == VolumeCase::Buffered) {
        EXPECT_EQ(alignment, 0u);
        EXPECT_FALSE(oDirectIsSet(file));
    }
    const AlignedBuffer buffer = patternBuffer(4 << 20, alignment);
    std::string expected;
    writePiece(p, file, buffer.data(), 1 << 20, expected);
    writePiece(p, file, buffer.data() + 1, 4097, expected);
    writePiece(p, file, buffer.data(), 65537, expected);
    writePiece(p, file, buffer.data() + 4096, 3 << 20, expected);
    writePiece(p, file, buffer.data() + 5, 1, expected);
    ASSERT_TRUE(p.flushFile(file, err)) << err.message;
    ASSERT_TRUE(p.closeFile(file, err)) << err.message;
    EXPECT_EQ(readAll(path), expected);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, DirectWritesOn,
                         ::testing::Values(VolumeCase{"ext4", "ext4", VolumeCase::Direct},
                                           VolumeCase{"xfs", "xfs", VolumeCase::Direct},
                                           VolumeCase{"ext4_journalled_data", "ext4-journalled-data",
                                                      VolumeCase::Buffered},
                                           VolumeCase{"ramfs", "ramfs", VolumeCase::Buffered},
                                           VolumeCase{"tmpfs", "tmpfs", VolumeCase::EitherWay},
                                           VolumeCase{"exfat_fuse", "exfat-fuse", VolumeCase::EitherWay}),
                         [](const auto& p) { return std::string(p.param.name); });

// The retry policy against a disk that takes a write whole or refuses it (as ext4 does a direct
// one), with the free count it reports after a flush: true, too hopeful, too low, or unknown.
struct RetryCase {
    const char* name;
    std::uint64_t freeBytes;
    std::function<unsigned long long(std::uint64_t)> reported; // from the true free count
    int mostRefusals;
};

void PrintTo(const RetryCase& c, std::ostream* os) {
    *os << c.name;
}

class SpaceRetryPolicy : public ::testing::TestWithParam<RetryCase> {};

TEST_P(SpaceRetryPolicy, TakesEveryFreeBlockOfAFullDisk) {
    constexpr std::size_t kBlock = 4096;
    constexpr std::size_t kPiece = 4u << 20;
    std::uint64_t free = GetParam().freeBytes;
    SpaceRetry retry(kPiece, kBlock);
    std::size_t total = 0;
    int refusals = 0;
    for (int attempts = 0; total < kPiece && attempts < 2000; ++attempts) {
        const std::size_t length = std::min(retry.piece(), kPiece - total);
        if (length <= free) {
            free -= length;
            total += length;
            retry.took();
            continue;
        }
        ++refusals;
        const SpaceRetry::Next next = retry.refused();
        if (next == SpaceRetry::Next::GiveUp)
            break;
        if (next == SpaceRetry::Next::FlushAndRetry)
            retry.fit(GetParam().reported(free));
    }
    EXPECT_LT(free, kBlock) << "blocks left untaken";
    EXPECT_EQ(total, GetParam().freeBytes / kBlock * kBlock);
    EXPECT_LE(refusals, GetParam().mostRefusals);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, SpaceRetryPolicy,
    ::testing::Values(
        // A true count takes the rest in one write: one refusal before it, one after, and the
        // last block tried once more after a flush.
        RetryCase{"true_count", (1400u << 10) + 300, [](std::uint64_t f) { return f; }, 3},
        RetryCase{"true_count_nothing_free", 100, [](std::uint64_t f) { return f; }, 2},
        // Too low: one block at a time, but every block all the same.
        RetryCase{"low_count", 1400u << 10, [](std::uint64_t) { return 0ull; }, 3},
        // Too hopeful, or no count at all: the halvings, as many as without a count.
        RetryCase{"hopeful_count", 1400u << 10, [](std::uint64_t f) { return f + (1u << 20); }, 19},
        RetryCase{"unknown_count", 1400u << 10, [](std::uint64_t) { return ~0ull; }, 19}),
    [](const auto& p) { return std::string(p.param.name); });

struct FullCase {
    const char* name;
    const char* kind;
    bool direct;
    std::size_t piece;
};

void PrintTo(const FullCase& c, std::ostream* os) {
    *os << c.name;
}

class FullDisk : public ::testing::TestWithParam<FullCase> {};

// Pieces far larger than what is left: the writes shrink until the disk has no block left that
// a file write could take, and the last call says "full" having taken nothing.
TEST_P(FullDisk, ShrinkingPiecesTakeTheLastBlocks) {
    if (needsRoot())
        GTEST_SKIP() << "loop mounts need root and a loop device";
    Volume volume(GetParam().kind, 48);
    ASSERT_TRUE(volume.ok());
    PosixPlatform p;
    Error err;
    const FolderHandle root = p.openFillFolder(volume.file(""), "", err);
    ASSERT_NE(root, kInvalidFolder) << err.message;
    const std::string reserve = p.writeReserveToken(root);
    ASSERT_TRUE(reserve.empty() || p.liftWriteReserve(reserve, root));
    const std::string path = volume.file("spylerom-1.tmp");
    FileHandle file = test::createFillFileAt(p, path, err);
    ASSERT_NE(file, kInvalidFile) << err.message;
    const std::size_t alignment = GetParam().direct ? p.enableDirectWrites(file) : 0;
    if (GetParam().direct) {
        ASSERT_GT(alignment, 0u);
    }
    const AlignedBuffer buffer = patternBuffer(GetParam().piece, alignment);
    std::uint64_t total = 0;
    std::size_t written = 0;
    Error writeError;
    int calls = 0;
    while (p.writeFile(file, buffer.data(), buffer.size(), written, writeError) && written > 0 &&
           calls < 1000) {
        total += written;
        ++calls;
    }
    EXPECT_LT(calls, 1000) << "the disk never said it was full";
    EXPECT_EQ(writeError.code, kErrorDiskFull) << writeError.message;
    EXPECT_EQ(written, 0u) << "a refused write took nothing";
    // With its reserve pool lifted, xfs may find no block left for the flush's own metadata:
    // the data is on the disk, the pass treats that "full" as done.
    ASSERT_TRUE(p.flushFile(file, err) || err.code == kErrorDiskFull) << err.message;
    const std::uint64_t left = volume.freeBlocks();
    ASSERT_TRUE(p.closeFile(file, err)) << err.message;

    // What a plain page-by-page writer reaches on the same disk, once the file is gone.
    ASSERT_TRUE(p.deleteFile(path, err)) << err.message;
    sync();
    test::run("dd if=/dev/zero of='" + volume.file("dd.fill") +
              "' bs=4096 conv=fsync status=none 2>/dev/null");
    const std::uint64_t ddLeft = volume.freeBlocks();
    (void)p.restoreWriteReserve(reserve, root);
    p.closeFolder(root);

    EXPECT_GT(total, 30ull << 20);
    EXPECT_LE(left, std::max<std::uint64_t>(1, ddLeft)) << "dd left " << ddLeft << " blocks";
}

INSTANTIATE_TEST_SUITE_P(Pieces, FullDisk,
                         ::testing::Values(FullCase{"ext4_direct_4MiB", "ext4", true, 4 << 20},
                                           FullCase{"ext4_direct_unaligned_piece", "ext4", true,
                                                    (1 << 20) + 4097},
                                           FullCase{"ext4_buffered_4MiB", "ext4", false, 4 << 20},
                                           FullCase{"xfs_direct_4MiB", "xfs", true, 4 << 20}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace spylerom::platform
