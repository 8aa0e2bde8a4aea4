// The whole road of a dispatch with every real part (SQLite through ODBC, an FTP server on
// loopback, real folders), and the real executable started as the office starts it.

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "dispatch/ArchivarXML.h"
#include "dispatch/Utilities.h"
#include "startup/ActivityLog.h"
#include "startup/Program.h"
#include "support/DispatchHome.h"
#include "support/FtpServer.h"
#include "support/Process.h"
#include "support/ProgramRig.h"
#include "support/SecondMount.h"

namespace tolvane::startup {
namespace {

using namespace std::chrono_literals;

class EndToEndTest : public ::testing::Test, protected test::ProgramRig<test::DispatchHome> {
  protected:
    void SetUp() override {
        if ((server = test::FtpServer::Shared()) == nullptr)
            GTEST_SKIP() << test::FtpServer::Unavailable();
        remote = "pass-" + std::to_string(++run);
        Configure("");
        program.setActivityLog(&log);
        ASSERT_EQ(program.Main(), StartupOutcome::Running);
    }

    // Config.ini with these lines added; every tick reads it again.
    void Configure(const std::string& more) {
        home.Configure("SERVIDOR=" + server->Url() + "\nUSUARIO=" + test::FtpServer::kUser +
                       "\nPASSWORD=" + test::FtpServer::kPassword + "\nDIRECTORIO=" + remote +
                       "\nRUTA1=" + bck1 + "\nRUTA2=" + bck2 + "\nMILISEGUNDOS=1000\n" + more);
    }

    test::FtpServer* server = nullptr;
    static inline int run = 0;
    std::string remote;
    std::ostringstream logErrors;
    ActivityLog log{home.os(), logErrors};
};

// Dispatches just dropped are waited for within the pass, and an items file left alone for a
// while with identical copies is finished. With the server away the first dispatch stays whole in
// the kit; once it is back each one is sent, recorded once and backed up, and a broken one is set
// aside. The activity log tells it all, without the password.
TEST_F(EndToEndTest, PassesSendRecordBackUpAndSetAsideAndTheLogTellsIt) {
    // 1111 has no row in the operations table: it goes through with its masks.
    test::WriteFile(kit + "C10073IC04001111H.RET",
                    "<R><DESPACHO_CARATULA IDENTIFICADOR_PROPIO=\"1111\" "
                    "DESPACHO=\"10073IC04001111H\" DESTINACION=\"IC04\" "
                    "CUIT_IMPO_EXPO=\"XXXXXXXXXXX\"><X/></DESPACHO_CARATULA></R>");
    test::WriteFile(kit + "I10073IC04001111H.RET", "<ITEMS/>");
    home.AddKitDispatch("10073IC04004521A");
    home.AddKitDispatch("10073IC04000666E", "10073IC04005555E");
    home.AddKitDispatch("10073LAPI000055D");
    const std::string lone = "I10073IC04000123B.RET";
    home.AddKitFile(lone);
    // Left alone for good only once untouched for ten minutes (a re-exported dispatch's items
    // file may come well before its cover sheet).
    const auto aged = [&](const std::string& name) {
        fs::last_write_time(kit + name, fs::file_time_type::clock::now() - 11min);
    };
    for (const auto& folder : {bck1, bck2})
        fs::copy_file(kit + lone, folder + lone);

    server->Stop();
    program.Timer1_Timer();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].text.find(" - seccion[Procesar.frmLista.Tolvane](0) - "
                                        "SubirArchivo.frmLista.Tolvane (100) Sorvik.Uploader"),
              std::string::npos)
        << window.boxes[0].text;
    // Every dispatch whole (1111 beside its rewritten files); the lone items file too, fresh
    // though both backups hold it: the kit may be exporting its dispatch again.
    EXPECT_EQ(test::Names(kit).size(), 11u);
    EXPECT_EQ(test::Names(bck1), std::vector<std::string>{lone});
    aged(lone);

    server->Start();
    clock.ahead += 1min;  // the cover sheet cut short is told once it has stayed so a minute
    program.Timer1_Timer();
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_NE(window.boxes[1].text.find("C10073IC04005555E.RET"), std::string::npos);
    EXPECT_EQ(test::Names(server->root() / remote),
              (std::vector<std::string>{"C1111.xml", "C4521.xml", "I1111.xml", "I4521.xml"}));
    const std::string sent = test::ReadFile(server->root() / remote / "C4521.xml");
    EXPECT_EQ(sent, home.Golden("C4521.xml", sent));
    for (const auto& folder : {bck1, bck2})
        EXPECT_EQ(test::Names(folder),
                  (std::vector<std::string>{"C10073IC04001111H.RET", "C10073IC04004521A.RET",
                                            "I10073IC04000123B.RET", "I10073IC04001111H.RET",
                                            "I10073IC04004521A.RET"}));
    EXPECT_EQ(test::Names(kit),
              (std::vector<std::string>{"C10073IC04005555E.RET", "C10073LAPI000055D.RET",
                                        "I10073IC04005555E.RET", "I10073LAPI000055D.RET"}));
    EXPECT_EQ(home.HistoryRows().size(), 2u);  // 1111, taken twice, recorded once

    // Once the broken cover sheet is taken away the items file left behind without copies is
    // pointed out once; the fault is over.
    fs::remove(kit + "C10073IC04005555E.RET");
    program.Timer1_Timer();
    EXPECT_EQ(window.boxes.size(), 2u) << "an items file just left without its cover sheet";
    aged("I10073IC04005555E.RET");
    clock.ahead += 11min;  // and its cover sheet long unseen
    program.Timer1_Timer();
    program.Timer1_Timer();
    ASSERT_EQ(window.boxes.size(), 3u);
    EXPECT_TRUE(window.boxes[2].text.starts_with("El archivo de items " + kit +
                                                 "I10073IC04005555E.RET está solo"));
    EXPECT_EQ(test::Names(kit),
              (std::vector<std::string>{"C10073LAPI000055D.RET", "I10073IC04005555E.RET",
                                        "I10073LAPI000055D.RET"}));
    EXPECT_EQ(test::Names(server->root() / remote).size(), 4u);

    const std::string written =
        test::ReadFile(home.ActivityLog() / DayFileName(home.os().LocalNow()));
    const std::string to = " a " + server->Url() + ", carpeta " + remote + "; HISTORIAL: ";
    const std::string starts[] = {
        "Tolvane 1.8.40 iniciado; usuario " + dispatch::getUsuarioWindows(home.os()) +
            "; carpeta del kit " + kit,
        "Pasada con falla: No se pudo subir el archivo C1111.xml ",
        "Enviado el despacho 10073IC04001111H (1111): C1111.xml e I1111.xml" + to +
            "ya tenía su fila; copias en " + bck1 + " y " + bck2,
        "Enviado el despacho 10073IC04004521A (4521): C4521.xml e I4521.xml" + to + "fila nueva",
        "Despacho apartado hasta que cambien sus archivos, " + kit + "C10073IC04005555E.RET: ",
        "Falla superada: la pasada terminó bien después de 2 pasadas con falla"};
    std::istringstream lines(written);
    std::string line;
    for (const auto& start : starts) {
        ASSERT_TRUE(std::getline(lines, line)) << written;
        // The local date and time first, to the second.
        EXPECT_TRUE(line.size() > 20 && line[4] == '-' && line[13] == ':' && line[19] == ' ');
        EXPECT_TRUE(line.substr(20).starts_with(start)) << line << "\nexpected: " << start;
    }
    EXPECT_FALSE(std::getline(lines, line)) << line;
    EXPECT_EQ(written.find(test::FtpServer::kPassword), std::string::npos);
}

// The kit writes an items file of 2 MB at about 1 MB/s while the timer ticks: nothing is taken
// before both files have been still for the quiet period, so nothing goes out cut short.
TEST_F(EndToEndTest, ADispatchTheKitIsStillWritingIsTakenWholeOnceItIsStill) {
    Configure("ESPERA=300\n");
    std::string items = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<ITEMS>";
    while (items.size() < 2'000'000)
        items += "<ITEM NRO=\"1\" DESCRIPCION=\"Tornillos de fijaci\xF3n\"/>\r\n";
    items += "</ITEMS>";
    home.AddKitFile("C10073IC04004521A.RET");
    std::thread writer([&] {
        std::ofstream out(kit + "I10073IC04004521A.RET", std::ios::binary);
        constexpr std::size_t kChunk = 32 * 1024;
        for (std::size_t at = 0; at < items.size(); at += kChunk) {
            out << std::string_view(items).substr(at, kChunk) << std::flush;
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (fs::exists(kit + "C10073IC04004521A.RET") && std::chrono::steady_clock::now() < deadline)
        program.Timer1_Timer();
    writer.join();

    EXPECT_TRUE(window.boxes.empty()) << window.boxes.at(0).text;
    // Compared whole but not printed: two megabytes.
    EXPECT_TRUE(test::ReadFile(server->root() / remote / "I4521.xml") ==
                std::string(dispatch::kXmlDeclaration) + "\r\n" + items);
    for (const auto& folder : {bck1, bck2})
        EXPECT_TRUE(test::ReadFile(folder + "I10073IC04004521A.RET") == items) << folder;
    EXPECT_TRUE(test::Names(kit).empty());
}

// The kit may pause between the pieces of a file for longer than the quiet period: a dispatch
// goes only once both files are whole XML documents. One whose items file stays cut short for a
// minute is told and kept; an items file that stays empty goes out as it is.
TEST_F(EndToEndTest, AnItemsFileIsNeverSentCutShortWhateverTheKitsPauses) {
    Configure("ESPERA=100\n");
    home.AddKitFile("C10073IC04004521A.RET");
    const std::string items =
        test::ReadFile(fs::path(TOLVANE_SOURCE_DIR) / "tests/data/kit/I10073IC04004521A.RET");
    std::thread writer([&] {
        std::ofstream out(kit + "I10073IC04004521A.RET", std::ios::binary);
        const std::size_t piece = items.size() / 4 + 1;
        for (std::size_t at = 0; at < items.size(); at += piece) {
            out << std::string_view(items).substr(at, piece) << std::flush;
            std::this_thread::sleep_for(400ms);
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (fs::exists(kit + "C10073IC04004521A.RET") && std::chrono::steady_clock::now() < deadline)
        program.Timer1_Timer();
    writer.join();
    EXPECT_TRUE(window.boxes.empty()) << window.boxes.at(0).text;
    EXPECT_EQ(test::ReadFile(server->root() / remote / "I4521.xml"),
              std::string(dispatch::kXmlDeclaration) + "\r\n" + items);

    const auto cover = [](const std::string& id) {
        return "<R><DESPACHO_CARATULA IDENTIFICADOR_PROPIO=\"" + id + "\" DESPACHO=\"10073IC0400" +
               id + "H\" DESTINACION=\"IC04\"><X/></DESPACHO_CARATULA></R>";
    };
    test::WriteFile(kit + "C10073IC04001111H.RET", cover("1111"));
    test::WriteFile(kit + "I10073IC04001111H.RET", "");
    test::WriteFile(kit + "C10073IC04002222H.RET", cover("2222"));
    test::WriteFile(kit + "I10073IC04002222H.RET", "<ITEMS><ITEM NRO=\"1\"/>");
    program.Timer1_Timer();
    EXPECT_TRUE(window.boxes.empty());
    clock.ahead += 10s;  // well beyond 60 × ESPERA, short of a minute
    program.Timer1_Timer();
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(test::Names(server->root() / remote).size(), 2u);
    clock.ahead += 50s;
    program.Timer1_Timer();
    program.Timer1_Timer();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_TRUE(window.boxes[0].text.starts_with("El archivo de items " + kit +
                                                 "I10073IC04002222H.RET está cortado"))
        << window.boxes[0].text;
    EXPECT_EQ(test::ReadFile(server->root() / remote / "I1111.xml"),
              std::string(dispatch::kXmlDeclaration) + "\r\n");
    EXPECT_EQ(test::Names(kit),
              (std::vector<std::string>{"C10073IC04002222H.RET", "I10073IC04002222H.RET"}));
}

TEST_F(EndToEndTest, OnlyRegularFilesOfTheKitAreTaken) {
    const std::string secret = home.Folder("privado") + "HKEY_CURRENT_USER.reg";
    test::WriteFile(secret, "PASSWORD=secreta");
    const std::string items = kit + "I10073IC04004521A.RET";
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { fs::create_symlink(secret, items); }, "un enlace simbólico"},
        {[&] { ASSERT_EQ(::mkfifo(items.c_str(), 0600), 0); }, "una tubería con nombre"},
    };
    for (const auto& [make, what] : cases) {
        home.AddKitFile("C10073IC04004521A.RET");
        make();
        window.boxes.clear();
        program.Timer1_Timer();
        ASSERT_EQ(window.boxes.size(), 1u) << what;
        const std::string& told = window.boxes[0].text;
        EXPECT_TRUE(told.starts_with("El archivo " + items + " ") && told.find(what) != told.npos)
            << told;
        EXPECT_TRUE(test::Names(server->root() / remote).empty());
        fs::remove(items);
    }
}

// Two programs on one kit folder (two users, or two computers on a shared folder, seen here
// through two mounts that byte-range locks do not cross), started together: whichever is in its
// pass has the folder, so every dispatch is sent once.
TEST_F(EndToEndTest, TwoProgramsOnOneFolderSendEachDispatchOnce) {
    if (const std::string why = test::SecondMount::Unavailable(); !why.empty())
        GTEST_SKIP() << why;
    const test::SecondMount mount(kit);
    Configure("ESPERA=0\n");
    // Two users of their own (this test's program holds the single instance of `home`).
    test::DispatchHome users[2];
    users[0].SetKitFolder(kit);
    users[1].SetKitFolder(mount.prefix());
    for (auto& user : users)
        user.WriteConfigIni(test::ReadFile(home.ConfigIniPath()));
    constexpr int kDispatches = 40;
    for (int i = 0; i < kDispatches; ++i) {
        const std::string id = "T" + std::to_string(i);
        test::WriteFile(kit + "C10073IC04" + id + ".RET",
                        "<R><DESPACHO_CARATULA IDENTIFICADOR_PROPIO=\"" + id + "\" DESPACHO=\"" +
                            id + "\"><X/></DESPACHO_CARATULA></R>");
        test::WriteFile(kit + "I10073IC04" + id + ".RET", "<ITEMS/>");
    }
    const std::vector<std::string> argv{TOLVANE_EXECUTABLE, "--headless", "--once"};
    test::ChildProcess first(argv, users[0].Environment()), second(argv, users[1].Environment());
    const auto one = first.Wait(), other = second.Wait();

    EXPECT_EQ(one.exitStatus, 0) << one.err;
    EXPECT_EQ(other.exitStatus, 0) << other.err;
    EXPECT_TRUE(test::Names(kit).empty());
    for (int i = 0; i < kDispatches; ++i) {
        const std::string file = remote + "/.CT" + std::to_string(i) + ".xml.part completed=1";
        EXPECT_EQ(server->CountInLog(file), 1) << file;
    }
    EXPECT_EQ(users[0].HistoryRows().size() + users[1].HistoryRows().size(), 40u);
}

class ExecutableTest : public ::testing::Test {
  protected:
    ExecutableTest() { home.SetKitFolder(home.Folder("kit/out")); }

    test::TolvaneHome home;
    std::string bck1 = home.Folder("bck1");
};

// The options end the program at once; a single pass's status follows the start-up outcome.
TEST_F(ExecutableTest, ExitStatusFollowsTheOptionsOrTheStartUpOutcome) {
    const std::vector<std::string> once{TOLVANE_EXECUTABLE, "--headless", "--once"};
    // Arguments, Config.ini's options, exit status, what standard error holds ("": nothing).
    const std::tuple<std::vector<std::string>, std::string, int, std::string> cases[] = {
        {{TOLVANE_EXECUTABLE, "--version"}, "", 0, ""},
        {{TOLVANE_EXECUTABLE, "--bogus"}, "", 64, "tolvane: opción desconocida '--bogus'"},
        {once, "MILISEGUNDOS=1000\nRUTA1=" + bck1, 0, ""},
        {once, "MILISEGUNDOS=0\nRUTA1=" + bck1, 2, "Tolvane: Debe configurar la frecuencia"},
        // Without a terminal the retry question is answered No: the start is cancelled.
        {once, "MILISEGUNDOS=1000\nRUTA1=/no/existe/", 2, "Tolvane: Se cancelo el inicio"},
        {once, "MILISEGUNDOS=99999\nRUTA1=" + bck1, 3, "Tolvane: Error en tiempo de ejecución 380"},
        {{TOLVANE_EXECUTABLE, "--registro"}, "", 0, ""},
        // The history's table made where QuillonConfig.ini says, once.
        {{TOLVANE_EXECUTABLE, "--crear-historial"}, "", 0, ""},
        {{TOLVANE_EXECUTABLE, "--crear-historial"}, "", 1, ""},
    };
    for (const auto& [args, ini, status, message] : cases) {
        home.WriteConfigIni("[Opciones]\n" + ini + "\n");
        const auto result = test::ChildProcess(args, home.Environment()).Wait();
        EXPECT_EQ(result.exitStatus, status) << ini << "\n" << result.err;
        if (args.back() == "--version") {
            EXPECT_EQ(result.out, "tolvane 1.8.40\n");
        } else if (args.back() == "--crear-historial") {
            EXPECT_TRUE(result.out.starts_with(status == 0
                                                   ? "Tolvane: Se creó la tabla HISTORIAL"
                                                   : "Tolvane: La base HISTORIAL ya existe"))
                << result.out;
        } else if (args.back() == "--registro") {  // what the single passes above logged
            EXPECT_NE(result.out.find(" iniciado; usuario "), std::string::npos) << result.out;
            EXPECT_NE(result.out.find(" Tolvane terminado\n"), std::string::npos);
        }
        EXPECT_TRUE(message.empty() ? result.err.empty()
                                    : result.err.find(message) != std::string::npos)
            << ini << "\n" + result.err;
    }
    EXPECT_TRUE(fs::exists(home.Autostart() / "BRENMOOR_TOLVANE.desktop"));  // by a single pass
    EXPECT_EQ(test::RunChecked({"/usr/bin/sqlite3", (home.Program() / "historial.db").string(),
                                "select count(*) from HISTORIAL"}),
              "0\n");
}

// No kit names its folder on Linux: a fresh user's start says how to, --carpeta-kit sets it (and
// says where), and the next start runs.
TEST(FreshUserTest, StartUpTellsHowToSetTheKitFolderAndTheCommandSetsIt) {
    test::TolvaneHome home;
    const std::string kit = home.Folder("kit/out"), bck1 = home.Folder("bck1");
    home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=1000\nRUTA1=" + bck1 + "\n");
    const std::vector<std::string> once{TOLVANE_EXECUTABLE, "--headless", "--once"};
    const auto first = test::ChildProcess(once, home.Environment()).Wait();
    EXPECT_EQ(first.exitStatus, 3);
    EXPECT_NE(first.err.find("Indique la carpeta de salida del kit con: tolvane --carpeta-kit"),
              std::string::npos)
        << first.err;
    const auto set =
        test::ChildProcess({TOLVANE_EXECUTABLE, "--carpeta-kit", kit}, home.Environment()).Wait();
    EXPECT_EQ(set.exitStatus, 0) << set.err;
    EXPECT_EQ(set.out, "Tolvane: carpeta del kit " + kit + ", guardada en " +
                           (home.Registry() / "HKEY_LOCAL_MACHINE.reg").string() + ".\n");
    const auto second = test::ChildProcess(once, home.Environment()).Wait();
    EXPECT_EQ(second.exitStatus, 0) << second.err;
}

// A second instance ends at once (a single pass with a status of its own); --detener stops the
// resident one, as an installer does before it replaces the program. A copy of the executable
// of its own: --detener stops every process of the same executable file.
TEST_F(ExecutableTest, SecondInstanceEndsSilentlyAndDetenerStopsTheFirst) {
    home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=50\nRUTA1=" + bck1 + "\n");
    const std::string executable = home.Folder("bin") + "tolvane";
    fs::copy_file(TOLVANE_EXECUTABLE, executable);
    test::ChildProcess first({executable, "--headless"}, home.Environment());
    // The Run value is written right after the instance is claimed.
    const auto entry = home.Autostart() / "BRENMOOR_TOLVANE.desktop";
    ASSERT_TRUE(test::WaitForFile(entry));
    fs::remove(entry);

    // A second resident one ends in silence; a single pass says it was not made.
    const std::pair<std::vector<std::string>, int> seconds[] = {{{executable, "--headless"}, 0},
                                                                {{executable, "--once"}, 4}};
    for (const auto& [args, status] : seconds) {
        const auto second = test::ChildProcess(args, home.Environment()).Wait();
        EXPECT_EQ(second.exitStatus, status);
        EXPECT_EQ(second.err.empty(), status == 0) << second.err;
    }
    EXPECT_FALSE(fs::exists(entry)) << "the second instance touched the registry";

    // Let the resident instance tick a few times, then stop it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::pair<const char*, bool> rounds[] = {
        {"Tolvane: 1 programa en ejecución se detuvo.\n", true},
        {"Tolvane: 0 programas en ejecución se detuvieron.\n", false},
    };
    for (const auto& [told, running] : rounds) {
        const auto stopped = test::ChildProcess({executable, "--detener"}, {}).Wait();
        EXPECT_EQ(stopped.exitStatus, 0);
        EXPECT_EQ(stopped.out, told);
        EXPECT_EQ(first.Running(), false);
        if (running) {
            const auto result = first.Wait();
            EXPECT_EQ(result.exitStatus, 0) << result.err;
            EXPECT_EQ(result.err, "");
        }
    }
}

// Sends `signal` once the program has waited a while: it must end within two seconds, status 0.
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
}  // namespace tolvane::startup
