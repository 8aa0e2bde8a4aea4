// The real executable, started as the office starts it.

#include <signal.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "support/DispatchHome.h"
#include "support/Process.h"
#include "support/TolvaneHome.h"

namespace tolvane {
namespace {

class ExecutableTest : public ::testing::Test {
  protected:
    ExecutableTest() { home.SetKitFolder(home.Folder("kit/out")); }

    test::ProcessResult Run(const std::vector<std::string>& args) {
        std::vector<std::string> argv{TOLVANE_EXECUTABLE};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::RunProcess(argv, home.Environment());
    }

    test::TolvaneHome home;
    std::string bck1 = home.Folder("bck1");
};

// The options end the program at once; a single pass's status follows the start-up outcome.
TEST_F(ExecutableTest, ExitStatusFollowsTheOptionsOrTheStartUpOutcome) {
    const std::vector<std::string> once{"--headless", "--once"};
    // Arguments, Config.ini's options, exit status, what standard error holds ("": nothing).
    const std::tuple<std::vector<std::string>, std::string, int, std::string> cases[] = {
        {{"--version"}, "", 0, ""},
        {{"--no-such-option"}, "", 64, "tolvane: unknown option '--no-such-option'"},
        {once, "MILISEGUNDOS=1000\nRUTA1=" + bck1, 0, ""},
        {once, "MILISEGUNDOS=0\nRUTA1=" + bck1, 2, "Tolvane: Debe configurar la frecuencia"},
        // Without a terminal the retry question is answered No: the start is cancelled.
        {once, "MILISEGUNDOS=1000\nRUTA1=/no/existe/", 2, "Tolvane: Se cancelo el inicio"},
        {once, "MILISEGUNDOS=99999\nRUTA1=" + bck1, 3, "Tolvane: Error en tiempo de ejecución 380"},
    };
    for (const auto& [args, ini, status, message] : cases) {
        home.WriteConfigIni("[Opciones]\n" + ini + "\n");
        const auto result = Run(args);
        EXPECT_EQ(result.exitStatus, status) << ini << "\n" << result.err;
        EXPECT_TRUE(message.empty() ? result.err.empty()
                                    : result.err.find(message) != std::string::npos)
            << ini << "\n"
            << result.err;
    }
    EXPECT_TRUE(fs::exists(home.Autostart() / "BRENMOOR_TOLVANE.desktop"));
}

TEST_F(ExecutableTest, SecondInstanceEndsSilentlyWhileTheFirstStaysResident) {
    home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=50\nRUTA1=" + bck1 + "\n");
    test::ChildProcess first({TOLVANE_EXECUTABLE, "--headless"}, home.Environment());
    // The Run value is written right after the instance is claimed.
    const auto entry = home.Autostart() / "BRENMOOR_TOLVANE.desktop";
    ASSERT_TRUE(test::WaitForFile(entry));
    fs::remove(entry);

    const auto second = Run({"--headless", "--once"});
    EXPECT_EQ(second.exitStatus, 0);
    EXPECT_EQ(second.err, "");
    EXPECT_FALSE(fs::exists(entry)) << "the second instance touched the registry";

    // Let the resident instance tick a few times, then stop it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    first.Signal(SIGTERM);
    const auto result = first.Wait();
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
}

// Sends `signal` once the program has been waiting a while: it must end within two seconds,
// with status 0.
void ExpectPromptStop(test::ChildProcess& process, int signal) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto sent = std::chrono::steady_clock::now();
    process.Signal(signal);
    const auto result = process.Wait(10'000);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2)) << signal;
    EXPECT_EQ(result.exitStatus, 0) << result.err;
}

// A stop is honoured within two seconds whatever the program waits for, and ends it with
// status 0: a question of start-up in a window, a database held by another program.
TEST_F(ExecutableTest, AStopEndsTheProgramPromptlyWhateverItWaitsFor) {
#ifdef TOLVANE_EXECUTABLE_HAS_QT
    home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=1000\nRUTA1=/no/existe/\n");
    for (const int signal : {SIGTERM, SIGHUP}) {
        auto environment = home.Environment();
        environment["QT_QPA_PLATFORM"] = "offscreen";
        test::ChildProcess windowed({TOLVANE_EXECUTABLE}, environment);  // the retry question
        ExpectPromptStop(windowed, signal);
    }
#endif
    // A pass waiting on a history database that another program holds locked.
    test::DispatchHome dispatches;
    dispatches.Configure("MILISEGUNDOS=1000\nRUTA1=" + bck1 + "\nESPERA=0\n");
    dispatches.AddKitDispatch("10073IC04004521A");
    const auto locked = dispatches.dir().path() / "locked";
    test::ChildProcess holder(
        test::SqliteLockCommand((dispatches.Program() / "historial.db").string(), locked.string()),
        {});
    ASSERT_TRUE(test::WaitForFile(locked));
    test::ChildProcess pass({TOLVANE_EXECUTABLE, "--headless", "--once"}, dispatches.Environment());
    ExpectPromptStop(pass, SIGTERM);
    EXPECT_TRUE(fs::exists(dispatches.kit() + "C10073IC04004521A.RET"));
    holder.Signal(SIGKILL);
}

}  // namespace
}  // namespace tolvane
