// An owned byte buffer whose address is a multiple of a given alignment, as direct
// (unbuffered) writes need. It only holds memory; what goes into it is the writer's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>
#ifdef _WIN32
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace spylerom::platform {

class AlignedBuffer {
public:
    // Large: the system's large pages where it gives them for the asking (Linux's transparent
    // huge pages, 2 MiB). A direct write pins the pages of its buffer one by one, every time;
    // a 4 MiB piece is two large pages instead of 1024 small ones. Elsewhere, small pages.
    enum class Pages { Small, Large };
    static constexpr std::size_t kLargePage = std::size_t{2} << 20;

    AlignedBuffer() = default;
    // size bytes at an address that is a multiple of alignment (a power of two; smaller ones
    // are raised to the pointer size, or to kLargePage for large pages). The memory is rounded
    // up to whole alignments, so a direct write of the rounded size stays inside it. When the
    // memory cannot be had, or the alignment is no power of two, the buffer is empty: ok() is
    // false.
    AlignedBuffer(std::size_t size, std::size_t alignment, Pages pages = Pages::Small) {
        if (alignment < sizeof(void*))
            alignment = sizeof(void*);
#ifdef __linux__
        if (pages == Pages::Large && alignment < kLargePage)
            alignment = kLargePage;
#else
        (void)pages;
#endif
        if ((alignment & (alignment - 1)) != 0 || size == 0 || size > SIZE_MAX - alignment)
            return;
        const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
#ifdef _WIN32
        data_ = static_cast<std::uint8_t*>(_aligned_malloc(rounded, alignment));
#else
        data_ = static_cast<std::uint8_t*>(std::aligned_alloc(alignment, rounded));
#endif
        if (data_) {
            size_ = size;
            alignment_ = alignment;
#ifdef __linux__
            // Asked before the first touch, which is when the pages are chosen; without them
            // (a kernel that has none to give) the small ones serve as well.
            if (pages == Pages::Large)
                (void)madvise(data_, rounded, MADV_HUGEPAGE);
#endif
        }
    }
    ~AlignedBuffer() {
        release();
    }

    AlignedBuffer(AlignedBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
          alignment_(std::exchange(other.alignment_, 0)) {}
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept {
        if (this != &other) {
            release();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            alignment_ = std::exchange(other.alignment_, 0);
        }
        return *this;
    }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;

    bool ok() const {
        return data_ != nullptr;
    }
    std::uint8_t* data() {
        return data_;
    }
    const std::uint8_t* data() const {
        return data_;
    }
    std::size_t size() const {
        return size_;
    }
    std::size_t alignment() const {
        return alignment_;
    }

private:
    void release() {
#ifdef _WIN32
        _aligned_free(data_);
#else
        std::free(data_);
#endif
        data_ = nullptr;
        size_ = 0;
        alignment_ = 0;
    }

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t alignment_ = 0;
};

} // namespace spylerom::platform
