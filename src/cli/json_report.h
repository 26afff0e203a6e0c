// spylerom-cli --json: the run as JSON objects, one a line, on standard output, for scripts that
// should not parse Norwegian text. Every object has "event" and "drive"; the field names are
// stable and documented in spylerom-cli(1):
//   start    mount_point, file_system, free_bytes, total_bytes, passes, pattern, block_size
//   progress pass, passes, pass_percent, total_percent, bytes_written, rate_bytes_per_second,
//            seconds_left (null until there is a rate)
//   error    pass, code (the system's error code, null when the line has none), message
//   end      state ("completed", "failed", "stopped"), exit_status, signal (null when none),
//            pass (the last one begun), errors, bytes_written (the whole run)
#pragma once

#include "console_output.h"
#include "fill/fill_engine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace spylerom::cli {

class JsonReport {
public:
    JsonReport(ConsoleOutput& out, std::string driveText) : out_(out), drive_(std::move(driveText)) {}
    // The run whose figures the objects carry.
    void watch(const fill::FillEngine& engine) { engine_ = &engine; }
    JsonReport(const JsonReport&) = delete;
    JsonReport& operator=(const JsonReport&) = delete;

    void start(const std::string& root, fill::Pattern pattern, std::string_view blockText, int repetitions);
    // Every log message: "FEIL" lines become error objects, a "FEILNR:" line gives the code of
    // the error before it.
    void logMessage(std::string_view message);
    // The fill's progress; shown a few times a second, and at the end of each pass.
    void progress(int passPercent, int totalPercent);
    void end(int exitStatus, int signal);

    // text as a JSON string, quotes included.
    static std::string quoted(std::string_view text);

private:
    void flushError();
    void emit(const std::string& fields);
    std::int64_t runBytes() const;

    const fill::FillState& state() const;

    ConsoleOutput& out_;
    const fill::FillEngine* engine_ = nullptr;
    std::string drive_;
    std::optional<std::string> pendingError_;
    std::optional<long long> pendingCode_;
    int errors_ = 0;
    int lastPass_ = 0;
    int lastPassPercent_ = -1;
    std::int64_t lastEmitMs_ = 0;
    std::int64_t earlierPassesBytes_ = 0; // bytes of the passes before the current one
    std::int64_t currentPassBytes_ = 0;
};

} // namespace spylerom::cli
