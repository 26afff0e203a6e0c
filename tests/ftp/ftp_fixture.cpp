// Settings, log and recorders for the FTP suites.
#include "ftp/ftp_fixture.h"

#include "frame/settings.h"
#include "frame/textfil.h"

#include <memory>

namespace spylerom::test {

std::string ftpSectionText() {
    const std::string text = frame::settingsState().ActiveSettings->text();
    const auto start = text.find("[SERVER-SETTING-FTP]");
    if (start == std::string::npos)
        return {};
    const auto body = text.find('\n', start) + 1;
    const auto next = text.find("\n[", body);
    std::string section = text.substr(body, next == std::string::npos ? std::string::npos : next + 1 - body);
    std::string lines;
    for (const char c : section)
        if (c != '\r')
            lines += c;
    while (!lines.empty() && lines.back() == '\n')
        lines.pop_back();
    return lines;
}

std::string settingsValue(const std::string& key) {
    const std::string* value = frame::settingsState().ActiveSettings->find(ftp::kFtpSection, key);
    return value ? *value : "<missing>";
}

void writeFtpSection(const std::vector<std::string>& entries) {
    for (const auto& entry : entries) {
        const auto eq = entry.find('=');
        frame::settingsState().ActiveSettings->set(ftp::kFtpSection, entry.substr(0, eq),
                                                   entry.substr(eq + 1));
    }
}

std::vector<std::string> ftpLogMessages() {
    std::vector<std::string> messages;
    for (const auto& line : frame::logState().LogLines) {
        const auto at = line.find("FTP: ");
        messages.push_back(at == std::string::npos ? line : line.substr(at));
    }
    return messages;
}

SettingsAndLog::SettingsAndLog(const TempDir& folder, const std::string& initialText) {
    ftp::ResetFtpState();
    frame::ResetSettingsState();
    frame::ResetLogState();
    frame::logState().LogEnabled = true;
    const std::string path = folder.file("solvarek.ini");
    writeText(path, initialText);
    frame::settingsState().ActiveSettings = std::make_unique<frame::IniDocument>(path);
}

SettingsAndLog::~SettingsAndLog() {
    ftp::setServerSettingsDialog(nullptr);
    frame::setFrameUi(nullptr);
    frame::ResetSettingsState();
    frame::ResetLogState();
    ftp::ResetFtpState();
}

void RecordingView::showWindow(const std::string& c) {
    visible = true;
    caption = c;
    fileText.clear();
    events.push_back("show " + c);
}

void RecordingView::closeWindow() {
    visible = false;
    events.push_back("close");
}

void RecordingView::setFileText(const std::string& text) {
    fileText = text;
    events.push_back("file " + text);
}

void RecordingView::setProgressMaximum(std::int32_t m) {
    maximum = m;
    events.push_back("max " + std::to_string(m));
}

void RecordingView::setProgressPosition(std::int32_t p) {
    position = p;
    positions.push_back(p);
}

void RecordingView::setStatePanel(const std::string& text) {
    state = text;
    events.push_back("state " + text);
}

} // namespace spylerom::test
