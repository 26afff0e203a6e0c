// TInputForm ("Input:"): a small modal dialog that asks for one line of text, ended only by its
// O&k (Enter) or &Avbryt (Escape) button. What the answer means is the caller's business.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace spylerom::ftp {

class TInputForm : public QDialog {
    Q_OBJECT

public:
    explicit TInputForm(QWidget* parent = nullptr);
    ~TInputForm() override;

    // The one dialog created at start-up (nullptr before and after it lives).
    static TInputForm* instance();

    // Shows the dialog modally with caption, prompt and a proposed answer. True after O&k, with
    // answer holding the text; false after &Avbryt, with answer untouched.
    bool ask(const QString& caption, const QString& prompt, QString& answer);
    QString answer() const;

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

} // namespace spylerom::ftp
