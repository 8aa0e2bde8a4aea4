#include "ui/TrayEvents.h"

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "startup/Program.h"
#include "support/ProgramRig.h"
#include "support/ScriptedWindow.h"

namespace tolvane::ui {
namespace {

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
    EXPECT_DOUBLE_EQ(TwipsPerPixel(96), 15);
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
