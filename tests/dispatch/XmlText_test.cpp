#include "dispatch/XmlText.h"

#include <gtest/gtest.h>

#include "common/Text.h"
#include "dispatch/Utilities.h"
#include "support/TolvaneHome.h"

namespace tolvane::dispatch {
namespace {

TEST(XmlText, FilesAreReadAsTheyDeclare) {
    const std::pair<std::string, std::string> cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>é</a>"},
        {"<?xml version='1.0' encoding='windows-1252'?><a>\x80\x96</a>",
         "<?xml version='1.0' encoding='windows-1252'?><a>€–</a>"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>é</a>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>é</a>"},
        // No declaration means UTF-8; bytes that are not UTF-8 are still read, as ISO-8859-1.
        {"<a>\xE9</a>", "<a>é</a>"},
        {"\xEF\xBB\xBF<a>é</a>", "<a>é</a>"},
        {std::string("\xFF\xFE<\0a\0>\0\xE9\0", 10), "<a>é"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(DecodeXmlBytes(bytes), text) << bytes;
}

// Characters beyond Latin-1 become references; completed values are attribute values.
TEST(XmlText, WrittenValuesAreLatin1SafeAndEscaped) {
    EXPECT_EQ(Latin1SafeXml("Peña € Łódź"), "Peña &#8364; &#321;ód&#378;");
    EXPECT_EQ(Latin1SafeXml("a\xE9z"), "a\xE9z");  // a stray byte is kept for the file
    EXPECT_EQ(AttributeValue("Pérez & Cía <SRL> \"La Unión\" 'x' >"),
              "Pérez &amp; Cía &lt;SRL> &quot;La Unión&quot; 'x' >");
    EXPECT_EQ(AttributeValue(std::string("a\tb\r\nc\x01\x1F\x7F\0d", 11)), "a\tb\r\ncd");
}

// `text` written to a Stream made with `args` in pieces of `piece` bytes, as it comes out.
template <class Stream, class... Args>
std::string InPieces(const std::string& text, std::size_t piece, const Args&... args) {
    std::string out;
    Stream stream(args..., [&out](std::string_view p) { out += p; });
    for (std::size_t at = 0; at < text.size(); at += piece)
        stream.Write(std::string_view(text).substr(at, piece));
    stream.Finish();
    return out;
}

// The streamed forms must give exactly what the whole-text functions give, wherever the
// pieces are cut: inside a pattern, inside a character, between overlapping candidates.
TEST(XmlText, StreamedReplacementsMatchTheWholeTextWhereverPiecesAreCut) {
    // Text, pattern, replacement.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"a</C>b</C></C>", "</C>", "<N/></C>"},
        {"aaaaa", "aa", "b"},  // non-overlapping, left to right, no rescan
        {"X=\"XX\" X=\"XXX\"", "X=\"XX\"", "X=\"Pérez & Cía\""},
        {"sin nada", "</C>", "?"},
    };
    for (const auto& [text, from, to] : cases)
        for (std::size_t piece = 1; piece <= text.size(); ++piece)
            EXPECT_EQ(InPieces<StreamingReplace>(text, piece, from, to),
                      text::ReplaceAll(text, from, to))
                << text << " in pieces of " << piece;
    const std::string latin1 = "Peña € Łódź ok";
    for (std::size_t piece = 1; piece <= latin1.size(); ++piece)
        EXPECT_EQ(InPieces<StreamingLatin1Safe>(latin1, piece), Latin1SafeXml(latin1)) << piece;
}

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
