// Download and upload with their log lines, numbered failures and the safe replacement.
#include "ftp/ftp_transfer.h"

#include "frame/frame_ui.h"
#include "frame/textfil.h"
#include "ftp/ftp_settings.h"
#include "ftp/transfer_names.h"
#include "platform/platform.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace spylerom::ftp {

using frame::WriteLog;
using platform::sys;

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// A symbolic link (reparse point) that leads to a folder: DeleteFileW cannot remove it, the
// folder removal can, and the folder it leads to stays.
bool isLinkToFolder(const std::string& path) {
    if (!sys().folderExists(path))
        return false;
    std::string folder = platform::folderOf(path);
    if (folder.empty())
        folder = sys().currentFolder();
    std::vector<platform::FolderEntry> entries;
    platform::Error err;
    if (!sys().listFolder(folder, entries, err))
        return false;
    const std::string name = platform::fileNameOf(path);
    return std::any_of(entries.begin(), entries.end(),
                       [&](const platform::FolderEntry& e) { return e.name == name && e.isLink; });
}

// Clears the busy mark however the transfer ends.
class BusyMark {
public:
    explicit BusyMark(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyMark() { busy_ = false; }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;

private:
    bool& busy_;
};

} // namespace

FtpTransfer::FtpTransfer(FtpView& view) : view_(view), client_(makeFtpClient()) {
    client_->setListener(this);
}

// The window's messages are processed while a transfer waits, so a second transfer could be
// asked for from inside the first; it is refused and the first goes on undisturbed.
bool FtpTransfer::refuseNested() {
    if (!busy_)
        return false;
    WriteLog("FTP: En overføring pågår allerede, den nye avbrytes.");
    return true;
}

void FtpTransfer::HentFil(const std::string& Filnavn) {
    if (refuseNested())
        return;
    const BusyMark mark(busy_);
    FtpUnitState& state = ftpState();
    state.FTPFeil = 0;
    view_.showWindow(state.FTPServer);
    const std::string fileName = platform::fileNameOf(Filnavn);
    view_.setFileText(fileName);
    WriteLog("FTP: Starter ny sesjon for nedlasting av " + fileName + " til " + platform::folderOf(Filnavn));
    view_.setProgressPosition(0);
    const std::string remote = remoteNameFor(state.FTPMappe, Filnavn);
    const std::string temporary = temporaryNameFor(Filnavn);
    const std::string old = oldNameFor(Filnavn);

    takeSettings();
    WriteLog("FTP: Kobler til " + client_->host() + " som bruker " + client_->username());
    view_.repaintWindow();
    if (!connectAndQuerySize(remote))
        return; // the remote file is missing: the window stays up for the user to see
    if (client_->connected())
        fetchInto(remote, temporary, Filnavn);
    view_.closeWindow();
    if (state.FTPFeil == 0 && localFileSize(temporary) > 0)
        installDownload(Filnavn, temporary, old);
    state.FTPPassord = client_->password();
}

void FtpTransfer::SendFil(const std::string& Filnavn) {
    if (refuseNested())
        return;
    const BusyMark mark(busy_);
    FtpUnitState& state = ftpState();
    state.FTPFeil = 0;
    view_.showWindow(state.FTPServer);
    view_.setFileText(platform::fileNameOf(Filnavn));
    WriteLog("FTP: Starter ny sesjon for opplasting av " + Filnavn);
    view_.setProgressPosition(0);
    const std::int32_t size = localFileSize(Filnavn);
    if (size < 0) {
        WriteLog("FTP: Kan ikke finne filstørrelse, avbryter.");
        view_.closeWindow();
        return;
    }
    view_.setProgressMaximum(size);

    takeSettings();
    WriteLog("FTP: Kobler til " + client_->host() + " som bruker " + client_->username());
    if (const FtpResult result = client_->connect(); !result.ok()) {
        logDetail(result);
        WriteLog("FTP: Feil nr. 502, kunne ikke koble til");
        state.FTPFeil = 502;
    }
    if (client_->connected())
        storeFile(Filnavn);
    view_.closeWindow();
    state.FTPPassord = client_->password();
    if (state.FTPFeil == 503)
        frame::frameUi().messageBox("FEIL", "Kunne ikke laste opp filen " + Filnavn + " til " +
                                                client_->host() + ".");
}

// Connects, logs in and sizes the remote file. False only when the server has no such file; then
// the session has been ended and logged. Other failures are logged as 501 and leave the caller
// to fetch anyway if the connection survived.
bool FtpTransfer::connectAndQuerySize(const std::string& remote) {
    FtpResult result = client_->connect();
    if (result.ok()) {
        std::int64_t size = -1;
        result = client_->size(remote, size);
        if (result.ok() && size == -1) {
            WriteLog("FTP: finner ikke filen " + remote + ", avbryter forbindelse");
            client_->disconnect();
            WriteLog("FTP: " + client_->host() + " frakoblet");
            return false;
        }
        if (result.ok() && size > kInt32Max)
            result = {FtpStatus::TransferFailed, "the file is too large: " + std::to_string(size) + " bytes"};
        if (result.ok()) {
            view_.setProgressMaximum(static_cast<std::int32_t>(size));
            WriteLog("FTP: filstørrelse " + std::to_string(size));
        }
    }
    if (!result.ok()) {
        logDetail(result);
        WriteLog("FTP: Feil nr. 501, kunne ikke koble til " + client_->host() + " med brukernavn " +
                 client_->username());
        ftpState().FTPFeil = 501;
    }
    return true;
}

void FtpTransfer::fetchInto(const std::string& remote, const std::string& temporary,
                            const std::string& target) {
    WriteLog("FTP: Tilkoblet, henter filen " + remote);
    if (const FtpResult result = client_->fetch(remote, temporary); !result.ok()) {
        logDetail(result);
        WriteLog("FTP: Feil nr. 500, kan ikke laste ned filen " + target +
                 ". Sjekk at filen ikke er i bruk.");
        ftpState().FTPFeil = 500;
    }
    client_->disconnect();
    WriteLog("FTP: Kobler fra.");
}

// The previous file goes to the old name (whatever held that name goes first), then the new one
// takes its place. A rename that fails leaves its log line out; should the new file fail to move
// after the previous one moved, the previous one goes back so the target name is never left empty.
void FtpTransfer::installDownload(const std::string& target, const std::string& temporary,
                                  const std::string& old) {
    platform::Error err;
    bool removed = sys().deleteFile(old, err);
    if (!removed && isLinkToFolder(old))
        removed = sys().removeFolder(old, err);
    if (removed)
        WriteLog("FTP: slettet midlertidig fil: " + old);
    const bool keptPrevious = sys().moveFile(target, old, err);
    if (keptPrevious)
        WriteLog("FTP: endret navn på " + target + " til " + old);
    if (sys().moveFile(temporary, target, err)) {
        WriteLog("FTP: endret navn på " + temporary + " til " + target);
    } else if (keptPrevious && sys().moveFile(old, target, err)) {
        WriteLog("FTP: endret navn på " + old + " til " + target);
    }
}

// Stores the file in FTPMappe, which gains its closing "/" for this and later uploads; an empty
// folder means the log-in folder, so the bare file name is stored.
void FtpTransfer::storeFile(const std::string& localPath) {
    FtpUnitState& state = ftpState();
    if (!state.FTPMappe.empty() && state.FTPMappe.back() != '/')
        state.FTPMappe += '/';
    if (const FtpResult result = client_->store(localPath, state.FTPMappe + platform::fileNameOf(localPath));
        !result.ok()) {
        logDetail(result);
        WriteLog("FTP: Feil nr. 503, kan ikke laste opp filen " + localPath);
        state.FTPFeil = 503;
    }
    client_->disconnect();
    WriteLog("FTP: Kobler fra.");
}

void FtpTransfer::takeSettings() {
    SjekkFTPOppsett();
    const FtpUnitState& state = ftpState();
    client_->setHost(state.FTPServer);
    client_->setUsername(state.FTPBruker);
    client_->setPassword(state.FTPPassord);
    client_->setPort(state.FTPPort);
}

void FtpTransfer::logDetail(const FtpResult& result) {
    if (frame::logState().Verbose && !result.message.empty())
        WriteLog("FTP: " + result.message);
}

void FtpTransfer::ftpConnected() {
    view_.setStatePanel("Tilkoblet");
    view_.repaintStatusBar();
}

void FtpTransfer::ftpDisconnected() {
    view_.setStatePanel("Frakoblet");
    view_.repaintStatusBar();
}

void FtpTransfer::ftpWorkBegin(FtpDirection direction) {
    view_.setStatePanel(direction == FtpDirection::Download ? "Laster ned data" : "Laster opp data");
    view_.repaintStatusBar();
}

bool FtpTransfer::ftpContinue() {
    return view_.processMessages();
}

void FtpTransfer::ftpProgress(std::int64_t bytes) {
    view_.setProgressPosition(static_cast<std::int32_t>(std::clamp<std::int64_t>(bytes, 0, kInt32Max)));
    view_.repaintProgress();
    view_.setBytesPanel(std::to_string(bytes));
    view_.repaintStatusBar();
}

} // namespace spylerom::ftp
