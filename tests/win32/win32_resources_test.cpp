// The Windows programs' resources and the WIC picture decoder, in a test program that carries the
// same resources as the programs: the pictures decode to what libjpeg makes of them on Linux,
// damaged ones give a reason, and the icon, manifest and version are in place, in this program
// and in spylerom-cli.exe.
#include "gui/win32/wic_image.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace spylerom::test {
namespace {

using gui::win32::Bitmap;
using gui::win32::decodeJpeg;
using gui::win32::loadJpegResource;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The bitmap's pixel as GDI hands it out (GetDIBits, not the decoder's own memory), 0x00RRGGBB.
std::uint32_t gdiPixel(const Bitmap& bitmap, int x, int y) {
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(bitmap.width()) * bitmap.height());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bitmap.width();
    info.bmiHeader.biHeight = -bitmap.height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(nullptr);
    const int lines = GetDIBits(dc, bitmap.handle(), 0, static_cast<UINT>(bitmap.height()), rows.data(),
                                &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(lines, bitmap.height());
    return rows[static_cast<std::size_t>(y) * bitmap.width() + x] & 0x00FFFFFFu;
}

// Each channel of got within tolerance of want's.
bool within(std::uint32_t got, std::uint32_t want, int tolerance) {
    for (const int shift : {0, 8, 16}) {
        const int a = static_cast<int>((got >> shift) & 0xFF);
        const int b = static_cast<int>((want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance)
            return false;
    }
    return true;
}

// The brightness (Y of YCbCr, times 1000) of a 0x00RRGGBB colour.
int luma(std::uint32_t rgb) {
    return static_cast<int>(299 * ((rgb >> 16) & 0xFF) + 587 * ((rgb >> 8) & 0xFF) + 114 * (rgb & 0xFF));
}

struct Sample {
    int x;
    int y;
    std::uint32_t rgb;
};

// A picture of the program with its size and a 5 x 5 grid of its pixels as libjpeg (the Linux
// program's decoder, JCS_RGB) decoded them from the same file.
struct Picture {
    const char* name;
    const wchar_t* resource;
    const char* file;
    int width;
    int height;
    std::vector<Sample> samples;
};

const Picture kEmblem{
    "Emblem",
    L"SPYLEROM_EMBLEM",
    "spylerom-emblem.jpg",
    65,
    65,
    {{0, 0, 0xFFFEFFu},  {16, 0, 0xFEFFFFu},  {32, 0, 0xFDFCFFu},  {48, 0, 0xF9FDFFu},  {64, 0, 0xFEFFFFu},
     {0, 16, 0xFEFDFFu}, {16, 16, 0xDBE0E3u}, {32, 16, 0xD0D3DAu}, {48, 16, 0x5B615Fu}, {64, 16, 0xFFFEFFu},
     {0, 32, 0xFFFEFFu}, {16, 32, 0xDADEDFu}, {32, 32, 0x5F666Cu}, {48, 32, 0xB7DFFFu}, {64, 32, 0x4688D4u},
     {0, 48, 0x2F60AFu}, {16, 48, 0x2859A8u}, {32, 48, 0x2859A8u}, {48, 48, 0x2758A7u}, {64, 48, 0x2F60AFu},
     {0, 64, 0x183789u}, {16, 64, 0x183789u}, {32, 64, 0x183789u}, {48, 64, 0x183789u}, {64, 64, 0x183789u}}};

const Picture kLogo{
    "Logo",
    L"SOLVAREK_LOGO",
    "solvarek-logo.jpg",
    73,
    73,
    {{0, 0, 0xFFFFFFu},  {18, 0, 0xFFFEFFu},  {36, 0, 0xFFFAFFu},  {54, 0, 0xFFFFFDu},  {72, 0, 0xFFFFFFu},
     {0, 18, 0xF8FFFDu}, {18, 18, 0xDDB256u}, {36, 18, 0xFFFEFFu}, {54, 18, 0xE3B14Eu}, {72, 18, 0xFFFFFFu},
     {0, 36, 0xFFFEFAu}, {18, 36, 0xFFFBDAu}, {36, 36, 0xFEE16Bu}, {54, 36, 0xFFFFD2u}, {72, 36, 0xFFFFFAu},
     {0, 54, 0x34952Cu}, {18, 54, 0x329930u}, {36, 54, 0x067D05u}, {54, 54, 0x339929u}, {72, 54, 0x3B9533u},
     {0, 72, 0x008104u}, {18, 72, 0x008001u}, {36, 72, 0x008001u}, {54, 72, 0x008001u}, {72, 72, 0x008001u}}};

// The pictures keep their colour at a quarter of the resolution (4:2:0), and each decoder fills
// the missing colour samples its own way (libjpeg smoothly, WIC more like blocks), which moves a
// channel by up to about 30 beside sharp edges. The brightness is stored in full and comes out
// the same within rounding, so it is held close; the channels only loosely, which still tells a
// swapped red and blue or a shifted picture.
constexpr int kLumaTolerance = 4000;
constexpr int kChannelTolerance = 40;

void expectPicture(const Bitmap& bitmap, const Picture& picture) {
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap.width(), picture.width);
    EXPECT_EQ(bitmap.height(), picture.height);
    for (const Sample& s : picture.samples) {
        const std::uint32_t got = gdiPixel(bitmap, s.x, s.y);
        EXPECT_LE(std::abs(luma(got) - luma(s.rgb)), kLumaTolerance)
            << s.x << "," << s.y << " got " << std::hex << got << " want " << s.rgb;
        EXPECT_TRUE(within(got, s.rgb, kChannelTolerance))
            << s.x << "," << s.y << " got " << std::hex << got << " want " << s.rgb;
        EXPECT_EQ(bitmap.pixel(s.x, s.y), got);
    }
}

// ctest lists a case by its name, not its bytes.
void PrintTo(const Picture& picture, std::ostream* out) {
    *out << picture.name;
}

class Pictures : public ::testing::TestWithParam<Picture> {};

TEST_P(Pictures, FileDecodesLikeLibjpeg) {
    const std::string bytes = readFile(std::string(SPYLEROM_RESOURCES_DIR "/") + GetParam().file);
    ASSERT_FALSE(bytes.empty());
    std::string error = "stale";
    const Bitmap bitmap = decodeJpeg(bytes.data(), bytes.size(), error);
    EXPECT_TRUE(error.empty()) << error;
    expectPicture(bitmap, GetParam());
}

TEST_P(Pictures, ResourceOfTheProgramDecodesLikeLibjpeg) {
    std::string error = "stale";
    const Bitmap bitmap = loadJpegResource(GetParam().resource, error);
    EXPECT_TRUE(error.empty()) << error;
    expectPicture(bitmap, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Program, Pictures, ::testing::Values(kEmblem, kLogo),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(WicImage, DecodesOnAThreadAlreadyInEitherApartment) {
    const std::string bytes = readFile(SPYLEROM_RESOURCES_DIR "/spylerom-emblem.jpg");
    for (const DWORD model : {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED}) {
        std::string error;
        bool decoded = false;
        HRESULT initialised = E_FAIL;
        std::thread([&] {
            initialised = CoInitializeEx(nullptr, model);
            decoded = static_cast<bool>(decodeJpeg(bytes.data(), bytes.size(), error));
            // The decoder's own COM reference is gone again; the thread's stays until this call.
            if (SUCCEEDED(initialised))
                CoUninitialize();
        }).join();
        EXPECT_EQ(initialised, S_OK);
        EXPECT_TRUE(decoded) << model << ": " << error;
    }
}

struct DamagedCase {
    const char* name;
    std::string (*make)(const std::string& good);
};

void PrintTo(const DamagedCase& damaged, std::ostream* out) {
    *out << damaged.name;
}

class Damaged : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(Damaged, GivesNoBitmapAndAReason) {
    const std::string good = readFile(SPYLEROM_RESOURCES_DIR "/spylerom-emblem.jpg");
    ASSERT_GT(good.size(), 1000u);
    const std::string bad = GetParam().make(good);
    std::string error;
    Bitmap bitmap = decodeJpeg(bad.data(), bad.size(), error);
    EXPECT_FALSE(bitmap);
    EXPECT_EQ(bitmap.handle(), nullptr);
    EXPECT_EQ(bitmap.width(), 0);
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, Damaged,
    ::testing::Values(
        DamagedCase{"Empty", [](const std::string&) { return std::string(); }},
        DamagedCase{"Garbage", [](const std::string&) { return std::string(4096, '\x5A'); }},
        DamagedCase{"HeaderOnly", [](const std::string& g) { return g.substr(0, 2); }},
        DamagedCase{"CutInTheHeaders", [](const std::string& g) { return g.substr(0, 300); }},
        DamagedCase{"CutInThePixels", [](const std::string& g) { return g.substr(0, g.size() / 2); }},
        DamagedCase{"EndMarkerMissing", [](const std::string& g) { return g.substr(0, g.size() - 2); }},
        DamagedCase{"NotAJpeg",
                    [](const std::string&) {
                        // The start of a PNG file: another format WIC knows.
                        return std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(64, '\0');
                    }}),
    [](const auto& test) { return std::string(test.param.name); });

// Pixel data cut short but closed with an end marker: WIC (Wine's at least) fills the missing
// part and reports success, which no cheap check of ours can see. What must hold is that it ends
// in one of two clean states: a whole bitmap of the header's size, or none and a reason.
TEST(WicImage, DamageInsideACompletePictureEndsCleanly) {
    const std::string good = readFile(SPYLEROM_RESOURCES_DIR "/spylerom-emblem.jpg");
    ASSERT_GT(good.size(), 1000u);
    const std::string bad = good.substr(0, good.size() / 2) + "\xFF\xD9";
    std::string error = "stale";
    const Bitmap bitmap = decodeJpeg(bad.data(), bad.size(), error);
    if (bitmap) {
        EXPECT_EQ(bitmap.width(), 65);
        EXPECT_EQ(bitmap.height(), 65);
        EXPECT_TRUE(error.empty()) << error;
    } else {
        EXPECT_EQ(bitmap.width(), 0);
        EXPECT_FALSE(error.empty());
        EXPECT_NE(error, "stale");
    }
}

TEST(WicImage, NullDataIsRefused) {
    std::string error;
    EXPECT_FALSE(decodeJpeg(nullptr, 100, error));
    EXPECT_FALSE(error.empty());
}

TEST(WicImage, MissingResourceGivesAReason) {
    std::string error;
    const Bitmap bitmap = loadJpegResource(L"SPYLEROM_NO_SUCH_PICTURE", error);
    EXPECT_FALSE(bitmap);
    EXPECT_FALSE(error.empty());
}

TEST(WicImage, BitmapMovesItsHandle) {
    std::string error;
    Bitmap first = loadJpegResource(L"SPYLEROM_EMBLEM", error);
    ASSERT_TRUE(first) << error;
    const HBITMAP handle = first.handle();
    Bitmap second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.handle(), handle);
    Bitmap third = loadJpegResource(L"SOLVAREK_LOGO", error);
    const HBITMAP replaced = third.handle();
    third = std::move(second);
    EXPECT_EQ(third.handle(), handle);
    EXPECT_EQ(third.width(), 65);
    // The logo's bitmap was given back to GDI when the emblem took its place.
    BITMAP shape{};
    EXPECT_EQ(GetObjectW(replaced, sizeof shape, &shape), 0);
    HBITMAP mine = third.release();
    EXPECT_FALSE(third);
    EXPECT_NE(GetObjectW(mine, sizeof shape, &shape), 0);
    EXPECT_EQ(shape.bmWidth, 65);
    EXPECT_EQ(shape.bmBitsPixel, 32);
    EXPECT_TRUE(DeleteObject(mine));
}

// The manifest, icon and version of a module: this program, or an .exe loaded as data.
struct ModuleResources {
    std::string manifest;
    bool icon = false;
    std::wstring fileVersion;
};

std::string resourceText(HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC found = FindResourceW(module, name, type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
}

std::wstring versionString(const std::wstring& file, const wchar_t* key) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
        return {};
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041404B0\\") + key;
    if (!VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || length == 0)
        return {};
    return std::wstring(value, length - 1);
}

ModuleResources resourcesOf(HMODULE module, const std::wstring& file) {
    ModuleResources found;
    found.manifest = resourceText(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    found.icon = FindResourceW(module, L"SPYLEROM_ICON", RT_GROUP_ICON) != nullptr;
    found.fileVersion = versionString(file, L"FileVersion");
    return found;
}

void expectProgramResources(const ModuleResources& found) {
    EXPECT_NE(found.manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(found.manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(found.manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(found.manifest.find(">true/pm</dpiAware>"), std::string::npos);
    EXPECT_EQ(found.manifest.find("activeCodePage"), std::string::npos);
    EXPECT_TRUE(found.icon);
    EXPECT_EQ(found.fileVersion, L"" SPYLEROM_VERSION_W);
}

std::wstring ownFile() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

TEST(ProgramResources, ThisProgramCarriesManifestIconAndVersion) {
    expectProgramResources(resourcesOf(GetModuleHandleW(nullptr), ownFile()));
}

TEST(ProgramResources, TheIconLoadsInTheSizesWindowsAsksFor) {
    for (const int side : {16, 32, 48, 256}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), L"SPYLEROM_ICON", IMAGE_ICON, side, side, 0));
        ASSERT_NE(icon, nullptr) << side;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, side);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(ProgramResources, CliCarriesManifestIconAndVersion) {
    const std::wstring cli = L"" SPYLEROM_CLI_EXE_W;
    HMODULE module =
        LoadLibraryExW(cli.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << GetLastError();
    const ModuleResources found = resourcesOf(module, cli);
    FreeLibrary(module);
    expectProgramResources(found);
    EXPECT_EQ(versionString(cli, L"OriginalFilename"), L"spylerom-cli.exe");
}

} // namespace
} // namespace spylerom::test
