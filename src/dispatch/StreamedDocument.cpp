#include "dispatch/StreamedDocument.h"

#include <pugixml.hpp>

#include "dispatch/XmlCompleteness.h"

namespace tolvane::dispatch {
namespace {

constexpr unsigned kParse = pugi::parse_default;

// Hands the serialization over in pieces as the parser produces it.
class PieceWriter final : public pugi::xml_writer {
  public:
    explicit PieceWriter(const TextSink& sink) : sink_(sink) {}
    void write(const void* data, std::size_t size) override {
        sink_(std::string_view(static_cast<const char*>(data), size));
    }

  private:
    const TextSink& sink_;
};

bool ParseFragment(pugi::xml_document& document, std::string_view text) {
    return document.load_buffer(text.data(), text.size(), kParse | pugi::parse_fragment,
                                pugi::encoding_utf8);
}

// A start tag made empty ("<name ...>" as "<name .../>"), parsed alone.
bool ParseStartTag(pugi::xml_document& document, std::string_view tag, bool empty) {
    std::string alone(tag.substr(0, empty ? tag.size() : tag.size() - 1));
    if (!empty)
        alone += "/>";
    return document.load_buffer(alone.data(), alone.size(), kParse, pugi::encoding_utf8) &&
           document.document_element();
}

}  // namespace

void SaveRaw(const pugi::xml_document& document, const TextSink& sink) {
    PieceWriter writer(sink);
    document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
}

// Cuts the document into fragments as XmlEndCheck reads it. A fragment starts and ends at the
// same depth, so each one is balanced; the elements around a cut get their tags written out.
class FragmentPlanner final : public XmlStructure {
  public:
    FragmentPlanner(StreamedDocument& document, std::string_view text, std::size_t bytes)
        : document_(document), text_(text), bytes_(bytes) {}

    bool failed() const { return failed_; }

    void ElementStarted(std::uint64_t begin, std::uint64_t end, bool empty,
                        std::size_t depth) override {
        if (depth == 0)
            from_ = begin;  // what comes before the root is not saved
        if (depth == 1 && !firstChildSeen_) {
            firstChildSeen_ = true;
            ReadFirstChild(Text(begin, end), empty);
        }
        if (!empty)
            open_.push_back(Open{begin, end, false});
        else
            Boundary(end, depth == 0);
    }

    void ElementEnded(std::uint64_t begin, std::uint64_t end, std::size_t depth) override {
        const Open closed = open_.back();
        open_.pop_back();
        if (!closed.written)
            return Boundary(end, depth == 0);
        AddFragment(from_, begin);
        const std::string_view tag = Text(closed.begin, closed.end);
        const std::size_t name = tag.find_first_of(" \t\r\n/>", 1);
        AddLiteral("</" + std::string(tag.substr(1, name - 1)) + ">");
        from_ = end;
    }

    void TextStarted(std::size_t depth) override {
        if (depth == 1)
            firstChildSeen_ = true;  // a text or CDATA node: no attributes
    }

  private:
    struct Open {
        std::uint64_t begin, end;
        bool written;  // its start tag is written out: its content goes in fragments of its own
    };

    std::string_view Text(std::uint64_t from, std::uint64_t to) const {
        return text_.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    }

    void AddFragment(std::uint64_t from, std::uint64_t to) {
        if (to > from)
            document_.pieces_.push_back({from, to, {}});
    }
    void AddLiteral(std::string tag) { document_.pieces_.push_back({0, 0, std::move(tag)}); }

    // After an element ended at `end`: a cut there once enough has gathered, and always at the
    // root's end.
    void Boundary(std::uint64_t end, bool root) {
        if (!root && end - from_ < bytes_)
            return;
        for (Open& open : open_) {
            if (open.written)
                continue;
            AddFragment(from_, open.begin);
            pugi::xml_document alone;
            if (!ParseStartTag(alone, Text(open.begin, open.end), false)) {
                failed_ = true;
                return;
            }
            std::string tag;
            SaveRaw(alone, [&tag](std::string_view piece) { tag += piece; });
            if (!tag.ends_with("/>")) {
                failed_ = true;
                return;
            }
            tag.replace(tag.size() - 2, 2, ">");
            AddLiteral(std::move(tag));
            from_ = open.end;
            open.written = true;
        }
        AddFragment(from_, end);
        from_ = end;
    }

    void ReadFirstChild(std::string_view tag, bool empty) {
        pugi::xml_document alone;
        if (!ParseStartTag(alone, tag, empty)) {
            failed_ = true;
            return;
        }
        for (const auto& attribute : alone.document_element().attributes())
            document_.firstChild_.try_emplace(attribute.name(), attribute.value());
    }

    StreamedDocument& document_;
    std::string_view text_;
    std::size_t bytes_;
    std::vector<Open> open_;
    std::uint64_t from_ = 0;
    bool firstChildSeen_ = false;
    bool failed_ = false;
};

bool StreamedDocument::Load(std::string& text, std::size_t fragmentBytes) {
    Clear();
    FragmentPlanner planner(*this, text, fragmentBytes);
    XmlEndCheck check(&planner);
    check.Feed(text);
    bool loaded = check.Finish() == XmlCompleteness::Whole && !planner.failed();
    // Every fragment must parse now: once saving has begun there is no going back.
    for (std::size_t i = 0; loaded && i < pieces_.size(); ++i) {
        pugi::xml_document fragment;
        loaded = !pieces_[i].literal.empty() ||
                 ParseFragment(fragment, std::string_view(text).substr(
                                             pieces_[i].from, pieces_[i].to - pieces_[i].from));
    }
    if (!loaded) {
        Clear();
        return false;
    }
    text_ = std::move(text);
    return true;
}

std::string StreamedDocument::FirstChildAttribute(const char* name) const {
    const auto found = firstChild_.find(name);
    return found == firstChild_.end() ? std::string() : found->second;
}

void StreamedDocument::Save(const TextSink& sink) const {
    for (const Piece& piece : pieces_) {
        if (!piece.literal.empty()) {
            sink(piece.literal);
            continue;
        }
        pugi::xml_document fragment;
        ParseFragment(fragment, std::string_view(text_).substr(piece.from, piece.to - piece.from));
        SaveRaw(fragment, sink);
    }
}

void StreamedDocument::Clear() {
    std::string().swap(text_);
    pieces_.clear();
    pieces_.shrink_to_fit();
    firstChild_.clear();
}

}  // namespace tolvane::dispatch
