// The FTP client on libcurl (Linux): one easy handle driven by a multi handle of its own, so that
// every wait returns to the listener about 20 times a second and the logged-in control connection
// stays in the multi handle's cache between the operations.
#pragma once

#include "ftp/ftp_client.h"

#include <memory>

namespace spylerom::ftp {

class CurlFtpClient : public FtpClient {
public:
    CurlFtpClient();
    ~CurlFtpClient() override;

    FtpResult connect() override;
    FtpResult size(const std::string& remote, std::int64_t& size) override;
    FtpResult fetch(const std::string& remote, const std::string& localPath) override;
    FtpResult store(const std::string& localPath, const std::string& remote) override;
    void disconnect() override;

private:
    class Session;

    void afterOperation();

    std::unique_ptr<Session> session_;
};

} // namespace spylerom::ftp
