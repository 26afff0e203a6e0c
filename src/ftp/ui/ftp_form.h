// TFTPform: the small transfer window (file name, progress bar, status bar with bytes and
// connection state). It shows what FtpTransfer tells it and owns that transfer; it also opens the
// server settings dialog when the settings ask for it. While a transfer waits the window goes on
// painting, and its close box or Escape cancels the transfer. Created once at program start, hidden.
#pragma once

#include "ftp/ftp_settings.h"
#include "ftp/ftp_transfer.h"
#include "ftp/ftp_view.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace spylerom::ftp {

class TFTPform : public QWidget, public FtpView, public ServerSettingsDialog {
    Q_OBJECT

public:
    explicit TFTPform(QWidget* parent = nullptr);
    ~TFTPform() override;

    // The one window created at start-up (nullptr before and after it lives).
    static TFTPform* instance();

    // Fetch to, or send from, a local path; outcome in FTPFeil and the log.
    void HentFil(const QString& Filnavn);
    void SendFil(const QString& Filnavn);

    FtpTransfer& transfer() { return transfer_; }
    QString panelText(int index) const; // status bar panel 0 (bytes) or 1 (state)

    QLabel* ftpfil = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    // FtpView
    void showWindow(const std::string& caption) override;
    void closeWindow() override;
    void setFileText(const std::string& text) override;
    void setProgressMaximum(std::int32_t maximum) override;
    void setProgressPosition(std::int32_t position) override;
    void repaintProgress() override;
    void setBytesPanel(const std::string& text) override;
    void setStatePanel(const std::string& text) override;
    void repaintStatusBar() override;
    void repaintWindow() override;
    bool processMessages() override;

    // ServerSettingsDialog: TServerOppsettForm, modal over this window.
    void showModal(const std::string& caption, const std::string& kind) override;

    // The user's way to cancel a running transfer (the close box and Escape do the same).
    void cancelTransfer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* bytesPanel_ = nullptr;
    QLabel* statePanel_ = nullptr;
    FtpTransfer transfer_;
    bool cancelRequested_ = false;
};

} // namespace spylerom::ftp
