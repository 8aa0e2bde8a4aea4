#include "startup/Program.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/Failure.h"
#include "components/ComponentFactory.h"
#include "config/Registry.h"
#include "platform/FolderListing.h"
#include "startup/KitWatch.h"
#include "support/Expect.h"
#include "support/ProgramRig.h"
#include "ui/FileList.h"

namespace tolvane::startup {
namespace {

using namespace std::chrono_literals;

class StartupTest : public ::testing::Test, protected test::ProgramRig<> {
  protected:
    void Configure(const std::string& period, const std::string& ruta1, const std::string& ruta2) {
        home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=" + period + "\nRUTA1=" + ruta1 +
                            "\nRUTA2=" + ruta2 + "\n");
    }

    std::string RunValue() {
        return config::RegValueText(config::LeerRegistro(
            home.os().registry(), platform::RegistryRoot::LocalMachine, kRunKey, kRunValue));
    }
};

TEST_F(StartupTest, CleanStartLeavesTheProgramResidentWithItsTimerRunning) {
    test::WriteFile(kit + "C0001.RET", "");
    test::WriteFile(kit + "c0000.ret", "");
    test::WriteFile(kit + "I0001.RET", "");
    Configure("60000", bck1, bck2);

    EXPECT_EQ(program.Main(), StartupOutcome::Running);
    EXPECT_EQ(window.files, (std::vector<std::string>{"c0000.ret", "C0001.RET"}));

    ASSERT_TRUE(window.iconShown());
    const std::string tip = window.lastIcon.ShownTip();
    EXPECT_TRUE(tip.starts_with("Tolvane version 1.8.40 Generado 28-06-2010 - ...") &&
                tip.ends_with("bck1/") && tip.size() <= 63)
        << tip;

    // Registered to start at logon (the Run value is read back from the desktop autostart
    // entry) as this executable; a Run value already there is never rewritten.
    EXPECT_EQ(RunValue(),
              home.os().ProgramFolder() + home.os().PathSeparator() + home.os().ExecutableName());
    ASSERT_TRUE(config::EscribirRegistro(home.os().registry(), platform::RegistryRoot::LocalMachine,
                                         kRunKey, kRunValue, std::string("/otra/tolvane"),
                                         platform::kRegSz));
    Program(home.os(), home.factory(), window).Main();
    EXPECT_EQ(RunValue(), "/otra/tolvane");
}

// How start-up ends, from the settings and the answers to its questions. The period is read
// leniently and rounded half to even; none leaves the program idle, and one beyond the timer is
// an untrapped failure. Only a cancelled start takes its icon away.
TEST_F(StartupTest, SettingsAndAnswersDecideHowStartUpEnds) {
    using enum StartupOutcome;
    const std::string late = home.dir().prefix() + "bck-tarde/";
    const std::string none = home.dir().prefix() + "no-existe/";
    const auto retry = [](const std::string& folder) {
        return "52:No puede acceder a la ruta \"" + folder +
               "\" VERIFIQUE SI PUEDE ACCEDER A ESA CARPETA \r\nrevise el archivo "
               "config.ini\r\n\r\nDesea Reintenar acceder?;";
    };
    const std::string noPeriod =
        "48:Debe configurar la frecuencia del procedimiento en el archivo INI;";
    // Period, backup folders, outcome (none: a failure), boxes, the period of a running timer.
    const std::tuple<std::string, std::string, std::string, std::optional<StartupOutcome>,
                     std::string, unsigned>
        cases[] = {
            {"60000", bck1, bck2, Running, "", 60000},
            {"1500", bck1, "", Running, "", 1500},
            {" 2 500 ", bck1, "", Running, "", 2500},
            {"1000.5", bck1, "", Running, "", 1000},
            {"1001.5", bck1, "", Running, "", 1002},
            {"65535", bck1, "", Running, "", 65535},
            {"0", bck1, "", Idle, noPeriod, 0},
            {"cada minuto", bck1, "", Idle, noPeriod, 0},
            {"70000", bck1, "", std::nullopt, "", 0},
            {"-5", bck1, "", std::nullopt, "", 0},
            {"1000", "", "", Running, "48:Debe configurar los directorio de copia;", 1000},
            // Yes to every question; the folder comes at the third.
            {"1000", late, "", Running, retry(late) + retry(late) + retry(late), 1000},
            {"1000", none, bck2, Cancelled,
             retry(none) + "16:Se cancelo el inicio de Tolvane. Programa que levanta los despachos "
                           "RET del Sistema Maria. Vuelva a iniciarlo en INCIO --> PROGRAMAS --> "
                           "INICIO --> TOLVANE;",
             0},
            {"1000", bck1, "   ", Running, "", 1000},  // a blank second folder is not tested
            {"1000", bck1, none, Idle,
             "48:No existe la ruta " + none + "\r\nverifique el archivo config.ini;", 0},
        };
    for (const auto& [period, ruta1, ruta2, outcome, boxes, interval] : cases) {
        SCOPED_TRACE(period + "|" + ruta1 + "|" + ruta2);
        test::ScriptedWindow fresh;
        if (ruta1 == late)
            fresh.answer = [&](const test::ScriptedWindow::Box&) {
                if (fresh.boxes.size() == 3)
                    fs::create_directories(late);
                return ui::kIdYes;
            };
        Program p(home.os(), home.factory(), fresh);
        Configure(period, ruta1, ruta2);
        if (outcome)
            EXPECT_EQ(p.Main(), *outcome);
        else
            test::ExpectFailure([&] { p.Main(); }, 380);
        EXPECT_EQ(fresh.Boxes(), boxes);
        EXPECT_EQ(fresh.timerEnabled ? fresh.timerInterval : 0u, interval);
        EXPECT_EQ(fresh.iconMessages.size(), outcome == Cancelled ? 2u : 1u);
    }
}

// A missing watched folder fails before the timer runs; once there, every tick reads the
// settings again.
TEST_F(StartupTest, MissingWatchedFolderFailsTheStartAndTicksReloadTheSettings) {
    fs::remove_all(kit);
    Configure("1000", bck1, "");
    test::ExpectFailure([&] { program.Main(); }, 76);
    EXPECT_FALSE(window.timerEnabled);
    fs::create_directories(kit);
    ASSERT_EQ(program.Main(), StartupOutcome::Running);
    home.WriteConfigIni("[Opciones]\nMILISEGUNDOS=5\nRUTA1=" + bck2 + "\nSERVIDOR=nuevo\n");
    program.Timer1_Timer();
    EXPECT_EQ(test::Joined({program.context().settings.RUTA1, program.context().settings.SERVIDOR}),
              bck2 + "|nuevo");
    // The period is set at start-up only.
    EXPECT_EQ(window.timerInterval, 1000u);
}

// A backup folder too long for the tip shows its end, where its name is.
TEST(TrayTip, IsCutToTheRecordsSixtyFourCharactersOrFilledWithBlanks) {
    const auto cut = TipField(std::string(80, 'r')), filled = TipField("/b/");
    EXPECT_EQ(std::string(cut.begin(), cut.end()), std::string(64, 'r'));
    EXPECT_EQ(std::string(filled.begin(), filled.end()), "/b/" + std::string(61, ' '));
    const std::string lead = "Tolvane version 1.8.40 Generado 28-06-2010 - ";
    EXPECT_EQ(TipText("D:\\Respaldo\\"), lead + "D:\\Respaldo\\" + '\0');
    const auto shown = TipField(TipText("\\\\servidor\\respaldos\\aduana\\Año 2026\\"));
    EXPECT_EQ(std::string(shown.begin(), shown.begin() + 64),
              lead + "...\\A\xF1o 2026\\" + '\0' + std::string(5, ' '));
}

// The pass over dispatches that need no database: LAPI ones, broken ones, vanished ones.
class PassTest : public ::testing::Test, protected test::ProgramRig<> {
  protected:
    PassTest() {
        program.context().settings.RutaKitOut = kit;
        window.onDoEvents = [this] {
            timerOnDuringPass = timerOnDuringPass || window.timerEnabled;
            onYield();
        };
        window.timerEnabled = true;
    }

    bool timerOnDuringPass = false;
    std::function<void()> onYield = [] {};
};

// The timer is off for the whole pass, and the display is cleared at its end, an empty
// folder's included. LAPI dispatches are never sent.
TEST_F(PassTest, ProgressAdvancesPerFileAndTheTimerIsOffThroughout) {
    int uploaders = 0;
    home.factory().Register(components::kUploader, [&] {
        ++uploaders;
        return std::unique_ptr<components::Component>();
    });
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
    EXPECT_EQ(uploaders, 0);
}

// Another program in its pass over the same folder has this tick; the timer runs on, and the
// next tick takes the folder.
TEST_F(PassTest, AFolderClaimedElsewhereSkipsOneTickOnly) {
    test::WriteFile(kit + "C1.RET", test::LapiCoverSheet("1"));
    auto claim = home.os().ClaimFolder(kit);
    ASSERT_NE(claim, nullptr);
    program.Procesar();
    EXPECT_TRUE(window.progressValues.empty());
    EXPECT_TRUE(window.timerEnabled);
    claim.reset();
    program.Procesar();
    EXPECT_EQ(window.progressValues, (std::vector<float>{100, 0}));
}

// A dispatch at fault by itself is told once and set aside: the pass goes on, and later passes
// skip it without a word until one of its files changes. A cover sheet cut short is told only
// once it has stayed so for a minute (as watched, or by its modification time): until then the
// kit may still be writing it. A failure of
// what every dispatch shares (here the kit's folder) ends the pass, at every pass.
TEST_F(PassTest, ADispatchAtFaultIsSetAsideAndASharedFailureEndsThePass) {
    test::WriteFile(kit + "C1.RET", "<R><DESPACHO_CARATULA");  // first in name order
    test::WriteFile(kit + "C2.RET", test::LapiCoverSheet("2"));
    test::WriteFile(kit + "C3.RET", test::LapiCoverSheet("3"));
    program.Procesar();
    EXPECT_TRUE(window.boxes.empty());
    window.progressValues.clear();
    clock.ahead += 1min;
    program.Procesar();
    const std::string told = "48:No se puedo leer p_ARCHIVO " + kit + "C1.RET " + kit +
                             " linea 80\r\n\r\n1119111 - seccion[Procesar.frmLista.Tolvane](0) - "
                             "ArchivarXML.frmLista.Tolvane LoaDXML;";
    EXPECT_EQ(window.Boxes(), told);
    EXPECT_EQ(window.progressValues, (std::vector<float>{100.0f / 3, 200.0f / 3, 100, 0}));
    EXPECT_EQ(window.files, (std::vector<std::string>{"C1.RET", "C2.RET", "C3.RET"}));
    program.Procesar();
    EXPECT_EQ(window.Boxes(), told);
    test::WriteFile(kit + "C1.RET", "<R><DESPACHO_CARATULA>");
    program.Procesar();
    EXPECT_EQ(window.boxes.size(), 1u);
    // Unchanged for a minute by its modification time, though only just seen.
    fs::last_write_time(kit + "C1.RET", fs::file_time_type::clock::now() - 61s);
    program.Procesar();
    EXPECT_EQ(window.boxes.size(), 2u);

    fs::remove_all(kit);
    program.Procesar();
    program.Procesar();
    ASSERT_EQ(window.boxes.size(), 4u);
    EXPECT_NE(window.boxes[3].text.find("\r\n\r\n76 - seccion[Procesar.frmLista.Tolvane](0) - "),
              std::string::npos);
    EXPECT_EQ(program.failuresReported(), 4);
    EXPECT_TRUE(window.timerEnabled);
}

// The failure box holds nothing: while it is open a failing pass opens no second one, and the
// first pass that ends well closes it; the tray icon warns meanwhile.
TEST_F(PassTest, AnOpenFailureBoxGetsNoSecondAndAPassThatEndsWellClosesIt) {
    window.failureStaysOpen = true;
    fs::remove_all(kit);
    program.Procesar();
    program.Procesar();
    EXPECT_EQ(window.boxes.size(), 1u);
    EXPECT_TRUE(window.failureOpen);
    fs::create_directories(kit);
    program.Procesar();
    EXPECT_FALSE(window.failureOpen);
    EXPECT_EQ(window.warningIcon, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(program.failuresReported(), 2);
}

// A folder, a link or a pipe named like a cover sheet is never taken, and said so, once.
TEST_F(PassTest, WhatIsNamedLikeACoverSheetButIsNoFileIsToldOnce) {
    fs::create_directory(kit + "C5.RET");
#ifndef _WIN32
    fs::create_symlink(kit + "otro", kit + "C6.RET");
#endif
    program.Procesar();
    program.Procesar();
    ASSERT_EQ(window.boxes.size(), 1u);  // one box a pass; the other one is in the log
    EXPECT_NE(window.boxes[0].text.find("El archivo " + kit +
                                        "C5.RET no es un archivo del kit "
                                        "sino una carpeta"),
              std::string::npos)
        << window.boxes[0].text;
    EXPECT_TRUE(window.files.empty());
}

TEST_F(PassTest, FileRemovedBeforeItsTurnIsSkippedSilently) {
    test::WriteFile(kit + "C1.RET", test::LapiCoverSheet("1"));
    test::WriteFile(kit + "C2.RET", "not even xml");
    onYield = [&] {
        if (window.labels[0] == "Procesando Archivo C-C1.RET")
            fs::remove(kit + "C2.RET");
    };
    program.Procesar();
    EXPECT_TRUE(window.boxes.empty());
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

// Time moved by hand: a sleep passes at once.
struct ManualClock final : Clock {
    TimePoint Now() const override { return now; }
    void Sleep(std::chrono::milliseconds duration) override {
        now += duration;
        slept += duration;
    }
    TimePoint now{};
    std::chrono::milliseconds slept{0};
};

// What the watch saw is kept from pass to pass, so a backlog waits the quiet period once, not
// once per pass; a change, or a dispatch no longer listed, starts it again. One that keeps
// changing is left after twice the period.
TEST(KitWatchTest, RemembersFromPassToPassHowLongEachDispatchHasBeenStill) {
    test::TolvaneHome home;
    const std::string kit = home.Folder("kit");
    test::WriteFile(kit + "C1.RET", "c");
    test::WriteFile(kit + "I1.RET", "i");
    ManualClock clock;
    KitWatch watch(home.os(), clock);
    std::function<void()> onYield = [] {};
    const auto expect = [&](KitWatch::Verdict verdict, std::chrono::milliseconds slept) {
        EXPECT_EQ(watch.WaitUntilStill(kit, "C1.RET", 1000ms, onYield, nullptr).verdict, verdict);
        EXPECT_EQ(clock.slept, slept);
    };
    watch.Listed(kit, {"C1.RET"});
    clock.now += 600ms;
    watch.Listed(kit, {"C1.RET"});
    clock.now += 600ms;
    expect(KitWatch::Verdict::Still, 0ms);
    test::WriteFile(kit + "I1.RET", "ii");
    watch.Listed(kit, {"C1.RET"});
    expect(KitWatch::Verdict::Still, 1000ms);
    watch.Listed(kit, {});
    watch.Listed(kit, {"C1.RET"});
    expect(KitWatch::Verdict::Still, 2000ms);
    std::string growing = "i";
    onYield = [&] { test::WriteFile(kit + "I1.RET", growing += "i"); };
    onYield();
    expect(KitWatch::Verdict::Changing, 4000ms);

    // A rewrite of the same size whose modification time is set back is still seen.
    const KitPairState before = watch.Look(kit, "C1.RET");
    const auto modified = fs::last_write_time(kit + "C1.RET");
    std::this_thread::sleep_for(10ms);
    test::WriteFile(kit + "C1.RET", "C");
    fs::last_write_time(kit + "C1.RET", modified);
    EXPECT_NE(watch.Look(kit, "C1.RET"), before);
}

TEST(QuietPeriod, ComesFromTheSettingWithOneSecondWhenItHoldsNoNumber) {
    const std::pair<std::string, int> cases[] = {
        {"", 1000}, {"  ", 1000},   {"pronto", 1000}, {"-5", 1000},
        {"0", 0},   {" 250 ", 250}, {"1500ms", 1500},
    };
    for (const auto& [espera, milliseconds] : cases)
        EXPECT_EQ(QuietPeriod(espera).count(), milliseconds) << "'" << espera << "'";
}

TEST(FileList, ListsMatchingFilesWithoutRegardToCaseSortedByName) {
    test::TempDir dir;
    for (const char* name :
         {"C002.RET", "c001.ret", "I001.RET", "C003.RET.bak", "XC004.RET", "C005.RETX", "C.RET"})
        test::WriteFile(dir.path() / name, "");
    fs::create_directory(dir.path() / "C999.RET");  // a folder is not listed

    test::ScriptedWindow window;
    ui::FileList list(window);
    list.setPattern("C*.RET");
    list.setPath(dir.prefix());
    list.Refresh();

    const std::vector<std::string> expected{"C.RET", "c001.ret", "C002.RET"};
    EXPECT_EQ(list.names(), expected);
    EXPECT_EQ(window.files, expected);
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.List(1), "c001.ret");
    EXPECT_THROW(list.List(3), Failure);

    test::WriteFile(dir.path() / "C000.RET", "");
    EXPECT_EQ(list.ListCount(), 3) << "the listing only changes when refreshed";
    list.Refresh();
    EXPECT_EQ(list.List(1), "C000.RET");
    test::ExpectFailure([&] { list.setPath("/no/existe/"); }, 76, "", {"/no/existe/"});
    using platform::MatchesPattern;
    EXPECT_TRUE(MatchesPattern("CA.RET.RET", "C*.RET") && MatchesPattern("AB", "A?") &&
                MatchesPattern("noext", "*.*") && !MatchesPattern("A", "A?"));
}

}  // namespace
}  // namespace tolvane::startup
