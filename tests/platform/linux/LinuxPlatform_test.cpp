#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "common/Text.h"
#include "platform/linux/LinuxPlatform.h"
#include "support/Expect.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace tolvane::platform {
namespace {

class LinuxPlatformTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    const LinuxPaths paths{(dir.path() / "registry").string(), (dir.path() / "autostart").string(),
                           (dir.path() / "run").string(), "", "/opt"};
    std::unique_ptr<LinuxPlatform> os = std::make_unique<LinuxPlatform>(paths);
};

TEST_F(LinuxPlatformTest, PerUserStoreRoundTripsInTheRegistryAndFailsNamingItsFile) {
    os->SaveSetting("HISTORIAL", "FTP", "USUARIO", "despachante");
    os->SaveSetting("VESTRAL", "DEFAULT", "UBICACION", "/srv/quillon/");
    os->SaveSetting("historial", "ftp", "usuario", "");
    EXPECT_EQ(os->GetSetting("HISTORIAL", "FTP", "USUARIO", "(none)"), "");
    EXPECT_EQ(os->GetSetting("Vestral", "Default", "Ubicacion", ""), "/srv/quillon/");
    EXPECT_EQ(os->GetSetting("HISTORIAL", "FTP", "PASSWORD", "(none)"), "(none)");
    EXPECT_NE(test::ReadFile(dir.path() / "registry/HKEY_CURRENT_USER.reg")
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
    test::WriteFile(
        file,
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
    test::WriteFile(file, "\xEF\xBB\xBF[Opciones]\r\nRUTA1=" + longValue + "\r\n");
    EXPECT_EQ(Get("Opciones", "RUTA1"), longValue.substr(0, 254 * 2));  // characters, not bytes

    test::WriteFile(file, "[Opciones]\nRUTA1=C:\\A\xF1o\\\n");  // ISO-8859-1
    EXPECT_EQ(Get("Opciones", "RUTA1"), "C:\\Año\\");
}

TEST_F(ProfileFileTest, WriteCreatesTheFileButNotItsFolderReplacesInPlaceAndKeepsEveryOtherByte) {
    ASSERT_TRUE(Put("Opciones", "RUTA1", "/srv/año/"));
    EXPECT_EQ(test::ReadFile(file), "[Opciones]\nRUTA1=/srv/año/\n");

    test::WriteFile(file, "[Opciones]\nUSUARIO=A\xF1o\n");  // ISO-8859-1 stays so
    ASSERT_TRUE(Put("Opciones", "RUTA2", "/srv/año/"));
    EXPECT_EQ(test::ReadFile(file), "[Opciones]\nUSUARIO=A\xF1o\nRUTA2=/srv/a\xF1o/\n");

    test::WriteFile(file,
                    "; cabecera\r\n[Opciones]\r\nA=1\r\n; nota\r\n  B = 2 \r\n\r\n[Otra]\r\nC=3");
    ASSERT_TRUE(Put("opciones", "b", "20") && Put("Opciones", "D", "4") && Put("Otra", "E", "5") &&
                Put("Nueva", "F", "6"));
    EXPECT_EQ(test::ReadFile(file),
              "; cabecera\r\n[Opciones]\r\nA=1\r\n; nota\r\nB=20\r\nD=4\r\n\r\n"
              "[Otra]\r\nC=3\r\nE=5\r\n[Nueva]\r\nF=6\r\n");
    // No temporary file is left beside it.
    EXPECT_EQ(test::CountEntries(dir.path()), 1);

    test::WriteFile(dir.path() / "plain", "not a folder");
    for (const char* folder : {"missing", "plain"}) {
        file = dir.path() / folder / "Config.ini";
        EXPECT_FALSE(Put("Opciones", "RUTA1", "x")) << folder;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

}  // namespace
}  // namespace tolvane::platform
