#include "dispatch/XmlText.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "common/Text.h"

namespace tolvane::dispatch {
namespace {

// windows-1252 differs from ISO-8859-1 in 0x80-0x9F only; 0 marks its five unused bytes.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const std::uint32_t cp =
            (b >= 0x80 && b <= 0x9F && kCp1252High[b - 0x80] != 0) ? kCp1252High[b - 0x80] : b;
        text::AppendUtf8(out, cp);
    }
    return out;
}

// The value of encoding="…" in an XML declaration at the start of the text, lower case.
std::string DeclaredEncoding(std::string_view bytes) {
    if (bytes.substr(0, 5) != "<?xml")
        return {};
    const std::size_t end = bytes.find("?>");
    const std::string_view declaration = bytes.substr(0, end);
    const std::size_t key = declaration.find("encoding");
    if (key == std::string_view::npos)
        return {};
    std::size_t pos = declaration.find_first_of("\"'", key);
    if (pos == std::string_view::npos)
        return {};
    const char quote = declaration[pos++];
    const std::size_t close = declaration.find(quote, pos);
    if (close == std::string_view::npos)
        return {};
    return text::ToLowerAscii(declaration.substr(pos, close - pos));
}

}  // namespace

std::string DecodeXmlBytes(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return text::ToUtf8Lenient(bytes.substr(3));
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return text::Utf16LeToUtf8(bytes.substr(2));
    if (bytes.substr(0, 2) == "\xFE\xFF") {
        std::string swapped(bytes.substr(2));
        for (std::size_t i = 0; i + 1 < swapped.size(); i += 2)
            std::swap(swapped[i], swapped[i + 1]);
        return text::Utf16LeToUtf8(swapped);
    }
    const std::string encoding = DeclaredEncoding(bytes);
    if (encoding == "iso-8859-1" || encoding == "iso8859-1" || encoding == "latin1" ||
        encoding == "latin-1" || encoding == "l1" || encoding == "iso_8859-1") {
        return text::Latin1ToUtf8(bytes);
    }
    if (encoding == "windows-1252" || encoding == "cp1252")
        return Cp1252ToUtf8(bytes);
    return text::ToUtf8Lenient(bytes);
}

namespace {
bool XmlCanHold(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x20 && byte != 0x7F) || c == '\t' || c == '\r' || c == '\n';
}
}  // namespace

std::string XmlStorableText(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        if (XmlCanHold(c))
            out += c;
    }
    return out;
}

std::string AttributeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\t':
                out += "&#9;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += "&#10;";
                break;
            default:
                if (XmlCanHold(c))
                    out += c;
                break;
        }
    }
    return out;
}

std::string Latin1SafeXml(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        std::uint32_t cp = 0;
        const std::size_t length = text::DecodeUtf8(utf8, i, cp);
        if (length > 1 && cp > 0xFF) {
            out += "&#" + std::to_string(cp) + ";";
        } else {
            // A character ISO-8859-1 holds, or a stray byte that the file component keeps.
            out.append(utf8.substr(i, length == 0 ? 1 : length));
        }
        i += length == 0 ? 1 : length;
    }
    return out;
}

StreamingReplace::StreamingReplace(std::string from, std::string to, TextSink next)
    : from_(std::move(from)), to_(std::move(to)), next_(std::move(next)) {}

void StreamingReplace::Write(std::string_view piece) {
    pending_.append(piece);
    std::size_t start = 0;
    for (std::size_t found; (found = pending_.find(from_, start)) != std::string::npos;) {
        next_(std::string_view(pending_).substr(start, found - start));
        next_(to_);
        start = found + from_.size();
    }
    // What is left may still begin an occurrence: only its last bytes are held back.
    const std::size_t keep = std::min(pending_.size() - start, from_.size() - 1);
    const std::size_t passOn = pending_.size() - start - keep;
    if (passOn > 0)
        next_(std::string_view(pending_).substr(start, passOn));
    pending_.erase(0, start + passOn);
}

void StreamingReplace::Finish() {
    if (!pending_.empty())
        next_(pending_);
    pending_.clear();
}

void StreamingLatin1Safe::Write(std::string_view piece) {
    pending_.append(piece);
    const std::size_t whole = text::WholeUtf8Prefix(pending_);
    if (whole > 0)
        next_(Latin1SafeXml(std::string_view(pending_).substr(0, whole)));
    pending_.erase(0, whole);
}

void StreamingLatin1Safe::Finish() {
    if (!pending_.empty())
        next_(Latin1SafeXml(pending_));
    pending_.clear();
}

}  // namespace tolvane::dispatch
