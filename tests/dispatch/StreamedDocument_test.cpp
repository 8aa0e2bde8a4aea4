#include "dispatch/StreamedDocument.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include <pugixml.hpp>

#include "dispatch/XmlText.h"
#include "support/TempDir.h"

namespace tolvane::dispatch {
namespace {

// What the parser gives for the whole document: its raw save and the root's first child's
// attributes asked for.
struct Whole {
    bool loaded = false;
    std::string saved;
    std::string first, second;
};

Whole ParseWhole(std::string text) {
    pugi::xml_document document;
    Whole whole;
    whole.loaded = document.load_buffer_inplace(text.data(), text.size(), pugi::parse_default,
                                                pugi::encoding_utf8) &&
                   document.document_element();
    if (!whole.loaded)
        return whole;
    SaveRaw(document, [&](std::string_view piece) { whole.saved += piece; });
    const pugi::xml_node first = document.document_element().first_child();
    whole.first = first.attribute("A").value();
    whole.second = first.attribute("B").value();
    return whole;
}

// Streamed in fragments of `bytes`, the document gives what the whole tree gives.
void ExpectAsWhole(const std::string& text, std::size_t bytes) {
    const Whole whole = ParseWhole(text);
    std::string taken = text;
    StreamedDocument streamed;
    ASSERT_TRUE(streamed.Load(taken, bytes)) << text;
    EXPECT_TRUE(taken.empty());
    ASSERT_TRUE(whole.loaded) << text;
    std::string saved;
    streamed.Save([&](std::string_view piece) { saved += piece; });
    EXPECT_EQ(saved, whole.saved) << "in fragments of " << bytes << ": " << text;
    EXPECT_EQ(streamed.FirstChildAttribute("A"), whole.first) << text;
    EXPECT_EQ(streamed.FirstChildAttribute("B"), whole.second) << text;
}

const char* const kDocuments[] = {
    "<?xml version=\"1.0\"?>\r\n<!DOCTYPE R [<!ENTITY e \"x\">]>\r\n<!-- c -->\r\n"
    "<R V=\"4.1\">\r\n  <C A=\"1&amp;2\" B='&#10;x\r\ny\t&quot;' A=\"otra\">\r\n"
    "    <I N=\"1\"/>\r\n    <I N=\"2\">texto &lt;&gt; &amp;amp; &#xE9;\r\n</I>\r\n"
    "    <![CDATA[<no> ]] ]]>\r\n    <J></J><K>  </K><L>\r</L>mixto<M/>fin\r\n"
    "  </C>\r\n  <?pi x?><!-- c --><C2/>\r\n</R>\r\n<!-- después -->\r\n",
    "<R>texto primero<C A=\"no\"/></R>",
    "<R><![CDATA[x]]><C A=\"no\"/></R>",
    "<R><!-- c --><?p?>\r\n <C A=\"sí\"/></R>",
    "<R/>",
    "<R></R>",
    "<R>&#0;x</R>",
    "<R><C A=\"1\"><D><E><F/></E></D>cola</C></R>",
};

// Not well-formed, or beyond what the fragments take: left to the caller to parse whole, as it
// was (the parser itself takes some of them).
const char* const kRefused[] = {
    "<R><C A=\"1\"/>", "<R><C></D></R>",  "<R/><S/>",
    "<R/>texto",       "<R><C A=1/></R>", "<R><C A=\"<\"/></R>",
};

TEST(StreamedDocumentTest, GivesWhatTheWholeTreeGivesInFragmentsOfAnySize) {
    for (const char* text : kDocuments) {
        for (std::size_t bytes :
             {std::size_t{1}, std::size_t{9}, std::size_t{40}, StreamedDocument::kFragmentBytes})
            ExpectAsWhole(text, bytes);
    }
    for (const std::string text : kRefused) {
        std::string kept = text;
        StreamedDocument streamed;
        EXPECT_FALSE(streamed.Load(kept, 1)) << text;
        EXPECT_EQ(kept, text);
    }
}

// Random nests of the kinds of content a cover sheet holds.
TEST(StreamedDocumentTest, RandomDocumentsGiveWhatTheWholeTreeGives) {
    std::mt19937 random(20261206);
    const char* const texts[] = {"",          " ",          "\r\n  ",     "x",
                                 "a &amp; b", "&#233;\r\n", "<!-- c -->", "<![CDATA[]]>]]>",
                                 "<?p d?>",   "Ñandú"};
    const char* const attributes[] = {"", " A=\"1\"", " B='x&#10;y'", " A=\"\" B=\"&lt;\"",
                                      " Z=\"a\r\nb\""};
    for (int round = 0; round < 300; ++round) {
        std::string text = "<R>";
        std::vector<std::string> open{"R"};
        while (text.size() < 400 && !open.empty()) {
            const auto pick = [&](std::size_t n) { return random() % n; };
            switch (pick(4)) {
                case 0: {
                    const std::string name(1, static_cast<char>('A' + pick(5)));
                    text += "<" + name + attributes[pick(5)] + ">";
                    open.push_back(name);
                    break;
                }
                case 1:
                    text += "<E" + std::string(attributes[pick(5)]) + "/>";
                    break;
                case 2:
                    text += texts[pick(10)];
                    break;
                default:
                    if (open.size() > 1 || text.size() > 300) {
                        text += "</" + open.back() + ">";
                        open.pop_back();
                    }
            }
        }
        while (!open.empty()) {
            text += "</" + open.back() + ">";
            open.pop_back();
        }
        ExpectAsWhole(text, 1 + random() % 64);
    }
}

}  // namespace
}  // namespace tolvane::dispatch
