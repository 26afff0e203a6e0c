// The FTP server settings: the process-wide values the transfer window uses (FTPServer, FTPMappe,
// FTPBruker, FTPPassord, FTPPort, FTPFeil) and their section "SERVER-SETTING-FTP" in the settings
// file. The file itself belongs to the frame's settings store; the dialog that edits the section
// is reached through ServerSettingsDialog, which the window program implements.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace spylerom::ftp {

inline constexpr const char* kMakerFtpHost = "ftp.solvarek.no"; // the maker's download server
inline constexpr const char* kGuestUser = "anonymous";          // the guest log-in of RFC 1635
inline constexpr const char* kGuestPassword = "guestpass";
inline constexpr const char* kDefaultServerName = "Solvarek FTP-server";
inline constexpr std::int32_t kDefaultFtpPort = 21;

inline constexpr const char* kFtpKind = "FTP";
inline constexpr const char* kFtpSection = "SERVER-SETTING-FTP";

// The section a server kind's settings live in ("FTP" -> "SERVER-SETTING-FTP").
std::string serverSettingsSection(std::string_view kind);

// One set per process, shared by the settings and the transfer window.
struct FtpUnitState {
    std::string FTPServer = kMakerFtpHost;
    std::string FTPMappe; // remote folder; never loaded from the settings
    std::string FTPBruker = kGuestUser;
    std::string FTPPassord = kGuestPassword; // plain
    std::int32_t FTPPort = kDefaultFtpPort;
    // Result of the last transfer: 0 none recorded, 500 download failed, 501 connection, log-in
    // or size step of a download failed, 502 connection or log-in of an upload failed, 503 the
    // store of an upload failed.
    std::int32_t FTPFeil = 0;
};

FtpUnitState& ftpState();
// Back to the initial values (tests).
void ResetFtpState();

// The server settings dialog: modal, given a caption and a server kind; it must have stored the
// user's entries in serverSettingsSection(kind) (the password through KodTekst) when it returns.
class ServerSettingsDialog {
public:
    virtual ~ServerSettingsDialog() = default;
    virtual void showModal(const std::string& caption, const std::string& kind) = 0;
};

// nullptr (the default) leaves VisServerOppsett without a dialog: the section stays as it is.
void setServerSettingsDialog(ServerSettingsDialog* dialog);

// Loads server, user name, password (unscrambled) and port from the section; missing keys give
// the empty text and 0.
void LesFTPOppsett();
// Writes the six defaults into the section (in memory, until the store's next flush).
void SkrivFTPStandard();
// Loads; when no server is stored, writes the defaults, shows the dialog and loads again; then an
// empty user name or password falls back to the guest log-in in memory only.
void SjekkFTPOppsett();
// Shows the server settings dialog modally and returns when the user closed it.
void VisServerOppsett(const std::string& caption, const std::string& kind);

} // namespace spylerom::ftp
