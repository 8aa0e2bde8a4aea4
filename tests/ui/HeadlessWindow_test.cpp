#include "ui/headless/HeadlessWindow.h"

#include <fcntl.h>
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

// On a terminal, answers are read as they come, several lines at once included, and a stop
// request ends a question that waits for one.
TEST(HeadlessWindow, AQuestionOnATerminalGivesWayToAStop) {
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

    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_EQ(::write(stop[1], "x", 1), 1);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(window.MessageBox("¿Reintentar?", kMbYesNo), Interrupted);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    stopper.join();
    for (const int fd : {answers[0], answers[1], stop[0], stop[1]})
        ::close(fd);
}

TEST(HeadlessWindow, LoopTicksWhileEnabledAndStopsOnRequest) {
    std::ostringstream out;
    std::istringstream in;
    HeadlessWindow window(out, in, false);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    window.SetTimer(5, true);
    int ticks = 0;
    window.RunLoop(fds[0], [&] {
        if (++ticks == 3) {
            const char byte = 1;
            ASSERT_EQ(::write(fds[1], &byte, 1), 1);
        }
    });
    EXPECT_EQ(ticks, 3);

    // A disabled timer never ticks; the stop request still ends the loop.
    window.SetTimer(5, false);
    window.RunLoop(fds[0], [&] { ++ticks; });
    EXPECT_EQ(ticks, 3);
    ::close(fds[0]);
    ::close(fds[1]);
}

}  // namespace
}  // namespace tolvane::ui
