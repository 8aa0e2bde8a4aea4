#include "dispatch/Utilities.h"

#include <gtest/gtest.h>

#include "support/TolvaneHome.h"

namespace tolvane::dispatch {
namespace {

TEST(NormalizarNombreArchivo, ReplacesWhatFileNamesCannotHoldInPlace) {
    const std::pair<std::string, std::string> cases[] = {
        {"a/b\\c:d", "a_b_c_d"}, {"*?<>|", "_____"}, {"", ""}, {"12\"34", "12\"34"}};
    for (auto [value, out] : cases) {
        EXPECT_EQ(NormalizarNombreArchivo(value), out);
        EXPECT_EQ(value, out);
    }
}

TEST(SqlText, DoublesSingleQuotes) {
    EXPECT_EQ(SqlText("x' or '1'='1"), "x'' or ''1''=''1");
}

TEST(Usuario, IsTheLogonNameOrUnknown) {
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, "(Desconocido)"},
        {"", "(Desconocido)"},
        {"despachante.peña.20", "despachante.peña.20"},
        {std::string(254, 'u'), std::string(254, 'u')},
        {std::string(255, 'u'), "(Desconocido)"}};
    for (const auto& [logon, user] : cases)
        EXPECT_EQ(UsuarioOrDesconocido(logon), user);
}

// Dates are read in the user's order and written as ODBC date escapes; column values as text.
TEST(PlatformUtilities, DatesAndColumnValuesBecomeText) {
    test::TolvaneHome home;
    home.os().setDateStyle({platform::DateOrder::DayMonthYear, '/'});
    const std::pair<std::string, std::string> dates[] = {
        {"28/06/2010", "{d '2010-06-28'}"},
        {"2010-06-28T13:45:00", "{d '2010-06-28'}"},
        {"", "NULL"},
        {"31/02/2010", "NULL"},
        {"sin fecha", "NULL"}};
    for (const auto& [in, out] : dates)
        EXPECT_EQ(FormatFechaSQL(home.os(), in), out) << in;
    EXPECT_EQ(DbValueText(home.os(), components::DbValue{}), "");
    EXPECT_EQ(DbValueText(home.os(), components::DbValue{std::int64_t{20123456789}}),
              "20123456789");
    EXPECT_EQ(DbValueText(home.os(), components::DbValue{2.5}), "2.5");
    EXPECT_EQ(DbValueText(home.os(), components::DbValue{DateTime{2010, 6, 28}}), "28/06/2010");
}

}  // namespace
}  // namespace tolvane::dispatch
