// TServerOppsettForm: the modal dialog that edits one server's settings (name, host, folder, user
// name, password, port, SSL) in the section of its kind ("FTP" -> "SERVER-SETTING-FTP"). It fills
// its boxes from the section when shown and stores them there when closed, the password through
// KodTekst; writing the file is the settings store's business.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace spylerom::ftp {

class TServerOppsettForm : public QDialog {
    Q_OBJECT

public:
    explicit TServerOppsettForm(QWidget* parent = nullptr);

    // Sets the caption and the server kind, shows the dialog modally and returns once the user
    // closed it (with the close box or Escape).
    void VisServerOppsett(const QString& caption, const QString& kind);
    void setKind(const QString& kind) { kind_ = kind; }

    QLineEdit* navn = nullptr;
    QLineEdit* server = nullptr;
    QLineEdit* mappe = nullptr;
    QLineEdit* brukernavn = nullptr;
    QLineEdit* passord = nullptr;
    QLineEdit* port = nullptr;
    QCheckBox* SSLL = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* addBox(const char* name, const QString& label, int x, int y, int width);
    void load();
    bool store();

    QString kind_ = "FTP";
};

} // namespace spylerom::ftp
