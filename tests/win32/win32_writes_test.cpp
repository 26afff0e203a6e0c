// The fill's writes through Win32 on the drive letter the test script maps to an image of its
// own: unbuffered where the volume takes it, the same bytes either way, and a full disk taken to
// its last cluster before a write comes back short.
#include "platform/aligned_buffer.h"
#include "platform/win32/win32_platform.h"
#include "support/native_platform.h"
#include "win32_test_env.h"

#include <gtest/gtest.h>

namespace spylerom::test {
namespace {

using platform::AlignedBuffer;
using platform::Error;
using platform::FileHandle;
using platform::kInvalidFile;
using platform::sys;

AlignedBuffer patternBuffer(std::size_t size, std::size_t alignment) {
    AlignedBuffer buffer(size, alignment ? alignment : 4096);
    for (std::size_t i = 0; i < size; ++i)
        buffer.data()[i] = static_cast<std::uint8_t>((i * 7 + i / 251) % 253);
    return buffer;
}

class Win32Writes : public ::testing::Test {
protected:
    void SetUp() override {
        const char letter = mappedDrive();
        if (!letter)
            GTEST_SKIP() << kNoMappedDrive;
        root_ = std::string(1, letter) + ":\\";
        path_ = root_ + "spylerom-1.tmp";
    }
    void TearDown() override {
        if (!path_.empty())
            DeleteFileW(platform::widen(path_).c_str());
    }

    std::uint64_t clusterBytes() const {
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
        GetDiskFreeSpaceW(platform::widen(root_).c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                          &totalClusters);
        return std::uint64_t{sectorsPerCluster} * bytesPerSector;
    }

    std::string root_;
    std::string path_;
};

TEST_F(Win32Writes, AlignedPiecesGoUnbufferedAndTheRestThroughTheBufferedHandle) {
    Error err;
    const FileHandle created = test::createFillFileAt(sys(), path_, err);
    ASSERT_NE(created, kInvalidFile) << err.message;
    FileHandle file = created;
    const std::size_t alignment = sys().enableDirectWrites(file);
    ASSERT_GT(alignment, 0u);
    EXPECT_EQ(alignment & (alignment - 1), 0u) << "a power of two";
    EXPECT_NE(file, created) << "the file is opened anew, unbuffered";
    EXPECT_EQ(sys().enableDirectWrites(file), alignment);

    const AlignedBuffer buffer = patternBuffer(4 << 20, alignment);
    std::string expected;
    const auto piece = [&](const std::uint8_t* data, std::size_t size) {
        std::size_t written = 0;
        Error writeError;
        ASSERT_TRUE(sys().writeFile(file, data, size, written, writeError)) << writeError.message;
        ASSERT_EQ(written, size);
        expected.append(reinterpret_cast<const char*>(data), size);
    };
    piece(buffer.data(), 2 << 20);
    piece(buffer.data() + 3, 5000);   // unaligned address and length
    piece(buffer.data(), 1 << 20);    // aligned, at the unaligned offset the last one left
    piece(buffer.data() + 11, 65537); // the 65536 choice's block
    piece(buffer.data() + 4096, 1 << 20);
    ASSERT_TRUE(sys().flushFile(file, err)) << err.message;
    ASSERT_TRUE(sys().closeFile(file, err)) << err.message;
    // Both handles are gone: the buffered one was closed with the unbuffered one.
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(reinterpret_cast<HANDLE>(created), &flags));

    std::string bytes;
    ASSERT_TRUE(sys().readFile(path_, bytes, err)) << err.message;
    EXPECT_EQ(bytes.size(), expected.size());
    EXPECT_TRUE(bytes == expected) << "the file's bytes differ from what was written";
}

struct FullCase {
    const char* name;
    bool direct;
    std::size_t piece;
};

class Win32FullDisk : public Win32Writes, public ::testing::WithParamInterface<FullCase> {};

// A fill ends its pass at the first short write; so a write may come back short only when no
// cluster is left. The last call then says "full" having taken nothing.
TEST_P(Win32FullDisk, AWriteComesBackShortOnlyWhenNoClusterIsLeft) {
    Error err;
    FileHandle file = test::createFillFileAt(sys(), path_, err);
    ASSERT_NE(file, kInvalidFile) << err.message;
    const std::size_t alignment = GetParam().direct ? sys().enableDirectWrites(file) : 0;
    if (GetParam().direct) {
        ASSERT_GT(alignment, 0u);
    }
    const AlignedBuffer buffer = patternBuffer(GetParam().piece, alignment);
    std::size_t written = 0;
    Error writeError;
    int calls = 0;
    bool accepted = true;
    while ((accepted = sys().writeFile(file, buffer.data(), buffer.size(), written, writeError)) &&
           written == buffer.size() && calls < 1000)
        ++calls;
    ASSERT_LT(calls, 1000) << "the drive never said it was full";
    platform::DiskSpace full;
    ASSERT_TRUE(sys().diskSpace(root_, full, err)) << err.message;
    EXPECT_LE(static_cast<std::uint64_t>(full.freeToCaller), clusterBytes())
        << "the write came back short (" << written << " of " << buffer.size() << ") with space left";

    // Once full, the next write is refused outright.
    if (accepted)
        accepted = sys().writeFile(file, buffer.data(), buffer.size(), written, writeError);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(writeError.code, platform::kErrorDiskFull) << writeError.message;
    EXPECT_TRUE(sys().closeFile(file, err)) << err.message;
    EXPECT_GT(calls, 10);
}

INSTANTIATE_TEST_SUITE_P(Pieces, Win32FullDisk,
                         ::testing::Values(FullCase{"Unbuffered4MiB", true, 4 << 20},
                                           FullCase{"UnbufferedOddPiece", true, (1 << 20) + 4097},
                                           FullCase{"Buffered65537", false, 65537}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace spylerom::test
