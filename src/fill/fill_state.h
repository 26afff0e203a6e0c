// FillState: one run's figures, owned by the engine that runs it and read by the front ends
// through FillEngine::state(); made afresh at each START.
#pragma once

#include "fill/fill_choices.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spylerom::fill {

struct FillState {
    std::int32_t DriveNumber = 0; // 1 = A ... 26 = Z
    std::int64_t TotalMB = 0;
    std::int64_t FreeMB = 0;
    std::int16_t Repetitions = 1;
    std::int16_t CurrentRepetition = 1;
    std::int32_t FileCount = 1; // wider than a table of 1024: 4 TiB and more free need more files
    std::int32_t BlockSize = 65536;
    long double BytesWritten = 0;
    double ElapsedSeconds = 0;
    bool WritingStopped = true;
    bool StopRequested = false;
    std::vector<std::string> FileNames; // FileNames[i - 1] is file i
};

} // namespace spylerom::fill
