// The FTP client on WinINet (Windows). Every blocking WinINet call runs on a worker thread of its
// own while the calling thread waits, hands the data between the file and the worker, reports
// progress and asks the listener whether to go on; a cancel or a stall closes the WinINet handles
// and leaves a worker that cannot stop at once to end by itself, touching nothing of the caller.
#pragma once

#include "ftp/ftp_client.h"

#include <iosfwd>
#include <map>
#include <memory>

namespace spylerom::ftp {

class WinInetFtpClient : public FtpClient {
public:
    WinInetFtpClient();
    ~WinInetFtpClient() override;

    FtpResult connect() override;
    FtpResult size(const std::string& remote, std::int64_t& size) override;
    FtpResult fetch(const std::string& remote, const std::string& localPath) override;
    FtpResult store(const std::string& localPath, const std::string& remote) override;
    void disconnect() override;

    struct Job; // what the caller and one worker share

private:
    enum class Phase { Connect, Command, Fetch, Store };

    // A job that keeps the internet handle open while its worker runs.
    std::shared_ptr<Job> newJob() const;
    // Waits for job's worker as the header says (data, progress, listener); limitSeconds is the
    // longest time without progress. sink receives a fetch's data, source gives a store's.
    FtpResult wait(const std::shared_ptr<Job>& job, Phase phase, long limitSeconds, std::ostream* sink,
                   std::istream* source);
    void abandon(const std::shared_ptr<Job>& job);
    void closeSession();
    // The size the server gave for remote in this session; -1 when none.
    std::int64_t sizeOf(const std::string& remote) const;

    std::shared_ptr<void> internet_; // HINTERNET of InternetOpenW, shared with every job
    void* session_ = nullptr;        // HINTERNET of the logged-in FTP connection
    std::map<std::string, std::int64_t> sizes_;
};

} // namespace spylerom::ftp
