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
    std::filesystem::path file = dir.path() / "Config.ini";
    LinuxPlatform os{LinuxPaths{(dir.path() / "registry").string(),
                                (dir.path() / "autostart").string(), dir.path().string(), "",
                                "/opt"}};
};

TEST_F(ProfileFileTest, ReadsValuesWithThePlatformRules) {
    EXPECT_EQ(Get("Opciones", "RUTA1", "C:\\"), "C:\\");  // no file yet
    EXPECT_EQ(Get("Opciones", "RUTA1"), "");
    WriteFile(file,
              "; SERVIDOR=commented out\n"
              "[ OPCIONES ]\n"
              "  Servidor \t=  ftp.example.com \t\n"
              "Quoted=\"  spaced value  \"\n"
              "Single='abc'\n"
              "Mismatched=\"abc'\n"
              "Inner=a \"b\" c\n"
              "Empty=\n"
              ";RUTA1=C:\\commented\n"
              "RUTA1=C:\\first\\\n"
              "ruta1=C:\\second\\\n"
              "[Otra]\n"
              "USUARIO=nobody\n");
    const struct {
        const char* key;
        const char* expected;
    } cases[] = {
        {"servidor", "ftp.example.com"}, {"QUOTED", "  spaced value  "}, {"single", "abc"},
        {"mismatched", "\"abc'"},        {"inner", "a \"b\" c"},         {"empty", ""},
        {"Ruta1", "C:\\first\\"},        {"USUARIO", "(none)"},          {"missing", "(none)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Get("Opciones", c.key, "(none)"), c.expected) << c.key;
    EXPECT_EQ(Get("otra", "usuario"), "nobody");
    EXPECT_EQ(Get("Missing", "USUARIO", "(none)"), "(none)");
}

TEST_F(ProfileFileTest, KeepsAtMost254CharactersAndReadsEveryEncoding) {
    std::string longValue;
    for (int i = 0; i < 300; ++i)
        longValue += "ñ";
    WriteFile(file, "\xEF\xBB\xBF[Opciones]\r\nRUTA1=" + longValue + "\r\n");
    EXPECT_EQ(Get("Opciones", "RUTA1"), text::FirstChars(longValue, 254));
    EXPECT_EQ(text::CharCount(Get("Opciones", "RUTA1")), 254u);

    WriteFile(file, "[Opciones]\nRUTA1=C:\\A\xF1o\\\n");  // ISO-8859-1
    EXPECT_EQ(Get("Opciones", "RUTA1"), "C:\\Año\\");
}

TEST_F(ProfileFileTest, WriteReplacesInPlaceAndKeepsEveryOtherByte) {
    WriteFile(file,
              "; cabecera\r\n[Opciones]\r\nA=1\r\n; nota\r\n  B = 2 \r\n\r\n"
              "[Otra]\r\nC=3");
    ASSERT_TRUE(Put("opciones", "b", "20"));
    ASSERT_TRUE(Put("Opciones", "D", "4"));
    ASSERT_TRUE(Put("Otra", "E", "5"));
    ASSERT_TRUE(Put("Nueva", "F", "6"));
    EXPECT_EQ(ReadFile(file),
              "; cabecera\r\n[Opciones]\r\nA=1\r\n; nota\r\nB=20\r\nD=4\r\n\r\n"
              "[Otra]\r\nC=3\r\nE=5\r\n[Nueva]\r\nF=6\r\n");
    EXPECT_EQ(Get("OPCIONES", "B"), "20");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);  // no temporary file left beside it
}

TEST_F(ProfileFileTest, WriteCreatesTheFileAndKeepsItsEncoding) {
    ASSERT_TRUE(Put("Opciones", "RUTA1", "/srv/año/"));
    EXPECT_EQ(ReadFile(file), "[Opciones]\nRUTA1=/srv/año/\n");

    WriteFile(file,
              "[Opciones]\nUSUARIO=Pe\xF1"
              "a\n");  // ISO-8859-1 stays so
    ASSERT_TRUE(Put("Opciones", "RUTA2", "/srv/año/"));
    EXPECT_EQ(ReadFile(file),
              "[Opciones]\nUSUARIO=Pe\xF1"
              "a\nRUTA2=/srv/a\xF1o/\n");
    EXPECT_EQ(Get("Opciones", "USUARIO"), "Peña");
}

TEST_F(ProfileFileTest, WriteFailsWhenTheFolderCannotTakeTheFile) {
    file = dir.path() / "missing" / "Config.ini";
    EXPECT_FALSE(Put("Opciones", "RUTA1", "x"));
    EXPECT_FALSE(std::filesystem::exists(file.parent_path()));

    WriteFile(dir.path() / "plain", "not a folder");
    file = dir.path() / "plain" / "Config.ini";
    EXPECT_FALSE(Put("Opciones", "RUTA1", "x"));
}

}  // namespace
}  // namespace tolvane::platform
