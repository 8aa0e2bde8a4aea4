// The Windows executable's resources: the front-end's icons, the version record, the manifest.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "common/Version.h"
#include "platform/win32/Wide.h"
#include "platform/win32/WindowsHeaders.h"
#include "ui/win32/Resources.h"

namespace tolvane::ui::win32 {
namespace {

namespace images {
// The images themselves, as the Qt front-end compiles them in.
#include "ui/qt/resources/image1.xpm"
#include "ui/qt/resources/tolvane.xpm"
}  // namespace images

// Pixels as 0xAARRGGBB, row by row from the top; a transparent one is 0.
struct Image {
    int width = 0;
    std::vector<std::uint32_t> pixels;
};

// An XPM of one character a pixel with `c #RRGGBB` and `c None` colours.
Image ReadXpm(const char* const* xpm) {
    int width = 0, height = 0, colours = 0;
    std::istringstream(xpm[0]) >> width >> height >> colours;
    std::map<char, std::uint32_t> table;
    for (int i = 1; i <= colours; ++i) {
        const std::string entry = xpm[i];
        const std::string value = entry.substr(entry.find(" c ", 1) + 3);
        table[entry[0]] =
            value == "None" ? 0 : 0xFF000000u | std::stoul(value.substr(1), nullptr, 16);
    }
    Image image{width, {}};
    for (int y = 0; y < height; ++y)
        for (const char key : std::string(xpm[1 + colours + y]))
            image.pixels.push_back(table.at(key));
    return image;
}

// An icon's colours, with its mask: a masked pixel shows what is behind it, so reads as 0.
Image ReadIcon(HICON icon, int size) {
    ICONINFO info{};
    EXPECT_TRUE(::GetIconInfo(icon, &info));
    BITMAPINFO format{};
    format.bmiHeader = {sizeof format.bmiHeader, size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint32_t> colour(static_cast<std::size_t>(size * size)), mask(colour.size());
    const HDC screen = ::GetDC(nullptr);
    for (const auto& [bitmap, bits] : {std::pair{info.hbmColor, &colour}, {info.hbmMask, &mask}}) {
        EXPECT_EQ(::GetDIBits(screen, bitmap, 0, static_cast<UINT>(size), bits->data(), &format,
                              DIB_RGB_COLORS),
                  size);
        ::DeleteObject(bitmap);
    }
    ::ReleaseDC(nullptr, screen);
    Image image{size, {}};
    for (std::size_t i = 0; i < colour.size(); ++i) {
        const bool masked = (mask[i] & 0xFFFFFFu) != 0;
        // A masked pixel must also be clear in colour, or some renderers show it.
        image.pixels.push_back(masked && colour[i] == 0 ? 0 : masked ? 0xDEADBEEF : colour[i]);
    }
    return image;
}

// The front-end's icons, as the executable carries them: at 16 pixels the tray's icon is its
// XPM pixel for pixel, transparent where it is; at larger sizes it is drawn for the size, not
// the 16-pixel drawing enlarged. The window's picture is its XPM by nearest neighbour.
TEST(ImagesTest, EveryIconShowsItsXpmAtEverySize) {
    const std::tuple<int, const char* const*, std::vector<int>, bool> icons[] = {
        {IDI_TOLVANE, images::tolvane, {16, 20, 24, 32, 48}, true},
        {IDI_IMAGE1, images::image1, {32, 48}, false}};
    for (const auto& [id, xpm, sizes, drawnForItsSize] : icons) {
        const Image source = ReadXpm(xpm);
        for (const int size : sizes) {
            const auto expectedAt = [&](int x, int y) -> std::uint32_t {
                return source.pixels[static_cast<std::size_t>(
                    y * source.width / size * source.width + x * source.width / size)];
            };
            const auto icon =
                static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                                IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
            ASSERT_NE(icon, nullptr) << "no icon " << id;
            const Image shown = ReadIcon(icon, size);
            ::DestroyIcon(icon);
            const auto shownAt = [&](int x, int y) {
                return shown.pixels[static_cast<std::size_t>(y * size + x)];
            };
            if (drawnForItsSize && size > source.width) {
                int differing = 0;
                for (int y = 0; y < size; ++y) {
                    for (int x = 0; x < size; ++x)
                        differing += shownAt(x, y) != expectedAt(x, y) ? 1 : 0;
                }
                EXPECT_GT(differing, size * size / 10) << "the XPM enlarged at " << size << " px";
                EXPECT_NE(shownAt(size / 2, size / 2), 0u) << "nothing drawn at " << size << " px";
                continue;
            }
            int wrong = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    const std::uint32_t expected = expectedAt(x, y);
                    const std::uint32_t got = shownAt(x, y);
                    if (got != expected && ++wrong <= 3)
                        ADD_FAILURE() << "icon " << id << " at " << size << " px, (" << x << ", "
                                      << y << "): " << std::hex << got << ", expected " << expected;
                }
            }
        }
    }
}

// Tolvane.exe as Windows sees the built file: the version its properties show, a manifest that
// Windows can read (it refuses to start a program whose manifest is not well-formed), and the
// icon that Explorer shows for it.
BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(
        IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
    return TRUE;
}

TEST(WindowsExecutableTest, ItShowsTheProgramsVersionAndIconAndStartsWithItsManifest) {
    // The executable as Windows names it: under Wine the build's host path becomes a DOS path.
    using DosFileName = WCHAR*(CDECL*)(const char*);
    const auto dosFileName = reinterpret_cast<DosFileName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    WCHAR* dos = dosFileName != nullptr ? dosFileName(TOLVANE_EXECUTABLE) : nullptr;
    const std::wstring path = dos != nullptr ? dos : platform::win32::Widen(TOLVANE_EXECUTABLE);
    ::HeapFree(::GetProcessHeap(), 0, dos);
    DWORD ignored = 0;
    std::vector<BYTE> record(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(record.empty()) << "no version record";
    ASSERT_TRUE(
        ::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(version::kMajor << 16 | version::kMinor));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(version::kRevision << 16));

    const HMODULE module = ::LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr) << "no manifest";
    pugi::xml_document manifest;
    const pugi::xml_parse_result parsed = manifest.load_buffer(
        ::LockResource(::LoadResource(module, found)), ::SizeofResource(module, found));
    EXPECT_TRUE(parsed) << parsed.description();
    // No elevation: clerks start it at logon without being asked for an administrator.
    EXPECT_STREQ(
        manifest.select_node("//requestedExecutionLevel").node().attribute("level").value(),
        "asInvoker");
    EXPECT_STREQ(manifest.select_node("//dependentAssembly/assemblyIdentity")
                     .node()
                     .attribute("version")
                     .value(),
                 "6.0.0.0");

    std::vector<ULONG_PTR> icons;
    ::EnumResourceNamesW(module, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&icons));
    ::FreeLibrary(module);
    ASSERT_FALSE(icons.empty()) << "no icon";
    EXPECT_EQ(icons.front(), static_cast<ULONG_PTR>(IDI_TOLVANE)) << "Explorer shows the first";
}

}  // namespace
}  // namespace tolvane::ui::win32
