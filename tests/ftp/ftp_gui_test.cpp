// The FTP windows, offscreen: TFTPform during real transfers, TServerOppsettForm as the first
// transfer opens it, and TInputForm's calling convention and keys.
#include "ftp/ui/ftp_form.h"
#include "ftp/ui/input_form.h"
#include "ftp/ui/server_oppsett_form.h"

#include "frame/settings.h"
#include "ftp/ftp_fixture.h"
#include "ftp/ftp_settings.h"
#include "ftp/ftp_test_server.h"
#include "ftp/kodtekst.h"

#include "support/when_modal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace spylerom::ftp {
namespace {

using test::FtpTestServer;
using test::readText;
using test::writeText;

using spylerom::test::whenModal;

template <typename T> T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class FtpFormTest : public ::testing::Test {
protected:
    void SetUp() override { frame::setFrameUi(&frameUi_); }

    test::TempDir settingsDir_;
    test::SettingsAndLog settings_{settingsDir_};
    test::RecordingFrameUi frameUi_;
    TFTPform form_;
};

TEST_F(FtpFormTest, DesignAtStartUp) {
    EXPECT_EQ(TFTPform::instance(), &form_);
    EXPECT_EQ(form_.objectName(), "FTPform");
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(form_.size(), QSize(209, 64));
    EXPECT_TRUE(form_.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form_.windowFlags() & Qt::WindowMaximizeButtonHint);
    auto* label = child<QLabel>(&form_, "ftpfil");
    auto* bar = child<QProgressBar>(&form_, "ProgressBar1");
    auto* status = child<QStatusBar>(&form_, "StatusBar1");
    ASSERT_TRUE(label && bar && status);
    EXPECT_EQ(label->text(), "filnavn.ending");
    EXPECT_EQ(label->width(), 201);
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(bar->width(), 201);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    auto* panel1 = child<QLabel>(status, "StatusBar1Panel1");
    auto* panel2 = child<QLabel>(status, "StatusBar1Panel2");
    ASSERT_TRUE(panel1 && panel2);
    EXPECT_EQ(panel1->text(), "0");
    EXPECT_EQ(panel1->width(), 60);
    EXPECT_TRUE(panel1->alignment() & Qt::AlignRight);
    EXPECT_EQ(panel2->text(), "Klar");
    EXPECT_EQ(panel2->width(), 50);
}

class FtpFormTransferTest : public FtpFormTest {
protected:
    void SetUp() override {
        FtpFormTest::SetUp();
        ASSERT_TRUE(server_.ok()) << server_.error();
        ASSERT_TRUE(test::makeFolder(server_.file("pub")));
        ftpState().FTPMappe = "pub/";
    }

    void pointSettingsAtServer() {
        test::writeFtpSection({"name=Test", "server=127.0.0.1",
                               "username=" + std::string(FtpTestServer::kUser),
                               "password=" + KodTekst(std::string_view(FtpTestServer::kPassword)),
                               "port=" + std::to_string(server_.port())});
    }

    QString local(const char* name) const { return QString::fromStdString(local_.file(name)); }

    FtpTestServer server_;
    test::TempDir local_;
};

TEST_F(FtpFormTransferTest, ADownloadDrivesTheBarAndThePanelsAndClosesTheWindow) {
    pointSettingsAtServer();
    std::string content(150000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    writeText(server_.file("pub/prog.exe"), content);
    form_.show(); // a window left up by an earlier transfer is closed all the same
    form_.HentFil(local("prog.exe"));
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(local_.file("prog.exe")), content);
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(form_.windowTitle(), "ftp.solvarek.no");
    EXPECT_EQ(form_.ftpfil->text(), "prog.exe");
    EXPECT_EQ(form_.ProgressBar1->maximum(), static_cast<int>(content.size()));
    EXPECT_EQ(form_.ProgressBar1->value(), static_cast<int>(content.size()));
    EXPECT_EQ(form_.panelText(0), QString::number(content.size()));
    EXPECT_EQ(form_.panelText(1), "Frakoblet");

    form_.HentFil(local("prog.exe")); // the second one shows the server loaded by the first
    EXPECT_EQ(form_.windowTitle(), "127.0.0.1");
}

TEST_F(FtpFormTransferTest, AMissingRemoteFileLeavesTheWindowUp) {
    pointSettingsAtServer();
    form_.HentFil(local("mangler.exe"));
    EXPECT_TRUE(form_.isVisible());
    EXPECT_EQ(form_.ftpfil->text(), "mangler.exe");
    EXPECT_EQ(form_.panelText(1), "Frakoblet");
    form_.close();
    EXPECT_FALSE(form_.isVisible());
}

TEST_F(FtpFormTransferTest, AnUploadFillsTheBarToTheFileSize) {
    pointSettingsAtServer();
    const std::string content(70000, 'x');
    writeText(local_.file("up.bin"), content);
    form_.SendFil(local("up.bin"));
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(server_.file("pub/up.bin")), content);
    EXPECT_EQ(form_.ProgressBar1->maximum(), 70000);
    EXPECT_EQ(form_.ProgressBar1->value(), 70000);
    EXPECT_EQ(form_.panelText(0), "70000");
    EXPECT_FALSE(form_.isVisible());
}

// The window of a transfer that waits on a silent data connection still paints, and the user
// ends the transfer with its close box or Escape: error 500, the local file untouched.
class FtpFormCancelTest : public FtpFormTransferTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FtpFormCancelTest, TheCloseBoxOrEscapeCancelsAWaitingDownload) {
    const bool escape = GetParam();
    pointSettingsAtServer();
    writeText(server_.file("pub/stall-prog.exe"), std::string(5000, 'n'));
    writeText(local_.file("stall-prog.exe"), "mine");
    int paints = 0;
    struct PaintCounter : QObject {
        int& count;
        explicit PaintCounter(int& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                ++count;
            return false;
        }
    } counter(paints);
    form_.ProgressBar1->installEventFilter(&counter);
    bool repainted = false;
    QTimer::singleShot(300, [&] {
        paints = 0;
        form_.ProgressBar1->update(); // as an uncovered window asks for
    });
    QTimer::singleShot(700, [&] {
        repainted = paints > 0;
        if (escape)
            QTest::keyClick(&form_, Qt::Key_Escape);
        else
            form_.close();
    });
    QElapsedTimer clock;
    clock.start();
    form_.HentFil(local("stall-prog.exe"));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(repainted);
    EXPECT_EQ(ftpState().FTPFeil, 500);
    EXPECT_EQ(readText(local_.file("stall-prog.exe")), "mine");
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(form_.panelText(1), "Frakoblet");
}

INSTANTIATE_TEST_SUITE_P(Ways, FtpFormCancelTest, ::testing::Values(false, true),
                         [](const auto& p) { return std::string(p.param ? "Escape" : "CloseBox"); });

TEST_F(FtpFormTransferTest, TheFirstTransferOpensTheServerDialogWithTheDefaults) {
    QString seen;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TServerOppsettForm*>(modal);
        ASSERT_NE(dialog, nullptr);
        seen = dialog->windowTitle() + "|" + dialog->navn->text() + "|" + dialog->server->text() + "|" +
               dialog->mappe->text() + "|" + dialog->brukernavn->text() + "|" + dialog->passord->text() +
               "|" + dialog->port->text();
        EXPECT_EQ(dialog->passord->echoMode(), QLineEdit::Password);
        EXPECT_EQ(dialog->focusWidget(), dialog->navn);
        EXPECT_EQ(dialog->size(), QSize(449, 283));
        dialog->server->setText("127.0.0.1");
        dialog->brukernavn->setText(FtpTestServer::kUser);
        dialog->passord->setText(QString::fromUtf8(FtpTestServer::kPassword));
        dialog->port->setText(QString::number(server_.port()));
        dialog->close();
    });
    writeText(server_.file("pub/prog.exe"), "first");
    form_.HentFil(local("prog.exe"));
    EXPECT_EQ(seen, "Oppsett FTP-server|Solvarek FTP-server|ftp.solvarek.no||anonymous|guestpass|21");
    EXPECT_EQ(test::settingsValue("password"), KodTekst(std::string_view(FtpTestServer::kPassword)));
    EXPECT_EQ(test::settingsValue("port"), std::to_string(server_.port()));
    EXPECT_EQ(test::settingsValue("name"), "Solvarek FTP-server");
    EXPECT_EQ(ftpState().FTPFeil, 0);
    EXPECT_EQ(readText(local_.file("prog.exe")), "first");
}

class ServerOppsettFormTest : public FtpFormTest {};

TEST_F(ServerOppsettFormTest, DoubleClickSwitchesThePasswordBetweenMaskedAndPlain) {
    TServerOppsettForm dialog;
    dialog.show();
    EXPECT_EQ(dialog.passord->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.passord->toolTip(), "Dobbelklikk for å skjule/vise passord i klartekst");
    QTest::mouseDClick(dialog.passord, Qt::LeftButton);
    EXPECT_EQ(dialog.passord->echoMode(), QLineEdit::Normal);
    QTest::mouseDClick(dialog.passord, Qt::LeftButton);
    EXPECT_EQ(dialog.passord->echoMode(), QLineEdit::Password);
    dialog.close();
}

TEST_F(ServerOppsettFormTest, ClosingStoresTheEntriesAndShowingLoadsThem) {
    test::writeFtpSection({"name=Lager", "server=a.example.no", "folder=inn/", "username=kari",
                           "password=" + KodTekst(std::string_view("blåbær")), "port=2121", "ssl=1"});
    TServerOppsettForm dialog;
    dialog.setKind("FTP");
    dialog.show();
    EXPECT_EQ(dialog.navn->text(), "Lager");
    EXPECT_EQ(dialog.mappe->text(), "inn/");
    EXPECT_EQ(dialog.passord->text(), "blåbær");
    EXPECT_EQ(dialog.port->text(), "2121");
    EXPECT_TRUE(dialog.SSLL->isChecked());
    dialog.server->setText("b.example.no");
    dialog.passord->setText("nytt ø");
    dialog.SSLL->setChecked(false);
    QTest::keyClick(&dialog, Qt::Key_Escape); // Escape closes and stores, like the close box
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(test::settingsValue("server"), "b.example.no");
    EXPECT_EQ(test::settingsValue("password"), KodTekst(std::string_view("nytt ø")));
    EXPECT_EQ(test::settingsValue("username"), "kari");
    EXPECT_EQ(frame::settingsState().CurrentSection, "STANDARD");
    LesFTPOppsett();
    EXPECT_EQ(ftpState().FTPPassord, "nytt ø");
}

TEST_F(ServerOppsettFormTest, APasswordTheFileCannotHoldKeepsTheDialogOpen) {
    test::writeFtpSection({"server=a.example.no", "password=" + KodTekst(std::string_view("gammelt"))});
    TServerOppsettForm dialog;
    dialog.show();
    dialog.passord->setText(QString::fromUtf8("\xf0\x9f\x8f\xbf")); // its scrambled form breaks a pair
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(frameUi_.boxes.size(), 1u);
    EXPECT_EQ(frameUi_.boxes[0].rfind("FEIL: ", 0), 0u);
    EXPECT_EQ(test::settingsValue("password"), KodTekst(std::string_view("gammelt")));
    dialog.passord->setText("godt");
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(test::settingsValue("password"), KodTekst(std::string_view("godt")));
}

class InputFormTest : public ::testing::Test {
protected:
    TInputForm form_;
};

TEST_F(InputFormTest, Design) {
    EXPECT_EQ(TInputForm::instance(), &form_);
    EXPECT_EQ(form_.objectName(), "InputForm");
    EXPECT_EQ(form_.windowTitle(), "Input:");
    EXPECT_EQ(form_.size(), QSize(396, 113));
    EXPECT_FALSE(form_.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form_.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(form_.Label1->text(), "Label");
    EXPECT_EQ(form_.Edit1->text(), "");
    EXPECT_EQ(form_.Edit1->width(), 337);
    EXPECT_EQ(form_.BitBtn1->text(), "O&k");
    EXPECT_TRUE(form_.BitBtn1->isDefault());
    EXPECT_EQ(form_.BitBtn2->text(), "&Avbryt");
    EXPECT_FALSE(form_.BitBtn2->isDefault());
}

TEST_F(InputFormTest, EnterInTheTextBoxAnswersOk) {
    QString shown;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TInputForm*>(modal);
        ASSERT_EQ(dialog, &form_);
        shown = dialog->windowTitle() + "|" + dialog->Label1->text() + "|" + dialog->Edit1->text();
        EXPECT_EQ(dialog->focusWidget(), dialog->Edit1);
        QTest::keyClicks(dialog->Edit1, "nytt navn");
        QTest::keyClick(dialog->Edit1, Qt::Key_Return);
    });
    QString answer = "forslag";
    EXPECT_TRUE(form_.ask("Gi navn", "Navn på fila:", answer));
    EXPECT_EQ(shown, "Gi navn|Navn på fila:|forslag");
    EXPECT_EQ(answer, "nytt navn"); // the proposal was selected, so typing replaced it
    EXPECT_EQ(form_.result(), QDialog::Accepted);
}

TEST_F(InputFormTest, EscapeAnswersCancelAndLeavesTheAnswerAlone) {
    whenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<TInputForm*>(modal);
        ASSERT_NE(dialog, nullptr);
        QTest::keyClicks(dialog->Edit1, "noe annet");
        QTest::keyClick(dialog->Edit1, Qt::Key_Escape);
    });
    QString answer = "forslag";
    EXPECT_FALSE(form_.ask("Gi navn", "Navn:", answer));
    EXPECT_EQ(answer, "forslag");
    EXPECT_EQ(form_.result(), QDialog::Rejected);
}

TEST_F(InputFormTest, TheButtonsEndTheDialogWithTheirResults) {
    whenModal(
        [](QWidget* modal) { QTest::mouseClick(static_cast<TInputForm*>(modal)->BitBtn2, Qt::LeftButton); });
    EXPECT_EQ(form_.exec(), QDialog::Rejected);
    whenModal(
        [](QWidget* modal) { QTest::mouseClick(static_cast<TInputForm*>(modal)->BitBtn1, Qt::LeftButton); });
    EXPECT_EQ(form_.exec(), QDialog::Accepted);
}

} // namespace
} // namespace spylerom::ftp
