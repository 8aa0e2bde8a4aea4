#include "common/SpillBuffer.h"

#include <gtest/gtest.h>

#include "common/Text.h"

namespace tolvane {
namespace {

// Large texts go to disk and come back whole, in pieces that never cut a character in two,
// wherever the file's reads happen to fall.
TEST(SpillBuffer, KeepsEveryByteAndNeverCutsACharacter) {
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

TEST(SpillBuffer, SmallTextsStayInMemory) {
    SpillBuffer buffer;
    buffer.Append("<ITEMS/>");
    EXPECT_FALSE(buffer.spilled());
    EXPECT_EQ(buffer.str(), "<ITEMS/>");
    buffer.Clear();
    EXPECT_TRUE(buffer.empty());
}

}  // namespace
}  // namespace tolvane
