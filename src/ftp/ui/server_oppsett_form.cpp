// The server settings dialog: layout, filling from and storing to the settings section.
#include "ftp/ui/server_oppsett_form.h"

#include "frame/frame_ui.h"
#include "frame/settings.h"
#include "ftp/ftp_settings.h"
#include "ftp/kodtekst.h"

#include <QCheckBox>
#include <QEvent>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

namespace spylerom::ftp {

TServerOppsettForm::TServerOppsettForm(QWidget* parent) : QDialog(parent) {
    setObjectName("ServerOppsettForm");
    setWindowTitle("Oppsett på server");
    setFixedSize(449, 283);
    setModal(true);

    navn = addBox("navn", "Navn:", 16, 12, 329);
    server = addBox("server", "Server:", 16, 60, 329);
    mappe = addBox("mappe", "Mappe:", 16, 108, 329);
    brukernavn = addBox("brukernavn", "Brukernavn:", 16, 156, 97);
    passord = addBox("passord", "Passord:", 128, 156, 97);
    port = addBox("port", "Port:", 240, 156, 57);

    passord->setEchoMode(QLineEdit::Password);
    passord->setToolTip("Dobbelklikk for å skjule/vise passord i klartekst");
    passord->installEventFilter(this);
    port->setValidator(new QIntValidator(0, 65535, port));

    SSLL = new QCheckBox("SSL", this);
    SSLL->setObjectName("SSLL");
    SSLL->setGeometry(308, 174, 60, 21);

    setTabOrder(navn, server);
    setTabOrder(server, mappe);
    setTabOrder(mappe, brukernavn);
    setTabOrder(brukernavn, passord);
    setTabOrder(passord, port);
    setTabOrder(port, SSLL);
}

QLineEdit* TServerOppsettForm::addBox(const char* name, const QString& label, int x, int y, int width) {
    auto* caption = new QLabel(label, this);
    caption->setGeometry(x, y, width, 16);
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    box->setGeometry(x, y + 16, width, 21);
    caption->setBuddy(box);
    return box;
}

void TServerOppsettForm::VisServerOppsett(const QString& caption, const QString& kind) {
    setWindowTitle(caption);
    kind_ = kind;
    exec();
}

void TServerOppsettForm::showEvent(QShowEvent* event) {
    load();
    QDialog::showEvent(event);
    navn->setFocus();
}

bool TServerOppsettForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == passord && event->type() == QEvent::MouseButtonDblClick) {
        passord->setEchoMode(passord->echoMode() == QLineEdit::Password ? QLineEdit::Normal
                                                                        : QLineEdit::Password);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// Every way out (close box, Escape) ends here; the entries are stored first. A password that a
// settings line could not give back unchanged keeps the dialog open instead of being lost.
void TServerOppsettForm::done(int result) {
    if (!store())
        return;
    QDialog::done(result);
}

void TServerOppsettForm::load() {
    frame::SelectSection(serverSettingsSection(kind_.toStdString()));
    navn->setText(QString::fromStdString(frame::ReadSettingString("name")));
    server->setText(QString::fromStdString(frame::ReadSettingString("server")));
    mappe->setText(QString::fromStdString(frame::ReadSettingString("folder")));
    brukernavn->setText(QString::fromStdString(frame::ReadSettingString("username")));
    passord->setText(QString::fromStdString(DekodTekst(frame::ReadSettingString("password"))));
    port->setText(QString::number(frame::ReadSettingInteger("port")));
    SSLL->setChecked(frame::ReadSettingBool("ssl"));
    frame::ResetSection();
    passord->setEchoMode(QLineEdit::Password);
}

bool TServerOppsettForm::store() {
    const std::string password = passord->text().toStdString();
    if (!scrambledFormStorable(password)) {
        frame::frameUi().messageBox("FEIL", "Passordet inneholder tegn som ikke kan lagres i innstillingene. "
                                            "Endre passordet før du lukker vinduet.");
        passord->setFocus();
        return false;
    }
    frame::SelectSection(serverSettingsSection(kind_.toStdString()));
    frame::WriteSettingString("name", navn->text().trimmed().toStdString());
    frame::WriteSettingString("server", server->text().trimmed().toStdString());
    frame::WriteSettingString("folder", mappe->text().trimmed().toStdString());
    frame::WriteSettingString("username", brukernavn->text().trimmed().toStdString());
    frame::WriteSettingString("password", KodTekst(std::string_view(password)));
    frame::WriteSettingInteger("port", port->text().toInt());
    frame::WriteSettingBool("ssl", SSLL->isChecked());
    frame::ResetSection();
    return true;
}

} // namespace spylerom::ftp
