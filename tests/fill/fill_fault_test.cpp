// The pass's rules that need no full disk: file counts, creation failures and their clean-up,
// the order of flush and delete, the guard against filling another disk. A platform that
// counts writes instead of making them stands in for the disk; files are still really created.
#include "fill/fill_engine.h"
#include "fill/fill_record.h"
#include "fill/fill_writer.h"
#include "fill/log_fill.h"
#include "fill/record_fill.h"
#include "fill/recording_window.h"
#include "frame/textfil.h"
#include "support/env_guard.h"
#include "support/native_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <regex>
#include <sys/stat.h>
#include <thread>
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
    std::atomic<std::int64_t> freedElsewhere{0}; // space freed beside the writes, as by a lost volume
    std::int64_t totalBytes = 200 * kMB;
    std::int64_t writeBudget = 0; // bytes accepted before the drive is "full"
    int failCreationAt = 0;       // 1-based creation to refuse; 0: none
    int failErrno = EACCES;
    int failWriteAt = 0; // 1-based write to refuse with failWriteErrno; 0: none
    int failWriteErrno = EIO;
    int writeDelayMs = 0; // a slow disk
    // The writes taken here reach no disk, so there is nothing to settle; set, the volume's
    // settling succeeds without asking the system (Wine cannot settle a host folder's volume).
    bool settleWithoutTheSystem = false;
    bool failDelete = false;
    std::string failDeleteOf; // the one name whose delete is refused; empty: none
    // An internal log of this size, as xfs keeps one; the attributes that write it are counted,
    // not written, up to a chosen refusal.
    std::int64_t logBytes = 0;
    int failAttributeAt = 0; // 1-based attribute to refuse with failAttributeErrno; 0: none
    int failAttributeErrno = ENOSPC;
    std::int64_t attributeBytes = 0;
    std::vector<std::string> calls;
    std::vector<std::string> restoredReserves;

    bool diskSpace(const std::string&, platform::DiskSpace& out, platform::Error&) const override {
        out.freeToCaller = freeBytes + freedElsewhere;
        out.total = totalBytes;
        return true;
    }
    platform::FileHandle createFillFile(platform::FolderHandle folder, const std::string& name,
                                        platform::FileIdentity& id, platform::Error& err) override {
        if (++creations_ == failCreationAt) {
            err = test::nativeError(failErrno);
            return platform::kInvalidFile;
        }
        return test::NativePlatform::createFillFile(folder, name, id, err);
    }
    bool writeFile(platform::FileHandle, const void*, std::size_t size, std::size_t& written,
                   platform::Error& err) override {
        if (writeDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(writeDelayMs));
        if (++writes_ == failWriteAt) {
            err = test::nativeError(failWriteErrno);
            return false;
        }
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
    bool settleVolume(platform::FolderHandle folder, platform::Error& err) override {
        return settleWithoutTheSystem || test::NativePlatform::settleVolume(folder, err);
    }
    // The test's folder lies on the machine's own disk: its journal is none of the fill's business.
    platform::JournalWipe wipeJournal(platform::FolderHandle, platform::Error&) override {
        return platform::JournalWipe::None;
    }
    bool restoreWriteReserve(const std::string& token, platform::FolderHandle) override {
        restoredReserves.push_back(token);
        return true;
    }
    bool deleteFillFile(platform::FolderHandle folder, const std::string& name,
                        platform::Error& err) override {
        calls.push_back("delete " + name);
        if (failDelete || name == failDeleteOf) {
            err = test::nativeError(EACCES);
            return false;
        }
        return test::NativePlatform::deleteFillFile(folder, name, err);
    }

    std::int64_t internalLogBytes(platform::FolderHandle) const override { return logBytes; }
    bool setFileAttribute(platform::FileHandle, const std::string&, const void*, std::size_t size,
                          platform::Error& err) override {
        if (++attributes_ == failAttributeAt) {
            err = test::nativeError(failAttributeErrno);
            return false;
        }
        attributeBytes += static_cast<std::int64_t>(size);
        return true;
    }

    // How the device takes trims: file by file before the deletes (as Windows volumes do), or
    // the volume as a whole afterwards; a refusal's code, 0 where it takes them.
    platform::ErrorCode fileTrimRefusal = platform::kErrorNotSupported;
    platform::ErrorCode volumeTrimRefusal = platform::kErrorNotSupported;
    std::int64_t volumeTrimBytes = 0;

    bool trimFile(platform::FileHandle file, std::int64_t& bytes, platform::Error& err) override {
        calls.push_back("trim " + std::to_string(file));
        bytes = 0;
        if (fileTrimRefusal != platform::kErrorSuccess) {
            err = {fileTrimRefusal, "refused"};
            return false;
        }
        bytes = 3 * kMB;
        return true;
    }
    bool trimFreeSpace(platform::FolderHandle, std::int64_t& bytes, platform::Error& err) override {
        calls.push_back("trim volume");
        bytes = 0;
        if (volumeTrimRefusal != platform::kErrorSuccess) {
            err = {volumeTrimRefusal, "refused"};
            return false;
        }
        bytes = volumeTrimBytes;
        return true;
    }

    // A relocation of metadata that an unmount interrupted waits, paused, on the volume.
    bool relocationPaused = false;
    bool relocationProgress(platform::FolderHandle, platform::RelocationProgress& out) const override {
        out = {};
        out.paused = relocationPaused;
        return true;
    }

    int writes() const { return writes_; }

private:
    int creations_ = 0;
    int attributes_ = 0;
    std::atomic<int> writes_{0};
};

class FillFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.set("APPDATA", appData_.path());
        env_.set("SYSTEMDRIVE", "C:");
        platform_.mapDrive('T', drive_.path());
        platform_.setRecordFolder(records_.path());
        platform::setPlatform(&platform_);
        frame::ResetLogState();
        frame::logState().LogEnabled = true;
        window_.drive = "T: [" + drive_.path() + "]";
    }
    void TearDown() override {
        platform::setPlatform(nullptr);
        frame::ResetLogState();
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

    // The one record this test's runs left.
    std::string recordPath() const {
        std::vector<platform::FolderEntry> entries;
        platform::Error err;
        std::string found;
        if (platform_.listFolder(records_.path(), entries, err))
            for (const auto& e : entries)
                if (e.name.rfind("spylerom-fill-", 0) == 0)
                    found = records_.file(e.name);
        return found;
    }

    test::EnvGuard env_;
    TempDir appData_;
    TempDir drive_;
    TempDir records_;
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
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

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
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

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
    // The refused write counts as written, so a speed shows once any time has passed.
    EXPECT_TRUE(
        std::regex_match(stop->substr(stop->find(" MB på ")), std::regex(" MB på 0 sekund, [0-9]+ KB/sec")))
        << *stop;
    for (const auto& line : m) {
        EXPECT_EQ(line.find("nan"), std::string::npos) << line;
        EXPECT_EQ(line.find("inf"), std::string::npos) << line;
    }
}

TEST_F(FillFaultTest, EveryFileIsFlushedBeforeAnyIsDeleted) {
    platform_.freeBytes = 8192 * kMB;
    platform_.writeBudget = 10 * 65537;
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

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
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

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
                                           CreationCase{ENOSPC, "112 Det er ikke nok ledig plass på disken"},
                                           CreationCase{EIO, "1117 " + test::nativeError(EIO).message}));

TEST_F(FillFaultTest, EveryRepetitionMeetsAnUncreatableFileAgain) {
    platform_.failCreationAt = 1;
    window_.repetitions = 3;
    engine_.TrackBar1Change(window_.repetitions);
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
    EXPECT_EQ(countStartingWith("FEIL: UNDER OPPRETTELSE AV FILEN "), 1); // only the first creation fails
    EXPECT_EQ(countStartingWith("Valgt stasjon: "), 3);
    EXPECT_FALSE(window_.running);
}

TEST_F(FillFaultTest, EmptyDriveTextFillsNothing) {
    window_.drive.clear();
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
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
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

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
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    EXPECT_EQ(countStartingWith("FEIL: Mappen "), 1);
    EXPECT_EQ(countStartingWith("Oppretter "), 0);
    EXPECT_FALSE(test::exists(appData_.file("Solvarek") + platform::kPathSeparator + "tmp" +
                              platform::kPathSeparator + "spylerom-1.tmp"));
    EXPECT_EQ(engine_.failedPasses(), 1);
}

// What may stand at a fill file's name already. None of it is ours, so none of it is opened:
// the pass refuses with the name and the code, and the entry and what it leads to stay as they were.
struct ExistingCase {
    const char* what;
    void (*make)(const std::string& name, const std::string& target);
    friend void PrintTo(const ExistingCase& c, std::ostream* os) { *os << c.what; }
};

class ExistingNameTest : public FillFaultTest, public ::testing::WithParamInterface<ExistingCase> {};

TEST_P(ExistingNameTest, IsNeverOpenedAndTheUserKeepsIt) {
    const std::string target = drive_.file("precious.txt");
    test::writeText(target, "keep me");
    GetParam().make(fileName(1), target);
    const bool userFile = std::string(GetParam().what) == "UserFile";
    const std::string before = userFile ? test::readText(fileName(1)) : "";
    platform_.writeBudget = 65537;
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    EXPECT_TRUE(logged("FEIL: " + fileName(1) + " finnes fra før og blir ikke rørt"));
    EXPECT_TRUE(logged("FEIL: UNDER OPPRETTELSE AV FILEN " + fileName(1)));
    EXPECT_EQ(countStartingWith("FEILNR: 80 FINNES"), 1);
    EXPECT_EQ(countStartingWith("Oppretter "), 0);
    EXPECT_EQ(test::readText(target), "keep me");
    EXPECT_TRUE(test::exists(fileName(1)) || std::string(GetParam().what) == "Fifo");
    if (userFile) {
        EXPECT_EQ(test::readText(fileName(1)), before);
    }
    EXPECT_EQ(engine_.failedPasses(), 1);
}

#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(Entries, ExistingNameTest,
                         ::testing::Values(ExistingCase{"UserFile",
                                                        [](const std::string& n, const std::string&) {
                                                            test::writeText(n, "user's own");
                                                        }},
                                           ExistingCase{"HardLink",
                                                        [](const std::string& n, const std::string& to) {
                                                            ASSERT_EQ(link(to.c_str(), n.c_str()), 0);
                                                        }},
                                           ExistingCase{"SymbolicLink",
                                                        [](const std::string& n, const std::string& to) {
                                                            ASSERT_EQ(symlink(to.c_str(), n.c_str()), 0);
                                                        }},
                                           ExistingCase{"Fifo",
                                                        [](const std::string& n, const std::string&) {
                                                            ASSERT_EQ(mkfifo(n.c_str(), 0600), 0);
                                                        }}),
                         [](const auto& param) { return std::string(param.param.what); });
#else
// Links and FIFOs need POSIX calls; a user's own file at the name is the case on any system.
INSTANTIATE_TEST_SUITE_P(Entries, ExistingNameTest,
                         ::testing::Values(ExistingCase{"UserFile",
                                                        [](const std::string& n, const std::string&) {
                                                            test::writeText(n, "user's own");
                                                        }}),
                         [](const auto& param) { return std::string(param.param.what); });
#endif

TEST_F(FillFaultTest, StopEndsTheRunAndStartWaitsForTheCleanUp) {
    platform_.writeBudget = std::int64_t{1} << 40;
    platform_.writeDelayMs = 20; // a slow disk
    window_.repetitions = 3;
    engine_.TrackBar1Change(window_.repetitions);
    int writesAtStop = -1;
    window_.onEvents = [&](int cycle) {
        if (cycle == 3) {
            writesAtStop = platform_.writes();
            engine_.StoppKnappClick();
            EXPECT_FALSE(window_.running) << "Stop shows the idle window at once";
            engine_.Spyleromen(window_.choices()); // a START handled in the same message processing
        }
    };
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    ASSERT_GE(writesAtStop, 0);
    EXPECT_LE(platform_.writes() - writesAtStop, 1) << "the writer stops after the write it is in";
    EXPECT_EQ(countStartingWith("Valgt stasjon: "), 1) << "no second run, no further pass";
    EXPECT_TRUE(logged("Stopper fylling av disk"));
    EXPECT_EQ(countStartingWith("STOPP: "), 1);
    EXPECT_TRUE(window_.waitNoticeShown);
    EXPECT_FALSE(window_.waitNotice);
    EXPECT_FALSE(window_.startNotice);
    EXPECT_FALSE(test::exists(fileName(1)));
    EXPECT_FALSE(engine_.runActive());
}

TEST_F(FillFaultTest, MoreFreeThanAtTheStartShowsNoNegativeShare) {
    // A volume that went away shows the disk below its mount point, with more free than the
    // pass began with; so does a program that deletes files meanwhile.
    platform_.writeBudget = std::int64_t{1} << 40;
    platform_.writeDelayMs = 20;
    std::size_t grownFrom = 0; // the first progress text shown after the space grew
    window_.onEvents = [&](int cycle) {
        if (cycle == 2) {
            platform_.freedElsewhere = 5000 * kMB;
            grownFrom = window_.progressTexts.size();
        }
        if (cycle == 6)
            engine_.StoppKnappClick();
    };
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    ASSERT_GE(window_.cycles, 6);
    ASSERT_GT(window_.progressTexts.size(), grownFrom);
    for (std::size_t i = 0; i < window_.progressTexts.size(); ++i) {
        const std::string& text = window_.progressTexts[i];
        EXPECT_EQ(text.find('-'), std::string::npos) << text;
        if (i >= grownFrom) {
            EXPECT_EQ(text.rfind("  0.0 % ferdig, 0 % av total ", 0), 0u) << text;
        }
    }
    for (const int bar : window_.passBars) {
        EXPECT_GE(bar, 0);
        EXPECT_LE(bar, 100);
    }
    EXPECT_FALSE(test::exists(fileName(1)));
}

TEST_F(FillFaultTest, TheWindowIsServedWhileAWriteTakesLong) {
    platform_.writeBudget = 4 * kPieceBytes;
    platform_.writeDelayMs = 400; // each piece takes far longer than a refresh
    std::vector<std::int64_t> times;
    window_.onEvents = [&](int) { times.push_back(platform_.monotonicMilliseconds()); };
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    ASSERT_GE(times.size(), 10u);
    std::int64_t longestGap = 0;
    for (std::size_t i = 1; i < times.size(); ++i)
        longestGap = std::max(longestGap, times[i] - times[i - 1]);
    EXPECT_LT(longestGap, 300) << "messages must be processed while the disk is busy";
    EXPECT_FALSE(test::exists(fileName(1)));
}

// What a run returns: its passes, how it ended and each failure with its code, the log's
// "FEIL" lines being what the report carries.
struct ReportCase {
    const char* name;
    int repetitions;
    int failCreationAt; // 0: none
    int failWriteAt;    // 0: none
    int passes;
    bool stopped;
    int failedPasses;
    int troubledPasses;
    std::uint32_t firstCode; // the code of the first failure; 0 with none
};

class RunReportTest : public FillFaultTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(RunReportTest, TellsHowTheRunEndedAndEveryFailureWithItsCode) {
    const ReportCase& c = GetParam();
    // A failing write comes before the disk is full; otherwise the disk is full after a few blocks.
    platform_.writeBudget = c.failWriteAt != 0 ? std::int64_t{1} << 40 : 3 * 65537;
    platform_.failCreationAt = c.failCreationAt;
    platform_.failWriteAt = c.failWriteAt;
    platform_.settleWithoutTheSystem = true;
    window_.repetitions = c.repetitions;
    const RunReport report = engine_.Spyleromen(window_.choices());

    EXPECT_TRUE(report.started);
    EXPECT_EQ(report.passes, c.passes);
    EXPECT_EQ(report.stopped, c.stopped);
    EXPECT_EQ(report.failedPasses, c.failedPasses);
    std::string failures;
    for (const RunFailure& failure : report.failures)
        failures += failure.line + " (" + std::to_string(failure.code) + ")\n";
    EXPECT_EQ(report.troubledPasses, c.troubledPasses) << failures;
    EXPECT_EQ(report.failed(), c.firstCode != 0);
    // A "FEILNR:" line gives the failure line before it its code.
    EXPECT_EQ(report.failures.size(),
              static_cast<std::size_t>(countStartingWith("FEIL") - countStartingWith("FEILNR:")))
        << "every failure line of the log, and only those";
    if (c.firstCode != 0) {
        ASSERT_FALSE(report.failures.empty());
        EXPECT_EQ(report.failures.front().code, c.firstCode) << report.failures.front().line;
        EXPECT_EQ(report.failures.front().line.rfind("FEIL", 0), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Ends, RunReportTest,
                         ::testing::Values(ReportCase{"EveryPassToTheEnd", 2, 0, 0, 2, false, 0, 0, 0},
                                           ReportCase{"AFileThatCannotBeMadeInTheFirstPass", 2, 1, 0, 2,
                                                      false, 1, 0, test::nativeError(EACCES).code},
                                           ReportCase{"AFailingWriteEndsTheRun", 3, 0, 3, 1, true, 0, 1,
                                                      test::nativeError(EIO).code}),
                         [](const ::testing::TestParamInfo<ReportCase>& param) {
                             return std::string(param.param.name);
                         });

struct WriteFailureCase {
    int err;
    std::string codeLine;
};

class WriteFailureTest : public FillFaultTest, public ::testing::WithParamInterface<WriteFailureCase> {};

TEST_P(WriteFailureTest, EndsThePassAndTheRunWithTheCodeAndCleansUp) {
    platform_.freeBytes = 4096 * kMB; // two files
    platform_.writeBudget = std::int64_t{1} << 40;
    platform_.failWriteAt = 3;
    platform_.failWriteErrno = GetParam().err;
    window_.repetitions = 2;
    engine_.TrackBar1Change(window_.repetitions);
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    EXPECT_TRUE(logged("FEIL: UNDER SKRIVING TIL FILEN " + fileName(1)));
    EXPECT_TRUE(logged("FEILNR: " + GetParam().codeLine));
    EXPECT_EQ(countStartingWith("STOPP: "), 1);
    EXPECT_EQ(countStartingWith("Valgt stasjon: "), 1) << "a failing disk is not asked again";
    EXPECT_EQ(engine_.troubledPasses(), 1);
    EXPECT_FALSE(test::exists(fileName(1)));
    EXPECT_FALSE(test::exists(fileName(2)));
}

INSTANTIATE_TEST_SUITE_P(Codes, WriteFailureTest,
                         ::testing::Values(WriteFailureCase{EIO, "1117 " + test::nativeError(EIO).message},
                                           WriteFailureCase{EACCES, "5 Ikke tilgang til fil/mappe"}));

TEST_F(FillFaultTest, AFileThatCannotBeDeletedIsToldAndStaysInTheRecord) {
    platform_.writeBudget = 65537;
    platform_.failDelete = true;
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
    EXPECT_TRUE(logged("FEIL: Kunne ikke slette filen " + fileName(1)));
    EXPECT_TRUE(logged("FEILNR: 5 Ikke tilgang til fil/mappe"));
    EXPECT_EQ(engine_.troubledPasses(), 1);
    ASSERT_TRUE(test::exists(fileName(1)));
    ASSERT_FALSE(recordPath().empty()) << "the record keeps the file for the next clean-up";

    // While a run holds the drive, its record is its own business.
    platform_.failDelete = false;
    platform::Error err;
    const platform::FolderHandle held = platform_.lockDrive(drive_.path() + "/", err);
    ASSERT_NE(held, platform::kInvalidFolder);
    EXPECT_TRUE(RecoverAbandonedFills().empty()) << "a drive that is locked has a living run";
    EXPECT_TRUE(test::exists(fileName(1)));
    platform_.closeFolder(held);

    // Let go, the next clean-up tries again, where the file carries the pass's mark or birth.
    const auto recovered = RecoverAbandonedFills();
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_TRUE(recovered[0].complete);
    EXPECT_TRUE(recordPath().empty());
}

// A run killed while it relocated a volume's metadata: the relocation ended with it, unless an
// unmount paused it first; then it waits on the volume, and the user is told how to end it.
class KilledRelocationTest : public FillFaultTest, public ::testing::WithParamInterface<bool> {};

TEST_P(KilledRelocationTest, APausedRelocationIsNamed) {
    platform_.writeBudget = 65537;
    platform_.failDelete = true; // leaves the file and the record behind, as a kill would
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
    platform_.failDelete = false;
    const std::string path = recordPath();
    ASSERT_FALSE(path.empty());
    std::string text;
    platform::Error err;
    ASSERT_TRUE(platform_.readFile(path, text, err));
    FillRecord planned;
    planned.setPlace(drive_.path() + platform::kPathSeparator, 1, "");
    planned.planRelocation();
    FillRecord read;
    ASSERT_TRUE(read.parse(planned.text()));
    EXPECT_TRUE(read.relocation()) << "a planned relocation reads back from its record";
    ASSERT_TRUE(platform_.replaceFile(path, text + "step=relocation\n", err));
    platform_.relocationPaused = GetParam();
    frame::ResetLogState();
    frame::logState().LogEnabled = true;

    const auto recovered = RecoverAbandonedFills();

    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].relocationPaused, GetParam());
    EXPECT_EQ(countStartingWith("HINT: En flytting av metadata (btrfs balance) står på pause på "),
              GetParam() ? 1 : 0);
    EXPECT_TRUE(recovered[0].complete) << "the record has done its work either way";
}

INSTANTIATE_TEST_SUITE_P(Volumes, KilledRelocationTest, ::testing::Bool(),
                         [](const auto& p) { return std::string(p.param ? "Paused" : "Ended"); });

// A run that was killed: its record names its files and its reserve. The next start deletes
// the files it can prove to be that run's, never another, and puts the reserve back.
TEST_F(FillFaultTest, AKilledRunIsUndoneAtTheNextStart) {
    platform_.writeBudget = 65537;
    platform_.failDelete = true; // leaves file 1 and the record behind, as a kill would
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
    platform_.failDelete = false;
    ASSERT_TRUE(test::exists(fileName(1)));

    const std::string path = recordPath();
    ASSERT_FALSE(path.empty());
    FillRecord record;
    std::string text;
    platform::Error err;
    ASSERT_TRUE(platform_.readFile(path, text, err));
    ASSERT_TRUE(record.parse(text));
    ASSERT_EQ(record.files().size(), 1u);
    const bool provable = record.files()[0].marked || record.files()[0].id.birthNs != 0;
    text += "reserve=test-reserve=7\n";
    // A user's file now stands where the run had planned another file, and one at a name it
    // had made and identified: neither may go.
    test::writeText(fileName(2), "the user's own");
    test::writeText(fileName(3), "also the user's");
    text += "plan=spylerom-2.tmp\n";
    text += "file=1:2:3:1:spylerom-3.tmp\n";
    // A file-record step it was in: its small files go, a file of the user's in the folder stays.
    const char sep = platform::kPathSeparator;
    const std::string stepFolder = drive_.file("spylerom-poster") + sep;
    ASSERT_TRUE(platform_.createFolder(stepFolder, err));
    const platform::FileHandle step = test::createFillFileAt(platform_, stepFolder + "1.tmp", err);
    ASSERT_NE(step, platform::kInvalidFile);
    std::size_t written = 0;
    const std::string recordBytes(kRecordFileBytes, '\0');
    ASSERT_TRUE(platform_.test::NativePlatform::writeFile(step, recordBytes.data(), recordBytes.size(),
                                                          written, err));
    ASSERT_TRUE(platform_.closeFile(step, err));
    test::writeText(stepFolder + "notes.txt", "the user's");
    text += "step=spylerom-poster\n";
    // The step marks its folder; where the file system keeps no marks, nothing proves it ours.
    const platform::FolderHandle stepHandle = platform_.openFillFolder(stepFolder, "", err);
    ASSERT_NE(stepHandle, platform::kInvalidFolder);
    const int stepDeleted = platform_.setMark(stepHandle, record.mark(), err) ? 1 : 0;
    platform_.closeFolder(stepHandle);
    ASSERT_TRUE(platform_.replaceFile(path, text, err));
    std::string folder;
    bool systemWide = false;
    ASSERT_TRUE(platform_.recordFolder(folder, systemWide, err));

    const auto recovered = RecoverAbandonedFills();
    ASSERT_EQ(recovered.size(), 1u);
    const int deleted = (provable ? 1 : 0) + stepDeleted;
    EXPECT_EQ(recovered[0].filesDeleted, deleted);
    EXPECT_EQ(test::exists(stepFolder + "1.tmp"), stepDeleted == 0);
    EXPECT_EQ(test::readText(stepFolder + "notes.txt"), "the user's");
    EXPECT_TRUE(recovered[0].complete);
    EXPECT_EQ(test::exists(fileName(1)), !provable);
    EXPECT_EQ(test::readText(fileName(2)), "the user's own");
    EXPECT_EQ(test::readText(fileName(3)), "also the user's");
    // Only a record that no other account can write may put a reserve back.
    const int restored = systemWide ? 1 : 0;
    EXPECT_EQ(recovered[0].reservesRestored, restored);
    EXPECT_EQ(platform_.restoredReserves.size(), static_cast<std::size_t>(restored));
    EXPECT_TRUE(logged("Rydder opp etter en avbrutt fylling: " + std::to_string(deleted) +
                       " filer slettet, " + std::to_string(restored) + " reserver satt tilbake"));
    EXPECT_EQ(countStartingWith("ADVARSEL: "), provable ? 3 : 4)
        << "two files and the step's folder, which holds the user's";
    EXPECT_TRUE(recordPath().empty());
    EXPECT_TRUE(RecoverAbandonedFills().empty()) << "undone once";
}

// The internal log written over after the deletes: how much, how it ends, and what it leaves.
struct LogStepCase {
    const char* name;
    std::int64_t logBytes;
    int failAttributeAt; // 0: none
    int failAttributeErrno;
    int stopAtPoll;   // the step's poll of the window at which Stop is pressed; 0: never
    int files;        // step files made (each one deleted again)
    bool failure;     // a "FEIL" line with the code of failAttributeErrno
    const char* hint; // the end of the "HINT:" line; nullptr: none
};

class LogStepTest : public FillFaultTest, public ::testing::WithParamInterface<LogStepCase> {};

TEST_P(LogStepTest, WritesTheLogOverAndLeavesNothingBehind) {
    const LogStepCase& c = GetParam();
    platform_.writeBudget = 65537;
    platform_.settleWithoutTheSystem = true;
    platform_.logBytes = c.logBytes;
    platform_.failAttributeAt = c.failAttributeAt;
    platform_.failAttributeErrno = c.failAttributeErrno;
    int polls = 0;
    window_.onEvents = [&](int) {
        if (c.stopAtPoll > 0 && countStartingWith("Skriver over loggen") == 1 && ++polls == c.stopAtPoll)
            engine_.StoppKnappClick();
    };
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    const std::string drive = window_.drive;
    const std::string folder = drive_.file("spylerom-poster");
    const std::int64_t perFile = static_cast<std::int64_t>(kLogValueBytes) * kLogValuesPerFile;
    // Values count once their file is durable: not the file whose attribute failed.
    const std::int64_t written = perFile * c.files - (c.failAttributeAt != 0 ? perFile : 0);
    if (c.logBytes == 0) {
        EXPECT_EQ(countStartingWith("Skriver over loggen"), 0) << "no internal log, no step";
    } else {
        EXPECT_TRUE(logged("Skriver over loggen på " + drive));
        EXPECT_TRUE(logged("Skrev " + std::to_string((written + kMB - 1) / kMB) + " MB over loggen på " +
                           drive + " (loggen er " + std::to_string(c.logBytes / kMB) + " MB)"));
    }
    const std::int64_t setBeforeTheFailure =
        c.failAttributeAt != 0
            ? (c.failAttributeAt - 1) % kLogValuesPerFile * static_cast<std::int64_t>(kLogValueBytes)
            : 0;
    EXPECT_EQ(platform_.attributeBytes, written + setBeforeTheFailure);
    for (int n = 1; n <= c.files; ++n)
        EXPECT_EQ(std::count(platform_.calls.begin(), platform_.calls.end(),
                             "delete " + std::to_string(n) + ".tmp"),
                  1)
            << n << ".tmp is deleted once";
    EXPECT_EQ(std::count(platform_.calls.begin(), platform_.calls.end(),
                         "delete " + std::to_string(c.files + 1) + ".tmp"),
              0)
        << "no more files than needed";
    // A file whose values count was flushed (which forces the log) and closed before its delete.
    for (std::int64_t n = 1; n <= written / perFile; ++n) {
        const auto deleted =
            std::find(platform_.calls.begin(), platform_.calls.end(), "delete " + std::to_string(n) + ".tmp");
        ASSERT_GE(deleted - platform_.calls.begin(), 2);
        EXPECT_EQ(deleted[-2].rfind("flush ", 0), 0u) << n;
        EXPECT_EQ(deleted[-1].rfind("close ", 0), 0u) << n;
    }
    if (c.failure) {
        EXPECT_TRUE(logged("FEIL: UNDER OVERSKRIVING AV LOGGEN I " + folder));
        EXPECT_EQ(countStartingWith(
                      "FEILNR: " + std::to_string(test::nativeError(c.failAttributeErrno).code) + " "),
                  1);
        EXPECT_EQ(engine_.troubledPasses(), 1);
    } else {
        EXPECT_EQ(countStartingWith("FEIL"), 0);
        EXPECT_EQ(engine_.troubledPasses(), 0);
    }
    EXPECT_EQ(countStartingWith("HINT: Loggen på " + drive + " er ikke skrevet helt over"), c.hint ? 1 : 0);
    if (c.hint) {
        EXPECT_TRUE(logged("HINT: Loggen på " + drive +
                           " er ikke skrevet helt over og kan fortsatt ha navn på slettede filer" + c.hint));
    }
    EXPECT_FALSE(test::exists(folder)) << "the step's folder goes with its files";
    EXPECT_TRUE(recordPath().empty()) << "nothing is left for a clean-up";
}

// A log of 1 MiB takes five files of 256 KiB of values: 1.25 MiB.
INSTANTIATE_TEST_SUITE_P(
    Ends, LogStepTest,
    ::testing::Values(LogStepCase{"NoInternalLog", 0, 0, 0, 0, 0, false, nullptr},
                      LogStepCase{"WholeLogWithItsMargin", kMB, 0, 0, 0, 5, false, nullptr},
                      LogStepCase{"FullDiskEndsItAsExpected", kMB, 3 * kLogValuesPerFile + 9, ENOSPC, 0, 4,
                                  false, ": disken ble full"},
                      LogStepCase{"StopEndsItCleanly", kMB, 0, 0, 3, 2, false, ": fyllingen ble stoppet"},
                      LogStepCase{"StopBeforeTheFirstFile", kMB, 0, 0, 1, 0, false,
                                  ": fyllingen ble stoppet"},
                      LogStepCase{"AFailingAttributeIsAFailure", kMB, 9, EIO, 0, 1, true, ""}),
    [](const ::testing::TestParamInfo<LogStepCase>& param) { return std::string(param.param.name); });

TEST_F(FillFaultTest, ALogStepFileThatCannotBeDeletedStaysInTheRecordForTheNextStart) {
    platform_.writeBudget = 65537;
    platform_.settleWithoutTheSystem = true;
    platform_.logBytes = kMB;
    platform_.failDeleteOf = "2.tmp";
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());

    const std::string folder = drive_.file("spylerom-poster");
    EXPECT_TRUE(logged("Skrev 1 MB over loggen på " + window_.drive + " (loggen er 1 MB)"))
        << "a file that will not go ends the step";
    EXPECT_TRUE(logged("FEIL: UNDER OVERSKRIVING AV LOGGEN I " + folder));
    EXPECT_TRUE(logged("FEIL UNDER SLETTING AV FILENE I " + folder));
    EXPECT_EQ(countStartingWith("FEILNR: 5 Ikke tilgang til fil/mappe"), 2);
    EXPECT_EQ(engine_.troubledPasses(), 1);
    EXPECT_EQ(std::count(platform_.calls.begin(), platform_.calls.end(), std::string("delete 2.tmp")), 2)
        << "tried again before the folder";
    ASSERT_TRUE(test::exists(folder + platform::kPathSeparator + "2.tmp"));
    const std::string path = recordPath();
    ASSERT_FALSE(path.empty()) << "the record names the step's folder for the next clean-up";
    std::string text;
    platform::Error err;
    ASSERT_TRUE(platform_.readFile(path, text, err));
    EXPECT_NE(text.find("step=spylerom-poster\n"), std::string::npos) << text;

    // The next start deletes the file where the folder carries the pass's mark; where the file
    // system keeps no marks, nothing proves it the run's and it stays.
    platform_.failDeleteOf.clear();
    const platform::FolderHandle root = platform_.openFillFolder(drive_.path(), "", err);
    ASSERT_NE(root, platform::kInvalidFolder);
    const bool marked = !platform_.markOf(root, "spylerom-poster").empty();
    platform_.closeFolder(root);
    const auto recovered = RecoverAbandonedFills();
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].filesDeleted, marked ? 1 : 0);
    EXPECT_EQ(test::exists(folder), !marked);
    EXPECT_TRUE(recordPath().empty());
}

TEST_F(FillFaultTest, AnotherFillOfTheSameDriveIsRefused) {
    platform::Error err;
    const platform::FolderHandle held = platform_.lockDrive(drive_.path() + "/", err);
    ASSERT_NE(held, platform::kInvalidFolder);
    platform_.writeBudget = 65537;
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
    platform_.closeFolder(held);

    EXPECT_TRUE(logged("FEIL: Stasjon T: fylles allerede av et annet program, ingen filer er laget"));
    EXPECT_EQ(countStartingWith("FEILNR: 33 Lock violation"), 1);
    EXPECT_EQ(countStartingWith("Oppretter "), 0);
    EXPECT_EQ(engine_.failedPasses(), 1);
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
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
    EXPECT_TRUE(logged("Oppretter " + fileName(1)));
    EXPECT_FALSE(test::exists(other.file("spylerom-1.tmp")));

    // And when its volume is gone altogether, nothing is filled in its stead.
    frame::logState().LogLines.clear();
    platform_.mapDrive('U', "");
    engine_.selectDrive(window_.driveChoice());
    engine_.Spyleromen(window_.choices());
    EXPECT_EQ(countStartingWith("FEILNR: 3 "), 1);
    EXPECT_EQ(countStartingWith("Oppretter "), 0);
}

TEST_F(FillFaultTest, StatusTextAndUsageBar) {
    platform_.freeBytes = 300 * kMB + 5;
    platform_.totalBytes = 1000 * kMB + 999;
    engine_.selectDrive(window_.driveChoice());
    EXPECT_EQ(window_.status, "300 MB ledig av 1000 MB");
    EXPECT_EQ(window_.usageMaximum, 1000);
    EXPECT_EQ(window_.usagePosition, 700);
    EXPECT_EQ(engine_.state().DriveNumber, 'T' - 64);
}

TEST_F(FillFaultTest, RepetitionLabel) {
    for (const int position : {1, 5, 10}) {
        window_.repetitions = position;
        engine_.TrackBar1Change(window_.repetitions);
        EXPECT_EQ(window_.repetitionText, std::to_string(position) + " gjentagelser");
        EXPECT_EQ(engine_.state().Repetitions, position);
    }
}

// The freed space handed back to the device, whichever way the device takes it, and what the
// user is told where it takes none.
struct TrimCase {
    const char* name;
    bool trim;                             // the run's choice
    platform::ErrorCode fileTrimRefusal;   // 0: the volume trims file by file
    platform::ErrorCode volumeTrimRefusal; // 0: the volume trims as a whole
    const char* line;                      // how the message the pass logs begins ({drive}: the drive's text)
};

constexpr platform::ErrorCode kNo = platform::kErrorNotSupported;

class TrimTest : public FillFaultTest, public ::testing::WithParamInterface<TrimCase> {};

TEST_P(TrimTest, TheFreedSpaceGoesBackOrTheUserIsTold) {
    const TrimCase& c = GetParam();
    platform_.freeBytes = 5000 * kMB; // two files
    platform_.totalBytes = 6000 * kMB;
    platform_.writeBudget = 4 * 65537;
    platform_.fileTrimRefusal = c.fileTrimRefusal;
    platform_.volumeTrimRefusal = c.volumeTrimRefusal;
    platform_.volumeTrimBytes = 64 * kMB;
    platform_.settleWithoutTheSystem = true;
    window_.trim = c.trim;
    engine_.selectDrive(window_.driveChoice());

    const RunReport report = engine_.Spyleromen(window_.choices());

    EXPECT_FALSE(report.failed()) << "a trim the device refuses is no failure of the wipe";
    const auto& calls = platform_.calls;
    const auto trims = std::count_if(calls.begin(), calls.end(),
                                     [](const std::string& call) { return call.rfind("trim ", 0) == 0; });
    if (!c.trim) {
        EXPECT_EQ(trims, 0);
        EXPECT_EQ(countStartingWith("Ga "), 0);
        EXPECT_EQ(countStartingWith("HINT: "), 0);
        return;
    }
    std::string line = c.line;
    if (const auto at = line.find("{drive}"); at != std::string::npos)
        line.replace(at, 7, window_.drive);
    EXPECT_EQ(countStartingWith(line), 1) << line << "\n" << ::testing::PrintToString(messages());
    EXPECT_EQ(countStartingWith("HINT: ") + countStartingWith("Ga "), 1)
        << ::testing::PrintToString(messages());
    // Each file's trim comes after its flush and before its close; the volume's after every delete.
    for (const char* file : {"spylerom-1.tmp", "spylerom-2.tmp"}) {
        const auto deleted = std::find(calls.begin(), calls.end(), std::string("delete ") + file);
        ASSERT_NE(deleted, calls.end()) << file;
        EXPECT_LT(deleted, std::find(calls.begin(), calls.end(), "trim volume"));
    }
    EXPECT_EQ(trims, 3) << "each file, then the volume";
    for (std::size_t i = 1; i + 1 < calls.size(); ++i) {
        if (calls[i].rfind("trim ", 0) != 0 || calls[i] == "trim volume")
            continue;
        const std::string handle = calls[i].substr(5);
        EXPECT_EQ(calls[i - 1], "flush " + handle);
        EXPECT_EQ(calls[i + 1], "close " + handle);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, TrimTest,
    ::testing::Values(
        TrimCase{"WholeVolume", true, kNo, 0, "Ga 64 MB tilbake til lagringsenheten"},
        TrimCase{"FileByFile", true, 0, kNo, "Ga 6 MB tilbake til lagringsenheten"},
        TrimCase{"NoRight", true, kNo, platform::kErrorAccessDenied,
                 "HINT: Bare en administrator kan gi den frigjorte plassen på {drive} tilbake til "
                 "lagringsenheten"},
        TrimCase{
            "NoDiscards", true, kNo, kNo,
            "HINT: Frigjort plass på {drive} kan ikke gis tilbake til lagringsenheten (filsystemet eller "
            "enheten tar ikke imot det)"},
        TrimCase{"FileTrimFails", true, 1117, kNo,
                 "HINT: Den frigjorte plassen på {drive} ble ikke gitt tilbake til lagringsenheten (feil "},
        TrimCase{"SwitchedOff", false, 0, 0, ""}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace spylerom::fill
