// Shared pieces of the FTP suites: a settings document of the test's own in a temporary folder,
// the log switched on, the FTP values reset, and recorders for the server settings dialog, the
// transfer window and the frame's message box.
#pragma once

#include "frame/frame_ui.h"
#include "ftp/ftp_settings.h"
#include "ftp/ftp_view.h"
#include "support/temp_dir.h"

#include <functional>
#include <string>
#include <vector>

namespace spylerom::test {

// The section of the server settings, as lines "key=value" (empty when it is missing).
std::string ftpSectionText();
std::string settingsValue(const std::string& key); // "<missing>" when the key is absent

// Puts a section "SERVER-SETTING-FTP" into the open settings, each entry given as "key=value".
void writeFtpSection(const std::vector<std::string>& entries);

// Log lines without their date and time: each from its "FTP: ".
std::vector<std::string> ftpLogMessages();

class SettingsAndLog {
public:
    // Opens a settings document "solvarek.ini" in folder; the file holds initialText.
    SettingsAndLog(const TempDir& folder, const std::string& initialText = "");
    ~SettingsAndLog();
    SettingsAndLog(const SettingsAndLog&) = delete;
    SettingsAndLog& operator=(const SettingsAndLog&) = delete;
};

struct RecordingDialog : ftp::ServerSettingsDialog {
    int shown = 0;
    std::string caption, kind;
    std::function<void()> onShow; // stands for what the user types
    void showModal(const std::string& c, const std::string& k) override {
        ++shown;
        caption = c;
        kind = k;
        if (onShow)
            onShow();
    }
};

struct RecordingFrameUi : frame::FrameUi {
    std::vector<std::string> boxes;
    void messageBox(const std::string& caption, const std::string& text) override {
        boxes.push_back(caption + ": " + text);
    }
};

struct RecordingView : ftp::FtpView {
    bool visible = false;
    std::string caption, fileText, bytes = "0", state = "Klar";
    std::int32_t maximum = 100, position = 0;
    std::vector<std::string> events;
    std::vector<std::int32_t> positions;

    void showWindow(const std::string& c) override;
    void closeWindow() override;
    void setFileText(const std::string& text) override;
    void setProgressMaximum(std::int32_t m) override;
    void setProgressPosition(std::int32_t p) override;
    void repaintProgress() override {}
    void setBytesPanel(const std::string& text) override { bytes = text; }
    void setStatePanel(const std::string& text) override;
    void repaintStatusBar() override {}
    void repaintWindow() override {}
    // Counts the calls; onProcess (when set) answers whether to go on, as the user would.
    int processed = 0;
    std::function<bool()> onProcess;
    bool processMessages() override {
        ++processed;
        return onProcess ? onProcess() : true;
    }
};

} // namespace spylerom::test
