#include "config/SettingsLoader.h"

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "config/ConfigWindow.h"
#include "config/Context.h"
#include "config/Registry.h"
#include "support/Expect.h"
#include "support/ProgramRig.h"
#include "support/TolvaneHome.h"

namespace tolvane::config {
namespace {

constexpr std::int32_t kLeerINI = -2146102393;
constexpr auto kMachine = platform::RegistryRoot::LocalMachine;
const std::string kKit = "software\\sif america\\KITMARIA";  // any case

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
        "RUTA1=/bck/uno/\r\nRUTA2=/bck/dos\r\nMILISEGUNDOS=60000\r\nESPERA=2500\r\n"
        "CERTIFICADOS=/etc/oficina/ca.pem\r\n");
    LeerINI(context);

    const Settings& s = context.settings;
    // RUTA2 is taken as it is, no separator added. RUTA is never read back: the watched folder
    // comes from the kit or its default.
    EXPECT_EQ(test::Joined({s.SERVIDOR, s.USUARIO, s.PASSWORD, s.DIRECTORIO, s.RUTA1, s.RUTA2,
                            s.MILISEGUNDOS, s.ESPERA, s.CERTIFICADOS, s.RutaKitOut}),
              "ftp.oficina.local|despachos|clave=con=iguales||/bck/uno/|/bck/dos|60000|2500|"
              "/etc/oficina/ca.pem|" +
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
    // Nor may a backup folder be the kit's: every pass would send the same dispatches again.
    const std::string kit = home.Folder("kit");
    home.SetKitValues("\"KITOUT\"=\"" + kit + "\"");
    home.WriteConfigIni("[Opciones]\nRUTA1=" + home.Folder("b1") + "\nRUTA2=" + kit + "./\n");
    test::ExpectFailure([&] { LeerINI(context); }, kLeerINI, "LeerINI.mod_Main.Tolvane (0)Tolvane",
                        {"RUTA2", kit + "./", "carpeta del kit"});
}

// Without the kit's value the watched folder is under the program files folder, with exactly
// one separator before KitMaria.
TEST_F(LeerINITest, AProgramFilesFolderEndingInASeparatorGetsNoSecond) {
    auto paths = home.Paths();
    paths.programFilesFolder += "/";
    platform::LinuxPlatform os(paths);
    components::ComponentFactory factory;
    components::RegisterStandardComponents(factory, os);
    Context withSeparator(os, factory);
    LeerINI(withSeparator);
    EXPECT_EQ(withSeparator.settings.RutaKitOut, home.ProgramFiles().string() + "/KitMaria/out/");
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

TEST(RegistryProcedures, ReadTextWithoutTerminatorAndWholeNumbersAndWriteOnlyIntoExistingKeys) {
    test::TolvaneHome home;
    home.SetKitValues(
        "\"KITOUT\"=\"D:\\\\Kit\\\\out\\\\\"\n\"Numero\"=dword:00000005\n"
        "\"Negativo\"=dword:ffffffff\n\"Binario\"=hex:01,02");
    platform::Registry& registry = home.os().registry();
    const auto read = [&](const std::string& key, const std::string& name) {
        return LeerRegistro(registry, kMachine, key, name);
    };
    const auto write = [&](const std::string& key, const std::string& value, std::uint32_t type) {
        return EscribirRegistro(registry, kMachine, key, "Nuevo", RegValue(value), type);
    };
    EXPECT_EQ(read(kKit, "kitout"), RegValue(std::string("D:\\Kit\\out\\")));
    EXPECT_EQ(read(kKit, "Numero"), RegValue(std::int32_t{5}));
    EXPECT_EQ(read(kKit, "Negativo"), RegValue(std::int32_t{-1}));

    platform::RegistryKey handle = 0;
    ASSERT_EQ(registry.OpenKey(kMachine, kKit, 0x3F, handle), 0);
    RegValue slot;
    EXPECT_EQ(ConsultarValor(registry, handle, "Binario", slot), -1);
    EXPECT_EQ(slot, RegValue{});
    EXPECT_EQ(ConsultarValor(registry, handle, "Falta", slot), platform::kErrorFileNotFound);
    EXPECT_EQ(slot, RegValue{});
    registry.CloseKey(handle);

    EXPECT_TRUE(write(kKit, "C:\\a \"b\"", platform::kRegSz));
    EXPECT_EQ(read(kKit, "Nuevo"), RegValue(std::string("C:\\a \"b\"")));
    EXPECT_TRUE(write(kKit, "42", platform::kRegDword));
    EXPECT_FALSE(write(kKit, "x", 3));  // only types 1 and 4 are written
    EXPECT_EQ(read(kKit, "Nuevo"), RegValue(std::int32_t{42}));
    EXPECT_EQ(read(kKit, "Numero"), RegValue(std::int32_t{5}));  // the others stay

    // A key that does not exist is never created by a write, and reads as nothing.
    EXPECT_FALSE(write("SOFTWARE\\Nueva", "x", platform::kRegSz));
    EXPECT_EQ(read("SOFTWARE\\Nueva", "Nuevo"), RegValue{});
    EXPECT_EQ(registry.OpenKey(kMachine, "SOFTWARE\\Nueva", 0x3F, handle),
              platform::kErrorFileNotFound);
}

// What the settings window loads and saves; the Qt and Windows front-ends' tests drive the same
// saving through the window itself.
const ConfigFields kTyped{" /kit/tecleado/", "/bck/1/", "", "ftp.nuevo", "remoto", "", "cl ave"};

class ConfigWindowTest : public ::testing::Test, protected test::ProgramRig<> {
  protected:
    Context& context = program.context();
    ConfigWindow form{context};
};

TEST_F(ConfigWindowTest, FieldsShowTheSettingsOnlyF11SavesEachAsTypedInOrderAndEscCloses) {
    EXPECT_EQ(form.Form_Load(), (ConfigFields{kit, "/b1/", "/b2/", "ftp.viejo", "d", "ana", "x"}));
    // Key code, shift state, whether the window closes; none of them saves.
    const std::tuple<int, int, bool> cases[] = {{kKeyEscape, 0, true}, {kKeyEscape, 1, true},
                                                {121, 0, false},       {123, 0, false},
                                                {13, 0, false},        {'A', 0, false}};
    for (const auto& [key, shift, closes] : cases) {
        EXPECT_EQ(form.Form_KeyDown(key, shift, kTyped), closes) << key;
        EXPECT_EQ(context.settings.SERVIDOR, "ftp.viejo") << key << "+" << shift;
    }
    fs::remove(home.ConfigIniPath());
    EXPECT_TRUE(form.Form_KeyDown(kKeyF11, 7, kTyped));  // with any shift state

    const Settings& s = context.settings;
    EXPECT_EQ((ConfigFields{s.RutaKitOut, s.RUTA1, s.RUTA2, s.SERVIDOR, s.DIRECTORIO, s.USUARIO,
                            s.PASSWORD}),
              kTyped);
    std::string stored;
    for (const char* key : {"SERVIDOR", "USUARIO", "PASSWORD", "DIRECTORIO"})
        stored += home.os().GetSetting("HISTORIAL", "FTP", key, "<none>") + "|";
    EXPECT_EQ(stored, "ftp.nuevo||cl ave|remoto|");
    EXPECT_EQ(test::ReadFile(home.ConfigIniPath()),
              "[Opciones]\nSERVIDOR=ftp.nuevo\nUSUARIO=\nPASSWORD=cl ave\nDIRECTORIO=remoto\n"
              "RUTA= /kit/tecleado/\nRUTA1=/bck/1/\nRUTA2=\n");
    // No kit keeps its folder's value here: the window's RUTA set it, and the next load has it.
    EXPECT_EQ(form.Form_Load().Txt_RUTA, " /kit/tecleado/");
}

TEST_F(ConfigWindowTest, TheStoreFailureIsReportedButAnUnwritableConfigIniIsNot) {
    fs::remove_all(home.Registry());
    test::WriteFile(home.Registry(), "");  // the store's folder is now a file
    EXPECT_THROW(form.GuardarCambios(kTyped), Failure);
    EXPECT_EQ(context.settings.SERVIDOR, "ftp.nuevo") << "memory comes first";
    EXPECT_EQ(home.os().GetPrivateProfileString("Opciones", "SERVIDOR", "", home.ConfigIniPath()),
              "ftp.viejo")
        << "Config.ini comes after the store";

    fs::remove(home.Registry());
    fs::remove(home.ConfigIniPath());
    fs::create_directory(home.ConfigIniPath());
    EXPECT_NO_THROW(form.GuardarCambios(kTyped));
    EXPECT_EQ(home.os().GetSetting("HISTORIAL", "FTP", "SERVIDOR", ""), "ftp.nuevo");
}

}  // namespace
}  // namespace tolvane::config
