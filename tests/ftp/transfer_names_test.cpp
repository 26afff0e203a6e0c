// The names a download derives from its target, and the local size rule.
#include "ftp/transfer_names.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

#include <limits>

namespace spylerom::ftp {
namespace {

struct NamesCase {
    const char* target;
    const char* temporary;
    const char* old;
};

void PrintTo(const NamesCase& c, std::ostream* os) {
    *os << c.target;
}

// A path of the table with this system's separator.
std::string native(const char* path) {
    std::string text = path;
    std::replace(text.begin(), text.end(), '/', platform::kPathSeparator);
    return text;
}

class DerivedNamesTest : public ::testing::TestWithParam<NamesCase> {};

TEST_P(DerivedNamesTest, TemporaryAndOldNames) {
    const NamesCase& c = GetParam();
    EXPECT_EQ(temporaryNameFor(native(c.target)), native(c.temporary));
    EXPECT_EQ(oldNameFor(native(c.target)), native(c.old));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DerivedNamesTest,
    ::testing::Values(NamesCase{"/app/prog.exe", "/app/prog.tmp", "/app/prog.old"},
                      NamesCase{"/app/a.tar.gz", "/app/a.tmp", "/app/a.old"},
                      NamesCase{"/app/README", "/app/README.tmp", "/app/README.old"},
                      NamesCase{"/app/trailing.", "/app/trailing.tmp", "/app/trailing.old"},
                      // Dots in folder names stay where they are: the names stay beside the target.
                      NamesCase{"/data.1/prog.exe", "/data.1/prog.tmp", "/data.1/prog.old"},
                      NamesCase{"/data.1/prog", "/data.1/prog.tmp", "/data.1/prog.old"},
                      NamesCase{"prog.exe", "prog.tmp", "prog.old"},
                      // A target that already has the derived name must not be its own temporary or
                      // old file: the download would overwrite or delete it.
                      NamesCase{"/app/prog.tmp", "/app/prog.tmp.tmp", "/app/prog.old"},
                      NamesCase{"/app/prog.old", "/app/prog.tmp", "/app/prog.old.old"},
                      NamesCase{"/app/prog.OLD", "/app/prog.tmp", "/app/prog.OLD.old"}));

TEST(RemoteName, FolderTextFollowedDirectlyByTheFileName) {
    EXPECT_EQ(remoteNameFor("pub/", native("/app/prog.exe")), "pub/prog.exe");
    EXPECT_EQ(remoteNameFor("", native("/app/prog.exe")), "prog.exe");
    EXPECT_EQ(remoteNameFor("pub", native("/app/prog.exe")), "pubprog.exe"); // no separator is added
}

TEST(LocalFileSize, SizeOfAWritableFileElseMinusOne) {
    test::TempDir dir;
    test::writeText(dir.file("five.txt"), "12345");
    test::writeText(dir.file("empty.txt"), "");
    test::writeText(dir.file("readonly.txt"), "123");
    ASSERT_EQ(chmod(dir.file("readonly.txt").c_str(), 0444), 0);
    EXPECT_EQ(localFileSize(dir.file("five.txt")), 5);
    EXPECT_EQ(localFileSize(dir.file("empty.txt")), 0);
    EXPECT_EQ(localFileSize(dir.file("readonly.txt")), -1);
    EXPECT_EQ(localFileSize(dir.file("missing.txt")), -1);
    EXPECT_EQ(localFileSize(dir.path()), -1);
}

class LargeFileSizeTest : public ::testing::TestWithParam<std::int64_t> {};

// Sparse files: no disk space is used. Sizes beyond a signed 32-bit value are refused, also those
// whose low 32 bits alone would read as a small positive size.
TEST_P(LargeFileSizeTest, SizesBeyondTwoGiBAreRefused) {
    test::TempDir dir;
    const std::string path = dir.file("sparse.bin");
    test::writeText(path, "");
    std::error_code ec;
    std::filesystem::resize_file(std::filesystem::path(std::u8string(path.begin(), path.end())),
                                 static_cast<std::uintmax_t>(GetParam()), ec);
    ASSERT_FALSE(ec) << ec.message();
    const std::int64_t size = GetParam();
    const std::int32_t expected =
        size <= std::numeric_limits<std::int32_t>::max() ? static_cast<std::int32_t>(size) : -1;
    EXPECT_EQ(localFileSize(path), expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargeFileSizeTest,
                         ::testing::Values(std::int64_t{0x7FFFFFFF}, std::int64_t{0x80000000},
                                           std::int64_t{0x100000005}));

} // namespace
} // namespace spylerom::ftp
