// The bytes a fill file receives: the stream of its block writes (the pattern's first BlockSize
// bytes, block after block, or for "Tilfeldig" a fresh seed's generator stream for every block),
// cut into pieces of any size. How the pieces reach the disk is the writer's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace spylerom::fill {

class BlockStream {
public:
    enum class Kind {
        Constant, // every byte the same ("Null", "En", or a pattern buffer of one value)
        Periodic, // the pattern's first BlockSize bytes over and over
        Random,   // every block from a fresh seed
    };

    // pattern: the pattern buffer (its first blockSize bytes are used); seed: where a random
    // block's seed comes from, called in stream order.
    BlockStream(Kind kind, const std::uint8_t* pattern, std::size_t blockSize,
                std::function<std::uint32_t()> seed = {});

    Kind kind() const { return kind_; }
    // Writes the next count bytes of the stream into out.
    void next(std::uint8_t* out, std::size_t count);

    // The kind a pattern buffer's first blockSize bytes make, random aside.
    static Kind kindOf(const std::uint8_t* pattern, std::size_t blockSize);

private:
    Kind kind_;
    std::vector<std::uint8_t> pattern_;
    std::size_t blockSize_;
    std::function<std::uint32_t()> seed_;
    std::size_t offset_ = 0;  // position in the current block
    std::uint32_t state_ = 0; // Random: the generator's state at offset_
};

} // namespace spylerom::fill
