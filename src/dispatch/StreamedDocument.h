#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dispatch/XmlText.h"

namespace pugi {
class xml_document;
}

namespace tolvane::dispatch {

// Saves a whole tree as StreamedDocument saves its fragments.
void SaveRaw(const pugi::xml_document& document, const TextSink& sink);

// A document held as its text and given out as the XML parser would load it whole (its default
// parse) and save it (raw, without declaration), a fragment of about a megabyte at a time: the
// parser's tree of a whole document of small elements takes many times the file.
class StreamedDocument {
  public:
    static constexpr std::size_t kFragmentBytes = std::size_t{1} << 20;

    // Takes the text (UTF-8) when it can be given out in fragments; otherwise leaves it where
    // it is and gives false (not well-formed, or something the parser refuses): the caller
    // parses it whole.
    bool Load(std::string& text, std::size_t fragmentBytes = kFragmentBytes);
    // An attribute of the root element's first child node; empty when either is missing.
    std::string FirstChildAttribute(const char* name) const;
    void Save(const TextSink& sink) const;
    std::size_t size() const { return text_.size(); }
    void Clear();

  private:
    // A fragment of the text, or a tag written out as given when `literal` is set.
    struct Piece {
        std::uint64_t from = 0, to = 0;
        std::string literal;
    };
    friend class FragmentPlanner;

    std::string text_;
    std::vector<Piece> pieces_;
    std::map<std::string, std::string> firstChild_;  // the first of each name
};

}  // namespace tolvane::dispatch
