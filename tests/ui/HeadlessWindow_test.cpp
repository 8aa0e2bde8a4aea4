#include "ui/headless/HeadlessWindow.h"

#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "common/Stop.h"

namespace tolvane::ui {
namespace {

// Boxes are "Tolvane: " blocks with their own line breaks; a question is asked on a terminal
// and answered No without one or at the end of input.
TEST(HeadlessWindow, BoxesAreTolvaneBlocksAndQuestionsAreAskedOnlyOnATerminal) {
    const std::tuple<bool, std::string, int> cases[] = {{false, "s\n", kIdNo},
                                                        {true, "  SI \n", kIdYes},
                                                        {true, "quizas\nn\n", kIdNo},
                                                        {true, "", kIdNo}};
    for (const auto& [interactive, typed, answer] : cases) {
        std::ostringstream out;
        std::istringstream in(typed);
        HeadlessWindow window(out, in, interactive);
        EXPECT_EQ(window.MessageBox("No llega.\r\n¿Reintentar?", kMbYesNo | kMbIconExclamation),
                  answer)
            << typed;
        if (interactive)
            continue;
        EXPECT_EQ(window.MessageBox("uno\r\ndos", kMbOk | kMbIconExclamation), kIdOk);
        window.ReportUntrappedFailure(Failure(-2146102393, "x", "sin datos"));
        EXPECT_EQ(out.str(),
                  "Tolvane: No llega.\n¿Reintentar? [S/N] N (sin terminal)\nTolvane: uno\ndos\n"
                  "Tolvane: Error en tiempo de ejecución -2146102393:\nsin datos\n");
    }
}

// On a terminal, answers are read as they come, several lines at once included. The loop ticks
// only while the timer is enabled; a stop request ends it, and a question that waits.
TEST(HeadlessWindow, TheLoopAndAQuestionOnATerminalGiveWayToAStop) {
    int answers[2], stop[2];
    ASSERT_EQ(::pipe(answers), 0);
    ASSERT_EQ(::pipe(stop), 0);
    std::ostringstream out;
    std::istringstream unused;
    HeadlessWindow window(out, unused, true, answers[0]);
    window.setStopFd(stop[0]);
    ASSERT_EQ(::write(answers[1], "quizas\nsi\nn\n", 12), 12);
    EXPECT_EQ(window.MessageBox("¿Reintentar?", kMbYesNo), kIdYes);
    EXPECT_EQ(window.MessageBox("¿Reintentar?", kMbYesNo), kIdNo);

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
    for (const int fd : {answers[0], answers[1], stop[0], stop[1]})
        ::close(fd);
}

// A Windows console ends a typed line with CR LF: the answer is what comes before them, read
// through the stream or from the terminal as it comes.
TEST(HeadlessWindow, AnAnswerEndedByCrLfIsTheAnswer) {
    std::ostringstream out;
    std::istringstream in("quizas\r\ns\r\n");
    HeadlessWindow window(out, in, true);
    EXPECT_EQ(window.MessageBox("¿Reintentar?", kMbYesNo), kIdYes);
    EXPECT_EQ(out.str(), "Tolvane: ¿Reintentar? [S/N] [S/N] ");

    int answers[2], stop[2];
    ASSERT_EQ(::pipe(answers), 0);
    ASSERT_EQ(::pipe(stop), 0);
    std::istringstream unused;
    HeadlessWindow terminal(out, unused, true, answers[0]);
    terminal.setStopFd(stop[0]);
    ASSERT_EQ(::write(answers[1], "si\r\nN\r\n", 8), 8);
    ::close(answers[1]);  // and nothing more: an answer not understood ends in No
    EXPECT_EQ(terminal.MessageBox("¿Reintentar?", kMbYesNo), kIdYes);
    EXPECT_EQ(terminal.MessageBox("¿Reintentar?", kMbYesNo), kIdNo);
    EXPECT_EQ(out.str().substr(out.str().rfind("Tolvane: ")), "Tolvane: ¿Reintentar? [S/N] ");
    for (const int fd : {answers[0], stop[0], stop[1]})
        ::close(fd);
}

}  // namespace
}  // namespace tolvane::ui
