#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "common/Text.h"
#include "platform/linux/LinuxRegistry.h"
#include "support/TempDir.h"

namespace tolvane::platform {
namespace {

using test::ReadFile;
using test::WriteFile;
using Value = std::optional<std::pair<std::uint32_t, std::string>>;

constexpr auto kMachine = RegistryRoot::LocalMachine;
const std::string kKit = "SOFTWARE\\SIF America\\KitMaria";
const std::string kRun = "software\\microsoft\\windows\\currentversion\\run";  // any case

const std::string kDword = "\x98\xBA\xDC\xFE";  // 0xfedcba98, stored little-endian
std::string Utf16Le(const std::string& latin1) {
    std::string out = "\xFF\xFE";
    for (char c : latin1)
        out += {c, '\0'};
    return out;
}
Value Sz(const std::string& text) {
    return std::make_pair(kRegSz, text + '\0');
}

class LinuxRegistryTest : public ::testing::Test {
  protected:
    // The value as the settings code reads it: type and size first, then the bytes.
    Value Query(RegistryRoot root, const std::string& path, const std::string& name) {
        RegistryKey key = 0;
        std::uint32_t type = 0, size = 0;
        std::string data;
        const bool found = registry.OpenKey(root, path, kKeyAllAccessButDelete, key) == kSuccess &&
                           registry.QueryValue(key, name, type, size, nullptr) == kSuccess &&
                           registry.QueryValue(key, name, type, size, &data) == kSuccess;
        registry.CloseKey(key);
        EXPECT_EQ(size, data.size());
        return found ? Value(std::make_pair(type, data)) : std::nullopt;
    }

    test::TempDir dir;
    fs::path machineFile = dir.Sub("registry/HKEY_LOCAL_MACHINE.reg");
    fs::path registryDir = machineFile.parent_path();
    fs::path autostartDir = dir.Sub("autostart/x").parent_path();
    LinuxRegistry registry{registryDir.string(), autostartDir.string()};
};

TEST_F(LinuxRegistryTest, NewKeysAndValuesRoundTripAndAreWrittenInTheEditorsForm) {
    RegistryKey key = 99;
    EXPECT_EQ(registry.OpenKey(kMachine, kKit, kKeyAllAccessButDelete, key), kErrorFileNotFound);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(registry.SetValue(12345, "KITOUT", kRegSz, "x"), kErrorInvalidHandle);
    EXPECT_TRUE(fs::is_empty(registryDir));  // failures create nothing

    ASSERT_EQ(registry.CreateKey(kMachine, kKit + "\\", key), kSuccess);
    const std::string path = "C:\\Kit \"Maria\"\\out\\";
    EXPECT_EQ(registry.SetValue(key, "KITOUT", kRegSz, path + '\0'), kSuccess);
    EXPECT_EQ(registry.SetValue(key, "Grande", kRegDword, kDword), kSuccess);
    EXPECT_EQ(registry.CloseKey(key), kSuccess);
    EXPECT_EQ(registry.CloseKey(key), kErrorInvalidHandle);

    EXPECT_EQ(Query(kMachine, "software\\sif america\\KITMARIA", "KitOut"), Sz(path));
    EXPECT_EQ(Query(kMachine, kKit, "Otro"), std::nullopt);
    EXPECT_EQ(Query(RegistryRoot::CurrentUser, kKit, "KITOUT"), std::nullopt);  // roots are apart
    EXPECT_EQ(registry.OpenKey(kMachine, "Software\\SIF", 0, key), kErrorFileNotFound);
    EXPECT_EQ(ReadFile(machineFile),
              "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\SIF America]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\SIF America\\KitMaria]\n"
              "\"KITOUT\"=\"C:\\\\Kit \\\"Maria\\\"\\\\out\\\\\"\n\"Grande\"=dword:fedcba98\n\n");
}

TEST_F(LinuxRegistryTest, ReadsFilesEditedByHandAndWritesKeepingEveryOtherKeyValueAndSpelling) {
    const std::string body =
        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\SIF America\\KitMaria]\r\n; puesto a mano\r\n"
        "\"KITOUT\"=\"D:\\\\Kit Maria\\\\out\\\\\"\r\n@=\"por defecto\"\r\n"
        "\"Bin\"=hex:01,02,\\\r\n  ff\r\n\"Multi\"=hex(7):41,00,00,00\r\n"
        "\"Count\"=dword:fedcba98\r\n\"Due\xF1o\"=\"A\xF1o\"\r\n"  // ISO-8859-1 unless marked
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Otro]\r\n\"Nombre\"=\"queda\"\r\n";
    for (const std::string& bytes :
         {"REGEDIT4\n" + body,
          "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n" + text::Latin1ToUtf8(body),
          Utf16Le("Windows Registry Editor Version 5.00\r\n" + body)}) {
        SCOPED_TRACE(bytes.substr(0, 8));
        WriteFile(machineFile, bytes);
        EXPECT_EQ(Query(kMachine, kKit, "kitout"), Sz("D:\\Kit Maria\\out\\"));
        EXPECT_EQ(Query(kMachine, kKit, ""), Sz("por defecto"));
        EXPECT_EQ(Query(kMachine, kKit, "BIN"), std::make_pair(3u, std::string("\x01\x02\xff")));
        EXPECT_EQ(Query(kMachine, kKit, "Multi"), std::make_pair(7u, std::string("A\0\0\0", 4)));
        EXPECT_EQ(Query(kMachine, kKit, "Count"), std::make_pair(kRegDword, kDword));
        EXPECT_EQ(Query(kMachine, kKit, "Dueño"), Sz("Año"));
    }

    // Edited by hand with everyone's read permission; the registry may hold a password.
    fs::permissions(machineFile, fs::perms::owner_read | fs::perms::owner_write |
                                     fs::perms::group_read | fs::perms::others_read);
    RegistryKey key = 0;
    ASSERT_EQ(registry.OpenKey(kMachine, "software\\SIF AMERICA\\kitmaria", 0, key), kSuccess);
    ASSERT_EQ(registry.SetValue(key, "kitout", kRegSz, std::string("nuevo\0", 6)), kSuccess);
    ASSERT_EQ(registry.CreateKey(kMachine, "software\\otro\\Nueva", key), kSuccess);
    EXPECT_EQ(ReadFile(machineFile),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\SIF America\\KitMaria]\n; puesto a mano\n"
              "\"KITOUT\"=\"nuevo\"\n@=\"por defecto\"\n\"Bin\"=hex:01,02,ff\n"
              "\"Multi\"=hex(7):41,00,00,00\n\"Count\"=dword:fedcba98\n\"Dueño\"=\"Año\"\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Otro]\n\"Nombre\"=\"queda\"\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Otro\\Nueva]\n\n");
    EXPECT_EQ(test::CountEntries(registryDir), 1);
    EXPECT_EQ(fs::status(machineFile).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    // Writing what is already there leaves the file as it is; a change replaces it.
    struct stat before = {}, written = {}, again = {};
    ::stat(machineFile.c_str(), &before);
    ASSERT_EQ(registry.SetValue(key, "Otro", kRegSz, std::string("v\0", 2)), kSuccess);
    ::stat(machineFile.c_str(), &written);
    ASSERT_EQ(registry.SetValue(key, "Otro", kRegSz, std::string("v\0", 2)), kSuccess);
    ::stat(machineFile.c_str(), &again);
    EXPECT_NE(written.st_ino, before.st_ino);
    EXPECT_EQ(again.st_ino, written.st_ino);
}

TEST_F(LinuxRegistryTest, TheRunKeyStandsForTheAutostartFolder) {
    RegistryKey key = 0;
    ASSERT_EQ(registry.OpenKey(kMachine, kRun, 0, key), kSuccess);
    const std::pair<std::string, std::string> cases[] = {
        {"/opt/tolvane/tolvane", "Exec=/opt/tolvane/tolvane"},
        {"/opt/mis programas/tolvane", "Exec=\"/opt/mis programas/tolvane\""},
        {"/opt/100% $HOME/t`x`", "Exec=\"/opt/100%% \\\\$HOME/t\\\\`x\\\\`\""},
        {"C:\\Program Files\\Tolvane.exe", "Exec=\"C:\\\\\\\\Program Files\\\\\\\\Tolvane.exe\""},
    };
    for (const auto& [program, exec] : cases) {
        SCOPED_TRACE(program);
        ASSERT_EQ(registry.SetValue(key, "BRENMOOR_TOLVANE", kRegSz, program + '\0'), kSuccess);
        EXPECT_EQ(ReadFile(autostartDir / "BRENMOOR_TOLVANE.desktop"),
                  "[Desktop Entry]\nType=Application\nName=BRENMOOR_TOLVANE\n" + exec +
                      "\nX-GNOME-Autostart-enabled=true\n");
        EXPECT_EQ(Query(kMachine, kRun, "brenmoor_tolvane"), Sz(program));
    }
    EXPECT_EQ(Query(kMachine, kRun, "OTRO"), std::nullopt);
    WriteFile(autostartDir / "Manual.desktop", "[Desktop Entry]\nExec=/usr/bin/prog --flag\n");
    EXPECT_EQ(Query(kMachine, kRun, "Manual"), Sz("/usr/bin/prog --flag"));
    EXPECT_TRUE(fs::is_empty(registryDir));
}

}  // namespace
}  // namespace tolvane::platform
