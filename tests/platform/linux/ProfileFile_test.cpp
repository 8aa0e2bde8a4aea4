#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/Text.h"
#include "platform/linux/LinuxPlatform.h"
#include "support/TempDir.h"

namespace tolvane::platform {
namespace {

using test::ReadFile;
using test::WriteFile;

class ProfileFileTest : public ::testing::Test {
  protected:
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& fallback = "") {
        return os.GetPrivateProfileString(section, key, fallback, file.string());
    }
    bool Put(const std::string& section, const std::string& key, const std::string& value) {
        return os.WritePrivateProfileString(section, key, value, file.string());
    }

    test::TempDir dir;
    fs::path file = dir.path() / "Config.ini";
    LinuxPlatform os{LinuxPaths{dir.prefix() + "registry", "", "", "", ""}};
};

TEST_F(ProfileFileTest, ReadsValuesWithThePlatformRulesInEveryEncodingUpTo254Characters) {
    EXPECT_EQ(Get("Opciones", "RUTA1", "C:\\"), "C:\\");  // no file yet
    WriteFile(file,
              "; SERVIDOR=commented out\n[ OPCIONES ]\n  Servidor \t=  ftp.example.com \t\n"
              "Quoted=\"  spaced value  \"\nSingle='abc'\nMismatched=\"abc'\nInner=a \"b\" c\n"
              "Empty=\n;RUTA1=C:\\commented\nRUTA1=C:\\first\\\nruta1=C:\\second\\\n"
              "[Otra]\nUSUARIO=nobody\n");
    const std::pair<const char*, const char*> cases[] = {
        {"servidor", "ftp.example.com"}, {"QUOTED", "  spaced value  "}, {"single", "abc"},
        {"mismatched", "\"abc'"},        {"inner", "a \"b\" c"},         {"empty", ""},
        {"Ruta1", "C:\\first\\"},        {"USUARIO", "(none)"},
    };
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(Get("Opciones", key, "(none)"), expected) << key;
    EXPECT_EQ(Get("otra", "usuario"), "nobody");
    EXPECT_EQ(Get("Missing", "USUARIO", "(none)"), "(none)");

    const std::string longValue = text::ReplaceAll(std::string(300, 'x'), "x", "ñ");
    WriteFile(file, "\xEF\xBB\xBF[Opciones]\r\nRUTA1=" + longValue + "\r\n");
    EXPECT_EQ(Get("Opciones", "RUTA1"), longValue.substr(0, 254 * 2));  // characters, not bytes

    WriteFile(file, "[Opciones]\nRUTA1=C:\\A\xF1o\\\n");  // ISO-8859-1
    EXPECT_EQ(Get("Opciones", "RUTA1"), "C:\\Año\\");
}

TEST_F(ProfileFileTest, WriteCreatesTheFileButNotItsFolderReplacesInPlaceAndKeepsEveryOtherByte) {
    ASSERT_TRUE(Put("Opciones", "RUTA1", "/srv/año/"));
    EXPECT_EQ(ReadFile(file), "[Opciones]\nRUTA1=/srv/año/\n");

    WriteFile(file, "[Opciones]\nUSUARIO=A\xF1o\n");  // ISO-8859-1 stays so
    ASSERT_TRUE(Put("Opciones", "RUTA2", "/srv/año/"));
    EXPECT_EQ(ReadFile(file), "[Opciones]\nUSUARIO=A\xF1o\nRUTA2=/srv/a\xF1o/\n");

    WriteFile(file, "; cabecera\r\n[Opciones]\r\nA=1\r\n; nota\r\n  B = 2 \r\n\r\n[Otra]\r\nC=3");
    ASSERT_TRUE(Put("opciones", "b", "20") && Put("Opciones", "D", "4") && Put("Otra", "E", "5") &&
                Put("Nueva", "F", "6"));
    EXPECT_EQ(ReadFile(file),
              "; cabecera\r\n[Opciones]\r\nA=1\r\n; nota\r\nB=20\r\nD=4\r\n\r\n"
              "[Otra]\r\nC=3\r\nE=5\r\n[Nueva]\r\nF=6\r\n");
    // No temporary file is left beside it.
    EXPECT_EQ(test::CountEntries(dir.path()), 1);

    WriteFile(dir.path() / "plain", "not a folder");
    for (const char* folder : {"missing", "plain"}) {
        file = dir.path() / folder / "Config.ini";
        EXPECT_FALSE(Put("Opciones", "RUTA1", "x")) << folder;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

}  // namespace
}  // namespace tolvane::platform
