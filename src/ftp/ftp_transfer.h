// The transfer window's work: HentFil fetches one file from the configured FTP server and puts it
// in place safely (temporary file, previous file kept under the old name); SendFil stores one
// local file on the server. Both show and close the window through FtpView, log every step and
// leave their result in FTPFeil. While the client waits the window keeps painting and the user
// may cancel (a failure like any other). Which file to move, and when, is the caller's business.
#pragma once

#include "ftp/ftp_client.h"
#include "ftp/ftp_view.h"

#include <memory>
#include <string>

namespace spylerom::ftp {

class FtpTransfer : private FtpClientListener {
public:
    explicit FtpTransfer(FtpView& view);
    FtpTransfer(const FtpTransfer&) = delete;
    FtpTransfer& operator=(const FtpTransfer&) = delete;

    // Downloads the remote file named like Filnavn's file-name part (inside FTPMappe) to Filnavn.
    void HentFil(const std::string& Filnavn);
    // Uploads Filnavn into FTPMappe on the server under its file-name part.
    void SendFil(const std::string& Filnavn);

    FtpClient& client() { return *client_; }
    bool busy() const { return busy_; }

private:
    bool connectAndQuerySize(const std::string& remote);
    void fetchInto(const std::string& remote, const std::string& temporary, const std::string& target);
    void installDownload(const std::string& target, const std::string& temporary, const std::string& old);
    void storeFile(const std::string& localPath);
    void takeSettings();
    void logDetail(const FtpResult& result);

    void ftpConnected() override;
    void ftpDisconnected() override;
    void ftpWorkBegin(FtpDirection direction) override;
    void ftpProgress(std::int64_t bytes) override;
    bool ftpContinue() override;

    bool refuseNested();

    FtpView& view_;
    std::unique_ptr<FtpClient> client_;
    bool busy_ = false;
};

} // namespace spylerom::ftp
