// The writer of a pass: on a thread of its own it appends large pieces of each file's block
// stream to the files in turn, until the drive takes no more, a write fails, or it is told to
// stop. "Tilfeldig" pieces come from a producer thread that runs ahead of it. It never logs and
// never touches the window: it leaves counts and the first failure in WriterProgress, which the
// pass reads on the user-interface thread.
#pragma once

#include "fill/block_stream.h"
#include "platform/platform.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace spylerom::fill {

// Bytes one write carries: large enough for the disk to stream, small enough that Stop is
// quick and the buffers stay a few MiB.
inline constexpr std::size_t kPieceBytes = 4u << 20;

struct WriterProgress {
    std::atomic<std::uint64_t> bytesAccepted{0}; // what the files took
    std::atomic<std::uint64_t> writesRefused{0};
    std::atomic<std::uint32_t> lastWritten{0};  // bytes the last accepted write took
    std::atomic<bool> stop{false};              // set by the pass: Stop, or the drive went away
    std::atomic<bool> refused{false};           // a write was refused: the cycles end
    std::atomic<bool> done{false};              // the writer has ended, its clean-up included
    std::atomic<std::int64_t> writesEndedMs{0}; // monotonic time the last write ended
    std::atomic<bool> writesEnded{false};

    // The first failure that is not a full drive, for the log.
    std::mutex mutex;
    bool failed = false;
    std::size_t failedFile = 0; // 0-based
    platform::Error error;
};

class FillWriter {
public:
    // One stream per file (same order as files). afterWrites runs on the writer thread once the
    // writes have ended (the pass's clean-up, so that a slow flush never blocks the window).
    FillWriter(std::vector<platform::FileHandle> files, std::vector<BlockStream> streams,
               WriterProgress& progress, std::function<void()> afterWrites);
    ~FillWriter(); // stops and joins
    FillWriter(const FillWriter&) = delete;
    FillWriter& operator=(const FillWriter&) = delete;

    void start();
    // Waits until the writer is done or `milliseconds` have passed; true when done.
    bool waitDone(int milliseconds);
    // Once the writes have ended the writer waits for this before it cleans up, so the pass can
    // take the drive's last measure while the files still hold the space.
    void allowCleanUp();
    void join();

private:
    struct Piece;
    class Producer;

    void run();
    void writeCycles();
    bool writePiece(std::size_t file, const std::uint8_t* data, std::size_t size);

    std::vector<platform::FileHandle> files_;
    std::vector<BlockStream> streams_;
    WriterProgress& progress_;
    std::function<void()> afterWrites_;
    std::unique_ptr<Producer> producer_;
    std::mutex doneMutex_;
    std::condition_variable doneChanged_;
    bool cleanUpAllowed_ = false;
    std::thread thread_;
};

} // namespace spylerom::fill
