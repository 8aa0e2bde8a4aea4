#include "dispatch/ArchivarXML.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

#include <pugixml.hpp>

#include "common/Failure.h"
#include "common/Text.h"
#include "dispatch/Utilities.h"
#include "support/DispatchHome.h"
#include "support/Expect.h"

namespace tolvane::dispatch {
namespace {

class ArchivarXMLTest : public ::testing::Test {
  protected:
    Context& context() { return home.context(); }
    const std::string& kit() { return home.kit(); }

    test::DispatchHome home;
};

TEST_F(ArchivarXMLTest, DispatchesAreWrittenAsTheGoldenFilesAndRecordedOnce) {
    const std::pair<const char*, const char*> cases[] = {
        {"C10073IC04004521A.RET", "4521"},              // masks completed from the database
        {"C10073IC04000123B.RET", "0123_10"},           // slash in the id; no row for 0123_10
        {"C10073EC01000077C.RET", "EXP-77"},            // unmasked, empty items file
        {"C10073IC04009999F.RET", "10073IC04009999F"},  // id from DESPACHO, escapes kept
        {"C10073IC04000808G.RET", "808"},               // completed to the importer never recorded
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& [coverSheet, id] : cases) {
            home.AddKitFile(coverSheet);
            home.AddKitFile("I" + std::string(coverSheet).substr(1));
            const ArchivoXML written = ArchivarXML(context(), kit(), coverSheet);

            EXPECT_FALSE(written.EsLAPI);
            EXPECT_EQ(written.RutaXMLCaratula, kit() + "C" + id + ".xml");
            EXPECT_EQ(written.RutaXMLItems, kit() + "I" + id + ".xml");
            for (const std::string& output : {"C" + std::string(id), "I" + std::string(id)}) {
                const std::string produced = test::ReadFile(kit() + output + ".xml");
                EXPECT_EQ(produced, home.Golden(output + ".xml", produced)) << output;
            }
        }
    }
    std::vector<std::string> rows = {
        "EXP-77 | 10073EC01000077C | EC01 | 073 | 20222333444 | 30711122233 | "
        "Exportadora del Litoral S.R.L. | 2010-06-30",
        "0123/10 | 10073IC04000123B | IC04 | 073 | XXXXXXXXXXX | XXXXXXXXXXX | "
        "XXXXXXXXXXXXXXXXXXXXXXXX | 2010-06-21",
        "4521 | 10073IC04004521A | IC04 | 073 | 20222333444 | 30712345678 | "
        "Importadora Peña Ñandú S.A. | 2010-06-28",
        "10073IC04009999F | 10073IC04009999F | IC04 | 073 | 20222333444 | 30698765432 | "
        "D'Agostino & Hijos <SRL> \"La Unión\" | NULL"};
    for (auto& row : rows)
        row += " | " + getUsuarioWindows(home.os()) + " | N";
    EXPECT_EQ(home.HistoryRows(), rows);
}

// Small documents and documents of megabytes (which travel through temporary files) alike. A
// value completed from the database is read back from the document sent as the history row
// stores it: its line breaks and tabs kept, the control characters XML cannot hold left out of
// both.
TEST_F(ArchivarXMLTest, HistoryKeepsTheDocumentWithoutDeclarationOrNewData) {
    const std::string name = "Pérez & Cía <SRL>\r\n\t\"La Unión\" 100 €";
    home.Sql("internos", "update caratula set factura7 = '" +
                             text::ReplaceAll(name, "<SRL>", "<SRL>\x01\x1F") +
                             "' where interno = '4521';");
    const std::string fixture =
        test::ReadFile(fs::path(TOLVANE_SOURCE_DIR) / "tests/data/kit/C10073IC04004521A.RET");
    std::string large = fixture;
    std::string summaries;
    while (summaries.size() < 3'000'000)
        summaries += "<RESUMEN_ITEM NRO=\"1\" DESCRIPCION=\"Tornillos de fijaci\xF3n 'M8'\"/>";
    large.insert(large.find("</DESPACHO_CARATULA>"), summaries);
    for (const std::string* cover : {&fixture, static_cast<const std::string*>(&large)}) {
        home.Sql("historial", "delete from historial;");
        test::WriteFile(kit() + "C10073IC04004521A.RET", *cover);
        test::WriteFile(kit() + "I10073IC04004521A.RET", *cover);  // any text will do
        ArchivarXML(context(), kit(), "C10073IC04004521A.RET");
        const std::string stored =
            home.Sql("historial", "select XMLCaratula || '#' || XMLItem from historial");
        // The cover sheet as sent, without its declaration and its DATOS_NUEVOS element, and
        // with the euro that ISO-8859-1 lacks as itself rather than a reference.
        std::string expected = text::ReplaceAll(
            text::Latin1ToUtf8(test::ReadFile(kit() + "C4521.xml")), "&#8364;", "€");
        expected.erase(0, expected.find("\r\n") + 2);
        const std::size_t datos = expected.find("<DATOS_NUEVOS");
        expected.erase(datos, expected.find("</DATOS_NUEVOS>") + 15 - datos);
        EXPECT_TRUE(stored == expected + "#" + text::Latin1ToUtf8(*cover) + "\n")
            << stored.size() << " " << expected.size();
        EXPECT_TRUE(test::ReadFile(kit() + "I4521.xml") ==
                    std::string(kXmlDeclaration) + "\r\n" + *cover);
        pugi::xml_document sent;
        ASSERT_TRUE(sent.load_file((kit() + "C4521.xml").c_str()));
        EXPECT_EQ(std::string(
                      sent.document_element().first_child().attribute("NOMBRE_IMPO_EXPO").value()),
                  name);
        EXPECT_EQ(home.Sql("historial", "select NOMBRE_IMPO_EXPO from historial"), name + "\n");
    }
}

TEST_F(ArchivarXMLTest, LapiDispatchLeavesNothingBehind) {
    home.AddKitDispatch("10073LAPI000055D");
    const ArchivoXML lapi = ArchivarXML(context(), kit(), "C10073LAPI000055D.RET");
    EXPECT_TRUE(lapi.EsLAPI);
    EXPECT_EQ(lapi.RutaXMLCaratula + lapi.RutaXMLItems, "");
    EXPECT_EQ(test::CountEntries(kit()), 2);
    EXPECT_TRUE(home.HistoryRows().empty());

    // Only the exact upper-case word counts.
    test::WriteFile(kit() + "C9.RET", "<R><X DESPACHO=\"9\" DESTINACION=\"lapi\"/></R>");
    test::WriteFile(kit() + "I9.RET", "");
    EXPECT_FALSE(ArchivarXML(context(), kit(), "C9.RET").EsLAPI);
    EXPECT_TRUE(fs::exists(kit() + "C9.xml"));
}

// The outputs are never written through a link or into a pipe at their names (a neighbour in a
// shared kit folder could point one at Tolvane's own settings): the dispatch fails by itself,
// at once, naming the file, and what is there stays as it was.
TEST_F(ArchivarXMLTest, AnOutputNameHeldByALinkOrAPipeFailsTheDispatchAndIsLeftAlone) {
    const fs::path settings = home.dir().path() / "Config.ini";
    test::WriteFile(settings, "[Opciones]\nSERVIDOR=ftp.oficina\n");
    home.AddKitDispatch("10073IC04004521A");
    const std::pair<std::string, std::function<void(const std::string&)>> cases[] = {
        {"C4521.xml", [&](const std::string& at) { fs::create_symlink(settings, at); }},
        {"I4521.xml", [](const std::string& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); }},
    };
    for (const auto& [name, plant] : cases) {
        plant(kit() + name);
        const Failure failure = test::ExpectFailure(
            [&] { ArchivarXML(context(), kit(), "C10073IC04004521A.RET"); }, 1119111,
            "ArchivarXML.frmLista.Tolvane Pellam.TextFile", {kit() + name, "enlace"});
        EXPECT_EQ(failure.scope(), Failure::Scope::Item);
        EXPECT_EQ(fs::symlink_status(kit() + name).type(),
                  name[0] == 'C' ? fs::file_type::symlink : fs::file_type::fifo);
        fs::remove(kit() + name);
    }
    EXPECT_EQ(test::ReadFile(settings), "[Opciones]\nSERVIDOR=ftp.oficina\n");
    EXPECT_TRUE(home.HistoryRows().empty());
}

// A failure names its step and the component that failed; what was written before it stays, and
// nothing is recorded.
TEST_F(ArchivarXMLTest, FailuresNameTheirStepAndKeepOnlyWhatCameBefore) {
    // Cover sheet, whether the items file is there, SQL run before, the failing component, the
    // description's end, whether the outputs were written.
    const std::tuple<std::string, bool, std::string, std::string, std::string, bool> cases[] = {
        {"C10073IC04000666E.RET", true, "", "LoaDXML",
         "No se puedo leer p_ARCHIVO " + kit() + "C10073IC04000666E.RET " + kit() + " linea 80",
         false},
        {"C10073IC04004521A.RET", false, "", "Pellam.TextFile", " " + kit() + " linea 290", false},
        {"C10073IC04004521A.RET", true, "drop table HISTORIAL;", "Quillon.Broker", " linea 590",
         true},
    };
    for (const auto& [cover, withItems, setUp, source, ending, outputs] : cases) {
        SCOPED_TRACE(source);
        for (const auto& entry : fs::directory_iterator(kit()))
            fs::remove(entry.path());
        home.AddKitFile(cover);
        if (withItems)
            home.AddKitFile("I" + cover.substr(1));
        if (!setUp.empty())
            home.Sql("historial", setUp);
        const Failure failure =
            test::ExpectFailure([&] { ArchivarXML(context(), kit(), cover); }, 1119111,
                                "ArchivarXML.frmLista.Tolvane " + source);
        EXPECT_TRUE(text::EndsWith(failure.description(), ending)) << failure.description();
        EXPECT_EQ(test::CountEntries(kit()), (withItems ? 2 : 1) + (outputs ? 2 : 0));
        if (!outputs) {  // the last one has no table to look at
            EXPECT_TRUE(home.HistoryRows().empty());
        }
    }
}

}  // namespace
}  // namespace tolvane::dispatch
