// The transfer window as the transfer logic sees it: shown and closed, its file name text, the
// progress bar and the two status panels, each repainted at once on request, and the user's wish
// to cancel while a transfer waits. TFTPform implements it with widgets, tests with a recorder;
// the view only shows what it is given.
#pragma once

#include <cstdint>
#include <string>

namespace spylerom::ftp {

class FtpView {
public:
    virtual ~FtpView() = default;

    // Shows the window with caption; the file name text is emptied and repainted.
    virtual void showWindow(const std::string& caption) = 0;
    virtual void closeWindow() = 0;                        // hides it
    virtual void setFileText(const std::string& text) = 0; // ftpfil, repainted at once
    virtual void setProgressMaximum(std::int32_t maximum) = 0;
    virtual void setProgressPosition(std::int32_t position) = 0;
    virtual void repaintProgress() = 0;
    virtual void setBytesPanel(const std::string& text) = 0; // status panel 1
    virtual void setStatePanel(const std::string& text) = 0; // status panel 2
    virtual void repaintStatusBar() = 0;
    virtual void repaintWindow() = 0;
    // Called again and again while a transfer waits for the server or the data: the window
    // paints and takes the user's input. False when the user asked to cancel the transfer.
    virtual bool processMessages() = 0;
};

} // namespace spylerom::ftp
