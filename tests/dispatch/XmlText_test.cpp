#include "dispatch/XmlText.h"

#include <gtest/gtest.h>

#include "common/Text.h"

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

}  // namespace
}  // namespace tolvane::dispatch
