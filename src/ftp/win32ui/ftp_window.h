// TFTPform on Win32: the small transfer window (file name, smooth progress bar, status bar with
// the bytes and the connection state). It shows what FtpTransfer tells it and owns that
// transfer; while a transfer waits it dispatches the thread's messages, so it and the other
// windows keep painting, and its close box or Escape cancels the transfer. It also opens the
// server settings dialog when the settings ask for it. Created once, hidden.
#pragma once

#include "ftp/ftp_settings.h"
#include "ftp/ftp_transfer.h"
#include "ftp/ftp_view.h"

#include <windows.h>

#include <string>

namespace spylerom::ftp {

class FtpWindow : public FtpView, public ServerSettingsDialog {
public:
    explicit FtpWindow(HWND owner = nullptr);
    ~FtpWindow() override;
    FtpWindow(const FtpWindow&) = delete;
    FtpWindow& operator=(const FtpWindow&) = delete;

    bool created() const { return window_ != nullptr; }
    HWND hwnd() const { return window_; }
    HWND ftpfil() const { return label_; }
    HWND progressBar() const { return progress_; }
    HWND statusBar() const { return status_; }
    std::string panelText(int index) const; // status bar panel 0 (bytes) or 1 (state)

    // Fetch to, or send from, a local path; outcome in FTPFeil and the log.
    void HentFil(const std::string& Filnavn) { transfer_.HentFil(Filnavn); }
    void SendFil(const std::string& Filnavn) { transfer_.SendFil(Filnavn); }
    FtpTransfer& transfer() { return transfer_; }

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

    // ServerSettingsDialog: the Win32 TServerOppsettForm, modal over this window.
    void showModal(const std::string& caption, const std::string& kind) override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void cancelTransfer();

    HWND window_ = nullptr;
    HWND label_ = nullptr;
    HWND progress_ = nullptr;
    HWND status_ = nullptr;
    std::int32_t maximum_ = 100;
    bool cancelRequested_ = false;
    FtpTransfer transfer_;
};

} // namespace spylerom::ftp
