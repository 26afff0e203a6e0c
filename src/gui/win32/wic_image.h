// Decodes the windows' JPEG pictures with the Windows Imaging Component into a 32-bit top-down
// DIB section, from bytes or from an RCDATA resource of the program. Showing and scaling the
// picture is the caller's business.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace spylerom::gui::win32 {

// Largest picture accepted, in pixels; a header asking for more is refused before any pixel
// memory is taken.
inline constexpr std::int64_t kMaxJpegPixels = 64LL * 1024 * 1024;

// A GDI bitmap the object owns: a DIB section of width x height pixels, 32 bits each (blue,
// green, red, unused), rows top-down. Empty (null handle, 0 x 0) after a failed decode or a move.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(HBITMAP handle, int width, int height, void* bits)
        : handle_(handle), width_(width), height_(height), bits_(bits) {}
    Bitmap(Bitmap&& other) noexcept { swap(other); }
    Bitmap& operator=(Bitmap&& other) noexcept;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    ~Bitmap();

    HBITMAP handle() const { return handle_; }
    int width() const { return width_; }
    int height() const { return height_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // The pixel at (x, y) as 0x00RRGGBB; 0 outside the picture or for an empty bitmap.
    std::uint32_t pixel(int x, int y) const;

    // Hands the handle to the caller, who must then DeleteObject it; the object is left empty.
    HBITMAP release();

private:
    void swap(Bitmap& other) noexcept;

    HBITMAP handle_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    void* bits_ = nullptr;
};

// The JPEG picture in data[0..size). A damaged, truncated (not ending in the end marker),
// oversized or non-JPEG picture gives an empty bitmap and, in error, why; a success clears error. Initialises
// COM on the calling thread for the decode when it is not yet (and undoes that); a thread already in either
// apartment works.
Bitmap decodeJpeg(const void* data, std::size_t size, std::string& error);

// The JPEG picture held as the RCDATA resource name of the running program (e.g.
// L"SPYLEROM_EMBLEM", L"SOLVAREK_LOGO"). A missing resource gives an empty bitmap and the reason.
Bitmap loadJpegResource(const wchar_t* name, std::string& error);

} // namespace spylerom::gui::win32
