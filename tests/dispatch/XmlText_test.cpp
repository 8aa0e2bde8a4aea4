#include "dispatch/XmlText.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tolvane::dispatch
