#include "config/ConfigWindow.h"

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "config/Context.h"
#include "support/ProgramRig.h"

// What the settings window loads and saves; the Qt front-end's tests drive the same saving
// through the window itself.

namespace tolvane::config {
namespace {

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
    // The next load takes the watched folder from the kit again.
    EXPECT_EQ(form.Form_Load().Txt_RUTA, kit);
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
