#include "fill/block_stream.h"

#include "fill/fill_random.h"

#include <algorithm>
#include <cstring>

namespace spylerom::fill {

BlockStream::BlockStream(Kind kind, const std::uint8_t* pattern, std::size_t blockSize,
                         std::function<std::uint32_t()> seed)
    : kind_(kind), pattern_(pattern, pattern + blockSize), blockSize_(std::max<std::size_t>(blockSize, 1)),
      seed_(std::move(seed)) {
    if (pattern_.empty())
        pattern_.assign(1, 0);
}

BlockStream::Kind BlockStream::kindOf(const std::uint8_t* pattern, std::size_t blockSize) {
    return std::all_of(pattern, pattern + blockSize, [&](std::uint8_t b) { return b == pattern[0]; })
               ? Kind::Constant
               : Kind::Periodic;
}

void BlockStream::next(std::uint8_t* out, std::size_t count) {
    if (kind_ == Kind::Constant) {
        std::memset(out, pattern_[0], count);
        return;
    }
    while (count > 0) {
        if (offset_ == blockSize_)
            offset_ = 0;
        if (offset_ == 0 && kind_ == Kind::Random)
            state_ = seed_ ? seed_() : 0;
        const std::size_t n = std::min(count, blockSize_ - offset_);
        if (kind_ == Kind::Periodic) {
            std::memcpy(out, pattern_.data() + offset_, n);
        } else {
            state_ = FillRandomContinue(state_, out, n);
        }
        out += n;
        count -= n;
        offset_ += n;
    }
}

} // namespace spylerom::fill
