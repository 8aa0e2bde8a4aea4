#include "startup/Program.h"

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "config/Registry.h"
#include "support/Expect.h"
#include "support/ScriptedWindow.h"
#include "support/TolvaneHome.h"

namespace tolvane::startup {
namespace {

const char* const kFrecuencia = "Debe configurar la frecuencia del procedimiento en el archivo INI";

class StartupTest : public ::testing::Test {
  protected:
    StartupTest() : program(home.os(), home.factory(), window) {
        kit = home.Folder("kit/out");
        bck1 = home.Folder("bck1");
        bck2 = home.Folder("bck2");
        home.SetKitFolder(kit);
    }

    void Configure(const std::string& period, const std::string& ruta1, const std::string& ruta2) {
        home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=" + period + "\nRUTA1=" + ruta1 +
                            "\nRUTA2=" + ruta2 + "\n");
    }

    std::string RunValue() {
        return config::RegValueText(config::LeerRegistro(
            home.os().registry(), platform::RegistryRoot::LocalMachine, kRunKey, kRunValue));
    }

    test::TolvaneHome home;
    test::ScriptedWindow window;
    Program program;
    std::string kit, bck1, bck2;
};

TEST_F(StartupTest, CleanStartLeavesTheProgramResidentWithItsTimerRunning) {
    std::filesystem::create_directories(home.Autostart());
    test::WriteFile(kit + "C0001.RET", "");
    test::WriteFile(kit + "c0000.ret", "");
    test::WriteFile(kit + "I0001.RET", "");
    Configure("60000", bck1, bck2);

    EXPECT_EQ(program.Main(), StartupOutcome::Running);

    EXPECT_TRUE(window.boxes.empty());
    EXPECT_TRUE(window.timerEnabled);
    EXPECT_EQ(window.timerInterval, 60000u);
    EXPECT_EQ(window.files, (std::vector<std::string>{"c0000.ret", "C0001.RET"}));

    ASSERT_TRUE(window.iconShown());
    EXPECT_EQ(window.lastIcon.ShownTip(),
              std::string("Tolvane version 1.8.40 Generado 28-06-2010 - " + bck1).substr(0, 63));

    // Registered to start at logon, as a desktop autostart entry running this executable; a
    // Run value already there is never rewritten.
    EXPECT_EQ(RunValue(), home.Program().string() + "/" + home.os().ExecutableName());
    EXPECT_TRUE(std::filesystem::exists(home.Autostart() / "BRENMOOR_TOLVANE.desktop"));
    ASSERT_TRUE(config::EscribirRegistro(home.os().registry(), platform::RegistryRoot::LocalMachine,
                                         kRunKey, kRunValue, std::string("/otra/tolvane"),
                                         platform::kRegSz));
    Program(home.os(), home.factory(), window).Main();
    EXPECT_EQ(RunValue(), "/otra/tolvane");
}

// The period is read leniently and rounded half to even; none leaves the program idle with
// its icon, and one beyond the timer is an untrapped failure.
TEST_F(StartupTest, TimerPeriod) {
    constexpr int kIdle = -1, kFails = -2;
    const struct {
        std::string text;
        int interval;
    } cases[] = {{"1500", 1500},         {" 2 500 ", 2500}, {"1000.5", 1000}, {"1001.5", 1002},
                 {"750ms", 750},         {"65535", 65535},  {"", kIdle},      {"0", kIdle},
                 {"cada minuto", kIdle}, {"70000", kFails}, {"-5", kFails}};
    for (const auto& c : cases) {
        test::ScriptedWindow fresh;
        Program p(home.os(), home.factory(), fresh);
        Configure(c.text, bck1, "");
        if (c.interval == kFails) {
            EXPECT_THROW(p.Main(), Failure) << c.text;
        } else if (c.interval == kIdle) {
            EXPECT_EQ(p.Main(), StartupOutcome::Idle) << c.text;
            EXPECT_EQ(fresh.Boxes(), "48:" + std::string(kFrecuencia) + ";");
            EXPECT_TRUE(fresh.iconShown());
        } else {
            EXPECT_EQ(p.Main(), StartupOutcome::Running) << c.text;
            EXPECT_EQ(fresh.timerInterval, static_cast<unsigned>(c.interval)) << c.text;
        }
        EXPECT_EQ(fresh.timerEnabled, c.interval > 0) << c.text;
    }
}

// The backup folders decide how start-up ends: the boxes shown, the timer, the icon.
TEST_F(StartupTest, BackupFoldersDecideTheOutcome) {
    const std::string late = home.dir().prefix() + "bck-tarde/";
    const std::string none = home.dir().prefix() + "no-existe/";
    const auto retry = [](const std::string& folder) {
        return "52:No puede acceder a la ruta \"" + folder +
               "\" VERIFIQUE SI PUEDE ACCEDER A ESA CARPETA \r\nrevise el archivo "
               "config.ini\r\n\r\nDesea Reintenar acceder?;";
    };
    const struct {
        std::string ruta1, ruta2;
        StartupOutcome outcome;
        std::string boxes;
        bool running;
    } cases[] = {
        {"", "", StartupOutcome::Running, "48:Debe configurar los directorio de copia;", true},
        {late, "", StartupOutcome::Running, retry(late) + retry(late) + retry(late), true},
        {none, bck2, StartupOutcome::Cancelled,
         retry(none) + "16:Se cancelo el inicio de Tolvane. Programa que levanta los despachos "
                       "RET del Sistema Maria. Vuelva a iniciarlo en INCIO --> PROGRAMAS --> "
                       "INICIO --> TOLVANE;",
         false},
        {bck1, "   ", StartupOutcome::Running, "", true},  // a blank second folder is not tested
        {bck1, none, StartupOutcome::Idle,
         "48:No existe la ruta " + none + "\r\nverifique el archivo config.ini;", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ruta1 + "|" + c.ruta2);
        test::ScriptedWindow fresh;
        if (c.ruta1 == late)  // Yes to every question; the folder comes at the third
            fresh.answer = [&](const test::ScriptedWindow::Box&) {
                if (fresh.boxes.size() == 3)
                    std::filesystem::create_directories(late);
                return ui::kIdYes;
            };
        Program p(home.os(), home.factory(), fresh);
        Configure("1000", c.ruta1, c.ruta2);
        EXPECT_EQ(p.Main(), c.outcome);
        EXPECT_EQ(fresh.Boxes(), c.boxes);
        EXPECT_EQ(fresh.timerEnabled, c.running);
        // Only a cancelled start takes its icon away.
        const std::vector<std::uint32_t> shown{ui::kNimAdd}, removed{ui::kNimAdd, ui::kNimDelete};
        EXPECT_EQ(fresh.iconMessages, c.outcome == StartupOutcome::Cancelled ? removed : shown);
    }
}

TEST_F(StartupTest, MissingWatchedFolderFailsBeforeTheTimerRuns) {
    std::filesystem::remove_all(kit);
    Configure("1000", bck1, "");
    test::ExpectFailure([&] { program.Main(); }, 76);
    EXPECT_FALSE(window.timerEnabled);
}

TEST_F(StartupTest, TickReloadsTheSettings) {
    Configure("1000", bck1, "");
    ASSERT_EQ(program.Main(), StartupOutcome::Running);
    home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=5\nRUTA1=" + bck2 + "\nSERVIDOR=nuevo\n");
    program.Timer1_Timer();
    EXPECT_EQ(program.context().settings.RUTA1, bck2);
    EXPECT_EQ(program.context().settings.SERVIDOR, "nuevo");
    // The period is set at start-up only.
    EXPECT_EQ(window.timerInterval, 1000u);
}

TEST(TrayTip, IsCutToTheRecordsSixtyFourCharactersOrFilledWithBlanks) {
    const auto cut = TipField(std::string(80, 'r')), filled = TipField("/b/");
    EXPECT_EQ(std::string(cut.begin(), cut.end()), std::string(64, 'r'));
    EXPECT_EQ(std::string(filled.begin(), filled.end()), "/b/" + std::string(61, ' '));
}

}  // namespace
}  // namespace tolvane::startup
