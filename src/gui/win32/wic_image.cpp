// JPEG decoding through WIC: a JPEG decoder over a memory stream, its first frame converted to
// 32-bit BGR and copied into a DIB section. COM objects are held by a small owning pointer, so an
// early return releases them.
#include "gui/win32/wic_image.h"

#include <wincodec.h>

#include <cstdio>
#include <utility>

namespace spylerom::gui::win32 {

namespace {

// Owns one COM interface pointer.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p_)
            p_->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** put() { return &p_; }

private:
    T* p_ = nullptr;
};

// COM for the calling thread while the object lives: initialised when the thread had none and
// uninitialised again; a thread already in another apartment (RPC_E_CHANGED_MODE) keeps it.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

std::string failure(const char* what, HRESULT result) {
    char text[96];
    std::snprintf(text, sizeof text, "%s (HRESULT 0x%08lX)", what, static_cast<unsigned long>(result));
    return text;
}

// An empty 32-bit top-down DIB section of width x height; an empty bitmap when GDI refuses.
Bitmap makeDibSection(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // negative: the first row is the top one
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP handle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!handle || !bits) {
        if (handle)
            DeleteObject(handle);
        return {};
    }
    return Bitmap(handle, width, height, bits);
}

// The first frame of the decoder, converted to 32-bit BGR, in a new DIB section.
Bitmap copyFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, std::string& error) {
    ComPtr<IWICBitmapFrameDecode> frame;
    HRESULT hr = decoder->GetFrame(0, frame.put());
    if (FAILED(hr)) {
        error = failure("the picture has no frame", hr);
        return {};
    }
    UINT width = 0;
    UINT height = 0;
    hr = frame->GetSize(&width, &height);
    if (FAILED(hr) || width == 0 || height == 0) {
        error = failure("the picture has no size", hr);
        return {};
    }
    if (static_cast<std::int64_t>(width) * height > kMaxJpegPixels) {
        error = "picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
        return {};
    }
    ComPtr<IWICFormatConverter> converter;
    hr = factory->CreateFormatConverter(converter.put());
    if (SUCCEEDED(hr))
        hr = converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr,
                                   0.0, WICBitmapPaletteTypeCustom);
    if (FAILED(hr)) {
        error = failure("the picture's colours cannot be converted", hr);
        return {};
    }
    Bitmap bitmap = makeDibSection(static_cast<int>(width), static_cast<int>(height));
    if (!bitmap) {
        error = "not enough memory for the picture";
        return {};
    }
    BITMAP shape{};
    GetObjectW(bitmap.handle(), sizeof shape, &shape);
    const UINT stride = width * 4;
    hr = converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(shape.bmBits));
    if (FAILED(hr)) {
        error = failure("the picture is damaged", hr);
        return {};
    }
    return bitmap;
}

Bitmap decodeWithCom(const void* data, std::size_t size, std::string& error) {
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()));
    if (FAILED(hr)) {
        error = failure("the Windows Imaging Component is missing", hr);
        return {};
    }
    ComPtr<IWICStream> stream;
    hr = factory->CreateStream(stream.put());
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                          static_cast<DWORD>(size));
    if (FAILED(hr)) {
        error = failure("the picture cannot be read", hr);
        return {};
    }
    ComPtr<IWICBitmapDecoder> decoder;
    hr = factory->CreateDecoder(GUID_ContainerFormatJpeg, nullptr, decoder.put());
    if (SUCCEEDED(hr))
        hr = decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand);
    if (FAILED(hr)) {
        error = failure("not a JPEG picture", hr);
        return {};
    }
    return copyFrame(factory.get(), decoder.get(), error);
}

} // namespace

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    Bitmap gone(std::move(*this));
    swap(other);
    return *this;
}

Bitmap::~Bitmap() {
    if (handle_)
        DeleteObject(handle_);
}

std::uint32_t Bitmap::pixel(int x, int y) const {
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    const auto* row = static_cast<const std::uint32_t*>(bits_) + static_cast<std::size_t>(y) * width_;
    return row[x] & 0x00FFFFFFu;
}

HBITMAP Bitmap::release() {
    HBITMAP handle = handle_;
    handle_ = nullptr;
    width_ = 0;
    height_ = 0;
    bits_ = nullptr;
    return handle;
}

void Bitmap::swap(Bitmap& other) noexcept {
    std::swap(handle_, other.handle_);
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    std::swap(bits_, other.bits_);
}

Bitmap decodeJpeg(const void* data, std::size_t size, std::string& error) {
    if (!data || size == 0) {
        error = "empty picture";
        return {};
    }
    if (size > 0xFFFFFFFFu) {
        error = "picture too large";
        return {};
    }
    // A WIC decoder may fill the missing part of a cut-off picture and call that a success; a
    // picture must therefore end in its end marker (FF D9), as the encoder wrote it.
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (size < 4 || bytes[size - 2] != 0xFF || bytes[size - 1] != 0xD9) {
        error = "the picture is cut off (no end marker)";
        return {};
    }
    ComScope com;
    if (!com.usable()) {
        error = failure("COM cannot be started", com.result());
        return {};
    }
    Bitmap bitmap = decodeWithCom(data, size, error);
    if (bitmap)
        error.clear();
    return bitmap;
}

Bitmap loadJpegResource(const wchar_t* name, std::string& error) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, name, RT_RCDATA);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        error = failure("the program holds no such picture", HRESULT_FROM_WIN32(GetLastError()));
        return {};
    }
    return decodeJpeg(bytes, SizeofResource(module, resource), error);
}

} // namespace spylerom::gui::win32
