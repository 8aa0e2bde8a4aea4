// The whole road of a dispatch, with every real part: the SQLite databases through ODBC, an
// FTP server on loopback, and real folders.

#include <gtest/gtest.h>

#include "startup/Program.h"
#include "support/DispatchHome.h"
#include "support/FtpServer.h"
#include "support/ScriptedWindow.h"

namespace tolvane::startup {
namespace {

namespace fs = std::filesystem;

class EndToEndTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (test::FtpServer::Unavailable().empty())
            server = new test::FtpServer();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        if (server == nullptr)
            GTEST_SKIP() << test::FtpServer::Unavailable();
        server->Start();
        backup1 = home.Folder("bck1");
        backup2 = home.Folder("bck2");
        remote = "pass-" + std::to_string(++run);
        home.Configure("SERVIDOR=" + server->Url() + "\nUSUARIO=" + test::FtpServer::kUser +
                       "\nPASSWORD=" + test::FtpServer::kPassword + "\nDIRECTORIO=" + remote +
                       "\nRUTA1=" + backup1 + "\nRUTA2=" + backup2 + "\nMILISEGUNDOS=1000\n");
        ASSERT_EQ(program.Main(), StartupOutcome::Running);
    }

    std::vector<std::string> Names(const fs::path& folder) {
        std::vector<std::string> names;
        if (!fs::exists(folder))
            return names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static inline test::FtpServer* server = nullptr;
    static inline int run = 0;
    test::DispatchHome home;
    test::ScriptedWindow window;
    Program program{home.os(), home.factory(), window};
    std::string backup1, backup2, remote;
};

TEST_F(EndToEndTest, PassesSendRecordAndBackUpUntilTheFailingDispatch) {
    // 1111 has no row in the operations table: it goes through with its masks.
    test::WriteFile(home.kit() + "C10073IC04001111H.RET",
                    "<R><DESPACHO_CARATULA IDENTIFICADOR_PROPIO=\"1111\" "
                    "DESPACHO=\"10073IC04001111H\" DESTINACION=\"IC04\" "
                    "CUIT_IMPO_EXPO=\"XXXXXXXXXXX\"><X/></DESPACHO_CARATULA></R>");
    test::WriteFile(home.kit() + "I10073IC04001111H.RET", "<ITEMS/>");
    home.AddKitFile("C10073IC04004521A.RET");
    home.AddKitFile("I10073IC04004521A.RET");
    home.AddKitFile("C10073IC04000666E.RET", "C10073IC04005555E.RET");
    home.AddKitFile("I10073IC04000666E.RET", "I10073IC04005555E.RET");
    home.AddKitFile("C10073LAPI000055D.RET");
    home.AddKitFile("I10073LAPI000055D.RET");

    program.Timer1_Timer();

    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].text.find("C10073IC04005555E.RET"), std::string::npos);
    EXPECT_EQ(Names(server->root() / remote),
              (std::vector<std::string>{"C1111.xml", "C4521.xml", "I1111.xml", "I4521.xml"}));
    const std::string sent = test::ReadFile(server->root() / remote / "C4521.xml");
    EXPECT_EQ(sent, home.Golden("C4521.xml", sent));
    for (const auto& folder : {backup1, backup2}) {
        EXPECT_EQ(Names(folder),
                  (std::vector<std::string>{"C10073IC04001111H.RET", "C10073IC04004521A.RET",
                                            "I10073IC04001111H.RET", "I10073IC04004521A.RET"}));
    }
    EXPECT_EQ(Names(home.kit()),
              (std::vector<std::string>{"C10073IC04005555E.RET", "C10073LAPI000055D.RET",
                                        "I10073IC04005555E.RET", "I10073LAPI000055D.RET"}));
    EXPECT_EQ(home.HistoryRows().size(), 2u);
    EXPECT_TRUE(window.timerEnabled);

    // The broken dispatch stops every pass; the LAPI one behind it waits.
    program.Timer1_Timer();
    EXPECT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.labels[0], "Procesando Archivo C-10073IC04005555E");

    // Once its cover sheet is taken away, the LAPI dispatch is met, and left where it is; the
    // items file left behind without copies is pointed out once.
    fs::remove(home.kit() + "C10073IC04005555E.RET");
    program.Timer1_Timer();
    program.Timer1_Timer();
    ASSERT_EQ(window.boxes.size(), 3u);
    const std::string lone =
        "El archivo de items " + home.kit() + "I10073IC04005555E.RET está solo";
    EXPECT_EQ(window.boxes[2].text.substr(0, lone.size()), lone);
    EXPECT_EQ(window.labels[0], "");
    EXPECT_EQ(window.files, std::vector<std::string>{"C10073LAPI000055D.RET"});
    EXPECT_EQ(Names(server->root() / remote).size(), 4u);
}

TEST_F(EndToEndTest, DispatchWaitsForTheServerAndIsRecordedOnce) {
    home.AddKitFile("C10073IC04004521A.RET");
    home.AddKitFile("I10073IC04004521A.RET");
    server->Stop();
    program.Timer1_Timer();

    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].text.find(" - seccion[Procesar.frmLista.Tolvane](0) - "
                                        "SubirArchivo.frmLista.Tolvane (100) Sorvik.Uploader"),
              std::string::npos)
        << window.boxes[0].text;
    EXPECT_TRUE(fs::exists(home.kit() + "C10073IC04004521A.RET"));
    EXPECT_TRUE(Names(backup1).empty());

    server->Start();
    program.Timer1_Timer();
    EXPECT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(Names(server->root() / remote), (std::vector<std::string>{"C4521.xml", "I4521.xml"}));
    EXPECT_EQ(Names(home.kit()), std::vector<std::string>{});
    EXPECT_EQ(home.HistoryRows().size(), 1u);
}

}  // namespace
}  // namespace tolvane::startup
