#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "platform/linux/LinuxRegistry.h"
#include "support/TempDir.h"

namespace tolvane::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

constexpr auto kMachine = RegistryRoot::LocalMachine;
constexpr auto kUser = RegistryRoot::CurrentUser;
const std::string kKit = "SOFTWARE\\SIF America\\KitMaria";
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Dword(std::uint32_t n) {
    return {static_cast<char>(n & 0xFF), static_cast<char>(n >> 8 & 0xFF),
            static_cast<char>(n >> 16 & 0xFF), static_cast<char>(n >> 24)};
}

std::string Utf16Le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii)
        out += {c, '\0'};
    return out;
}

std::set<std::string> FilesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename());
    return names;
}

class LinuxRegistryTest : public ::testing::Test {
  protected:
    // The value as the settings code reads it: type and size first, then the bytes.
    std::optional<std::pair<std::uint32_t, std::string>> Query(RegistryRoot root,
                                                               const std::string& path,
                                                               const std::string& name) {
        RegistryKey key = 0;
        if (registry.OpenKey(root, path, kKeyAllAccessButDelete, key) != kSuccess)
            return {};
        std::uint32_t type = 0, size = 0;
        std::string data;
        long status = registry.QueryValue(key, name, type, size, nullptr);
        if (status == kSuccess)
            status = registry.QueryValue(key, name, type, size, &data);
        registry.CloseKey(key);
        if (status != kSuccess)
            return {};
        EXPECT_EQ(size, data.size());
        return std::make_pair(type, data);
    }
    long Set(RegistryRoot root, const std::string& path, const std::string& name,
             std::uint32_t type, const std::string& data) {
        RegistryKey key = 0;
        registry.OpenKey(root, path, kKeyAllAccessButDelete, key);
        const long status = registry.SetValue(key, name, type, data);
        registry.CloseKey(key);
        return status;
    }

    test::TempDir dir;
    fs::path registryDir = dir.path() / "registry";
    fs::path autostartDir = dir.path() / "autostart";
    fs::path machineFile = registryDir / "HKEY_LOCAL_MACHINE.reg";
    LinuxRegistry registry{registryDir.string(), autostartDir.string()};
};

TEST_F(LinuxRegistryTest, StringsAndNumbersRoundTrip) {
    RegistryKey key = 0;
    ASSERT_EQ(registry.CreateKey(kMachine, kKit, key), kSuccess);
    const std::string path = "C:\\Kit \"Maria\"\\out\\";
    EXPECT_EQ(registry.SetValue(key, "KITOUT", kRegSz, path + '\0'), kSuccess);
    EXPECT_EQ(registry.SetValue(key, "Numero", kRegDword, Dword(10)), kSuccess);
    EXPECT_EQ(registry.SetValue(key, "Grande", kRegDword, Dword(0xFEDCBA98)), kSuccess);

    std::uint32_t type = 0, size = 0;
    ASSERT_EQ(registry.QueryValue(key, "kitout", type, size, nullptr), kSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, path.size() + 1);  // the terminator counts
    std::string data;
    size = 5;
    EXPECT_EQ(registry.QueryValue(key, "KITOUT", type, size, &data), kErrorMoreData);
    EXPECT_EQ(size, path.size() + 1);
    EXPECT_EQ(Query(kMachine, "software\\sif america\\KITMARIA", "KitOut"),
              std::make_pair(kRegSz, path + '\0'));
    EXPECT_EQ(Query(kMachine, kKit, "numero"), std::make_pair(kRegDword, Dword(10)));
    EXPECT_EQ(Query(kMachine, kKit, "Grande"), std::make_pair(kRegDword, Dword(0xFEDCBA98)));
    EXPECT_EQ(registry.CloseKey(key), kSuccess);
    EXPECT_EQ(registry.CloseKey(key), kErrorInvalidHandle);

    const std::string text = ReadFile(machineFile);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\SIF America\\KitMaria]\n"
                        "\"KITOUT\"=\"C:\\\\Kit \\\"Maria\\\"\\\\out\\\\\"\n"
                        "\"Numero\"=dword:0000000a\n\"Grande\"=dword:fedcba98\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(FilesIn(registryDir), std::set<std::string>{"HKEY_LOCAL_MACHINE.reg"});
}

TEST_F(LinuxRegistryTest, MissingKeysAndValuesAreNotFoundAndNothingIsCreated) {
    RegistryKey key = 99;
    EXPECT_EQ(registry.OpenKey(kMachine, kKit, kKeyAllAccessButDelete, key), kErrorFileNotFound);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(Set(kMachine, kKit, "KITOUT", kRegSz, std::string("x\0", 2)), kErrorInvalidHandle);
    EXPECT_EQ(registry.SetValue(12345, "KITOUT", kRegSz, std::string("x\0", 2)),
              kErrorInvalidHandle);
    EXPECT_FALSE(fs::exists(registryDir));

    ASSERT_EQ(registry.CreateKey(kMachine, kKit, key), kSuccess);
    EXPECT_EQ(Query(kMachine, kKit, "KITOUT"), std::nullopt);
    EXPECT_EQ(Query(kUser, kKit, "KITOUT"), std::nullopt);  // roots are apart
    // Only a deeper key is written: its parents exist as well.
    EXPECT_EQ(registry.OpenKey(kMachine, "Software\\SIF America", 0, key), kSuccess);
    EXPECT_EQ(registry.OpenKey(kMachine, "Software\\SIF", 0, key), kErrorFileNotFound);
}

TEST_F(LinuxRegistryTest, ReadsFilesEditedByHand) {
    const std::string body =
        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\SIF America\\KitMaria]\r\n"
        "\"KITOUT\"=\"D:\\\\Kit Maria\\\\out\\\\\"\r\n"
        "@=\"por defecto\"\r\n"
        "\"Bin\"=hex:01,02,\\\r\n  ff\r\n"
        "\"Multi\"=hex(7):41,00,00,00\r\n"
        "\"Count\"=dword:00000100\r\n";
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"UTF-16LE with BOM, CR LF", Utf16Le("Windows Registry Editor Version 5.00\r\n" + body)},
        {"REGEDIT4, LF", "REGEDIT4\n" + body},
        {"UTF-8 with BOM", "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n" + body},
    };
    fs::create_directories(registryDir);
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        WriteFile(machineFile, file.bytes);
        EXPECT_EQ(Query(kMachine, kKit, "kitout"),
                  std::make_pair(kRegSz, std::string("D:\\Kit Maria\\out\\") + '\0'));
        EXPECT_EQ(Query(kMachine, kKit, ""),
                  std::make_pair(kRegSz, std::string("por defecto\0", 12)));
        EXPECT_EQ(Query(kMachine, kKit, "BIN"), std::make_pair(3u, std::string("\x01\x02\xff")));
        EXPECT_EQ(Query(kMachine, kKit, "Multi"), std::make_pair(7u, std::string("A\0\0\0", 4)));
        EXPECT_EQ(Query(kMachine, kKit, "Count"), std::make_pair(kRegDword, Dword(256)));
    }
    WriteFile(machineFile,
              "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Kit]\n\"Due\xF1o\"=\"Pe\xF1"
              "a\"\n");
    EXPECT_EQ(Query(kMachine, "Kit", "Dueño"), std::make_pair(kRegSz, std::string("Peña\0", 6)));
}

TEST_F(LinuxRegistryTest, WriteKeepsEveryOtherKeyAndValue) {
    fs::create_directories(registryDir);
    WriteFile(machineFile,
              Utf16Le("Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\SIF America\\KitMaria]\r\n"
                      "; puesto a mano\r\n\"KitOut\"=\"viejo\"\r\n\"Bin\"=hex(2):41,00,00,00\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Otro]\r\n\"Nombre\"=\"queda\"\r\n"));
    ASSERT_EQ(Set(kMachine, "software\\SIF AMERICA\\kitmaria", "KITOUT", kRegSz,
                  std::string("nuevo\0", 6)),
              kSuccess);

    const std::string text = ReadFile(machineFile);
    EXPECT_NE(text.find("; puesto a mano\n\"KitOut\"=\"nuevo\"\n\"Bin\"=hex(2):41,00,00,00\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(Query(kMachine, kKit, "Bin"), std::make_pair(2u, std::string("A\0\0\0", 4)));
    EXPECT_EQ(Query(kMachine, "SOFTWARE\\Otro", "Nombre"),
              std::make_pair(kRegSz, std::string("queda\0", 6)));
    EXPECT_EQ(FilesIn(registryDir), std::set<std::string>{"HKEY_LOCAL_MACHINE.reg"});
}

TEST_F(LinuxRegistryTest, CreateKeyAddsMissingParentsKeepingStoredSpelling) {
    fs::create_directories(registryDir);
    const fs::path userFile = registryDir / "HKEY_CURRENT_USER.reg";
    WriteFile(userFile, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n");
    RegistryKey key = 0;
    ASSERT_EQ(registry.CreateKey(kUser, "SOFTWARE\\Vendor\\App\\", key), kSuccess);
    ASSERT_EQ(registry.SetValue(key, "n", kRegDword, Dword(1)), kSuccess);
    EXPECT_EQ(ReadFile(userFile),
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Vendor]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Vendor\\App]\n\"n\"=dword:00000001\n\n");
}

class RunKeyTest : public LinuxRegistryTest {};

TEST_F(RunKeyTest, StandsForTheAutostartFolder) {
    RegistryKey key = 0;
    EXPECT_EQ(registry.OpenKey(kMachine, kRun, kKeyAllAccessButDelete, key), kErrorFileNotFound);
    fs::create_directories(autostartDir);
    const struct {
        std::string program;
        std::string exec;
    } cases[] = {
        {"/opt/tolvane/tolvane", "Exec=/opt/tolvane/tolvane"},
        {"/opt/mis programas/tolvane", "Exec=\"/opt/mis programas/tolvane\""},
        {"/opt/100% $HOME/t`x`", "Exec=\"/opt/100%% \\\\$HOME/t\\\\`x\\\\`\""},
        {"C:\\Program Files\\Tolvane.exe", "Exec=\"C:\\\\\\\\Program Files\\\\\\\\Tolvane.exe\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        ASSERT_EQ(Set(kMachine, "software\\microsoft\\windows\\currentversion\\run",
                      "BRENMOOR_TOLVANE", kRegSz, c.program + '\0'),
                  kSuccess);
        EXPECT_EQ(ReadFile(autostartDir / "BRENMOOR_TOLVANE.desktop"),
                  "[Desktop Entry]\nType=Application\nName=BRENMOOR_TOLVANE\n" + c.exec +
                      "\nX-GNOME-Autostart-enabled=true\n");
        EXPECT_EQ(Query(kMachine, kRun, "brenmoor_tolvane"),
                  std::make_pair(kRegSz, c.program + '\0'));
    }
    EXPECT_EQ(Query(kMachine, kRun, "OTRO"), std::nullopt);
    WriteFile(autostartDir / "Manual.desktop", "[Desktop Entry]\nExec=/usr/bin/prog --flag\n");
    EXPECT_EQ(Query(kMachine, kRun, "Manual"),
              std::make_pair(kRegSz, std::string("/usr/bin/prog --flag") + '\0'));
    EXPECT_FALSE(fs::exists(registryDir));
}

}  // namespace
}  // namespace tolvane::platform
