#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvane::dispatch {

// Whether a kit file is a whole XML document: the kit writes its files in pieces, sometimes
// with long pauses between them, and a file taken in the middle would go out cut short.
enum class XmlCompleteness {
    Whole,       // one root element, closed, with nothing after it but blanks, comments or
                 // processing instructions
    Empty,       // no bytes, or only blanks
    CutShort,    // it ends before its root element is closed: what a writer not done leaves
    Malformed,   // something XML does not allow (a mismatched end tag, text after the root)
    Unreadable,  // it cannot be read (missing, no regular file)
};

// What XmlEndCheck tells of a document's structure as it reads it; offsets count the bytes fed.
class XmlStructure {
  public:
    virtual ~XmlStructure() = default;
    // A start tag from `begin` (its '<') to `end` (after its '>'), `empty` when it ends in "/>";
    // `depth` counts the elements open around it.
    virtual void ElementStarted(std::uint64_t begin, std::uint64_t end, bool empty,
                                std::size_t depth) = 0;
    // An end tag, from its '<' to after its '>'.
    virtual void ElementEnded(std::uint64_t begin, std::uint64_t end, std::size_t depth) = 0;
    // Character data inside an element: a text with more than blanks (told at its first byte
    // that is no blank) or a CDATA section.
    virtual void TextStarted(std::size_t depth) = 0;
};

// Checks the structure of an XML document arriving in pieces, without holding it: its tags'
// nesting, comments, CDATA sections, processing instructions and the document type
// declaration. Names are compared as bytes, which holds for every ASCII-compatible encoding
// the kit writes. Entity references and characters are not checked.
class XmlEndCheck {
  public:
    explicit XmlEndCheck(XmlStructure* structure = nullptr) : structure_(structure) {}
    void Feed(std::string_view bytes);
    XmlCompleteness Finish() const;
    // Whether more bytes can no longer change the outcome.
    bool decided() const { return malformed_; }

  private:
    enum class State : std::uint8_t {
        Text,         // between tags, or outside the root element
        Open,         // after '<'
        StartName,    // <name
        InStartTag,   // attributes
        Quoted,       // an attribute's value
        EmptyEnd,     // <name ... /
        EndName,      // </name
        InEndTag,     // </name  >
        Bang,         // <! until it says what it is
        Comment,      // <!-- ... -->
        CData,        // <![CDATA[ ... ]]>
        Doctype,      // <!DOCTYPE ... >
        Instruction,  // <? ... ?>
    };

    void Step(char c);
    void Fail() { malformed_ = true; }
    void Close();             // an end tag, its name in name_
    void Opened(bool empty);  // a start tag ended

    XmlStructure* structure_;
    std::uint64_t tagBegin_ = 0;
    std::size_t depth_ = 0;
    bool textTold_ = false;  // the current text was told to structure_

    State state_ = State::Text;
    bool started_ = false;     // a byte other than a blank (or a byte-order mark) was seen
    bool rootClosed_ = false;  // the root element ended
    bool malformed_ = false;
    std::uint64_t offset_ = 0;
    char quote_ = 0;
    bool inSubset_ = false;  // the document type's internal subset, in brackets
    char last_[2] = {0, 0};  // the two bytes before this one, for the ends of sections
    std::string name_;       // the tag being read, or what follows "<!"
    std::string open_;       // the open elements' names, each followed by '\0'
};

// Reads the file and checks it.
XmlCompleteness CheckXmlFile(const std::string& path);

}  // namespace tolvane::dispatch
