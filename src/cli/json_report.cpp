#include "json_report.h"

#include "fill/fill_plan.h"
#include "fill/fill_state.h"
#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace spylerom::cli {

namespace {

std::string number(std::int64_t n) {
    return std::to_string(n);
}

// The system's code a "FEIL" line carries in brackets ("[mkdirsafe:183]"), if any.
std::optional<long long> bracketCode(std::string_view line) {
    const auto open = line.find('[');
    const auto colon = open == std::string_view::npos ? open : line.find(':', open);
    const auto close = colon == std::string_view::npos ? colon : line.find(']', colon);
    if (close == std::string_view::npos || close == colon + 1)
        return std::nullopt;
    const std::string_view digits = line.substr(colon + 1, close - colon - 1);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        digits.size() > 12)
        return std::nullopt;
    return std::stoll(std::string(digits));
}

} // namespace

std::string JsonReport::quoted(std::string_view text) {
    std::string q = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            q += "\\\"";
            break;
        case '\\':
            q += "\\\\";
            break;
        case '\n':
            q += "\\n";
            break;
        case '\r':
            q += "\\r";
            break;
        case '\t':
            q += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                q += escape;
            } else {
                q += c; // UTF-8 passes as it is
            }
        }
    }
    return q + "\"";
}

void JsonReport::emit(const std::string& fields) {
    out_.line("{\"event\":" + fields.substr(0, fields.find(',')) + ",\"drive\":" + quoted(drive_) +
              fields.substr(fields.find(',')) + "}");
}

const fill::FillState& JsonReport::state() const {
    static const fill::FillState none;
    return engine_ != nullptr ? engine_->state() : none;
}

void JsonReport::start(const std::string& root, fill::Pattern pattern, std::string_view blockText,
                       int repetitions) {
    platform::DiskSpace space;
    platform::Error err;
    if (root.empty() || !platform::sys().diskSpace(root, space, err))
        space = platform::DiskSpace{};
    std::string patternName;
    if (pattern != fill::Pattern::Unchanged)
        for (const char c : fill::kPatternNames[static_cast<std::size_t>(pattern)])
            patternName += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    emit("\"start\",\"mount_point\":" + quoted(root) +
         ",\"file_system\":" + quoted(root.empty() ? std::string() : fill::FileSystemOf(root)) +
         ",\"free_bytes\":" + number(space.freeToCaller) + ",\"total_bytes\":" + number(space.total) +
         ",\"passes\":" + number(repetitions) + ",\"pattern\":" + quoted(patternName) +
         ",\"block_size\":" + (blockText.empty() ? std::string("null") : std::string(blockText)));
}

void JsonReport::logMessage(std::string_view message) {
    if (message.starts_with("FEILNR:")) {
        // "FEILNR: <code> <text>": the code of the failure just reported.
        std::string_view rest = message.substr(7);
        rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
        const auto end = rest.find(' ');
        const std::string_view digits = rest.substr(0, end);
        if (!digits.empty() && digits.size() <= 12 &&
            std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            if (!pendingError_)
                pendingError_ = std::string(message);
            pendingCode_ = std::stoll(std::string(digits));
            flushError();
            return;
        }
    }
    if (!message.starts_with("FEIL"))
        return;
    flushError();
    pendingError_ = std::string(message);
    pendingCode_ = bracketCode(message);
}

void JsonReport::flushError() {
    if (!pendingError_)
        return;
    ++errors_;
    emit("\"error\",\"pass\":" + number(state().CurrentRepetition) +
         ",\"code\":" + (pendingCode_ ? std::to_string(*pendingCode_) : std::string("null")) +
         ",\"message\":" + quoted(*pendingError_));
    pendingError_.reset();
    pendingCode_.reset();
}

std::int64_t JsonReport::runBytes() const {
    return earlierPassesBytes_ + currentPassBytes_;
}

void JsonReport::progress(int passPercent, int totalPercent) {
    const fill::FillState& s = state();
    if (s.CurrentRepetition != lastPass_) {
        earlierPassesBytes_ += currentPassBytes_;
        currentPassBytes_ = 0;
        lastPass_ = s.CurrentRepetition;
        lastPassPercent_ = -1;
    }
    currentPassBytes_ = std::max(currentPassBytes_, static_cast<std::int64_t>(s.BytesWritten));
    const std::int64_t now = platform::sys().monotonicMilliseconds();
    const bool passEnd = passPercent >= 100 && lastPassPercent_ < 100;
    if (!passEnd && (passPercent == lastPassPercent_ || now - lastEmitMs_ < 250))
        return;
    flushError();
    lastPassPercent_ = passPercent;
    lastEmitMs_ = now;
    std::string rate = "0", left = "null";
    if (s.ElapsedSeconds >= 0.2 && s.BytesWritten > 0) {
        const double bytesPerSecond = static_cast<double>(s.BytesWritten) / s.ElapsedSeconds;
        rate = number(static_cast<std::int64_t>(bytesPerSecond));
        const double seconds =
            static_cast<double>(std::max<std::int64_t>(s.FreeMB, 0)) * 1024 * 1024 / bytesPerSecond;
        if (std::isfinite(seconds))
            left = number(static_cast<std::int64_t>(std::ceil(seconds)));
    }
    emit("\"progress\",\"pass\":" + number(s.CurrentRepetition) + ",\"passes\":" + number(s.Repetitions) +
         ",\"pass_percent\":" + number(std::clamp(passPercent, 0, 100)) +
         ",\"total_percent\":" + number(std::clamp(totalPercent, 0, 100)) +
         ",\"bytes_written\":" + number(static_cast<std::int64_t>(s.BytesWritten)) +
         ",\"rate_bytes_per_second\":" + rate + ",\"seconds_left\":" + left);
}

void JsonReport::end(int exitStatus, int signal) {
    flushError();
    const fill::FillState& s = state();
    if (s.CurrentRepetition == lastPass_)
        currentPassBytes_ = std::max(currentPassBytes_, static_cast<std::int64_t>(s.BytesWritten));
    const char* state = signal != 0 ? "stopped" : exitStatus == 0 ? "completed" : "failed";
    emit(std::string("\"end\",\"state\":\"") + state + "\",\"exit_status\":" + number(exitStatus) +
         ",\"signal\":" + (signal != 0 ? number(signal) : std::string("null")) +
         ",\"pass\":" + number(s.CurrentRepetition) + ",\"errors\":" + number(errors_) +
         ",\"bytes_written\":" + number(runBytes()));
}

} // namespace spylerom::cli
