// The Win32 file and folder services against real files in a temporary folder: the error
// codes the system gives, the attributes, and whole-file replacement.
#include "platform/win32/win32_platform.h"
#include "support/temp_dir.h"
#include "win32_test_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

namespace spylerom::test {
namespace {

using platform::Error;
using platform::kInvalidFile;
using platform::sys;

std::string slurp(const std::string& path) {
    std::string bytes;
    Error err;
    EXPECT_TRUE(sys().readFile(path, bytes, err)) << err.message;
    return bytes;
}

// Creates a fill file at path through its pinned folder; err tells why not.
platform::FileHandle createAt(const std::string& path, Error& err) {
    const platform::FolderHandle folder = sys().openFillFolder(platform::folderOf(path), "", err);
    if (folder == platform::kInvalidFolder)
        return kInvalidFile;
    platform::FileIdentity id;
    const auto file = sys().createFillFile(folder, platform::fileNameOf(path), id, err);
    sys().closeFolder(folder);
    return file;
}

TEST(Win32FillFile, CreatesWritesFlushesAndNeverOpensAnOldFile) {
    TempDir dir;
    const std::string old = dir.file("spylerom-1.tmp");
    ASSERT_TRUE(writeDurable(old, std::string(5000, 'x')));
    Error err;
    EXPECT_EQ(createAt(old, err), kInvalidFile);
    EXPECT_EQ(err.code, platform::kErrorFileExists);
    EXPECT_EQ(slurp(old), std::string(5000, 'x')) << "a file that was there stays as it was";

    const std::string path = dir.file("spylerom-2.tmp");
    const auto file = createAt(path, err);
    ASSERT_NE(file, kInvalidFile) << err.code << " " << err.message;
    const std::string block(4096, '\0');
    std::size_t written = 0;
    ASSERT_TRUE(sys().writeFile(file, block.data(), block.size(), written, err)) << err.message;
    EXPECT_EQ(written, block.size());
    EXPECT_TRUE(sys().flushFile(file, err)) << err.message;
    EXPECT_TRUE(sys().closeFile(file, err)) << err.message;

    EXPECT_EQ(slurp(path), block);
    EXPECT_TRUE(sys().deleteFile(path, err)) << err.message;
    EXPECT_FALSE(sys().fileExists(path));
}

struct RefusedCreate {
    const char* name;
    platform::ErrorCode code;
};

class Win32FillFileRefused : public ::testing::TestWithParam<RefusedCreate> {};

// A missing folder, an existing read-only file and a device name: each refused with the
// system's code and message, and a read-only file keeps its content.
TEST_P(Win32FillFileRefused, GivesTheSystemsCodeAndMessage) {
    TempDir dir;
    std::string path;
    const std::string name = GetParam().name;
    if (name == "missing folder") {
        path = dir.file("no-such-folder\\spylerom-1.tmp");
    } else if (name == "read-only file") {
        path = dir.file("spylerom-1.tmp");
        ASSERT_TRUE(writeDurable(path, "keep me"));
        ASSERT_TRUE(SetFileAttributesW(platform::widen(path).c_str(), FILE_ATTRIBUTE_READONLY));
    } else {
        path = dir.file("NUL");
    }
    Error err;
    const auto file = createAt(path, err);
    if (file != kInvalidFile)
        sys().closeFile(file, err);
    ASSERT_EQ(file, kInvalidFile);
    EXPECT_EQ(err.code, GetParam().code);
    EXPECT_FALSE(err.message.empty());
    EXPECT_EQ(err.message.find_first_of("\r\n"), std::string::npos) << err.message;
    if (name == "read-only file") {
        EXPECT_EQ(slurp(path), "keep me");
        EXPECT_TRUE(sys().isReadOnly(path));
        EXPECT_EQ(sys().fileSizeForWrite(path), -1);
        Error normal;
        EXPECT_TRUE(sys().setNormalAttributes(path, normal)) << normal.message;
        EXPECT_FALSE(sys().isReadOnly(path));
        EXPECT_EQ(sys().fileSizeForWrite(path), 7);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Win32FillFileRefused,
                         ::testing::Values(RefusedCreate{"missing folder", platform::kErrorPathNotFound},
                                           RefusedCreate{"read-only file", platform::kErrorFileExists},
                                           RefusedCreate{"device name", platform::kErrorAccessDenied}),
                         [](const auto& p) {
                             std::string name = p.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(Win32Folders, CreateOneLevelATreeAndRemove) {
    TempDir dir;
    Error err;
    const std::string top = dir.file("Solvarek");
    EXPECT_FALSE(sys().createFolder(dir.file("a\\b"), err));
    EXPECT_EQ(err.code, platform::kErrorPathNotFound);

    ASSERT_TRUE(sys().createFolder(top, err)) << err.message;
    EXPECT_FALSE(sys().createFolder(top, err));
    EXPECT_EQ(err.code, platform::kErrorAlreadyExists);

    const std::string tree = top + "\\export\\html\\varer\\";
    ASSERT_TRUE(sys().createFolderTree(tree, err)) << err.message;
    EXPECT_TRUE(sys().folderExists(tree));
    EXPECT_TRUE(sys().createFolderTree(tree, err)) << "an existing tree is no failure";

    // A file in the way of a folder of the tree.
    ASSERT_TRUE(writeDurable(top + "\\blokk", "x"));
    EXPECT_FALSE(sys().createFolderTree(top + "\\blokk\\under", err));
    EXPECT_NE(err.code, platform::kErrorSuccess);

    EXPECT_FALSE(sys().removeFolder(top + "\\export", err));
    EXPECT_EQ(err.code, platform::kErrorDirNotEmpty);
    EXPECT_TRUE(sys().removeFolder(tree, err)) << err.message;
    EXPECT_FALSE(sys().folderExists(tree));
}

TEST(Win32Folders, ListingShowsEveryEntryWithItsAttributes) {
    TempDir dir;
    ASSERT_TRUE(writeDurable(dir.file("vanlig.txt"), "a"));
    ASSERT_TRUE(writeDurable(dir.file("skrivebeskyttet.txt"), "b"));
    ASSERT_TRUE(writeDurable(dir.file("skjult.txt"), "c"));
    SetFileAttributesW(platform::widen(dir.file("skrivebeskyttet.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(platform::widen(dir.file("skjult.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN);
    Error err;
    ASSERT_TRUE(sys().createFolder(dir.file("mappe-æøå"), err));

    std::vector<platform::FolderEntry> entries;
    ASSERT_TRUE(sys().listFolder(dir.path(), entries, err)) << err.message;
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "mappe-æøå");
    EXPECT_TRUE(entries[0].isFolder);
    EXPECT_EQ(entries[1].name, "skjult.txt");
    EXPECT_FALSE(entries[1].readOnly);
    EXPECT_EQ(entries[2].name, "skrivebeskyttet.txt");
    EXPECT_TRUE(entries[2].readOnly);
    EXPECT_FALSE(entries[2].isFolder);
    EXPECT_EQ(entries[3].name, "vanlig.txt");

    EXPECT_FALSE(sys().listFolder(dir.file("borte"), entries, err));
    EXPECT_EQ(err.code, platform::kErrorPathNotFound);
    SetFileAttributesW(platform::widen(dir.file("skrivebeskyttet.txt")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32Files, ReplaceKeepsTheOldAttributesAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.file("solvarek.ini");
    Error err;
    ASSERT_TRUE(sys().replaceFile(path, "[INI_SELF]\r\n", err)) << err.message;
    EXPECT_EQ(slurp(path), "[INI_SELF]\r\n");

    ASSERT_TRUE(SetFileAttributesW(platform::widen(path).c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(sys().replaceFile(path, "[STANDARD]\r\nLogToFile=1\r\n", err))
        << err.code << " " << err.message;
    EXPECT_EQ(slurp(path), "[STANDARD]\r\nLogToFile=1\r\n");
    EXPECT_TRUE(attributes(path) & FILE_ATTRIBUTE_HIDDEN);

    std::vector<platform::FolderEntry> entries;
    ASSERT_TRUE(sys().listFolder(dir.path(), entries, err));
    EXPECT_EQ(entries.size(), 1u) << "the temporary file beside it is gone";

    EXPECT_FALSE(sys().replaceFile(dir.file("borte\\x.ini"), "x", err));
    EXPECT_EQ(err.code, platform::kErrorPathNotFound);
}

TEST(Win32Files, MoveDoesNotReplaceAndMissingFilesSayWhy) {
    TempDir dir;
    ASSERT_TRUE(writeDurable(dir.file("a"), "A"));
    ASSERT_TRUE(writeDurable(dir.file("b"), "B"));
    Error err;
    EXPECT_FALSE(sys().moveFile(dir.file("a"), dir.file("b"), err));
    EXPECT_EQ(err.code, platform::kErrorAlreadyExists);
    EXPECT_EQ(slurp(dir.file("b")), "B");
    EXPECT_TRUE(sys().moveFile(dir.file("a"), dir.file("c"), err)) << err.message;
    EXPECT_EQ(slurp(dir.file("c")), "A");

    std::string bytes;
    EXPECT_FALSE(sys().readFile(dir.file("a"), bytes, err));
    EXPECT_EQ(err.code, platform::kErrorFileNotFound);
    EXPECT_FALSE(sys().deleteFile(dir.file("a"), err));
    EXPECT_EQ(err.code, platform::kErrorFileNotFound);
    EXPECT_FALSE(sys().deleteFile(dir.path(), err)) << "a folder is no file";
    EXPECT_EQ(err.code, platform::kErrorAccessDenied);
    EXPECT_FALSE(sys().fileExists(dir.path()));
    EXPECT_TRUE(sys().folderExists(dir.path()));
    EXPECT_EQ(sys().fileSizeForWrite(dir.file("a")), -1);
}

// Appenders that hold their own handles wait on each other's lock as other processes do; the
// file is rotated once on the way, and no line is lost or split.
TEST(Win32SharedFile, AppendersAtOnceKeepEveryLineWhole) {
    TempDir dir;
    const std::string path = dir.file("shared.log");
    const std::string rotated = path + ".1";
    constexpr int kThreads = 4;
    constexpr int kLines = 100;
    const std::int64_t limit = std::int64_t{kThreads} * kLines * 19 * 2 / 3;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) {
                char line[32];
                std::snprintf(line, sizeof line, "tråd %d linje %03d\r\n", t, i); // 19 bytes
                Error err;
                if (!sys().appendToSharedFile(path, line, limit, rotated, err))
                    ++failures[static_cast<std::size_t>(t)];
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(std::count(failures.begin(), failures.end(), 0), kThreads);

    std::map<std::string, int> seen;
    for (const std::string& file : {rotated, path}) {
        const std::string text = slurp(file);
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t end = text.find("\r\n", at);
            ASSERT_NE(end, std::string::npos) << "a whole last line";
            const std::string line = text.substr(at, end - at);
            ASSERT_EQ(line.rfind("tråd ", 0), 0u) << line;
            ++seen[line];
            at = end + 2;
        }
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLines));
    for (const auto& [line, times] : seen)
        EXPECT_EQ(times, 1) << line;
    std::string bytes;
    std::int64_t size = 0;
    Error err;
    ASSERT_TRUE(sys().readFilePart(path, true, 5, bytes, size, err)) << err.message;
    EXPECT_LE(size, limit);
    EXPECT_EQ(bytes.size(), 5u);
    EXPECT_EQ(bytes.substr(3), "\r\n");
}

} // namespace
} // namespace spylerom::test
