#include "dispatch/XmlCompleteness.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

namespace tolvane::dispatch {
namespace {

using C = XmlCompleteness;

struct Case {
    const char* bytes;
    C expected;
};

// What a writer not done leaves, and what is whole however its markup hides a '>' or an end
// tag; cut anywhere, a whole document is no longer whole.
TEST(XmlCompletenessTest, TellsWholeDocumentsFromCutShortAndMalformedOnes) {
    const std::string kWhole =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
        "<!DOCTYPE R [<!ENTITY e \"]>\">]>\r\n"
        "<!-- <R> -->\r\n"
        "<R><A x=\"1>2\" y='/R>'/><B>caf\xE9 &amp; t\xE9</B>"
        "<R><![CDATA[</R> ]] > ]]></R><?pi </R>?></R>\r\n"
        "<!-- fin -->\r\n";
    const Case cases[] = {
        {"", C::Empty},
        {" \r\n\t", C::Empty},
        {"\xEF\xBB\xBF", C::Empty},
        {"<R/>", C::Whole},
        {"<R></R >\r\n", C::Whole},
        {"<?xml version=\"1.0\"?>", C::CutShort},
        {"<R><A/>", C::CutShort},
        {"<R><R></R>", C::CutShort},  // an inner element named as the root closed
        {"<R></A>", C::Malformed},
        {"<R/>texto", C::Malformed},
        {"<R/><S/>", C::Malformed},
        {"texto<R/>", C::Malformed},
        {"</R>", C::Malformed},
        {"<R><!CDATA[x]]></R>", C::Malformed},
        {"<![CDATA[x]]><R/>", C::Malformed},
        {"<R a=\"<\"/>", C::Malformed},
        {"<R><!DOCTYPE R></R>", C::Malformed},
    };
    for (const auto& [bytes, expected] : cases) {
        XmlEndCheck whole;
        whole.Feed(bytes);
        EXPECT_EQ(whole.Finish(), expected) << bytes;
    }

    const std::size_t rootEnd = kWhole.find("</R>\r\n<!-- fin") + 4;
    const std::size_t trailer = kWhole.find("<!-- fin");
    for (std::size_t cut = 0; cut <= kWhole.size(); ++cut) {
        XmlEndCheck check;
        // Fed a byte at a time: a piece may end anywhere, inside a name or a section's end.
        for (const char c : kWhole.substr(0, cut))
            check.Feed(std::string_view(&c, 1));
        const bool whole = (cut >= rootEnd && cut <= trailer) || cut >= kWhole.rfind("-->") + 3;
        const C got = check.Finish();
        EXPECT_TRUE(whole ? got == C::Whole : got == C::CutShort || got == C::Empty)
            << static_cast<int>(got) << " after " << kWhole.substr(0, cut);
    }
}

// A file is read in pieces, UTF-16 as its mark says; one that cannot be read says so.
TEST(XmlCompletenessTest, ChecksFilesOfAnySizeAndEncoding) {
    test::TempDir dir;
    std::string items = "<ITEMS>";
    while (items.size() < 200'000)
        items += "<ITEM NRO=\"1\" DESCRIPCION=\"Tornillos\"/>\r\n";
    const std::string utf16 = std::string("\xFF\xFE<\0R\0/\0>\0", 10);
    const std::pair<std::string, C> files[] = {
        {items + "</ITEMS>", C::Whole},
        {items, C::CutShort},
        {utf16, C::Whole},
        {utf16.substr(0, 8), C::CutShort},
    };
    for (const auto& [bytes, expected] : files) {
        test::WriteFile(dir.path() / "f.RET", bytes);
        EXPECT_EQ(CheckXmlFile((dir.path() / "f.RET").string()), expected) << bytes.size();
    }
    EXPECT_EQ(CheckXmlFile((dir.path() / "falta.RET").string()), C::Unreadable);
    EXPECT_EQ(CheckXmlFile(dir.path().string()), C::Unreadable);
}

}  // namespace
}  // namespace tolvane::dispatch
