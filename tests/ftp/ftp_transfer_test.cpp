// HentFil and SendFil against a real FTP server on 127.0.0.1: files, log lines, FTPFeil and what
// the window is told.
#include "ftp/ftp_transfer.h"

#include "frame/settings.h"
#include "frame/textfil.h"
#include "ftp/ftp_fixture.h"
#include "ftp/ftp_settings.h"
#include "ftp/ftp_test_server.h"
#include "ftp/kodtekst.h"
#include "ftp/silent_server.h"
#include "support/native_platform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <memory>

#include <string>
#include <vector>

namespace spylerom::ftp {
namespace {

using test::exists;
using test::ftpLogMessages;
using test::FtpTestServer;
using test::readText;
using test::writeText;
using Lines = std::vector<std::string>;

// Bytes an ASCII-mode transfer would rewrite, among all others.
std::string programBytes(std::size_t repeat) {
    std::string bytes = "MZ";
    for (std::size_t r = 0; r < repeat; ++r) {
        bytes += std::string("\x00\x0D\x0A\x1A\x0A\x0D\x0D\x0A", 8);
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>(b);
    }
    return bytes;
}

class FtpTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok()) << server_.error();
        ASSERT_TRUE(test::makeFolder(server_.file("pub")));
        pointSettingsAtServer(FtpTestServer::kPassword);
        ftpState().FTPMappe = "pub/";
        setServerSettingsDialog(&dialog_);
        frame::setFrameUi(&frameUi_);
    }

    void pointSettingsAtServer(const std::string& password) {
        test::writeFtpSection(
            {"name=Test", "server=127.0.0.1", "username=" + std::string(FtpTestServer::kUser),
             "password=" + KodTekst(std::string_view(password)), "port=" + std::to_string(server_.port())});
    }

    std::string local(const std::string& name) const { return local_.file(name); }
    std::string folder() const { return local_.path() + platform::kPathSeparator; }

    FtpTestServer server_;
    test::TempDir local_;
    test::TempDir settingsDir_;
    test::SettingsAndLog settings_{settingsDir_};
    test::RecordingDialog dialog_;
    test::RecordingFrameUi frameUi_;
    test::RecordingView view_;
    FtpTransfer transfer_{view_};
};

TEST_F(FtpTransferTest, DownloadReplacesTheLocalFileAndKeepsThePreviousOneUnderTheOldName) {
    const std::string content = programBytes(200);
    writeText(server_.file("pub/prog.exe"), content);
    writeText(local("prog.exe"), "previous program");
    writeText(local("prog.old"), "the one before");

    transfer_.HentFil(local("prog.exe"));

    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(local("prog.exe")), content);
    EXPECT_EQ(readText(local("prog.old")), "previous program");
    EXPECT_FALSE(exists(local("prog.tmp")));
    const std::string size = std::to_string(content.size());
    EXPECT_EQ(ftpLogMessages(), (Lines{
                                    "FTP: Starter ny sesjon for nedlasting av prog.exe til " + folder(),
                                    "FTP: Kobler til 127.0.0.1 som bruker spyler",
                                    "FTP: filstørrelse " + size,
                                    "FTP: Tilkoblet, henter filen pub/prog.exe",
                                    "FTP: Kobler fra.",
                                    "FTP: slettet midlertidig fil: " + local("prog.old"),
                                    "FTP: endret navn på " + local("prog.exe") + " til " + local("prog.old"),
                                    "FTP: endret navn på " + local("prog.tmp") + " til " + local("prog.exe"),
                                }));
    // The window: shown with the server held before the settings were loaded, then closed.
    EXPECT_EQ(view_.events.front(), "show ftp.solvarek.no");
    EXPECT_EQ(view_.events.back(), "close");
    EXPECT_FALSE(view_.visible);
    EXPECT_EQ(view_.fileText, "prog.exe");
    EXPECT_EQ(view_.maximum, static_cast<std::int32_t>(content.size()));
    EXPECT_EQ(view_.position, static_cast<std::int32_t>(content.size()));
    EXPECT_EQ(view_.bytes, size);
    EXPECT_EQ(view_.state, "Frakoblet");
    const auto state = [&](const char* s) {
        return std::find(view_.events.begin(), view_.events.end(), std::string("state ") + s) -
               view_.events.begin();
    };
    EXPECT_LT(state("Tilkoblet"), state("Laster ned data"));
    EXPECT_LT(state("Laster ned data"), state("Frakoblet"));
    EXPECT_NE(server_.commands().find("TYPE I"), std::string::npos);
}

TEST_F(FtpTransferTest, DownloadWithNoPreviousTargetMovesTheNewFileInPlace) {
    writeText(server_.file("pub/ny.dat"), "ny fil");
    transfer_.HentFil(local("ny.dat"));
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(local("ny.dat")), "ny fil");
    EXPECT_FALSE(exists(local("ny.old")));
    const Lines log = ftpLogMessages();
    ASSERT_GE(log.size(), 1u);
    EXPECT_EQ(log.back(), "FTP: endret navn på " + local("ny.tmp") + " til " + local("ny.dat"));
    EXPECT_EQ(log[log.size() - 2], "FTP: Kobler fra.");
}

TEST_F(FtpTransferTest, MissingRemoteFileEndsTheSessionAndLeavesTheWindowShown) {
    writeText(local("prog.exe"), "mine");
    transfer_.HentFil(local("prog.exe"));
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_TRUE(view_.visible);
    EXPECT_EQ(view_.state, "Frakoblet");
    EXPECT_EQ(readText(local("prog.exe")), "mine");
    EXPECT_FALSE(exists(local("prog.tmp")));
    const Lines log = ftpLogMessages();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2], "FTP: finner ikke filen pub/prog.exe, avbryter forbindelse");
    EXPECT_EQ(log[3], "FTP: 127.0.0.1 frakoblet");
    EXPECT_EQ(server_.commands().find("RETR"), std::string::npos);
}

TEST_F(FtpTransferTest, WrongPasswordIsError501AndTouchesNothing) {
    pointSettingsAtServer("feil passord");
    writeText(server_.file("pub/prog.exe"), "new");
    writeText(local("prog.exe"), "mine");
    transfer_.HentFil(local("prog.exe"));
    EXPECT_EQ(ftpState().FTPFeil, 501);
    EXPECT_EQ(readText(local("prog.exe")), "mine");
    EXPECT_FALSE(exists(local("prog.tmp")));
    EXPECT_FALSE(exists(local("prog.old")));
    EXPECT_FALSE(view_.visible);
    EXPECT_EQ(ftpLogMessages(), (Lines{
                                    "FTP: Starter ny sesjon for nedlasting av prog.exe til " + folder(),
                                    "FTP: Kobler til 127.0.0.1 som bruker spyler",
                                    "FTP: Feil nr. 501, kunne ikke koble til 127.0.0.1 med brukernavn spyler",
                                }));
}

TEST_F(FtpTransferTest, DetailLoggingAddsTheReasonBeforeTheNumberedLine) {
    frame::logState().Verbose = true;
    pointSettingsAtServer("feil passord");
    transfer_.HentFil(local("prog.exe"));
    const Lines log = ftpLogMessages();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].rfind("FTP: ", 0), 0u);
    EXPECT_NE(log[2].find("530"), std::string::npos) << log[2]; // the server's refusal
    EXPECT_EQ(log[3], "FTP: Feil nr. 501, kunne ikke koble til 127.0.0.1 med brukernavn spyler");
}

TEST_F(FtpTransferTest, ServerDownIsError501ForADownloadAnd502ForAnUpload) {
    server_.stop();
    transfer_.HentFil(local("prog.exe"));
    EXPECT_EQ(ftpState().FTPFeil, 501);
    EXPECT_EQ(ftpLogMessages().back(),
              "FTP: Feil nr. 501, kunne ikke koble til 127.0.0.1 med brukernavn spyler");
    EXPECT_FALSE(view_.visible);

    writeText(local("up.txt"), "data");
    frame::logState().LogLines.clear();
    transfer_.SendFil(local("up.txt"));
    EXPECT_EQ(ftpState().FTPFeil, 502);
    EXPECT_EQ(ftpLogMessages(), (Lines{
                                    "FTP: Starter ny sesjon for opplasting av " + local("up.txt"),
                                    "FTP: Kobler til 127.0.0.1 som bruker spyler",
                                    "FTP: Feil nr. 502, kunne ikke koble til",
                                }));
    EXPECT_FALSE(view_.visible);
    EXPECT_TRUE(frameUi_.boxes.empty());
}

TEST_F(FtpTransferTest, UploadIntoAFolderGivesTheFolderItsSlashAndKeepsIt) {
    ftpState().FTPMappe = "pub";
    const std::string content = programBytes(100);
    writeText(local("rapport.bin"), content);
    transfer_.SendFil(local("rapport.bin"));
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(ftpState().FTPMappe, "pub/");
    EXPECT_EQ(readText(server_.file("pub/rapport.bin")), content);
    EXPECT_EQ(ftpLogMessages(), (Lines{
                                    "FTP: Starter ny sesjon for opplasting av " + local("rapport.bin"),
                                    "FTP: Kobler til 127.0.0.1 som bruker spyler",
                                    "FTP: Kobler fra.",
                                }));
    EXPECT_FALSE(view_.visible);
    EXPECT_EQ(view_.maximum, static_cast<std::int32_t>(content.size()));
    EXPECT_EQ(view_.position, static_cast<std::int32_t>(content.size()));
    EXPECT_EQ(view_.bytes, std::to_string(content.size()));
    EXPECT_NE(std::find(view_.events.begin(), view_.events.end(), "state Laster opp data"),
              view_.events.end());

    writeText(local("rapport.bin"), "second");
    transfer_.SendFil(local("rapport.bin"));
    EXPECT_EQ(ftpState().FTPMappe, "pub/");
    EXPECT_EQ(readText(server_.file("pub/rapport.bin")), "second"); // replaced, not appended
}

TEST_F(FtpTransferTest, UploadWithAnEmptyFolderStoresTheBareName) {
    ftpState().FTPMappe = "";
    writeText(local("bare.txt"), "bare");
    transfer_.SendFil(local("bare.txt"));
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(ftpState().FTPMappe, "");
    EXPECT_EQ(readText(server_.file("bare.txt")), "bare");
    EXPECT_NE(server_.commands().find("STOR bare.txt\n"), std::string::npos) << server_.commands();
}

TEST_F(FtpTransferTest, BinaryDownloadIsByteIdentical) {
    // The upload direction is covered above; here the same bytes come back down.
    const std::string content = programBytes(50);
    writeText(server_.file("pub/data.bin"), content);
    transfer_.HentFil(local("data.bin"));
    EXPECT_EQ(readText(local("data.bin")), content);
}

struct RefusedUpload {
    const char* name;
    bool readOnly;
};

void PrintTo(const RefusedUpload& c, std::ostream* os) {
    *os << c.name;
}

class FtpRefusedUploadTest : public FtpTransferTest, public ::testing::WithParamInterface<RefusedUpload> {};

TEST_P(FtpRefusedUploadTest, AFileThatCannotBeOpenedIsRefusedBeforeConnecting) {
    const std::string path = local("locked.txt");
    if (GetParam().readOnly) {
        writeText(path, "read only");
        ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    }
    transfer_.SendFil(path);
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(ftpLogMessages(), (Lines{"FTP: Starter ny sesjon for opplasting av " + path,
                                       "FTP: Kan ikke finne filstørrelse, avbryter."}));
    EXPECT_FALSE(view_.visible);
    EXPECT_FALSE(exists(server_.file("pub/locked.txt")));
    EXPECT_EQ(server_.commands().find("USER"), std::string::npos);
    EXPECT_EQ(dialog_.shown, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpRefusedUploadTest,
                         ::testing::Values(RefusedUpload{"ReadOnly", true}, RefusedUpload{"Missing", false}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(FtpTransferTest, AFailedStoreIsError503WithTheWindowClosedAndTheUserTold) {
    ftpState().FTPMappe = "no-such-folder/";
    writeText(local("up.txt"), "data");
    transfer_.SendFil(local("up.txt"));
    EXPECT_EQ(ftpState().FTPFeil, 503);
    EXPECT_EQ(ftpLogMessages(), (Lines{
                                    "FTP: Starter ny sesjon for opplasting av " + local("up.txt"),
                                    "FTP: Kobler til 127.0.0.1 som bruker spyler",
                                    "FTP: Feil nr. 503, kan ikke laste opp filen " + local("up.txt"),
                                    "FTP: Kobler fra.",
                                }));
    EXPECT_FALSE(view_.visible);
    EXPECT_EQ(view_.state, "Frakoblet");
    ASSERT_EQ(frameUi_.boxes.size(), 1u);
    EXPECT_EQ(frameUi_.boxes[0].rfind("FEIL: ", 0), 0u);
    EXPECT_NE(server_.commands().find("QUIT"), std::string::npos);
}

TEST_F(FtpTransferTest, AFetchThatCannotWriteItsTemporaryFileIsError500) {
    writeText(server_.file("pub/prog.exe"), "new");
    writeText(local("prog.exe"), "mine");
    ASSERT_TRUE(test::makeFolder(local("prog.tmp"))); // the temporary name is taken by a folder
    transfer_.HentFil(local("prog.exe"));
    EXPECT_EQ(ftpState().FTPFeil, 500);
    EXPECT_EQ(readText(local("prog.exe")), "mine");
    const Lines log = ftpLogMessages();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[4], "FTP: Feil nr. 500, kan ikke laste ned filen " + local("prog.exe") +
                          ". Sjekk at filen ikke er i bruk.");
    EXPECT_EQ(log[5], "FTP: Kobler fra.");
}

TEST_F(FtpTransferTest, AnEmptyRemoteFileNeverReplacesTheTarget) {
    writeText(server_.file("pub/prog.exe"), "");
    writeText(local("prog.exe"), "mine");
    transfer_.HentFil(local("prog.exe"));
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(local("prog.exe")), "mine");
    EXPECT_TRUE(exists(local("prog.tmp")));
    EXPECT_FALSE(exists(local("prog.old")));
    EXPECT_EQ(ftpLogMessages().back(), "FTP: Kobler fra.");
}

TEST_F(FtpTransferTest, ATargetNamedLikeItsTemporaryFileIsNotOverwrittenBeforeTheEnd) {
    writeText(server_.file("pub/liste.tmp"), "new list");
    writeText(local("liste.tmp"), "old list");
    transfer_.HentFil(local("liste.tmp"));
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(local("liste.tmp")), "new list");
    EXPECT_EQ(readText(local("liste.old")), "old list");
    EXPECT_FALSE(exists(local("liste.tmp.tmp")));
}

#ifndef _WIN32 // a link to a folder is a POSIX symbolic link here
TEST_F(FtpTransferTest, AnOldNameThatIsALinkToAFolderIsRemovedWithoutTouchingTheFolder) {
    writeText(server_.file("pub/prog.exe"), "new");
    writeText(local("prog.exe"), "previous");
    ASSERT_TRUE(test::makeFolder(local("kept")));
    writeText(local("kept/inside.txt"), "inside");
    ASSERT_EQ(symlink(local("kept").c_str(), local("prog.old").c_str()), 0);
    transfer_.HentFil(local("prog.exe"));
    EXPECT_EQ(readText(local("prog.exe")), "new");
    EXPECT_EQ(readText(local("prog.old")), "previous");
    EXPECT_EQ(readText(local("kept/inside.txt")), "inside");
    const Lines log = ftpLogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(), "FTP: slettet midlertidig fil: " + local("prog.old")),
              log.end());
}
#endif

// A platform whose rename of the new file into place fails.
class FailingFinalMove : public test::NativePlatform {
public:
    std::string failFrom;
    bool moveFile(const std::string& from, const std::string& to, platform::Error& err) override {
        if (from == failFrom) {
            err = {platform::kErrorSharingViolation, "in use"};
            return false;
        }
        return test::NativePlatform::moveFile(from, to, err);
    }
};

TEST_F(FtpTransferTest, WhenTheNewFileCannotMoveInThePreviousOneGoesBack) {
    FailingFinalMove platform;
    platform.failFrom = local("prog.tmp");
    platform::setPlatform(&platform);
    writeText(server_.file("pub/prog.exe"), "new");
    writeText(local("prog.exe"), "previous");
    transfer_.HentFil(local("prog.exe"));
    platform::setPlatform(nullptr);
    EXPECT_EQ(readText(local("prog.exe")), "previous");
    EXPECT_EQ(readText(local("prog.tmp")), "new");
    EXPECT_FALSE(exists(local("prog.old")));
    const Lines log = ftpLogMessages();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "FTP: endret navn på " + local("prog.exe") + " til " + local("prog.old"));
    EXPECT_EQ(log.back(), "FTP: endret navn på " + local("prog.old") + " til " + local("prog.exe"));
}

TEST_F(FtpTransferTest, TheFirstTransferWritesTheDefaultsAndShowsTheDialog) {
    frame::settingsState().ActiveSettings =
        std::make_unique<frame::IniDocument>(settingsDir_.file("fresh.ini")); // no section at all
    dialog_.onShow = [this] { pointSettingsAtServer(FtpTestServer::kPassword); };
    writeText(server_.file("pub/prog.exe"), "first");
    transfer_.HentFil(local("prog.exe"));
    EXPECT_EQ(dialog_.shown, 1);
    EXPECT_EQ(dialog_.caption, "Oppsett FTP-server");
    EXPECT_EQ(view_.caption, "ftp.solvarek.no"); // the host held before the settings were read
    EXPECT_EQ(test::settingsValue("name"), "Test");
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(local("prog.exe")), "first");
}

TEST_F(FtpTransferTest, WithoutAPortTheStandardPortIsUsed) {
    test::writeFtpSection({"port="});
    transfer_.HentFil(local("prog.exe"));
    EXPECT_EQ(ftpState().FTPPort, 0);
    EXPECT_EQ(transfer_.client().port(), 21);
    EXPECT_EQ(ftpState().FTPFeil, 501); // nothing of ours answers on 127.0.0.1:21
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The detail line before a numbered failure names what really went wrong.
struct FailureCause {
    const char* name;
    bool upload;
    const char* file;     // the local file's name; a download fetches pub/ + this name
    const char* folder;   // FTPMappe
    std::int32_t feil;    // FTPFeil afterwards
    const char* numbered; // the start of the numbered line
    const char* cause;    // what the detail line must hold
};

void PrintTo(const FailureCause& c, std::ostream* os) {
    *os << c.name;
}

class FtpFailureCauseTest : public FtpTransferTest, public ::testing::WithParamInterface<FailureCause> {};

TEST_P(FtpFailureCauseTest, TheDetailLineNamesTheRealCause) {
    const FailureCause& c = GetParam();
    frame::logState().Verbose = true;
    ftpState().FTPMappe = c.folder;
    writeText(server_.file(std::string("pub/") + c.file), programBytes(20));
    writeText(local(c.file), "mine");
    if (c.upload)
        transfer_.SendFil(local(c.file));
    else
        transfer_.HentFil(local(c.file));
    EXPECT_EQ(ftpState().FTPFeil, c.feil);
    EXPECT_EQ(readText(local(c.file)), "mine");
    const Lines log = ftpLogMessages();
    const auto numbered = std::find_if(
        log.begin(), log.end(), [&](const std::string& line) { return line.rfind(c.numbered, 0) == 0; });
    ASSERT_NE(numbered, log.end());
    ASSERT_NE(numbered, log.begin());
    const std::string& detail = *(numbered - 1);
    EXPECT_NE(detail.find(c.cause), std::string::npos) << detail;
    for (const auto& line : log)
        EXPECT_EQ(line.find("inet_ntop"), std::string::npos) << line;
    EXPECT_FALSE(view_.visible);
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpFailureCauseTest,
                         ::testing::Values(FailureCause{"RefusedStore", true, "up.bin", "no-such-folder/",
                                                        503, "FTP: Feil nr. 503", "550 "},
                                           FailureCause{"AbortedDownload", false, "abort-prog.exe", "pub/",
                                                        500, "FTP: Feil nr. 500", "426 "}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(FtpTransferTest, AStalledDownloadEndsWithError500WithinItsTimeoutAndTheWindowKeepsPainting) {
    transfer_.client().setTimeouts(2, 2);
    writeText(server_.file("pub/stall-prog.exe"), programBytes(20));
    writeText(local("stall-prog.exe"), "mine");
    const auto start = std::chrono::steady_clock::now();
    transfer_.HentFil(local("stall-prog.exe"));
    const double seconds = secondsSince(start);
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(ftpState().FTPFeil, 500);
    EXPECT_EQ(readText(local("stall-prog.exe")), "mine");
    EXPECT_FALSE(exists(local("stall-prog.old")));
    EXPECT_GE(view_.processed, static_cast<int>(seconds * 8)) << seconds;
    EXPECT_FALSE(view_.visible);
}

TEST_F(FtpTransferTest, AServerThatAcceptsAndStaysSilentGives501And502WithinItsTimeout) {
    test::SilentServer silent;
    ASSERT_TRUE(silent.ok());
    test::writeFtpSection({"port=" + std::to_string(silent.port())});
    transfer_.client().setTimeouts(2, 2);
    writeText(local("prog.exe"), "mine");
    auto start = std::chrono::steady_clock::now();
    transfer_.HentFil(local("prog.exe"));
    EXPECT_LT(secondsSince(start), 6.5); // connection and answer, 2 s each, and some slack
    EXPECT_EQ(ftpState().FTPFeil, 501);
    EXPECT_EQ(readText(local("prog.exe")), "mine");

    start = std::chrono::steady_clock::now();
    transfer_.SendFil(local("prog.exe"));
    EXPECT_LT(secondsSince(start), 6.5);
    EXPECT_EQ(ftpState().FTPFeil, 502);
    EXPECT_FALSE(view_.visible);
}

TEST_F(FtpTransferTest, CancelDuringADownloadEndsItAtOnceAndKeepsTheTarget) {
    frame::logState().Verbose = true;
    writeText(server_.file("pub/stall-prog.exe"), programBytes(20));
    writeText(local("stall-prog.exe"), "mine");
    int askedWhileLoading = 0;
    view_.onProcess = [&] { return !(view_.state == "Laster ned data" && ++askedWhileLoading > 10); };
    const auto start = std::chrono::steady_clock::now();
    transfer_.HentFil(local("stall-prog.exe"));
    EXPECT_LT(secondsSince(start), static_cast<double>(transfer_.client().responseTimeout()) / 4);
    EXPECT_EQ(ftpState().FTPFeil, 500);
    EXPECT_EQ(readText(local("stall-prog.exe")), "mine");
    EXPECT_FALSE(exists(local("stall-prog.old")));
    EXPECT_FALSE(view_.visible);
    EXPECT_FALSE(transfer_.client().connected());
    const Lines log = ftpLogMessages();
    ASSERT_GE(log.size(), 3u);
    EXPECT_NE(log[log.size() - 3].find("cancelled"), std::string::npos) << log[log.size() - 3];
    EXPECT_EQ(log.back(), "FTP: Kobler fra.");
}

TEST_F(FtpTransferTest, ATransferAskedForDuringATransferIsRefused) {
    writeText(server_.file("pub/prog.exe"), "new");
    writeText(local("other.txt"), "other");
    bool asked = false;
    view_.onProcess = [&] {
        if (!asked) {
            asked = true;
            transfer_.SendFil(local("other.txt"));
        }
        return true;
    };
    transfer_.HentFil(local("prog.exe"));
    EXPECT_TRUE(asked);
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(local("prog.exe")), "new");
    EXPECT_FALSE(exists(server_.file("pub/other.txt")));
    const Lines log = ftpLogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(), "FTP: En overføring pågår allerede, den nye avbrytes."),
              log.end());
}

} // namespace
} // namespace spylerom::ftp
