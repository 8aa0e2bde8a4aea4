#include "dispatch/Utilities.h"

#include <gtest/gtest.h>

#include "support/TolvaneHome.h"

namespace tolvane::dispatch {
namespace {

TEST(NormalizarNombreArchivo, ReplacesWhatFileNamesCannotHold) {
    const struct {
        std::string in, out;
    } cases[] = {{"a/b\\c:d", "a_b_c_d"},
                 {"*?<>|", "_____"},
                 {"", ""},
                 {"12\"34", "12\"34"},
                 {"123/10", "123_10"}};
    for (auto c : cases) {
        std::string value = c.in;
        EXPECT_EQ(NormalizarNombreArchivo(value), c.out) << c.in;
        EXPECT_EQ(value, c.out) << "changed in place: " << c.in;
    }
}

TEST(SqlText, DoublesSingleQuotes) {
    EXPECT_EQ(SqlText("O'Brien"), "O''Brien");
    EXPECT_EQ(SqlText("x' or '1'='1"), "x'' or ''1''=''1");
}

class PlatformUtilitiesTest : public ::testing::Test {
  protected:
    test::TolvaneHome home;
};

TEST_F(PlatformUtilitiesTest, FormatFechaSQLGivesADateEscapeOrNull) {
    home.os().setDateStyle({platform::DateOrder::DayMonthYear, '/'});
    const struct {
        std::string in, out;
    } cases[] = {{"28/06/2010", "{d '2010-06-28'}"},
                 {"2010-06-28T13:45:00", "{d '2010-06-28'}"},
                 {"", "NULL"},
                 {"31/02/2010", "NULL"},
                 {"sin fecha", "NULL"}};
    for (const auto& c : cases)
        EXPECT_EQ(FormatFechaSQL(home.os(), c.in), c.out) << c.in;
}

TEST(Usuario, IsTheLogonNameOrUnknown) {
    const struct {
        std::optional<std::string> logon;
        std::string user;
    } cases[] = {{std::nullopt, "(Desconocido)"},
                 {"", "(Desconocido)"},
                 {"despachante.peña.20", "despachante.peña.20"},
                 {std::string(254, 'u'), std::string(254, 'u')},
                 {std::string(255, 'u'), "(Desconocido)"}};
    for (const auto& c : cases)
        EXPECT_EQ(UsuarioOrDesconocido(c.logon), c.user);
}

TEST_F(PlatformUtilitiesTest, ColumnValuesBecomeText) {
    home.os().setDateStyle({platform::DateOrder::DayMonthYear, '/'});
    EXPECT_EQ(DbValueText(home.os(), components::DbValue{}), "");
    EXPECT_EQ(DbValueText(home.os(), components::DbValue{std::int64_t{20123456789}}),
              "20123456789");
    EXPECT_EQ(DbValueText(home.os(), components::DbValue{2.5}), "2.5");
    EXPECT_EQ(DbValueText(home.os(), components::DbValue{DateTime{2010, 6, 28}}), "28/06/2010");
}

}  // namespace
}  // namespace tolvane::dispatch
