#include "config/SettingsLoader.h"

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "config/Context.h"
#include "support/Expect.h"
#include "support/TolvaneHome.h"

namespace tolvane::config {
namespace {

constexpr std::int32_t kLeerINI = -2146102393;

class LeerINITest : public ::testing::Test {
  protected:
    LeerINITest() : context(home.os(), home.factory()) {}

    std::string Stored(const std::string& key) {
        return home.os().GetSetting("HISTORIAL", "FTP", key, "<none>");
    }

    test::TolvaneHome home;
    Context context;
};

TEST_F(LeerINITest, ReadsEveryKeyOrNoneAndMirrorsUploadSettingsInTheUserStore) {
    home.os().SaveSetting("HISTORIAL", "FTP", "USUARIO", "anterior");
    context.settings.RUTA1 = "/viejo/";
    LeerINI(context);  // without a file every setting and stored copy is emptied
    EXPECT_EQ(test::Joined({context.settings.RUTA1, context.settings.MILISEGUNDOS,
                            Stored("USUARIO"), Stored("SERVIDOR")}),
              "|||");

    home.WriteConfigIni(
        "; ajustes de la oficina\r\n[opciones]\r\nservidor = ftp.oficina.local \r\n"
        "Usuario=\"despachos\"\r\nPASSWORD=clave=con=iguales\r\nDIRECTORIO=\r\nRUTA=/no/se/usa/\r\n"
        "RUTA1=/bck/uno/\r\nRUTA2=/bck/dos\r\nMILISEGUNDOS=60000\r\nESPERA=2500\r\n");
    LeerINI(context);

    const Settings& s = context.settings;
    // RUTA2 is taken as it is, no separator added. RUTA is never read back: the watched folder
    // comes from the kit or its default.
    EXPECT_EQ(test::Joined({s.SERVIDOR, s.USUARIO, s.PASSWORD, s.DIRECTORIO, s.RUTA1, s.RUTA2,
                            s.MILISEGUNDOS, s.ESPERA, s.RutaKitOut}),
              "ftp.oficina.local|despachos|clave=con=iguales||/bck/uno/|/bck/dos|60000|2500|" +
                  home.ProgramFiles().string() + "/KitMaria/out/");
    EXPECT_EQ(test::Joined({Stored("SERVIDOR"), Stored("USUARIO"), Stored("PASSWORD"),
                            Stored("DIRECTORIO")}),
              "ftp.oficina.local|despachos|clave=con=iguales|");
}

TEST_F(LeerINITest, KitRegistryValueIsUsedUnchanged) {
    const std::pair<std::string, std::string> cases[] = {
        {"\"KITOUT\"=\"/kit/salida\"", "/kit/salida"},
        {"\"KITOUT\"=\"/kit/salida/\"", "/kit/salida/"},
        {"\"KITOUT\"=dword:00000005", "5"},
    };
    for (const auto& [line, expected] : cases) {
        home.SetKitValues(line);
        LeerINI(context);
        EXPECT_EQ(context.settings.RutaKitOut, expected) << line;
    }
    // "|" joins the two files of an upload: such a folder would never have its files sent.
    home.SetKitValues("\"KITOUT\"=\"/kit/a|b/\"");
    test::ExpectFailure([&] { LeerINI(context); }, kLeerINI, "LeerINI.mod_Main.Tolvane (0)Tolvane",
                        {"\"/kit/a|b/\""});
}

// Without the kit's value the watched folder is under the program files folder, with exactly
// one separator before KitMaria.
TEST(LeerINIDefaultFolder, AProgramFilesFolderEndingInASeparatorGetsNoSecond) {
    test::TolvaneHome home;
    auto paths = home.Paths();
    paths.programFilesFolder += "/";
    platform::LinuxPlatform os(paths);
    components::ComponentFactory factory;
    components::RegisterStandardComponents(factory, os);
    Context context(os, factory);
    LeerINI(context);
    EXPECT_EQ(context.settings.RutaKitOut, home.ProgramFiles().string() + "/KitMaria/out/");
}

// A disk whose program-files question fails, to stop the load at its last step.
class DiskWithoutProgramFiles : public components::Disk {
  public:
    bool ExisteCarpeta(const std::string&) override { return true; }
    bool ExisteArchivo(const std::string&) override { return true; }
    void CopiarArchivo(const std::string&, const std::string&, bool) override {}
    void EliminarArchivo(const std::string&, bool) override {}
    std::string getDirectorioProgramFiles() override {
        throw Failure(75, "Pellam.Disk", "sin carpeta de programas");
    }
};

// A step that fails stops the load: its failure reaches the caller with the loader's number and
// its own source behind the loader's, and the settings read before it keep their new values.
TEST_F(LeerINITest, AFailingStepStopsTheLoadWithItsFailureWrapped) {
    home.factory().Register("Pellam.Disk",
                            [] { return std::make_unique<DiskWithoutProgramFiles>(); });
    home.WriteConfigIni("[Opciones]\nUSUARIO=nuevo\nRUTA1=/r1/\n");
    context.settings.RutaKitOut = "/anterior/";
    test::ExpectFailure([&] { LeerINI(context); }, kLeerINI,
                        "LeerINI.mod_Main.Tolvane (0)Pellam.Disk", {"sin carpeta de programas"});
    // The registry read gave nothing, so the watched folder was already emptied.
    EXPECT_EQ(test::Joined(
                  {context.settings.USUARIO, context.settings.RUTA1, context.settings.RutaKitOut}),
              "nuevo|/r1/|");

    fs::remove(home.Program() / "QuillonConfig.ini");
    test::ExpectFailure([&] { LeerINI(context); }, kLeerINI,
                        "LeerINI.mod_Main.Tolvane (0)Quillon.Broker", {"QuillonConfig.ini"});
    home.factory().Unregister("Pellam.Disk");
    test::ExpectFailure([&] { LeerINI(context); }, kLeerINI,
                        "LeerINI.mod_Main.Tolvane (0)Pellam.Disk");
}

}  // namespace
}  // namespace tolvane::config
