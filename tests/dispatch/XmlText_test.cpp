#include "dispatch/XmlText.h"

#include <gtest/gtest.h>

#include "common/Text.h"

namespace tolvane::dispatch {
namespace {

TEST(XmlText, FilesAreReadAsTheyDeclare) {
    const struct {
        std::string bytes, text;
    } cases[] = {
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
    for (const auto& c : cases)
        EXPECT_EQ(DecodeXmlBytes(c.bytes), c.text) << c.bytes;
}

TEST(XmlText, CharactersBeyondLatin1BecomeReferences) {
    EXPECT_EQ(Latin1SafeXml("Peña € Łódź"), "Peña &#8364; &#321;ód&#378;");
    EXPECT_EQ(Latin1SafeXml("a\xE9z"), "a\xE9z");  // a stray byte is kept for the file
}

// The streamed forms must give exactly what the whole-text functions give, wherever the
// pieces are cut: inside a pattern, inside a character, between overlapping candidates.
TEST(XmlText, StreamedReplacementsMatchTheWholeTextWhereverPiecesAreCut) {
    const struct {
        std::string text, from, to;
    } cases[] = {
        {"a</C>b</C></C>", "</C>", "<N/></C>"},
        {"aaaaa", "aa", "b"},  // non-overlapping, left to right, no rescan
        {"X=\"XX\" X=\"XXX\"", "X=\"XX\"", "X=\"Pérez & Cía\""},
        {"sin nada", "</C>", "?"},
    };
    for (const auto& c : cases) {
        const std::string whole = text::ReplaceAll(c.text, c.from, c.to);
        for (std::size_t piece = 1; piece <= c.text.size(); ++piece) {
            std::string out;
            StreamingReplace replace(c.from, c.to, [&out](std::string_view p) { out += p; });
            for (std::size_t at = 0; at < c.text.size(); at += piece)
                replace.Write(std::string_view(c.text).substr(at, piece));
            replace.Finish();
            EXPECT_EQ(out, whole) << c.text << " in pieces of " << piece;
        }
    }
    const std::string text = "Peña € Łódź ok";
    for (std::size_t piece = 1; piece <= text.size(); ++piece) {
        std::string out;
        StreamingLatin1Safe latin1([&out](std::string_view p) { out += p; });
        for (std::size_t at = 0; at < text.size(); at += piece)
            latin1.Write(std::string_view(text).substr(at, piece));
        latin1.Finish();
        EXPECT_EQ(out, Latin1SafeXml(text)) << "pieces of " << piece;
    }
}

TEST(XmlText, CompletedValuesAreWrittenAsAttributeValues) {
    EXPECT_EQ(AttributeValue("Pérez & Cía <SRL> \"La Unión\" 'x' >"),
              "Pérez &amp; Cía &lt;SRL> &quot;La Unión&quot; 'x' >");
    EXPECT_EQ(AttributeValue(std::string("a\tb\r\nc\x01\x1F\x7F\0d", 11)), "a\tb\r\ncd");
}

}  // namespace
}  // namespace tolvane::dispatch
