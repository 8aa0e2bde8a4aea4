#include <gtest/gtest.h>

#include "startup/KitWatch.h"
#include "startup/Program.h"
#include "support/ProgramRig.h"

namespace tolvane::startup {
namespace {

// The pass over dispatches that need no database: LAPI ones, broken ones, vanished ones.
class PassTest : public ::testing::Test, protected test::ProgramRig<> {
  protected:
    PassTest() {
        program.context().settings.RutaKitOut = kit;
        window.onDoEvents = [this] {
            if (window.timerEnabled)
                timerOnDuringPass = true;
            if (onYield)
                onYield();
        };
        window.timerEnabled = true;
    }

    bool timerOnDuringPass = false;
    std::function<void()> onYield;
};

// The timer is off for the whole pass, and the display is cleared at its end, an empty
// folder's included.
TEST_F(PassTest, ProgressAdvancesPerFileAndTheTimerIsOffThroughout) {
    program.Procesar();
    EXPECT_EQ(window.labels[0] + "|" + window.labels[1], "|");
    for (const char* name : {"C10073LAPI000001A.RET", "C10073LAPI000002B.RET", "C3.RET"})
        test::WriteFile(kit + name, test::LapiCoverSheet(name));
    std::vector<std::string> labelsSeen;
    onYield = [&] {
        if (labelsSeen.empty() || labelsSeen.back() != window.labels[0])
            labelsSeen.push_back(window.labels[0]);
    };
    program.Procesar();

    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.progressValues,
              (std::vector<float>{0, 100.0f / 3, static_cast<float>(100.0 / 3 * 2), 100, 0}));
    EXPECT_EQ(labelsSeen, (std::vector<std::string>{"", "Procesando Archivo C-10073LAPI000001A",
                                                    "Procesando Archivo C-10073LAPI000002B",
                                                    "Procesando Archivo C-C3.RET", ""}));
    EXPECT_TRUE(window.timerEnabled);
    EXPECT_FALSE(timerOnDuringPass);
}

// The first failure ends the pass with one message, every pass, and leaves the display as it was.
TEST_F(PassTest, FirstFailureEndsThePassWithOneMessage) {
    test::WriteFile(kit + "C1.RET", test::LapiCoverSheet("1"));
    test::WriteFile(kit + "C2.RET", "<R><DESPACHO_CARATULA");
    test::WriteFile(kit + "C3.RET", test::LapiCoverSheet("3"));
    test::WriteFile(kit + "C4.RET", test::LapiCoverSheet("4"));
    program.Procesar();

    EXPECT_EQ(window.Boxes(),
              "48:No se puedo leer p_ARCHIVO " + kit + "C2.RET " + kit +
                  " linea 80\r\n\r\n1119111 - seccion[Procesar.frmLista.Tolvane](0) - "
                  "ArchivarXML.frmLista.Tolvane LoaDXML;");
    EXPECT_EQ(window.labels[0], "Procesando Archivo C-C2.RET");
    EXPECT_FLOAT_EQ(window.progressValues.back(), 50.0f);
    EXPECT_TRUE(window.timerEnabled);

    fs::remove_all(kit);  // a missing folder is told at every pass
    program.Procesar();
    program.Procesar();
    ASSERT_EQ(window.boxes.size(), 3u);
    EXPECT_NE(window.boxes[2].text.find("\r\n\r\n76 - seccion[Procesar.frmLista.Tolvane](0) - "),
              std::string::npos);
    EXPECT_EQ(program.failuresReported(), 3);
    EXPECT_TRUE(window.timerEnabled);
}

TEST_F(PassTest, FileRemovedBeforeItsTurnIsSkippedSilently) {
    test::WriteFile(kit + "C1.RET", test::LapiCoverSheet("1"));
    test::WriteFile(kit + "C2.RET", "not even xml");
    onYield = [&] {
        if (window.labels[0] == "Procesando Archivo C-C1.RET")
            fs::remove(kit + "C2.RET");
    };
    program.context().RutaXMLCaratula = "stale";
    program.Procesar();
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(program.context().RutaXMLCaratula, "");
    EXPECT_EQ(window.files, std::vector<std::string>{"C1.RET"});
}

TEST_F(PassTest, StopRequestEndsThePassBetweenDispatches) {
    test::WriteFile(kit + "C1.RET", test::LapiCoverSheet("1"));
    test::WriteFile(kit + "C2.RET", "broken");
    int asked = 0;
    program.setStopRequested([&] { return ++asked > 1; });
    program.Procesar();
    EXPECT_TRUE(window.boxes.empty()) << "the broken second dispatch was not reached";
    EXPECT_EQ(window.labels[0], "");
    EXPECT_TRUE(window.timerEnabled);
}

TEST(QuietPeriod, ComesFromTheSettingWithOneSecondWhenItHoldsNoNumber) {
    const std::pair<std::string, int> cases[] = {
        {"", 1000}, {"  ", 1000},   {"pronto", 1000}, {"-5", 1000},
        {"0", 0},   {" 250 ", 250}, {"1500ms", 1500},
    };
    for (const auto& [espera, milliseconds] : cases)
        EXPECT_EQ(QuietPeriod(espera).count(), milliseconds) << "'" << espera << "'";
}

}  // namespace
}  // namespace tolvane::startup
