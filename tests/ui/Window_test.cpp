#include "ui/TrayEvents.h"
#include "ui/headless/HeadlessWindow.h"

#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "common/Stop.h"
#include "startup/Program.h"
#include "support/ProgramRig.h"
#include "support/ScriptedWindow.h"

namespace tolvane::ui {
namespace {

// Boxes are "Tolvane: " blocks; a question is asked on a terminal until the answer is understood
// (a Windows console ends it with CR LF), and answered No without one or at the end of input.
TEST(HeadlessWindow, BoxesAreTolvaneBlocksAndQuestionsAreAskedOnlyOnATerminal) {
    const std::tuple<bool, std::string, int> cases[] = {{false, "s\n", kIdNo},
                                                        {true, "  SI \n", kIdYes},
                                                        {true, "quizas\nn\n", kIdNo},
                                                        {true, "quizas\r\ns\r\n", kIdYes},
                                                        {true, "", kIdNo}};
    for (const auto& [interactive, typed, answer] : cases) {
        std::ostringstream out;
        std::istringstream in(typed);
        HeadlessWindow window(out, in, interactive);
        EXPECT_EQ(window.MessageBox("No llega.\r\n¿Reintentar?", kMbYesNo | kMbIconExclamation),
                  answer)
            << typed;
        if (interactive) {
            EXPECT_EQ(out.str(), "Tolvane: No llega.\n¿Reintentar? [S/N] " +
                                     std::string(typed.starts_with("quizas") ? "[S/N] " : ""));
            continue;
        }
        EXPECT_EQ(window.MessageBox("uno\r\ndos", kMbOk | kMbIconExclamation), kIdOk);
        window.ReportUntrappedFailure(Failure(-2146102393, "x", "sin datos"));
        EXPECT_EQ(out.str(),
                  "Tolvane: No llega.\n¿Reintentar? [S/N] N (sin terminal)\nTolvane: uno\ndos\n"
                  "Tolvane: Error en tiempo de ejecución -2146102393:\nsin datos\n");
    }
}

// On a terminal answers are read as they come, several lines at once too. The loop ticks only
// while the timer is enabled; a stop request ends it, and a question that waits.
TEST(HeadlessWindow, TheLoopAndAQuestionOnATerminalGiveWayToAStop) {
    int answers[2], console[2], stop[2];
    ASSERT_TRUE(::pipe(answers) == 0 && ::pipe(console) == 0 && ::pipe(stop) == 0);
    std::ostringstream out;
    std::istringstream unused;
    HeadlessWindow window(out, unused, true, answers[0]),
        typedOnConsole(out, unused, true, console[0]);
    window.setStopFd(stop[0]);
    typedOnConsole.setStopFd(stop[0]);
    ASSERT_EQ(::write(answers[1], "quizas\nsi\nn\n", 12), 12);
    ASSERT_EQ(::write(console[1], "si\r\nN\r\n", 8), 8);
    ::close(console[1]);  // and nothing more
    for (HeadlessWindow* asked : {&window, &typedOnConsole}) {
        EXPECT_EQ(asked->MessageBox("¿Reintentar?", kMbYesNo), kIdYes);
        EXPECT_EQ(asked->MessageBox("¿Reintentar?", kMbYesNo), kIdNo);
    }
    EXPECT_EQ(out.str().substr(out.str().rfind("Tolvane: ")), "Tolvane: ¿Reintentar? [S/N] ");

    // A stop request that comes while the window waits.
    const auto stopSoon = [&] {
        return std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ASSERT_EQ(::write(stop[1], "x", 1), 1);
        });
    };
    char byte = 0;
    window.SetTimer(5, true);
    int ticks = 0;
    window.RunLoop(stop[0], [&] {
        if (++ticks == 3) {
            ASSERT_EQ(::write(stop[1], "x", 1), 1);
        }
    });
    ASSERT_EQ(::read(stop[0], &byte, 1), 1);
    window.SetTimer(5, false);
    std::thread stopper = stopSoon();
    window.RunLoop(stop[0], [&] { ++ticks; });
    stopper.join();
    EXPECT_EQ(ticks, 3);
    ASSERT_EQ(::read(stop[0], &byte, 1), 1);

    stopper = stopSoon();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(window.MessageBox("¿Reintentar?", kMbYesNo), Interrupted);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    stopper.join();
    for (const int fd : {answers[0], answers[1], console[0], stop[0], stop[1]})
        ::close(fd);
}

// What Form_MouseMove shows: "menu" when it opens the menu, then its boxes.
std::string Shown(double x, double twipsPerPixel, bool menuFails = false) {
    test::ScriptedWindow window;
    std::string menu;
    Form_MouseMove(x, twipsPerPixel, window, [&] {
        menu = "menu";
        if (menuFails)
            throw Failure(-2147418113, "mnu", "Falla del menú");
    });
    return menu + window.Boxes();
}

TEST(FormMouseMove, OnlyTheLeftDoubleClickOpensTheMenuAndFailuresAreShown) {
    // x in twips and twips per pixel carry the message x / twips per pixel, halves to even.
    std::vector<std::tuple<double, double, std::int32_t>> cases = {
        {515 * 12.0, 12, 515}, {7720, 15, 515}, {7717.5, 15, 514}, {7732.5, 15, 516}};
    for (std::int32_t message = 512; message <= 521; ++message)
        cases.emplace_back(message * 15.0, 15, message);
    for (const auto& [x, twipsPerPixel, message] : cases) {
        EXPECT_EQ(TrayMouseMessage(x, twipsPerPixel), message) << x << "/" << twipsPerPixel;
        EXPECT_EQ(Shown(x, twipsPerPixel), message == 515 ? "menu" : "") << x;
    }
    EXPECT_DOUBLE_EQ(TwipsPerPixel(144), 10);
    EXPECT_EQ(TwipsToPixels(5910, 144), 591);

    // Failures are trapped and shown, naming the step: decoding (10) or the menu (51).
    const std::string in = " Function Form_MouseMove de Formulario frmMain\r\nOrigen: ";
    EXPECT_EQ(Shown(515, 0), "0:Error 11 (División por cero)" + in + "Tolvane - Linea: 10;");
    EXPECT_EQ(Shown(1e12, 15), "0:Error 6 (Desbordamiento)" + in + "Tolvane - Linea: 10;");
    EXPECT_EQ(Shown(515 * 15.0, 15, true),
              "menu0:Error -2147418113 (Falla del menú)" + in + "mnu - Linea: 51;");
}

TEST(FormTerminate, RemovesTheIconOnceAndTrapsItsFailure) {
    for (bool stuck : {false, true}) {
        test::ProgramRig<> rig;
        rig.home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=0\n");
        rig.window.onNotifyIcon = [stuck](std::uint32_t message) {
            if (stuck && message == kNimDelete)  // an icon that refuses to be removed
                throw Failure(5, "Shell_NotifyIcon", "Llamada a procedimiento no válida");
        };
        ASSERT_EQ(rig.program.Main(), startup::StartupOutcome::Idle);
        rig.window.boxes.clear();

        rig.program.Form_Terminate();
        rig.program.Form_Terminate();
        EXPECT_EQ(rig.window.Boxes(),
                  stuck ? "0:Error 5 (Llamada a procedimiento no válida) Function "
                          "Form_Terminate de Formulario frmLista\r\nOrigen: "
                          "Shell_NotifyIcon - Linea: 10;"
                        : "");
        EXPECT_EQ(rig.window.iconMessages.size(), stuck ? 1u : 2u);
    }
}

}  // namespace
}  // namespace tolvane::ui
