// The pass's rules that need no full disk: file counts, creation failures and their clean-up,
// the order of flush and delete, the guard against filling another disk. A platform that
// counts writes instead of making them stands in for the disk; files are still really created.
#include "fill/fill_engine.h"
#include "fill/recording_window.h"
#include "frame/textfil.h"
#include "support/env_guard.h"
#include "support/native_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace spylerom::fill {
namespace {

using test::RecordingWindow;
using test::TempDir;

constexpr std::int64_t kMB = 1024 * 1024;

// Reports a chosen free space for every drive, takes writes up to a byte budget without
// writing them, fails a chosen creation, and records the order of file operations.
class FaultPlatform : public test::NativePlatform {
public:
    std::int64_t freeBytes = 100 * kMB;
    std::int64_t totalBytes = 200 * kMB;
    std::int64_t writeBudget = 0; // bytes accepted before the drive is "full"
    int failCreationAt = 0;       // 1-based creation to refuse; 0: none
    int failErrno = EACCES;
    std::vector<std::string> calls;

    bool diskSpace(const std::string&, platform::DiskSpace& out, platform::Error&) const override {
        out.freeToCaller = freeBytes;
        out.total = totalBytes;
        return true;
    }
    platform::FileHandle createFillFile(const std::string& path, platform::Error& err) override {
        if (++creations_ == failCreationAt) {
            err = test::nativeError(failErrno);
            return platform::kInvalidFile;
        }
        return test::NativePlatform::createFillFile(path, err);
    }
    bool writeFile(platform::FileHandle, const void*, std::size_t size, std::size_t& written,
                   platform::Error& err) override {
        if (writeBudget <= 0) {
            err = test::nativeError(ENOSPC);
            return false;
        }
        written =
            static_cast<std::size_t>(std::min<std::int64_t>(writeBudget, static_cast<std::int64_t>(size)));
        writeBudget -= static_cast<std::int64_t>(written);
        freeBytes = std::max<std::int64_t>(0, freeBytes - static_cast<std::int64_t>(written));
        return true;
    }
    bool flushFile(platform::FileHandle file, platform::Error& err) override {
        calls.push_back("flush " + std::to_string(file));
        return test::NativePlatform::flushFile(file, err);
    }
    bool closeFile(platform::FileHandle file, platform::Error& err) override {
        calls.push_back("close " + std::to_string(file));
        return test::NativePlatform::closeFile(file, err);
    }
    bool deleteFile(const std::string& path, platform::Error& err) override {
        calls.push_back("delete " + path);
        return test::NativePlatform::deleteFile(path, err);
    }

private:
    int creations_ = 0;
};

class FillFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.set("APPDATA", appData_.path());
        env_.set("SYSTEMDRIVE", "C:");
        platform_.mapDrive('T', drive_.path());
        platform::setPlatform(&platform_);
        frame::ResetLogState();
        frame::logState().LogEnabled = true;
        ResetFillState();
        window_.drive = "T: [" + drive_.path() + "]";
    }
    void TearDown() override {
        platform::setPlatform(nullptr);
        frame::ResetLogState();
        ResetFillState();
    }

    // Messages of the log without their stamps (the tests run in the C locale: "<date> <time> ").
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& line : frame::logState().LogLines) {
            const auto cut = line.find(' ', line.find(' ') + 1);
            out.push_back(cut == std::string::npos ? line : line.substr(cut + 1));
        }
        return out;
    }
    bool logged(const std::string& message) const {
        const auto m = messages();
        return std::find(m.begin(), m.end(), message) != m.end();
    }
    int countStartingWith(const std::string& prefix) const {
        int n = 0;
        for (const auto& m : messages())
            n += m.rfind(prefix, 0) == 0;
        return n;
    }
    std::string fileName(int i) const { return drive_.file("spylerom-" + std::to_string(i) + ".tmp"); }

    test::EnvGuard env_;
    TempDir appData_;
    TempDir drive_;
    FaultPlatform platform_;
    RecordingWindow window_;
    FillEngine engine_{window_};
};

struct CountCase {
    std::int64_t freeMB;
    int files;
};

class FileCountTest : public FillFaultTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(FileCountTest, OneFilePerStarted4096MBOfFreeSpace) {
    platform_.freeBytes = GetParam().freeMB * kMB;
    platform_.totalBytes = platform_.freeBytes + 10 * kMB;
    platform_.writeBudget = 3 * 65537;
    engine_.StasjonChange(true);
    engine_.Spyleromen();

    const int files = GetParam().files;
    EXPECT_TRUE(logged("START: " + window_.drive + ", " + std::to_string(files) +
                       " filer, 65537 bytes blokkstørrelse"));
    EXPECT_EQ(countStartingWith("Oppretter "), files);
    EXPECT_EQ(countStartingWith("Lukker fil nr "), files);
    EXPECT_EQ(countStartingWith("Sletter fil nr. "), files);
    for (int i = 1; i <= files; ++i)
        EXPECT_FALSE(test::exists(fileName(i))) << i;
    EXPECT_EQ(engine_.failedPasses(), 0);
}

INSTANTIATE_TEST_SUITE_P(FreeSpace, FileCountTest,
                         ::testing::Values(CountCase{0, 1}, CountCase{4095, 1}, CountCase{4096, 2},
                                           CountCase{8191, 2}, CountCase{8192, 3}));

TEST_F(FillFaultTest, NothingFreeGivesSensibleBarsTextAndStopLine) {
    platform_.freeBytes = 0;
    platform_.writeBudget = 0; // the first write is refused
    engine_.StasjonChange(true);
    engine_.Spyleromen();

    ASSERT_FALSE(window_.passBars.empty());
    EXPECT_EQ(window_.passBars.back(), 100);
    EXPECT_EQ(window_.totalBars.back(), 100);
    ASSERT_FALSE(window_.progressTexts.empty());
    // A slow machine may take a second over it, which adds a (zero) speed; nothing else changes.
    const std::string progress = window_.progressTexts.back();
    EXPECT_EQ(progress.rfind("100.0 % ferdig, 100 % av total ", 0), 0u) << progress;
    EXPECT_TRUE(progress.size() == 31 || progress.find(" 0 KB/sec") != std::string::npos) << progress;
    const auto m = messages();
    const auto stop =
        std::find_if(m.begin(), m.end(), [](const auto& line) { return line.rfind("STOPP: ", 0) == 0; });
    ASSERT_NE(stop, m.end());
    EXPECT_EQ(stop->rfind("STOPP: " + window_.drive + ", 0 MB på ", 0), 0u) << *stop;
    EXPECT_EQ(stop->substr(stop->size() - 17), " sekund, 0 KB/sec") << *stop;
    for (const auto& line : m) {
        EXPECT_EQ(line.find("nan"), std::string::npos) << line;
        EXPECT_EQ(line.find("inf"), std::string::npos) << line;
    }
}

TEST_F(FillFaultTest, EveryFileIsFlushedBeforeAnyIsDeleted) {
    platform_.freeBytes = 8192 * kMB;
    platform_.writeBudget = 10 * 65537;
    engine_.StasjonChange(true);
    engine_.Spyleromen();

    const auto& calls = platform_.calls;
    ASSERT_EQ(std::count_if(calls.begin(), calls.end(), [](auto& c) { return c.rfind("flush", 0) == 0; }), 3);
    const auto firstDelete =
        std::find_if(calls.begin(), calls.end(), [](auto& c) { return c.rfind("delete", 0) == 0; });
    const auto lastFlush =
        std::find_if(calls.rbegin(), calls.rend(), [](auto& c) { return c.rfind("flush", 0) == 0; });
    ASSERT_NE(firstDelete, calls.end());
    EXPECT_LT(std::distance(calls.begin(), lastFlush.base()), std::distance(calls.begin(), firstDelete) + 1);
}

struct CreationCase {
    int failErrno;
    std::string codeLine; // the "FEILNR: " line's text after the prefix
};

class CreationFailureTest : public FillFaultTest, public ::testing::WithParamInterface<CreationCase> {};

TEST_P(CreationFailureTest, TwoLinesIdleWindowAndEarlierFilesRemoved) {
    platform_.freeBytes = 4096 * kMB; // two files
    platform_.failCreationAt = 2;
    platform_.failErrno = GetParam().failErrno;
    engine_.StasjonChange(true);
    engine_.Spyleromen();

    EXPECT_TRUE(logged("Oppretter " + fileName(1)));
    EXPECT_TRUE(logged("FEIL: UNDER OPPRETTELSE AV FILEN " + fileName(2)));
    EXPECT_TRUE(logged("FEILNR: " + GetParam().codeLine));
    EXPECT_EQ(countStartingWith("STOPP: "), 0);
    EXPECT_FALSE(test::exists(fileName(1))) << "a file of the failed pass was left on the drive";
    EXPECT_FALSE(window_.running);
    EXPECT_EQ(engine_.failedPasses(), 1);
}

INSTANTIATE_TEST_SUITE_P(Codes, CreationFailureTest,
                         ::testing::Values(CreationCase{EACCES, "5 Ikke tilgang til fil/mappe"},
                                           CreationCase{EROFS, "19 Disketten er skriverbeskyttet"},
                                           CreationCase{ENOSPC, "112 "},
                                           CreationCase{EIO, "1117 " + test::nativeError(EIO).message}));

TEST_F(FillFaultTest, EveryRepetitionMeetsAnUncreatableFileAgain) {
    platform_.failCreationAt = 1;
    window_.repetitions = 3;
    engine_.TrackBar1Change();
    engine_.StasjonChange(true);
    engine_.Spyleromen();
    EXPECT_EQ(countStartingWith("FEIL: UNDER OPPRETTELSE AV FILEN "), 1); // only the first creation fails
    EXPECT_EQ(countStartingWith("Valgt stasjon: "), 3);
    EXPECT_FALSE(window_.running);
}

TEST_F(FillFaultTest, EmptyDriveTextFillsNothing) {
    window_.drive.clear();
    engine_.StasjonChange(true);
    engine_.Spyleromen();
    EXPECT_TRUE(logged("FEIL: Ingen stasjon er valgt, ingenting blir fylt"));
    EXPECT_EQ(countStartingWith("START: "), 0);
    EXPECT_EQ(countStartingWith("Oppretter "), 0);
    EXPECT_EQ(engine_.failedPasses(), 1);
    EXPECT_FALSE(window_.running);
}

TEST_F(FillFaultTest, SystemDriveFilesGoIntoTheTmpFolderOnThatDrive) {
    env_.set("SYSTEMDRIVE", "T:");
    env_.set("APPDATA", drive_.file("appdata"));
    platform_.freeBytes = 4096 * kMB;
    platform_.writeBudget = 65537;
    engine_.StasjonChange(true);
    engine_.Spyleromen();

    const auto m = messages();
    const char sep = platform::kPathSeparator;
    const std::string tmp = drive_.file("appdata") + sep + "Solvarek" + sep + "tmp" + sep;
    ASSERT_EQ(countStartingWith("Systemdisken er valgt!"), 2);
    // Each file's notice comes before its "Oppretter " line (the folder lookup may log between).
    const auto first = std::find(m.begin(), m.end(), "Systemdisken er valgt!");
    const auto second = std::find(first + 1, m.end(), "Systemdisken er valgt!");
    const auto created = std::find(m.begin(), m.end(), "Oppretter " + tmp + "spylerom-1.tmp");
    EXPECT_LT(first, created);
    EXPECT_LT(created, second);
    EXPECT_TRUE(logged("Oppretter " + tmp + "spylerom-2.tmp"));
    EXPECT_FALSE(test::exists(tmp + "spylerom-1.tmp"));
}

TEST_F(FillFaultTest, TmpFolderOnAnotherDiskIsRefused) {
    env_.set("SYSTEMDRIVE", "T:"); // T's tmp folder lies under APPDATA, which is not on T
    platform_.writeBudget = 65537;
    engine_.StasjonChange(true);
    engine_.Spyleromen();

    EXPECT_EQ(countStartingWith("FEIL: Mappen "), 1);
    EXPECT_EQ(countStartingWith("Oppretter "), 0);
    EXPECT_FALSE(test::exists(appData_.file("Solvarek") + platform::kPathSeparator + "tmp" +
                              platform::kPathSeparator + "spylerom-1.tmp"));
    EXPECT_EQ(engine_.failedPasses(), 1);
}

TEST_F(FillFaultTest, LinkAtTheFileNameIsNotFollowed) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows; tests/win32 covers the Windows side";
#else
    TempDir elsewhere;
    const std::string target = elsewhere.file("precious.txt");
    test::writeText(target, "keep me");
    ASSERT_EQ(symlink(target.c_str(), fileName(1).c_str()), 0);
    platform_.writeBudget = 65537;
    engine_.StasjonChange(true);
    engine_.Spyleromen();

    EXPECT_TRUE(logged("FEIL: UNDER OPPRETTELSE AV FILEN " + fileName(1)));
    EXPECT_EQ(countStartingWith("FEILNR: 1921 "), 1);
    EXPECT_EQ(test::readText(target), "keep me");
#endif
}

TEST_F(FillFaultTest, ReplacedFileBecomesPrivate) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX file modes; Windows keeps the rights of a replaced file";
#else
    test::writeText(fileName(1), "old content");
    ASSERT_EQ(chmod(fileName(1).c_str(), 0644), 0);
    // Observe the file while the pass still has it open.
    window_.onEvents = [&](int) {
        struct stat st {};
        ASSERT_EQ(stat(fileName(1).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_TRUE(S_ISREG(st.st_mode));
    };
    platform_.writeBudget = 65537;
    engine_.StasjonChange(true);
    engine_.Spyleromen();
    EXPECT_GE(window_.cycles, 1);
    EXPECT_FALSE(test::exists(fileName(1)));
#endif
}

TEST_F(FillFaultTest, StopEndsTheRunAndStartWaitsForTheCleanUp) {
    platform_.writeBudget = 1000 * 65537;
    window_.repetitions = 3;
    engine_.TrackBar1Change();
    window_.onEvents = [&](int cycle) {
        if (cycle == 5) {
            engine_.StoppKnappClick();
            EXPECT_FALSE(window_.running) << "Stop shows the idle window at once";
            engine_.Spyleromen(); // a START handled in the same message processing
        }
    };
    engine_.StasjonChange(true);
    engine_.Spyleromen();

    EXPECT_EQ(window_.cycles, 5);
    EXPECT_EQ(countStartingWith("Valgt stasjon: "), 1) << "no second run, no further pass";
    EXPECT_TRUE(logged("Stopper fylling av disk"));
    EXPECT_EQ(countStartingWith("STOPP: "), 1);
    EXPECT_TRUE(window_.waitNoticeShown);
    EXPECT_FALSE(window_.waitNotice);
    EXPECT_FALSE(window_.startNotice);
    EXPECT_FALSE(test::exists(fileName(1)));
    EXPECT_FALSE(engine_.runActive());
}

TEST_F(FillFaultTest, TheChosenVolumeIsFilledEvenWhenItsLetterMoved) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows letters belong to their volumes; they do not move with mounts";
#endif
    // Mounts came and went after the drive was chosen: its letter now names another folder.
    TempDir other;
    platform_.mapDrive('T', other.path());
    platform_.mapDrive('U', drive_.path());
    platform_.writeBudget = 65537;
    engine_.StasjonChange(true);
    engine_.Spyleromen();
    EXPECT_TRUE(logged("Oppretter " + fileName(1)));
    EXPECT_FALSE(test::exists(other.file("spylerom-1.tmp")));

    // And when its volume is gone altogether, nothing is filled in its stead.
    frame::logState().LogLines.clear();
    platform_.mapDrive('U', "");
    engine_.StasjonChange(true);
    engine_.Spyleromen();
    EXPECT_EQ(countStartingWith("FEILNR: 3 "), 1);
    EXPECT_EQ(countStartingWith("Oppretter "), 0);
}

TEST_F(FillFaultTest, StatusTextAndUsageBar) {
    platform_.freeBytes = 300 * kMB + 5;
    platform_.totalBytes = 1000 * kMB + 999;
    engine_.StasjonChange(true);
    EXPECT_EQ(window_.status, "300 MB ledig av 1000 MB");
    EXPECT_EQ(window_.usageMaximum, 1000);
    EXPECT_EQ(window_.usagePosition, 700);
    EXPECT_EQ(fillState().DriveNumber, 'T' - 64);
}

TEST_F(FillFaultTest, RepetitionLabel) {
    for (const int position : {1, 5, 10}) {
        window_.repetitions = position;
        engine_.TrackBar1Change();
        EXPECT_EQ(window_.repetitionText, std::to_string(position) + " gjentagelser");
        EXPECT_EQ(fillState().Repetitions, position);
    }
}

} // namespace
} // namespace spylerom::fill
