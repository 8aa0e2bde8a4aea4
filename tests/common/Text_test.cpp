#include "common/Text.h"

#include <gtest/gtest.h>

#include "common/Numbers.h"
#include "dispatch/SpillBuffer.h"
#include "dispatch/Utilities.h"
#include "dispatch/XmlText.h"
#include "support/TolvaneHome.h"

namespace tolvane::dispatch {
namespace {

TEST(Latin1AndUtf8, EveryByteSurvivesTheTripAndOnlyValidUtf8PassesAsSuch) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::string utf8 = text::Latin1ToUtf8(all);
    EXPECT_TRUE(text::IsValidUtf8(utf8));
    EXPECT_EQ(text::Utf8ToLatin1(utf8), all);
    EXPECT_EQ(text::Latin1ToUtf8("\xA9\xE9"), "©é");  // both lead bytes, which a trip cannot pin
    EXPECT_EQ(text::Utf8ToLatin1("a€b"), "a?b");
    // A stray Latin-1 byte inside UTF-8 text is not dropped.
    EXPECT_EQ(text::Utf8ToLatin1("a\xE9z"), "a\xE9z");

    EXPECT_TRUE(text::IsValidUtf8("plain ñ €"));
    EXPECT_FALSE(text::IsValidUtf8("\xC0\xAF"));      // overlong '/'
    EXPECT_FALSE(text::IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(text::IsValidUtf8("\xE2\x82"));      // cut short
    EXPECT_EQ(text::ToUtf8Lenient("caf\xE9"), "café");
}

TEST(ReplaceAll, DoesNotRescanWhatItPutIn) {
    EXPECT_EQ(text::ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(text::ReplaceAll("XXXX", "XX", "Y"), "YY");
    EXPECT_EQ(text::ReplaceAll("abc", "", "z"), "abc");
}

TEST(Numbers, AreReadLenientlyFromTheStartAndRoundedHalfToEven) {
    const std::pair<const char*, double> cases[] = {
        {"", 0},       {"abc", 0},      {"60000", 60000}, {" 6 0 0 ", 600},
        {"12abc", 12}, {"-3.5x", -3.5}, {"1e3", 1000},    {"2D2", 200},
        {"&H1F", 31},  {"&O17", 15},    {".5", 0.5},      {"1.2.3", 1.2},
        {"+7", 7},     {"-", 0},        {".", 0},         {"1e", 1}};
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(LeadingNumber(text), value) << text;
    for (const auto& [value, rounded] :
         {std::pair{0.5, 0.0}, {1.5, 2.0}, {2.5, 2.0}, {2.6, 3.0}, {-1.5, -2.0}})
        EXPECT_EQ(RoundHalfEven(value), rounded) << value;
}

// Large texts go to disk and come back whole, in pieces that never cut a character in two,
// wherever the file's reads happen to fall.
TEST(SpillBuffer, KeepsEveryByteAndNeverCutsACharacter) {
    SpillBuffer small;  // small texts stay in memory
    small.Append("<ITEMS/>");
    EXPECT_FALSE(small.spilled());
    EXPECT_EQ(small.str(), "<ITEMS/>");
    small.Clear();
    EXPECT_TRUE(small.empty());
    for (const std::size_t lead : {0u, 1u, 2u}) {
        std::string text(lead, 'a');
        while (text.size() < 200'000)
            text += "ñ€😀";  // characters of two, three and four bytes
        SpillBuffer buffer(1000);
        for (std::size_t at = 0; at < text.size(); at += 777)
            buffer.Append(std::string_view(text).substr(at, 777));
        EXPECT_TRUE(buffer.spilled());
        EXPECT_EQ(buffer.size(), text.size());

        std::string back;
        int pieces = 0;
        buffer.ForEachPiece([&](std::string_view piece) {
            EXPECT_TRUE(text::IsValidUtf8(piece)) << "piece " << pieces;
            back.append(piece);
            ++pieces;
        });
        EXPECT_GT(pieces, 1);
        EXPECT_TRUE(back == text) << "lead " << lead;
        // Still usable: more text goes after what is there.
        buffer.Append("fin");
        EXPECT_EQ(buffer.str().substr(text.size()), "fin");
    }
}

TEST(XmlText, FilesAreReadAsTheyDeclareAndValuesWrittenLatin1SafeAndEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>é</a>"},
        // The whole row where windows-1252 differs from ISO-8859-1, its five unused bytes read
        // as ISO-8859-1.
        {"<?xml version='1.0' encoding='windows-1252'?><a>\x80\x81\x82\x83\x84\x85\x86\x87\x88"
         "\x89\x8A\x8B\x8C\x8D\x8E\x8F\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D"
         "\x9E\x9F</a>",
         "<?xml version='1.0' encoding='windows-1252'?><a>€\xC2\x81‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8DŽ\xC2\x8F"
         "\xC2\x90‘’“”•–—˜™š›œ\xC2\x9DžŸ</a>"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>é</a>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>é</a>"},
        // No declaration means UTF-8; bytes that are not UTF-8 are still read, as ISO-8859-1.
        {"<a>\xE9</a>", "<a>é</a>"},
        {"\xEF\xBB\xBF<a>é</a>", "<a>é</a>"},
        {std::string("\xFF\xFE<\0a\0>\0\xE9\0", 10), "<a>é"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(DecodeXmlBytes(bytes), text) << bytes;
    // Characters beyond Latin-1 become references; completed values are attribute values.
    EXPECT_EQ(Latin1SafeXml("Peña € Łódź"), "Peña &#8364; &#321;ód&#378;");
    EXPECT_EQ(Latin1SafeXml("a\xE9z"), "a\xE9z");  // a stray byte is kept for the file
    EXPECT_EQ(AttributeValue("Pérez & Cía <SRL> \"La Unión\" 'x' >"),
              "Pérez &amp; Cía &lt;SRL> &quot;La Unión&quot; 'x' >");
    const std::string controls("a\tb\r\nc\x01\x1F\x7F\0d", 11);
    EXPECT_EQ(XmlStorableText(controls), "a\tb\r\ncd");
    EXPECT_EQ(AttributeValue(controls), "a&#9;b&#13;&#10;cd");
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

TEST(Utilities, FileNamesLoseWhatTheyCannotHoldInPlaceAndSqlTextDoublesQuotes) {
    const std::pair<std::string, std::string> cases[] = {
        {"a/b\\c:d", "a_b_c_d"}, {"*?<>|", "_____"}, {"", ""}, {"12\"34", "12\"34"}};
    for (auto [value, out] : cases) {
        EXPECT_EQ(NormalizarNombreArchivo(value), out);
        EXPECT_EQ(value, out);
    }
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
