#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tolvane::dispatch {

// The text of an XML file's bytes, in UTF-8, read as the file declares: a byte-order mark
// first (UTF-8, UTF-16), else the declaration's encoding (ISO-8859-1 and its aliases,
// windows-1252, UTF-8, US-ASCII), else UTF-8. Bytes that are not valid in the encoding
// taken, or an encoding the program does not know, are read leniently (UTF-8 when valid,
// otherwise ISO-8859-1), so no file is refused for its bytes alone.
std::string DecodeXmlBytes(std::string_view bytes);

// The text less the control characters that XML cannot hold (all but tab, CR and LF): a value
// bound for both a document and a database column is made so once, and both get the same.
std::string XmlStorableText(std::string_view value);

// A value pasted between the double quotes of an attribute, read back by any XML parser as
// XmlStorableText(value): '&', '<' and '"' written as references, and so are tab, CR and LF,
// which a parser would otherwise turn into spaces. Other text comes back unchanged.
std::string AttributeValue(std::string_view value);

// UTF-8 text made writable in ISO-8859-1 without loss: every character beyond it becomes a
// character reference such as "&#8364;".
std::string Latin1SafeXml(std::string_view utf8);

// Where a text that arrives in pieces goes next.
using TextSink = std::function<void(std::string_view)>;

// text::ReplaceAll over a text that arrives in pieces: the same result, piece by piece, with no
// more than the pattern's length held back. Finish() passes on what is held back.
class StreamingReplace {
  public:
    StreamingReplace(std::string from, std::string to, TextSink next);
    void Write(std::string_view piece);
    void Finish();

  private:
    std::string from_, to_, pending_;
    TextSink next_;
};

// Latin1SafeXml over a text that arrives in pieces, holding back a character cut in two.
class StreamingLatin1Safe {
  public:
    explicit StreamingLatin1Safe(TextSink next) : next_(std::move(next)) {}
    void Write(std::string_view piece);
    void Finish();

  private:
    std::string pending_;
    TextSink next_;
};

}  // namespace tolvane::dispatch
