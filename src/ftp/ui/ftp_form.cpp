// The transfer window's widgets and its view of the transfer.
#include "ftp/ui/ftp_form.h"

#include "ftp/ui/server_oppsett_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>

namespace spylerom::ftp {

namespace {
TFTPform* g_instance = nullptr;

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

TFTPform::TFTPform(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      transfer_(*this) {
    setObjectName("FTPform");
    setFixedSize(209, 64);
    move(300, 220);

    ftpfil = new QLabel("filnavn.ending", this);
    ftpfil->setObjectName("ftpfil");
    ftpfil->setAlignment(Qt::AlignCenter);
    ftpfil->setGeometry(4, 2, 201, 17);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(4, 22, 201, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 43, 209, 21);
    bytesPanel_ = new QLabel("0", StatusBar1);
    bytesPanel_->setObjectName("StatusBar1Panel1");
    bytesPanel_->setFixedWidth(60);
    bytesPanel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statePanel_ = new QLabel("Klar", StatusBar1);
    statePanel_->setObjectName("StatusBar1Panel2");
    statePanel_->setFixedWidth(50);
    StatusBar1->addWidget(bytesPanel_);
    StatusBar1->addWidget(statePanel_);

    g_instance = this;
    setServerSettingsDialog(this);
}

TFTPform::~TFTPform() {
    setServerSettingsDialog(nullptr);
    if (g_instance == this)
        g_instance = nullptr;
}

TFTPform* TFTPform::instance() {
    return g_instance;
}

void TFTPform::HentFil(const QString& Filnavn) {
    transfer_.HentFil(Filnavn.toStdString());
}

void TFTPform::SendFil(const QString& Filnavn) {
    transfer_.SendFil(Filnavn.toStdString());
}

QString TFTPform::panelText(int index) const {
    return (index == 0 ? bytesPanel_ : statePanel_)->text();
}

void TFTPform::showWindow(const std::string& caption) {
    cancelRequested_ = false;
    setWindowTitle(fromUtf8(caption));
    show();
    ftpfil->clear();
    ftpfil->repaint();
}

void TFTPform::closeWindow() {
    hide();
}

void TFTPform::setFileText(const std::string& text) {
    ftpfil->setText(fromUtf8(text));
    ftpfil->repaint();
}

void TFTPform::setProgressMaximum(std::int32_t maximum) {
    ProgressBar1->setMaximum(std::max(maximum, ProgressBar1->minimum()));
}

void TFTPform::setProgressPosition(std::int32_t position) {
    // A position beyond the maximum (a size the server did not give) fills the bar, no more.
    ProgressBar1->setValue(std::clamp(position, ProgressBar1->minimum(), ProgressBar1->maximum()));
}

void TFTPform::repaintProgress() {
    ProgressBar1->repaint();
}

void TFTPform::setBytesPanel(const std::string& text) {
    bytesPanel_->setText(fromUtf8(text));
}

void TFTPform::setStatePanel(const std::string& text) {
    statePanel_->setText(fromUtf8(text));
}

void TFTPform::repaintStatusBar() {
    StatusBar1->repaint();
    bytesPanel_->repaint();
    statePanel_->repaint();
}

void TFTPform::repaintWindow() {
    repaint();
}

bool TFTPform::processMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !cancelRequested_;
}

void TFTPform::cancelTransfer() {
    if (transfer_.busy())
        cancelRequested_ = true;
}

void TFTPform::closeEvent(QCloseEvent* event) {
    // During a transfer the close box cancels it; the transfer closes the window at its end.
    if (transfer_.busy()) {
        cancelTransfer();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TFTPform::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && transfer_.busy()) {
        cancelTransfer();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFTPform::showModal(const std::string& caption, const std::string& kind) {
    TServerOppsettForm dialog(isVisible() ? this : parentWidget());
    dialog.VisServerOppsett(fromUtf8(caption), fromUtf8(kind));
}

} // namespace spylerom::ftp
