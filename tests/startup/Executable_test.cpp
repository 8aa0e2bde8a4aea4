// The real executable, started as the office starts it.

#include <signal.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "support/Process.h"
#include "support/TolvaneHome.h"

namespace tolvane {
namespace {

class ExecutableTest : public ::testing::Test {
  protected:
    ExecutableTest() {
        kit = home.Folder("kit/out");
        bck1 = home.Folder("bck1");
        home.SetKitFolder(kit);
        std::filesystem::create_directories(home.Autostart());
    }

    std::map<std::string, std::string> Environment() const { return home.Environment(); }

    test::ProcessResult Run(const std::vector<std::string>& args) {
        std::vector<std::string> argv{TOLVANE_EXECUTABLE};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::RunProcess(argv, Environment());
    }

    test::TolvaneHome home;
    std::string kit, bck1;
};

TEST_F(ExecutableTest, VersionAndHelp) {
    const auto version = Run({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "tolvane 1.8.40\n");
    EXPECT_EQ(Run({"--help"}).exitStatus, 0);
    EXPECT_EQ(Run({"--no-such-option"}).exitStatus, 64);
}

TEST_F(ExecutableTest, OnceExitStatusFollowsTheStartUpOutcome) {
    const struct {
        std::string ini;
        int status;
        std::string message;
    } cases[] = {
        {"MILISEGUNDOS=1000\nRUTA1=" + bck1, 0, ""},
        {"MILISEGUNDOS=0\nRUTA1=" + bck1, 2,
         "Tolvane: Debe configurar la frecuencia del procedimiento en el archivo INI\n"},
        // Without a terminal the retry question is answered No: the start is cancelled.
        {"MILISEGUNDOS=1000\nRUTA1=/no/existe/", 2, "Tolvane: Se cancelo el inicio de Tolvane."},
        {"MILISEGUNDOS=99999\nRUTA1=" + bck1, 3, "Tolvane: Error en tiempo de ejecución 380:\n"},
    };
    for (const auto& c : cases) {
        home.WriteConfigIni("[Opciones]\n" + c.ini + "\n");
        const auto result = Run({"--headless", "--once"});
        EXPECT_EQ(result.exitStatus, c.status) << c.ini << "\n" << result.err;
        if (c.message.empty()) {
            EXPECT_EQ(result.err, "") << c.ini;
        } else {
            EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        }
    }
    EXPECT_TRUE(std::filesystem::exists(home.Autostart() / "BRENMOOR_TOLVANE.desktop"));
}

TEST_F(ExecutableTest, SecondInstanceEndsSilentlyWhileTheFirstStaysResident) {
    home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=50\nRUTA1=" + bck1 + "\n");
    test::ChildProcess first({TOLVANE_EXECUTABLE, "--headless"}, Environment());
    // The Run value is written right after the instance is claimed.
    const auto entry = home.Autostart() / "BRENMOOR_TOLVANE.desktop";
    for (int i = 0; i < 500 && !std::filesystem::exists(entry); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(std::filesystem::exists(entry));
    std::filesystem::remove(entry);

    const auto second = Run({"--headless", "--once"});
    EXPECT_EQ(second.exitStatus, 0);
    EXPECT_EQ(second.err, "");
    EXPECT_FALSE(std::filesystem::exists(entry)) << "the second instance touched the registry";

    // Let the resident instance tick a few times, then stop it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    first.Signal(SIGTERM);
    const auto result = first.Wait();
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace tolvane
