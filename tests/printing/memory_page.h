// A white 32-bit bitmap in a memory device context, for reading back what GDI drew.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace spylerom::printing::test {

// A white 32-bit bitmap selected into a memory device context; pixels 0x00RRGGBB, top row first.
class MemoryPage {
public:
    MemoryPage(int width, int height) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint32_t*>(bits);
        previous_ = SelectObject(dc_, bitmap_);
        PatBlt(dc_, 0, 0, width, height, WHITENESS);
    }
    ~MemoryPage() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    MemoryPage(const MemoryPage&) = delete;
    MemoryPage& operator=(const MemoryPage&) = delete;

    bool ok() const { return dc_ && bitmap_ && bits_; }
    HDC dc() const { return dc_; }
    std::uint32_t pixel(int x, int y) const {
        GdiFlush();
        return bits_[static_cast<std::size_t>(y) * width_ + x] & 0xFFFFFF;
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

} // namespace spylerom::printing::test
