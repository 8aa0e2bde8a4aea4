// The front-end's icons, as the executable carries them: every image of each icon must show
// the XPM it was made from, pixel for pixel (scaled by nearest neighbour), with its transparent
// pixels transparent.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/WindowsHeaders.h"
#include "ui/win32/Resources.h"

namespace tolvane::ui::win32 {
namespace {

namespace images {
// The images themselves, as the Qt front-end compiles them in.
#include "ui/qt/resources/image1.xpm"
#include "ui/qt/resources/tolvane.xpm"
}  // namespace images

// A pixel of an icon: whether its mask bit lets the background show, and its colour as
// 0xAARRGGBB. A transparent pixel is all zero, an opaque one has alpha 0xFF.
struct Pixel {
    bool transparent = true;
    std::uint32_t argb = 0;

    bool operator==(const Pixel&) const = default;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;  // row by row, from the top

    Pixel at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// An XPM of one character a pixel with `c #RRGGBB` and `c None` colours, the kind the
// repository's images are.
Image ReadXpm(const char* const* xpm) {
    Image image;
    int colours = 0;
    int perPixel = 0;
    std::istringstream(xpm[0]) >> image.width >> image.height >> colours >> perPixel;
    EXPECT_EQ(perPixel, 1);
    std::map<char, Pixel> table;
    for (int i = 1; i <= colours; ++i) {
        const std::string entry = xpm[i];
        const std::string value = entry.substr(entry.find(" c ", 1) + 3);
        table[entry[0]] = value == "None"
                              ? Pixel{}
                              : Pixel{false, 0xFF000000u | static_cast<std::uint32_t>(std::stoul(
                                                               value.substr(1), nullptr, 16))};
    }
    for (int y = 0; y < image.height; ++y) {
        const std::string row = xpm[1 + colours + y];
        EXPECT_EQ(static_cast<int>(row.size()), image.width);
        for (const char key : row)
            image.pixels.push_back(table.at(key));
    }
    return image;
}

// An icon's colour (with its alpha) and mask, read back through GDI.
Image ReadIcon(HICON icon, int size) {
    ICONINFO info{};
    EXPECT_TRUE(::GetIconInfo(icon, &info));
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = size;
    format.bmiHeader.biHeight = -size;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    const auto count = static_cast<std::size_t>(size * size);
    std::vector<std::uint32_t> colour(count);
    std::vector<std::uint32_t> mask(count);
    const HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(::GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(size), colour.data(), &format,
                          DIB_RGB_COLORS),
              size);
    EXPECT_EQ(::GetDIBits(screen, info.hbmMask, 0, static_cast<UINT>(size), mask.data(), &format,
                          DIB_RGB_COLORS),
              size);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    Image image{size, size, {}};
    for (std::size_t i = 0; i < count; ++i) {
        // A set mask bit reads back white: the pixel shows what is behind the icon.
        image.pixels.push_back(Pixel{(mask[i] & 0xFFFFFFu) != 0, colour[i]});
    }
    return image;
}

std::string Describe(const Pixel& pixel) {
    std::ostringstream text;
    text << (pixel.transparent ? "masked" : "unmasked") << " #" << std::hex << pixel.argb;
    return text.str();
}

// Every pixel of `icon` against the XPM scaled by nearest neighbour.
void ExpectShows(const Image& icon, const Image& xpm) {
    int wrong = 0;
    for (int y = 0; y < icon.height; ++y) {
        for (int x = 0; x < icon.width; ++x) {
            const Pixel expected = xpm.at(x * xpm.width / icon.width, y * xpm.height / icon.height);
            if (icon.at(x, y) != expected && ++wrong <= 5) {
                ADD_FAILURE() << icon.width << "x" << icon.height << " at (" << x << ", " << y
                              << "): " << Describe(icon.at(x, y)) << ", expected "
                              << Describe(expected);
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels that differ in the " << icon.width << "x" << icon.height
                        << " image";
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIcon {
    WORD reserved;
    WORD type;
    WORD count;  // entries that follow
};
#pragma pack(pop)

const void* LoadResourceData(LPCWSTR name, LPCWSTR type, DWORD* size) {
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceW(module, name, type);
    if (found == nullptr)
        return nullptr;
    *size = ::SizeofResource(module, found);
    return ::LockResource(::LoadResource(module, found));
}

// Each image that the icon group holds, made into an icon as the system makes it, must show
// the XPM; the group holds the sizes given, 32 bits a pixel.
void ExpectIconShows(int id, const char* const* xpm, const std::set<int>& sizes) {
    const Image source = ReadXpm(xpm);
    DWORD size = 0;
    const auto* group =
        static_cast<const GroupIcon*>(LoadResourceData(MAKEINTRESOURCEW(id), RT_GROUP_ICON, &size));
    ASSERT_NE(group, nullptr) << "no icon " << id << " in the executable";
    ASSERT_EQ(group->type, 1);
    ASSERT_EQ(size, sizeof(GroupIcon) + group->count * sizeof(GroupIconEntry));
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(group + 1);
    std::set<int> found;
    for (WORD i = 0; i < group->count; ++i) {
        const GroupIconEntry& entry = entries[i];
        const int width = entry.width == 0 ? 256 : entry.width;
        SCOPED_TRACE("icon " + std::to_string(id) + ", " + std::to_string(width) + " pixels");
        EXPECT_EQ(entry.height, entry.width);
        EXPECT_EQ(entry.bitCount, 32);
        found.insert(width);
        DWORD bytes = 0;
        const void* data = LoadResourceData(MAKEINTRESOURCEW(entry.id), RT_ICON, &bytes);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(bytes, entry.bytes);
        const HICON icon =
            ::CreateIconFromResourceEx(static_cast<PBYTE>(const_cast<void*>(data)), bytes, TRUE,
                                       0x00030000, width, width, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        ExpectShows(ReadIcon(icon, width), source);
        ::DestroyIcon(icon);
    }
    EXPECT_EQ(found, sizes);
}

TEST(ImagesTest, TheProgramsIconShowsItsXpmAtEverySize) {
    ExpectIconShows(IDI_TOLVANE, images::tolvane, {16, 32, 48});
}

TEST(ImagesTest, TheMainWindowsPictureShowsItsXpmAtEverySize) {
    ExpectIconShows(IDI_IMAGE1, images::image1, {32, 48});
}

// The way the front-end asks for them: by size, the system choosing among the images.
TEST(ImagesTest, LoadImageGivesTheImageOfTheSizeAskedFor) {
    const Image source = ReadXpm(images::tolvane);
    for (const int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        const auto icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                          MAKEINTRESOURCEW(IDI_TOLVANE), IMAGE_ICON,
                                                          size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        ExpectShows(ReadIcon(icon, size), source);
        ::DestroyIcon(icon);
    }
}

}  // namespace
}  // namespace tolvane::ui::win32
