#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "common/SystemError.h"
#include "common/Text.h"
#include "platform/FileServices.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/PosixFile.h"
#include "support/Expect.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace tolvane::platform {
namespace {

using test::ReadFile;
using test::WriteFile;

class LinuxPlatformTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    const LinuxPaths paths{(dir.path() / "registry").string(), (dir.path() / "autostart").string(),
                           (dir.path() / "run").string(), "", "/opt"};
    std::unique_ptr<LinuxPlatform> os = std::make_unique<LinuxPlatform>(paths);
};

// Nothing is written through a link or into a pipe, which would hold the writer for good: at
// the temporary name another name is taken, and a destination held by one is left alone. A
// regular file at the temporary name, what a writer that died left, is replaced.
TEST_F(LinuxPlatformTest, DurableFilesNeverWriteThroughALinkOrIntoAPipe) {
    const fs::path place = dir.path() / "escritos";
    fs::create_directory(place);
    const std::string folder = place.string() + "/";
    const std::string outside = folder + "fuera";
    WriteFile(outside, "intacto");
    fs::create_symlink(outside, folder + ".tmp-enlace");
    ASSERT_EQ(::mkfifo((folder + ".tmp-tuberia").c_str(), 0600), 0);
    WriteFile(folder + ".tmp-resto", "a medias");
    for (const char* temporary : {".tmp-enlace", ".tmp-tuberia", ".tmp-resto"}) {
        DurableFile file(folder + "a.xml", temporary, 0644);
        EXPECT_EQ(file.Write(temporary), 0);
        EXPECT_EQ(file.Commit(), 0);
        EXPECT_EQ(ReadFile(folder + "a.xml"), temporary);
    }
    fs::create_symlink(outside, folder + "b.xml");
    ASSERT_EQ(::mkfifo((folder + "c.xml").c_str(), 0600), 0);
    for (const char* name : {"b.xml", "c.xml"}) {
        DurableFile file(folder + name, ".tmp-x", 0644);
        EXPECT_EQ(file.Write("nuevo"), 0);
        EXPECT_EQ(file.Commit(), kErrorNotRegularFile) << name;
    }
    EXPECT_EQ(ReadFile(outside), "intacto");
    EXPECT_TRUE(fs::is_symlink(folder + "b.xml") && fs::is_fifo(folder + "c.xml"));
    EXPECT_EQ(test::Names(place), (std::vector<std::string>{".tmp-enlace", ".tmp-tuberia", "a.xml",
                                                            "b.xml", "c.xml", "fuera"}));
}

TEST_F(LinuxPlatformTest, PerUserStoreRoundTripsInTheRegistryAndFailsNamingItsFile) {
    os->SaveSetting("HISTORIAL", "FTP", "USUARIO", "despachante");
    os->SaveSetting("VESTRAL", "DEFAULT", "UBICACION", "/srv/quillon/");
    os->SaveSetting("historial", "ftp", "usuario", "");
    EXPECT_EQ(os->GetSetting("HISTORIAL", "FTP", "USUARIO", "(none)"), "");
    EXPECT_EQ(os->GetSetting("Vestral", "Default", "Ubicacion", ""), "/srv/quillon/");
    EXPECT_EQ(os->GetSetting("HISTORIAL", "FTP", "PASSWORD", "(none)"), "(none)");
    EXPECT_NE(ReadFile(dir.path() / "registry/HKEY_CURRENT_USER.reg")
                  .find("Software\\VB and VBA Program Settings\\HISTORIAL\\FTP]"),
              std::string::npos);

    LinuxPlatform broken(LinuxPaths{"/dev/null/registry", "", "", "", ""});
    test::ExpectFailure([&] { broken.SaveSetting("HISTORIAL", "FTP", "USUARIO", "x"); }, 5, "",
                        {"null/registry/HKEY_CURRENT_USER"});
}

// Whether a separate process sees a previous instance; its exit status carries the answer.
int AnswerOfAnotherProcess(const LinuxPaths& paths) {
    const pid_t child = fork();
    if (child == 0)
        _exit(LinuxPlatform(paths).PreviousInstanceRunning() ? 1 : 0);
    int status = -1;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LinuxPlatformTest, SingleInstanceHoldsUntilThePlatformGoes) {
    EXPECT_FALSE(os->PreviousInstanceRunning());
    EXPECT_FALSE(os->PreviousInstanceRunning());  // its own claim does not count
    EXPECT_EQ(AnswerOfAnotherProcess(paths), 1);
    EXPECT_EQ(fs::status(paths.runtimeDir).permissions(), fs::perms::owner_all);
    os.reset();
    EXPECT_EQ(AnswerOfAnotherProcess(paths), 0);
}

TEST_F(LinuxPlatformTest, PathsFromTheEnvironmentAndTheExecutable) {
    EXPECT_TRUE(fs::is_regular_file(os->ProgramFolder() + "/" + os->ExecutableName()));
    EXPECT_EQ(LinuxPlatform({"", "", "", "/srv/tolvane//", "/x"}).ProgramFolder(), "/srv/tolvane");

    const char* const names[] = {
        "XDG_CONFIG_HOME", "HOME",         "TOLVANE_REGISTRY_DIR", "XDG_RUNTIME_DIR",
        "TMPDIR",          "ProgramFiles", "TOLVANE_HOME",         "TOLVANE_LAUNCHER"};
    // Every variable set or unset (nullptr), in two environments, and the paths they give: the
    // start-at-logon entry names the launcher that started the program, when it is absolute,
    // and otherwise the executable's name in the program folder.
    const char* const environments[2][8] = {
        {"/cfg", nullptr, nullptr, "relative/ignored", dir.path().c_str(), nullptr, "/srv/t",
         "bin/tolvane"},
        {nullptr, "/home/clerk", "/reg", "/run/user/1000", dir.path().c_str(), "/programs",
         "/home/clerk/.config/tolvane", "/usr/bin/tolvane"},
    };
    const std::string runtime = dir.path() / ("tolvane-" + std::to_string(geteuid()));
    // Without HOME, the home of the user's account.
    const std::string home = std::string(getpwuid(geteuid())->pw_dir);
    const std::string expected[2] = {
        "/cfg/tolvane/registry /cfg/autostart " + runtime + " /opt " + home +
            "/.ssh/known_hosts /srv/t /srv/t/" + os->ExecutableName(),
        "/reg /home/clerk/.config/autostart /run/user/1000 /programs "
        "/home/clerk/.ssh/known_hosts /home/clerk/.config/tolvane /usr/bin/tolvane"};
    for (int e = 0; e < 2; ++e) {
        std::vector<std::pair<std::string, const char*>> variables;
        for (int i = 0; i < 8; ++i)
            variables.emplace_back(names[i], environments[e][i]);
        const test::ScopedEnv environment(variables);
        const LinuxPaths p = LinuxPaths::FromEnvironment();
        LinuxPlatform platform(p);
        EXPECT_EQ(p.registryDir + " " + p.autostartDir + " " + p.runtimeDir + " " +
                      p.programFilesFolder + " " + platform.KnownHostsFile() + " " +
                      platform.ProgramFolder() + " " + platform.ProgramPath(),
                  expected[e]);
    }
    EXPECT_TRUE(fs::is_directory(runtime));
}

// Profile files read and written through the platform.
class ProfileFileTest : public LinuxPlatformTest {
  protected:
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& fallback = "") {
        return os->GetPrivateProfileString(section, key, fallback, file.string());
    }
    bool Put(const std::string& section, const std::string& key, const std::string& value) {
        return os->WritePrivateProfileString(section, key, value, file.string());
    }

    fs::path file = dir.path() / "Config.ini";
};

TEST_F(ProfileFileTest, ReadsValuesWithThePlatformRulesInEveryEncodingUpTo254Characters) {
    EXPECT_EQ(Get("Opciones", "RUTA1", "C:\\"), "C:\\");  // no file yet
    WriteFile(file,
              "; SERVIDOR=commented out\n[ OPCIONES ]\n  Servidor \t=  ftp.example.com \t\n"
              "Quoted=\"  spaced value  \"\nSingle='abc'\nMismatched=\"abc'\nInner=a \"b\" c\n"
              "Empty=\n;RUTA1=C:\\commented\nRUTA1=C:\\first\\\nruta1=C:\\second\\\n"
              "[Otra]\nUSUARIO=nobody\n");
    const std::pair<const char*, const char*> cases[] = {
        {"servidor", "ftp.example.com"}, {"QUOTED", "  spaced value  "}, {"single", "abc"},
        {"mismatched", "\"abc'"},        {"inner", "a \"b\" c"},         {"empty", ""},
        {"Ruta1", "C:\\first\\"},        {"USUARIO", "(none)"},
    };
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(Get("Opciones", key, "(none)"), expected) << key;
    EXPECT_EQ(Get("otra", "usuario"), "nobody");
    EXPECT_EQ(Get("Missing", "USUARIO", "(none)"), "(none)");

    const std::string longValue = text::ReplaceAll(std::string(300, 'x'), "x", "ñ");
    WriteFile(file, "\xEF\xBB\xBF[Opciones]\r\nRUTA1=" + longValue + "\r\n");
    EXPECT_EQ(Get("Opciones", "RUTA1"), longValue.substr(0, 254 * 2));  // characters, not bytes

    WriteFile(file, "[Opciones]\nRUTA1=C:\\A\xF1o\\\n");  // ISO-8859-1
    EXPECT_EQ(Get("Opciones", "RUTA1"), "C:\\Año\\");

    // Saved as "Unicode" by Notepad: UTF-16 with its byte-order mark, read and written as such.
    const auto utf16 = [](std::string_view utf8) {
        std::string bytes = "\xFF\xFE";
        for (const char16_t unit : text::Utf8ToUtf16(utf8))
            bytes += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        return bytes;
    };
    WriteFile(file, utf16("[Opciones]\r\nMILISEGUNDOS=60000\r\nRUTA1=C:\\Año\\\r\n"));
    EXPECT_EQ(Get("Opciones", "milisegundos"), "60000");
    ASSERT_TRUE(Put("Opciones", "RUTA2", "D:\\Ñandú\\"));
    EXPECT_EQ(ReadFile(file), utf16("[Opciones]\r\nMILISEGUNDOS=60000\r\nRUTA1=C:\\Año\\\r\n"
                                    "RUTA2=D:\\Ñandú\\\r\n"));
}

TEST_F(ProfileFileTest, WriteCreatesTheFileButNotItsFolderReplacesInPlaceAndKeepsEveryOtherByte) {
    ASSERT_TRUE(Put("Opciones", "RUTA1", "/srv/año/"));
    EXPECT_EQ(ReadFile(file), "[Opciones]\nRUTA1=/srv/año/\n");

    WriteFile(file, "[Opciones]\nUSUARIO=A\xF1o\n");  // ISO-8859-1 stays so
    ASSERT_TRUE(Put("Opciones", "RUTA2", "/srv/año/"));
    EXPECT_EQ(ReadFile(file), "[Opciones]\nUSUARIO=A\xF1o\nRUTA2=/srv/a\xF1o/\n");

    WriteFile(file, "; cabecera\r\n[Opciones]\r\nA=1\r\n; nota\r\n  B = 2 \r\n\r\n[Otra]\r\nC=3");
    ASSERT_TRUE(Put("opciones", "b", "20") && Put("Opciones", "D", "4") && Put("Otra", "E", "5") &&
                Put("Nueva", "F", "6"));
    EXPECT_EQ(ReadFile(file),
              "; cabecera\r\n[Opciones]\r\nA=1\r\n; nota\r\nB=20\r\nD=4\r\n\r\n"
              "[Otra]\r\nC=3\r\nE=5\r\n[Nueva]\r\nF=6\r\n");
    // No temporary file is left beside it.
    EXPECT_EQ(test::CountEntries(dir.path()), 1);

    WriteFile(dir.path() / "plain", "not a folder");
    for (const char* folder : {"missing", "plain"}) {
        file = dir.path() / folder / "Config.ini";
        EXPECT_FALSE(Put("Opciones", "RUTA1", "x")) << folder;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

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

class LinuxRegistryTest : public LinuxPlatformTest {
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

// A fresh user has no autostart folder: reading finds no key, writing makes the folder.
TEST_F(LinuxRegistryTest, TheRunKeyStandsForTheAutostartFolder) {
    fs::remove_all(autostartDir);
    RegistryKey key = 0;
    EXPECT_EQ(registry.OpenKey(kMachine, kRun, kKeyRead, key), kErrorFileNotFound);
    ASSERT_EQ(registry.OpenKey(kMachine, kRun, kKeyAllAccessButDelete, key), kSuccess);
    EXPECT_EQ(fs::status(autostartDir).permissions(), fs::perms::owner_all);
    const std::pair<std::string, std::string> cases[] = {
        {"/opt/tolvane/tolvane", "Exec=/opt/tolvane/tolvane"},
        {"/opt/mis programas/tolvane", "Exec=\"/opt/mis programas/tolvane\""},
        {"/opt/100% $HOME/t`x`", "Exec=\"/opt/100%% \\\\$HOME/t\\\\`x\\\\`\""},
        {"C:\\Program Files\\Tolvane.exe", "Exec=\"C:\\\\\\\\Program Files\\\\\\\\Tolvane.exe\""},
    };
    for (const auto& [program, exec] : cases) {
        SCOPED_TRACE(program);
        ASSERT_EQ(registry.SetValue(key, "BRENMOOR_TOLVANE", kRegSz, program + '\0'), kSuccess);
        const std::string entry = ReadFile(autostartDir / "BRENMOOR_TOLVANE.desktop");
        EXPECT_TRUE(entry.starts_with("[Desktop Entry]\nType=Application\nName=Tolvane\n") &&
                    entry.find("\nIcon=tolvane\nTryExec=") != std::string::npos &&
                    entry.ends_with("\n" + exec + "\nX-GNOME-Autostart-enabled=true\n"))
            << entry;
        EXPECT_EQ(Query(kMachine, kRun, "brenmoor_tolvane"), Sz(program));
    }
    EXPECT_EQ(Query(kMachine, kRun, "OTRO"), std::nullopt);
    WriteFile(autostartDir / "Manual.desktop", "[Desktop Entry]\nExec=/usr/bin/prog --flag\n");
    EXPECT_EQ(Query(kMachine, kRun, "Manual"), Sz("/usr/bin/prog --flag"));
    EXPECT_TRUE(fs::is_empty(registryDir));
}

}  // namespace
}  // namespace tolvane::platform
