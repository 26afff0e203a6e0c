// How a write that the disk refuses for want of space is retried, the same on every system: the
// pieces shrink so that the last free blocks are still taken. Only the policy; the writes and
// flushes are the platform's.
#pragma once

#include <algorithm>
#include <cstddef>

namespace spylerom::platform {

class SpaceRetry {
public:
    enum class Next {
        FlushAndRetry, // flush the file, then try the same piece again
        Retry,         // try again with piece(), which is smaller now
        GiveUp,        // nothing smaller is left to try
    };

    // Pieces start at `piece` bytes and shrink to `block`, the file system's allocation unit.
    SpaceRetry(std::size_t piece, std::size_t block) { restart(piece, block); }

    std::size_t piece() const { return piece_; }

    // The disk took some bytes: the next refusal is a fresh one and flushes again.
    void took() { flushed_ = false; }

    // The disk refused a piece for want of space. A flush first (delayed allocation holds blocks
    // back for data in flight, and a flush gives them back), then halving pieces down to one
    // block, and at one block a flush once more.
    Next refused() {
        if (!flushed_) {
            flushed_ = true;
            return Next::FlushAndRetry;
        }
        if (piece_ > block_) {
            piece_ = std::max(block_, piece_ / 2 / block_ * block_);
            if (piece_ == block_)
                flushed_ = false;
            return Next::Retry;
        }
        return Next::GiveUp;
    }

    // What the file system says is free, asked right after the flush that a refusal brought:
    // the piece shrinks to it (whole blocks, at least one), so the last free blocks are taken
    // in a write or two instead of a halving at a time, each refusal of which costs the file
    // system a wait. It never grows a piece; when the count was too hopeful the halvings follow.
    void fit(unsigned long long freeBytes) {
        if (freeBytes < piece_)
            piece_ = std::max(block_, static_cast<std::size_t>(freeBytes) / block_ * block_);
    }

    // Starts over with other pieces (the buffered tail after direct ones were refused).
    void restart(std::size_t piece, std::size_t block) {
        block_ = std::max<std::size_t>(block, 1);
        piece_ = std::max(piece, block_);
        flushed_ = false;
    }

private:
    std::size_t piece_ = 0;
    std::size_t block_ = 1;
    bool flushed_ = false;
};

} // namespace spylerom::platform
