#include "ui/headless/HeadlessWindow.h"

#include <fcntl.h>
#include <unistd.h>

#include <sstream>

#include <gtest/gtest.h>

#include "common/Failure.h"

namespace tolvane::ui {
namespace {

TEST(HeadlessWindow, MessageBoxesAreTolvaneBlocksWithTheirLineBreaks) {
    std::ostringstream out;
    std::istringstream in;
    HeadlessWindow window(out, in, false);
    EXPECT_EQ(window.MessageBox("uno\r\ndos", kMbOk | kMbIconExclamation), kIdOk);
    window.ReportUntrappedFailure(Failure(-2146102393, "x", "sin datos"));
    EXPECT_EQ(out.str(),
              "Tolvane: uno\ndos\n"
              "Tolvane: Error en tiempo de ejecución -2146102393:\nsin datos\n");
}

TEST(HeadlessWindow, QuestionsAreAskedOnATerminalAndAnsweredNoWithoutOne) {
    const struct {
        bool interactive;
        std::string typed;
        int answer;
    } cases[] = {{false, "s\n", kIdNo},          {true, "s\n", kIdYes},
                 {true, "  SI \n", kIdYes},      {true, "n\n", kIdNo},
                 {true, "quizas\nsi\n", kIdYes}, {true, "", kIdNo}};  // end of input
    for (const auto& c : cases) {
        std::ostringstream out;
        std::istringstream in(c.typed);
        HeadlessWindow window(out, in, c.interactive);
        EXPECT_EQ(window.MessageBox("No llega.\r\n¿Reintentar?", kMbYesNo | kMbIconExclamation),
                  c.answer)
            << c.typed;
        if (!c.interactive) {
            EXPECT_EQ(out.str(), "Tolvane: No llega.\n¿Reintentar? [S/N] N (sin terminal)\n");
        }
    }
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
