#include "common/Text.h"

#include <gtest/gtest.h>

#include "common/Numbers.h"
#include "dispatch/SpillBuffer.h"

namespace tolvane {
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

TEST(LeadingNumber, ReadsTheNumberAtTheStartLeniently) {
    const std::pair<const char*, double> cases[] = {
        {"", 0},       {"abc", 0},      {"60000", 60000}, {" 6 0 0 ", 600},
        {"12abc", 12}, {"-3.5x", -3.5}, {"1e3", 1000},    {"2D2", 200},
        {"&H1F", 31},  {"&O17", 15},    {".5", 0.5},      {"1.2.3", 1.2},
        {"+7", 7},     {"-", 0},        {".", 0},         {"1e", 1}};
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(LeadingNumber(text), value) << text;
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
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

}  // namespace
}  // namespace tolvane
