// The one-line input dialog.
#include "ftp/ui/input_form.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace spylerom::ftp {

namespace {
TInputForm* g_instance = nullptr;
}

TInputForm::TInputForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("InputForm");
    setWindowTitle("Input:");
    setFixedSize(396, 113);
    setModal(true);

    Label1 = new QLabel("Label", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(29, 10, 337, 16);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(29, 28, 337, 21);
    Label1->setBuddy(Edit1);

    BitBtn1 = new QPushButton("O&k", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(112, 72, 80, 27);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton("&Avbryt", this);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setGeometry(204, 72, 80, 27);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject); // Escape rejects as well

    g_instance = this;
}

TInputForm::~TInputForm() {
    if (g_instance == this)
        g_instance = nullptr;
}

TInputForm* TInputForm::instance() {
    return g_instance;
}

bool TInputForm::ask(const QString& caption, const QString& prompt, QString& answer) {
    setWindowTitle(caption);
    Label1->setText(prompt);
    Edit1->setText(answer);
    Edit1->selectAll();
    if (exec() != QDialog::Accepted)
        return false;
    answer = Edit1->text();
    return true;
}

QString TInputForm::answer() const {
    return Edit1->text();
}

void TInputForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Edit1->setFocus();
}

// No close box: the window system's own close request is refused, the buttons are the ways out.
void TInputForm::closeEvent(QCloseEvent* event) {
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

} // namespace spylerom::ftp
