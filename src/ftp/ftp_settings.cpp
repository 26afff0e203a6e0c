// The FTP server settings in memory and in the settings file.
#include "ftp/ftp_settings.h"

#include "frame/settings.h"
#include "ftp/kodtekst.h"

namespace spylerom::ftp {

namespace {
FtpUnitState g_state;
ServerSettingsDialog* g_dialog = nullptr;
} // namespace

std::string serverSettingsSection(std::string_view kind) {
    return "SERVER-SETTING-" + std::string(kind);
}

FtpUnitState& ftpState() {
    return g_state;
}

void ResetFtpState() {
    g_state = FtpUnitState{};
}

void setServerSettingsDialog(ServerSettingsDialog* dialog) {
    g_dialog = dialog;
}

void LesFTPOppsett() {
    frame::SelectSection(kFtpSection);
    g_state.FTPServer = frame::ReadSettingString("server");
    g_state.FTPBruker = frame::ReadSettingString("username");
    g_state.FTPPassord = DekodTekst(frame::ReadSettingString("password"));
    g_state.FTPPort = frame::ReadSettingInteger("port");
    frame::ResetSection();
}

void SkrivFTPStandard() {
    frame::SelectSection(kFtpSection);
    frame::WriteSettingString("name", kDefaultServerName);
    frame::WriteSettingString("server", kMakerFtpHost);
    frame::WriteSettingString("folder", "");
    frame::WriteSettingString("username", kGuestUser);
    frame::WriteSettingString("password", KodTekst(std::string_view(kGuestPassword)));
    frame::WriteSettingInteger("port", kDefaultFtpPort);
    frame::ResetSection();
}

void SjekkFTPOppsett() {
    LesFTPOppsett();
    if (g_state.FTPServer.empty()) {
        SkrivFTPStandard();
        VisServerOppsett("Oppsett FTP-server", kFtpKind);
        LesFTPOppsett();
    }
    if (g_state.FTPBruker.empty())
        g_state.FTPBruker = kGuestUser;
    if (g_state.FTPPassord.empty())
        g_state.FTPPassord = kGuestPassword;
}

void VisServerOppsett(const std::string& caption, const std::string& kind) {
    if (g_dialog)
        g_dialog->showModal(caption, kind);
}

} // namespace spylerom::ftp
