#include "dispatch/XmlCompleteness.h"

#include <optional>
#include <vector>

#include "dispatch/XmlText.h"
#include "platform/FileServices.h"

namespace tolvane::dispatch {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EndsName(char c) {
    return IsBlank(c) || c == '>' || c == '/' || c == '<' || c == '=' || c == '"' || c == '\'';
}

constexpr std::string_view kCommentStart = "--";
constexpr std::string_view kCDataStart = "[CDATA[";
constexpr std::string_view kDoctypeStart = "DOCTYPE";

}  // namespace

void XmlEndCheck::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (malformed_)
            return;
        Step(c);
        last_[0] = last_[1];
        last_[1] = c;
        ++offset_;
    }
}

void XmlEndCheck::Opened(bool empty) {
    if (structure_ != nullptr)
        structure_->ElementStarted(tagBegin_, offset_ + 1, empty, depth_);
    if (empty) {
        rootClosed_ = open_.empty();
    } else {
        open_ += name_;
        open_ += '\0';
        ++depth_;
    }
    state_ = State::Text;
}

void XmlEndCheck::Close() {
    // The innermost open element's name is the last one in open_, after the previous '\0'.
    if (open_.empty())
        return Fail();
    const std::size_t start = open_.find_last_of('\0', open_.size() - 2);
    const std::size_t from = start == std::string::npos ? 0 : start + 1;
    if (std::string_view(open_).substr(from, open_.size() - 1 - from) != name_)
        return Fail();
    open_.resize(from);
    --depth_;
    rootClosed_ = open_.empty();
    if (structure_ != nullptr)
        structure_->ElementEnded(tagBegin_, offset_ + 1, depth_);
}

void XmlEndCheck::Step(char c) {
    switch (state_) {
        case State::Text:
            if (c == '<') {
                started_ = true;
                textTold_ = false;
                tagBegin_ = offset_;
                state_ = State::Open;
            } else if (!open_.empty()) {
                if (!textTold_ && !IsBlank(c) && structure_ != nullptr)
                    structure_->TextStarted(depth_);
                textTold_ = textTold_ || !IsBlank(c);
            } else if (!IsBlank(c)) {
                // A UTF-8 byte-order mark may open the file; any other text must be inside
                // the root element.
                const bool mark =
                    offset_ < 3 && static_cast<unsigned char>(c) == (offset_ == 0   ? 0xEF
                                                                     : offset_ == 1 ? 0xBB
                                                                                    : 0xBF);
                if (!mark)
                    Fail();
            }
            return;
        case State::Open:
            name_.clear();
            if (c == '/') {
                state_ = State::EndName;
            } else if (c == '?') {
                state_ = State::Instruction;
            } else if (c == '!') {
                state_ = State::Bang;
            } else if (EndsName(c) || rootClosed_) {
                Fail();  // no name, or a second root element
            } else {
                name_ += c;
                state_ = State::StartName;
            }
            return;
        case State::StartName:
        case State::InStartTag:
            if (state_ == State::StartName && !EndsName(c)) {
                name_ += c;
            } else if (c == '>') {
                Opened(false);
            } else if (c == '/') {
                state_ = State::EmptyEnd;
            } else if (c == '"' || c == '\'') {
                if (state_ == State::StartName)
                    return Fail();
                quote_ = c;
                state_ = State::Quoted;
            } else if (c == '<') {
                Fail();
            } else {
                state_ = State::InStartTag;
            }
            return;
        case State::Quoted:
            if (c == quote_)
                state_ = State::InStartTag;
            else if (c == '<')
                Fail();
            return;
        case State::EmptyEnd:
            if (c != '>')
                return Fail();
            Opened(true);
            return;
        case State::EndName:
            if (!EndsName(c)) {
                name_ += c;
            } else if (IsBlank(c) && !name_.empty()) {
                state_ = State::InEndTag;
            } else if (c == '>') {
                Close();
                state_ = State::Text;
            } else {
                Fail();
            }
            return;
        case State::InEndTag:
            if (c == '>') {
                Close();
                state_ = State::Text;
            } else if (!IsBlank(c)) {
                Fail();
            }
            return;
        case State::Bang:
            name_ += c;
            if (name_ == kCommentStart) {
                state_ = State::Comment;
            } else if (name_ == kCDataStart) {
                if (open_.empty())
                    return Fail();
                if (structure_ != nullptr)
                    structure_->TextStarted(depth_);
                state_ = State::CData;
            } else if (name_ == kDoctypeStart) {
                if (!open_.empty() || rootClosed_)
                    return Fail();
                quote_ = 0;
                state_ = State::Doctype;
            } else if (!kCommentStart.starts_with(name_) && !kCDataStart.starts_with(name_) &&
                       !kDoctypeStart.starts_with(name_)) {
                Fail();
            }
            // The bytes of the opening are not a section's end.
            last_[1] = 0;
            return;
        case State::Comment:
            if (c == '>' && last_[0] == '-' && last_[1] == '-')
                state_ = State::Text;
            return;
        case State::CData:
            if (c == '>' && last_[0] == ']' && last_[1] == ']')
                state_ = State::Text;
            return;
        case State::Instruction:
            if (c == '>' && last_[1] == '?')
                state_ = State::Text;
            return;
        case State::Doctype:
            if (quote_ != 0) {
                if (c == quote_)
                    quote_ = 0;
            } else if (c == '"' || c == '\'') {
                quote_ = c;
            } else if (c == '[') {
                inSubset_ = true;
            } else if (c == ']') {
                inSubset_ = false;
            } else if (c == '>' && !inSubset_) {
                state_ = State::Text;
            }
            return;
    }
}

XmlCompleteness XmlEndCheck::Finish() const {
    if (malformed_)
        return XmlCompleteness::Malformed;
    if (!started_)
        return XmlCompleteness::Empty;
    return rootClosed_ && state_ == State::Text ? XmlCompleteness::Whole
                                                : XmlCompleteness::CutShort;
}

XmlCompleteness CheckXmlFile(const std::string& path) {
    platform::InputFile file(path);
    if (file.error() != 0)
        return XmlCompleteness::Unreadable;
    XmlEndCheck check;
    std::vector<char> buffer(64 * 1024);
    for (bool first = true;; first = false) {
        const std::int64_t got = file.Read(buffer.data(), buffer.size());
        if (got < 0)
            return XmlCompleteness::Unreadable;
        if (got == 0)
            break;
        std::string_view bytes(buffer.data(), static_cast<std::size_t>(got));
        // UTF-16, which the kit does not write but the program reads: checked as UTF-8.
        if (first && bytes.size() >= 2 &&
            (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))) {
            const std::optional<std::string> whole = platform::ReadWholeFile(path);
            if (!whole)
                return XmlCompleteness::Unreadable;
            check.Feed(DecodeXmlBytes(*whole));
            return check.Finish();
        }
        check.Feed(bytes);
        if (check.decided())
            break;
    }
    return check.Finish();
}

}  // namespace tolvane::dispatch
