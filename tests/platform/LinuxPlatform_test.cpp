#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "common/Failure.h"
#include "platform/linux/LinuxPlatform.h"
#include "support/TempDir.h"

namespace tolvane::platform {
namespace {

namespace fs = std::filesystem;

class LinuxPlatformTest : public ::testing::Test {
  protected:
    LinuxPaths Paths() const {
        return {(dir.path() / "registry").string(), (dir.path() / "autostart").string(),
                (dir.path() / "run").string(), "", "/opt"};
    }

    test::TempDir dir;
    std::unique_ptr<LinuxPlatform> os = std::make_unique<LinuxPlatform>(Paths());
};

TEST_F(LinuxPlatformTest, PerUserStoreRoundTripsAndCreatesItsKeys) {
    EXPECT_EQ(os->GetSetting("VESTRAL", "DEFAULT", "UBICACION", "(none)"), "(none)");
    os->SaveSetting("HISTORIAL", "FTP", "USUARIO", "despachante");
    os->SaveSetting("HISTORIAL", "FTP", "SERVIDOR", "ftp.example.com");
    os->SaveSetting("VESTRAL", "DEFAULT", "UBICACION", "/srv/quillon/");
    os->SaveSetting("historial", "ftp", "usuario", "");
    EXPECT_EQ(os->GetSetting("HISTORIAL", "FTP", "USUARIO", "(none)"), "");
    EXPECT_EQ(os->GetSetting("HISTORIAL", "FTP", "SERVIDOR", ""), "ftp.example.com");
    EXPECT_EQ(os->GetSetting("Vestral", "Default", "Ubicacion", ""), "/srv/quillon/");
    EXPECT_EQ(os->GetSetting("HISTORIAL", "FTP", "PASSWORD", "(none)"), "(none)");

    RegistryKey key = 0;
    EXPECT_EQ(os->registry().OpenKey(RegistryRoot::CurrentUser,
                                     "Software\\VB and VBA Program Settings\\HISTORIAL\\FTP",
                                     kKeyAllAccessButDelete, key),
              kSuccess);
    os->registry().CloseKey(key);
}

TEST_F(LinuxPlatformTest, SaveSettingFailsNamingTheRegistryFile) {
    test::WriteFile(dir.path() / "file", "");
    LinuxPlatform broken(LinuxPaths{(dir.path() / "file" / "registry").string(), "", "", "", ""});
    try {
        broken.SaveSetting("HISTORIAL", "FTP", "USUARIO", "x");
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), 5);
        EXPECT_NE(failure.description().find("file/registry/HKEY_CURRENT_USER.reg"),
                  std::string::npos)
            << failure.description();
    }
}

// Whether a separate process sees a previous instance; its exit status carries the answer.
int AnswerOfAnotherProcess(const LinuxPaths& paths) {
    const pid_t child = fork();
    if (child == 0) {
        LinuxPlatform other(paths);
        _exit(other.PreviousInstanceRunning() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LinuxPlatformTest, SingleInstanceHoldsUntilThePlatformGoes) {
    EXPECT_EQ(AnswerOfAnotherProcess(Paths()), 0);  // nobody holds it yet
    EXPECT_FALSE(os->PreviousInstanceRunning());
    EXPECT_FALSE(os->PreviousInstanceRunning());  // its own claim does not count
    EXPECT_EQ(AnswerOfAnotherProcess(Paths()), 1);
    struct stat info {};
    ASSERT_EQ(stat((dir.path() / "run").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    os.reset();
    EXPECT_EQ(AnswerOfAnotherProcess(Paths()), 0);
}

TEST_F(LinuxPlatformTest, ProgramFolders) {
    EXPECT_EQ(os->ExecutableName(), "tolvane_tests");
    EXPECT_TRUE(fs::is_regular_file(os->ProgramFolder() + "/" + os->ExecutableName()));
    EXPECT_EQ(LinuxPlatform(LinuxPaths{"", "", "", "/srv/tolvane//", "/x"}).ProgramFolder(),
              "/srv/tolvane");
    EXPECT_EQ(os->ProgramFilesFolder(), "/opt");
    EXPECT_EQ(os->PathSeparator(), '/');
}

// Sets environment variables for one test and puts the previous values back.
class ScopedEnvironment {
  public:
    void Set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            it->second ? setenv(it->first.c_str(), it->second->c_str(), 1)
                       : unsetenv(it->first.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(LinuxPlatformTest, PathsFromTheEnvironment) {
    ScopedEnvironment environment;
    environment.Set("XDG_CONFIG_HOME", "/cfg");
    environment.Set("TOLVANE_REGISTRY_DIR", nullptr);
    environment.Set("XDG_RUNTIME_DIR", "relative/ignored");
    environment.Set("TMPDIR", dir.path().c_str());
    environment.Set("TOLVANE_HOME", "/srv/tolvane");
    environment.Set("ProgramFiles", nullptr);
    LinuxPaths paths = LinuxPaths::FromEnvironment();
    EXPECT_EQ(paths.registryDir, "/cfg/tolvane/registry");
    EXPECT_EQ(paths.autostartDir, "/cfg/autostart");
    EXPECT_EQ(paths.runtimeDir, (dir.path() / ("tolvane-" + std::to_string(geteuid()))).string());
    EXPECT_TRUE(fs::is_directory(paths.runtimeDir));
    EXPECT_EQ(paths.programFolder, "/srv/tolvane");
    EXPECT_EQ(paths.programFilesFolder, "/opt");

    environment.Set("XDG_CONFIG_HOME", nullptr);
    environment.Set("HOME", "/home/clerk");
    environment.Set("TOLVANE_REGISTRY_DIR", "/reg");
    environment.Set("XDG_RUNTIME_DIR", "/run/user/1000");
    environment.Set("ProgramFiles", "/programs");
    paths = LinuxPaths::FromEnvironment();
    EXPECT_EQ(paths.registryDir, "/reg");
    EXPECT_EQ(paths.autostartDir, "/home/clerk/.config/autostart");
    EXPECT_EQ(paths.runtimeDir, "/run/user/1000");
    EXPECT_EQ(paths.programFilesFolder, "/programs");
}

}  // namespace
}  // namespace tolvane::platform
