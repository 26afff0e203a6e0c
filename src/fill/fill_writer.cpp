#include "fill/fill_writer.h"

#include "platform/aligned_buffer.h"

#include <chrono>
#include <new>

namespace spylerom::fill {

using platform::AlignedBuffer;
using platform::sys;

namespace {

// Direct (unbuffered) writes want their buffers aligned to the device's sectors; a page is the
// strictest alignment in practice.
constexpr std::size_t kBufferAlignment = 4096;

AlignedBuffer pieceBuffer() {
    AlignedBuffer buffer(kPieceBytes, kBufferAlignment, AlignedBuffer::Pages::Large);
    if (!buffer.ok())
        throw std::bad_alloc();
    return buffer;
}

// A file that takes no more ends the writes as a full disk does. ERROR_FILE_TOO_LARGE is the
// file system's limit on a file (FAT's 4 GiB) or the process's own (ulimit -f, EFBIG): every
// file of the pass meets it at the same size, so once one is refused the others get their turn
// in this cycle and the pass ends "full", its files cleaned up as always. Going on with the
// files that still take data would only add cycles that each end in the same refusal.
bool isFullDrive(platform::ErrorCode code) {
    return code == platform::kErrorDiskFull || code == platform::kErrorFileTooLarge;
}

} // namespace

// Makes the pieces of streams that are not one byte over and over, one file after the other in
// the writer's order, into a small ring of buffers, ahead of the writer.
class FillWriter::Producer {
public:
    explicit Producer(std::vector<BlockStream>& streams) : streams_(streams) {
        for (auto& slot : slots_)
            slot = pieceBuffer();
        thread_ = std::thread([this] { run(); });
    }
    ~Producer() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    Producer(const Producer&) = delete;
    Producer& operator=(const Producer&) = delete;

    // The next piece in the writer's order; valid until release().
    const std::uint8_t* take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return made_ > taken_; });
        return slots_[taken_++ % kSlots].data();
    }
    void release() {
        {
            const std::lock_guard lock(mutex_);
            ++released_;
        }
        changed_.notify_all();
    }

private:
    // Two: one piece is written while the next is made. A deeper ring measured slower: the
    // system copies a piece out of the cache while it is fresh, and from memory once it is not.
    static constexpr std::size_t kSlots = 2;

    void run() {
        std::size_t file = 0;
        for (;;) {
            std::uint8_t* slot = nullptr;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return stopping_ || made_ - released_ < kSlots; });
                if (stopping_)
                    return;
                slot = slots_[made_ % kSlots].data();
            }
            streams_[file].next(slot, kPieceBytes);
            file = (file + 1) % streams_.size();
            {
                const std::lock_guard lock(mutex_);
                ++made_;
            }
            changed_.notify_all();
        }
    }

    std::vector<BlockStream>& streams_;
    AlignedBuffer slots_[kSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t made_ = 0;
    std::uint64_t taken_ = 0;
    std::uint64_t released_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

FillWriter::FillWriter(std::vector<platform::FileHandle> files, std::vector<BlockStream> streams,
                       WriterProgress& progress, std::function<void()> afterWrites)
    : files_(std::move(files)), streams_(std::move(streams)), progress_(progress),
      afterWrites_(std::move(afterWrites)) {}

FillWriter::~FillWriter() {
    progress_.stop = true;
    allowCleanUp();
    join();
}

void FillWriter::allowCleanUp() {
    {
        const std::lock_guard lock(doneMutex_);
        cleanUpAllowed_ = true;
    }
    doneChanged_.notify_all();
}

void FillWriter::start() {
    thread_ = std::thread([this] { run(); });
}

bool FillWriter::waitDone(int milliseconds) {
    std::unique_lock lock(doneMutex_);
    const bool ended = progress_.writesEnded;
    // Wakes early when the writes end as well, so the last measure comes at once.
    return doneChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
        return progress_.done.load() || progress_.writesEnded.load() != ended;
    }) && progress_.done.load();
}

void FillWriter::join() {
    if (thread_.joinable())
        thread_.join();
}

void FillWriter::run() {
    try {
        writeCycles();
    } catch (...) {
        // Nothing here throws but memory; the files are cleaned up all the same.
        const std::lock_guard lock(progress_.mutex);
        if (!progress_.failed) {
            progress_.failed = true;
            progress_.error.code = platform::kErrorNotEnoughMemory;
        }
    }
    producer_.reset();
    progress_.writesEndedMs = sys().monotonicMilliseconds();
    {
        std::unique_lock lock(doneMutex_);
        progress_.writesEnded = true;
        doneChanged_.notify_all();
        doneChanged_.wait(lock, [this] { return cleanUpAllowed_; });
    }
    if (afterWrites_)
        afterWrites_();
    {
        const std::lock_guard lock(doneMutex_);
        progress_.done = true;
    }
    doneChanged_.notify_all();
}

void FillWriter::writeCycles() {
    if (files_.empty())
        return;
    // One byte over and over needs one buffer for every file; anything else is made ahead.
    const bool constant = streams_.front().kind() == BlockStream::Kind::Constant;
    AlignedBuffer shared;
    if (constant) {
        shared = pieceBuffer();
        streams_.front().next(shared.data(), kPieceBytes);
    } else {
        producer_ = std::make_unique<Producer>(streams_);
    }
    while (!progress_.stop) {
        for (std::size_t i = 0; i < files_.size() && !progress_.stop; ++i) {
            const std::uint8_t* piece = constant ? shared.data() : producer_->take();
            const bool more = writePiece(i, piece, kPieceBytes);
            if (!constant)
                producer_->release();
            if (!more)
                return;
        }
        if (progress_.refused)
            return;
    }
}

bool FillWriter::writePiece(std::size_t file, const std::uint8_t* data, std::size_t size) {
    std::size_t written = 0;
    platform::Error err;
    if (sys().writeFile(files_[file], data, size, written, err)) {
        progress_.bytesAccepted += written;
        progress_.lastWritten = static_cast<std::uint32_t>(written);
        if (written < size)
            progress_.refused = true; // the drive took what it had: this cycle is the last
        return true;
    }
    ++progress_.writesRefused;
    progress_.refused = true;
    if (isFullDrive(err.code))
        return true; // the expected end: the other files of the cycle still get their turn
    const std::lock_guard lock(progress_.mutex);
    if (!progress_.failed) {
        progress_.failed = true;
        progress_.failedFile = file;
        progress_.error = err;
    }
    return false; // any other failure ends the pass at once
}

} // namespace spylerom::fill
