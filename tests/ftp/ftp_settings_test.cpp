// The FTP server settings: first-transfer defaults, loading, fallbacks and the dialog call.
#include "ftp/ftp_settings.h"

#include "frame/settings.h"
#include "ftp/ftp_fixture.h"
#include "ftp/kodtekst.h"

#include <gtest/gtest.h>

namespace spylerom::ftp {
namespace {

using test::ftpSectionText;
using test::RecordingDialog;
using test::settingsValue;
using test::writeFtpSection;

class FtpSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { setServerSettingsDialog(&dialog_); }

    test::TempDir dir_;
    test::SettingsAndLog settings_{dir_};
    RecordingDialog dialog_;
};

TEST_F(FtpSettingsTest, InitialValuesBeforeAnyLoad) {
    const FtpUnitState& s = ftpState();
    EXPECT_EQ(s.FTPServer, "ftp.solvarek.no");
    EXPECT_EQ(s.FTPMappe, "");
    EXPECT_EQ(s.FTPBruker, "anonymous");
    EXPECT_EQ(s.FTPPassord, "guestpass");
    EXPECT_EQ(s.FTPPort, 21);
    EXPECT_EQ(s.FTPFeil, 0);
}

TEST_F(FtpSettingsTest, NoSectionWritesTheSixDefaultsShowsTheDialogOnceAndLoadsThem) {
    ftpState().FTPServer = "somewhere.else";
    SjekkFTPOppsett();
    EXPECT_EQ(dialog_.shown, 1);
    EXPECT_EQ(dialog_.caption, "Oppsett FTP-server");
    EXPECT_EQ(dialog_.kind, "FTP");
    EXPECT_EQ(ftpSectionText(), "name=Solvarek FTP-server\n"
                                "server=ftp.solvarek.no\n"
                                "folder=\n"
                                "username=anonymous\n"
                                "password=zhwhwyvh{|2\n"
                                "port=21");
    const FtpUnitState& s = ftpState();
    EXPECT_EQ(s.FTPServer, "ftp.solvarek.no");
    EXPECT_EQ(s.FTPBruker, "anonymous");
    EXPECT_EQ(s.FTPPassord, "guestpass");
    EXPECT_EQ(s.FTPPort, 21);
    EXPECT_EQ(frame::settingsState().CurrentSection, "STANDARD");

    SjekkFTPOppsett(); // a server is stored now: only a load
    EXPECT_EQ(dialog_.shown, 1);
}

TEST_F(FtpSettingsTest, WhatTheUserEntersInTheDialogIsLoaded) {
    dialog_.onShow = [] {
        writeFtpSection({"server=files.example.no", "username=ola",
                         "password=" + KodTekst(std::string_view("hemmelig")), "port=2121"});
    };
    SjekkFTPOppsett();
    const FtpUnitState& s = ftpState();
    EXPECT_EQ(s.FTPServer, "files.example.no");
    EXPECT_EQ(s.FTPBruker, "ola");
    EXPECT_EQ(s.FTPPassord, "hemmelig");
    EXPECT_EQ(s.FTPPort, 2121);
}

TEST_F(FtpSettingsTest, ServerWithoutUserAndPasswordFallsBackInMemoryOnly) {
    writeFtpSection({"server=files.example.no"});
    const std::string before = frame::settingsState().ActiveSettings->text();
    SjekkFTPOppsett();
    EXPECT_EQ(dialog_.shown, 0);
    const FtpUnitState& s = ftpState();
    EXPECT_EQ(s.FTPServer, "files.example.no");
    EXPECT_EQ(s.FTPBruker, "anonymous");
    EXPECT_EQ(s.FTPPassord, "guestpass");
    EXPECT_EQ(s.FTPPort, 0); // no "port" key
    EXPECT_EQ(frame::settingsState().ActiveSettings->text(), before);
}

TEST_F(FtpSettingsTest, LoadTakesServerUserPasswordAndPortButNeverTheFolder) {
    writeFtpSection({"name=Mitt", "server=h", "folder=annen/", "username=u", "password=zbdf2", "port=990"});
    ftpState().FTPMappe = "pub/";
    LesFTPOppsett();
    const FtpUnitState& s = ftpState();
    EXPECT_EQ(s.FTPServer, "h");
    EXPECT_EQ(s.FTPBruker, "u");
    EXPECT_EQ(s.FTPPassord, "abc");
    EXPECT_EQ(s.FTPPort, 990);
    EXPECT_EQ(s.FTPMappe, "pub/");
}

TEST_F(FtpSettingsTest, AnEmptiedServerBringsTheDefaultsAndTheDialogBackNextTime) {
    dialog_.onShow = [this] {
        if (dialog_.shown == 1)
            writeFtpSection({"server=", "username=ola"});
    };
    SjekkFTPOppsett();
    EXPECT_EQ(ftpState().FTPServer, ""); // the transfer then fails to connect
    EXPECT_EQ(ftpState().FTPBruker, "ola");

    SjekkFTPOppsett();
    EXPECT_EQ(dialog_.shown, 2);
    EXPECT_EQ(settingsValue("username"), "anonymous"); // the defaults overwrote the user's entry
    EXPECT_EQ(ftpState().FTPServer, "ftp.solvarek.no");
}

TEST_F(FtpSettingsTest, WithoutADialogTheDefaultsAreStillWrittenAndLoaded) {
    setServerSettingsDialog(nullptr);
    SjekkFTPOppsett();
    EXPECT_EQ(settingsValue("server"), "ftp.solvarek.no");
    EXPECT_EQ(ftpState().FTPServer, "ftp.solvarek.no");
    EXPECT_EQ(ftpState().FTPPort, 21);
}

} // namespace
} // namespace spylerom::ftp
