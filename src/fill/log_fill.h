// The log step of a fill: xfs keeps copies of the metadata blocks it changed (directory blocks
// with the names of deleted files among them) in a log inside the volume, which it writes
// around and no free-space fill reaches. Transactions of the pass's own, made durable one after
// another, write the whole log over. Whether the volume has such a log and logging are the
// caller's.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace spylerom::fill {

// Bytes of one attribute value: small enough to stay inside an attribute leaf block on any
// xfs of 1 KiB blocks or more, so the log holds it whole (a larger value goes to blocks of its
// own, which xfs does not log).
inline constexpr std::size_t kLogValueBytes = 512;
// Values set on one file before it is made durable: one log force carries them all.
inline constexpr int kLogValuesPerFile = 512;
// How much more than the log's size is written: the log is written around from wherever its
// head stands, and what a transaction adds to the values (headers, the leaf's own bytes) is not
// counted, so the count runs behind what the log took.
inline constexpr std::int64_t kLogMarginPercent = 125;

struct LogFillResult {
    std::int64_t writtenBytes = 0; // attribute bytes made durable
    std::int64_t files = 0;        // files made (each deleted again once durable)
    bool folderMade = false;       // the steps' folder was made
    bool complete = false;         // the log was written over with the margin
    platform::Error error;         // what ended the step early (112 for a full disk; 0 when nothing did)
    bool removed = true;           // every file and the folder are gone again
    platform::Error removeError;   // the first that could not be removed
};

// The bytes to write over a log of logBytes.
std::int64_t LogFillTarget(std::int64_t logBytes);

// Makes the steps' folder (kRecordFolderName) in the pinned fill folder `fill` with the pass's
// `mark`, then files in it one by one, each given kLogValuesPerFile extended attributes of
// `value` (kLogValueBytes bytes), made durable (which forces the log) and deleted, until
// LogFillTarget(logBytes) bytes of values are durable, stopRequested() answers true (asked
// after each file), or something fails (a full disk among others). Then the folder goes again.
// An existing entry of the folder's name is not used (code 183).
LogFillResult WriteLogAround(platform::FolderHandle fill, const std::string& mark, std::int64_t logBytes,
                             const std::uint8_t* value, const std::function<bool()>& stopRequested);

} // namespace spylerom::fill
