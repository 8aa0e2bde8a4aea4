#include "platform/win32/WindowsPlatform.h"

#include <gtest/gtest.h>

#include <process.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <tuple>

#include "config/Registry.h"
#include "platform/FileServices.h"
#include "platform/win32/Wide.h"
#include "platform/win32/WindowsHeaders.h"
#include "support/TolvaneHome.h"

namespace tolvane::platform::win32 {
namespace {

// The test home empties the program's keys.
class WindowsPlatformTest : public ::testing::Test {
  protected:
    test::TolvaneHome home;
    WindowsPlatform& os = home.os();
};

// A 32-bit installer's values live in the 32-bit view; the program is 64-bit.
TEST_F(WindowsPlatformTest, MachineValuesAreReadFromThe32BitViewFirstThenThe64BitOne) {
    const auto readKit = [&] {
        return config::RegValueText(config::LeerRegistro(os.registry(), RegistryRoot::LocalMachine,
                                                         "SOFTWARE\\SIF America\\KitMaria",
                                                         "KITOUT"));
    };
    EXPECT_EQ(readKit(), "");
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\SIF America\\KitMaria", 0, nullptr,
                                0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, L"KITOUT", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\Kit64\\"),
                     sizeof L"C:\\Kit64\\");
    ::RegCloseKey(key);
    EXPECT_EQ(readKit(), "C:\\Kit64\\");
    home.SetKitFolder("C:\\Kit Aduana ñ\\");  // in the 32-bit view
    EXPECT_EQ(readKit(), "C:\\Kit Aduana ñ\\");
}

TEST_F(WindowsPlatformTest, UserSettingsRoundTripThroughTheRealStore) {
    os.SaveSetting("Tolvane Tests", "DEFAULT", "UBICACION", "C:\\Programa Ñandú\\");
    EXPECT_EQ(os.GetSetting("Tolvane Tests", "DEFAULT", "UBICACION", "-"), "C:\\Programa Ñandú\\");
    EXPECT_EQ(os.GetSetting("Tolvane Tests", "DEFAULT", "FALTA", "-"), "-");
    wchar_t stored[64] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER,
                             L"Software\\VB and VBA Program Settings\\Tolvane Tests\\DEFAULT",
                             L"UBICACION", RRF_RT_REG_SZ, nullptr, stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(stored), L"C:\\Programa \u00D1and\u00FA\\");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Tolvane Tests");
}

// Profile files stay in the ANSI code page, as every other program that reads them expects.
TEST_F(WindowsPlatformTest, ProfileFilesAreWrittenInTheAnsiCodePageAndReadAsUtf8) {
    const std::string file = home.Folder("perfil") + "Config.ini";
    test::WriteFile(file, "[Opciones]\r\nUSUARIO = \"despachante\" \r\n");
    EXPECT_EQ(os.GetPrivateProfileString("opciones", "usuario", "-", file), "despachante");
    ASSERT_TRUE(os.WritePrivateProfileString("Opciones", "DIRECTORIO", "año", file));
    EXPECT_NE(test::ReadFile(file).find("DIRECTORIO=a\xF1o"), std::string::npos);
    EXPECT_EQ(os.GetPrivateProfileString("Opciones", "DIRECTORIO", "-", file), "año");
    EXPECT_EQ(os.GetPrivateProfileString("Opciones", "FALTA", "por omisión", file), "por omisión");
}

// The child runs this same test binary and reports through its exit status whether it found
// the instance that this process holds.
TEST_F(WindowsPlatformTest, ASecondProcessFindsTheFirstInstance) {
    if (std::wstring(::GetCommandLineW()).ends_with(L" --instance-child"))
        std::exit(os.PreviousInstanceRunning() ? 42 : 7);
    ASSERT_FALSE(os.PreviousInstanceRunning());
    EXPECT_FALSE(os.PreviousInstanceRunning());  // its own claim is no other instance
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring quoted = L"\"" + std::wstring(self) + L"\"";
    const wchar_t* const argv[] = {
        quoted.c_str(), L"--gtest_filter=WindowsPlatformTest.ASecondProcessFindsTheFirstInstance",
        L"--instance-child", nullptr};
    EXPECT_EQ(::_wspawnv(_P_WAIT, self, argv), 42);
}

TEST_F(WindowsPlatformTest, FilesAreReplacedWholeAndRemovedByTheRulesOfTheirAttributes) {
    const std::string folder = home.Folder("archivos");
    const std::string target = folder + "Ñ despacho.xml";
    test::WriteFile(platform::NativePath(target), "viejo");
    {
        DurableFile out(target, ".tmp-copia", 0444);
        ASSERT_EQ(out.Write("nuevo"), 0);
        ASSERT_EQ(out.Commit(), 0);
    }
    EXPECT_EQ(ReadWholeFile(target), "nuevo");
    EXPECT_EQ(test::CountEntries(NativePath(folder)), 1);  // no temporary file left
    EXPECT_EQ(RemoveFile(target, false), kErrorReadOnly);
    EXPECT_EQ(RemoveFile(target, true), 0);
    EXPECT_EQ(RemoveFile(target, true), ENOENT);
    EXPECT_EQ(RemoveFile(folder, true), EISDIR);
    EXPECT_EQ(InputFile(folder).error(), EISDIR);

    {
        DurableFile abandoned(folder + "nunca.xml", ".tmp-nunca", 0666);
        abandoned.Write("a medias");
    }
    EXPECT_EQ(test::CountEntries(NativePath(folder)), 0);

    const TemporaryFile spill = OpenTemporaryFile();
    ASSERT_NE(spill, nullptr);
    EXPECT_GE(std::fputs("derrame\n", spill.get()), 0);
    std::rewind(spill.get());
    char back[16] = {};
    EXPECT_STREQ(std::fgets(back, sizeof back, spill.get()), "derrame\n");  // binary: no CR added
}

// Opens `path` without sharing, as a scanner does, for `heldMs`; Held() once it is open.
class FileHolder {
  public:
    FileHolder(const std::string& path, DWORD heldMs)
        : held_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread_([this, path, heldMs] {
              const HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr);
              ::SetEvent(held_);
              ::Sleep(heldMs);
              ::CloseHandle(file);
          }) {
        ::WaitForSingleObject(held_, INFINITE);
    }
    ~FileHolder() {
        thread_.join();
        ::CloseHandle(held_);
    }

  private:
    HANDLE held_;
    std::thread thread_;
};

// A file held open without sharing for a moment (an antivirus scanner, the search indexer) is
// read, replaced or removed once it is let go; one held for good still fails, after a few
// seconds.
TEST_F(WindowsPlatformTest, AFileHeldByAnotherProgramForAMomentIsWaitedFor) {
    const std::string path = home.Folder("retenidos") + "I10073IC04004521A.RET";
    test::WriteFile(NativePath(path), "<ITEMS/>");
    {
        FileHolder scanner(path, 600);
        EXPECT_EQ(InputFile(path).error(), 0);
    }
    {
        FileHolder scanner(path, 600);
        DurableFile out(path, ".tmp-retenido", 0666);
        ASSERT_EQ(out.Write("<ITEMS></ITEMS>"), 0);
        EXPECT_EQ(out.Commit(), 0);
    }
    EXPECT_EQ(ReadWholeFile(path), "<ITEMS></ITEMS>");
    {
        FileHolder scanner(path, 600);
        EXPECT_EQ(RemoveFile(path, false), 0);
    }
    EXPECT_FALSE(PathExists(path));

    test::WriteFile(NativePath(path), "<ITEMS/>");
    FileHolder forGood(path, 3600);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(RemoveFile(path, false), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(WideTextTest, InvalidUtf8IsReplacedWithoutLosingWhatFollows) {
    EXPECT_EQ(Widen("caf\xC3"
                    "-ok"),
              L"caf\uFFFD-ok");
    EXPECT_EQ(Widen("\xE6\x97\xA5\xFF\xE6\x97\xA5"), L"\u65E5\uFFFD\u65E5");
    EXPECT_EQ(Narrow(L"a\xD800"
                     L"b\U0001F600"),
              "a\xEF\xBF\xBD"
              "b\xF0\x9F\x98\x80");
}

TEST(DatePictureTest, WindowsShortDatePicturesGiveTheirOrderAndSeparator) {
    for (const auto& [picture, order, separator] : {
             std::tuple{"dd/MM/yyyy", DateOrder::DayMonthYear, '/'},
             std::tuple{"M/d/yyyy", DateOrder::MonthDayYear, '/'},
             std::tuple{"yyyy-MM-dd", DateOrder::YearMonthDay, '-'},
             std::tuple{"d.M.yy", DateOrder::DayMonthYear, '.'},
         }) {
        SCOPED_TRACE(picture);
        const DateStyle style = DateStyleFromPicture(picture);
        EXPECT_EQ(style.order, order);
        EXPECT_EQ(style.separator, separator);
    }
}

}  // namespace
}  // namespace tolvane::platform::win32
