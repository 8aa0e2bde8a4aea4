#include "platform/ProfileFile.h"

#include <optional>
#include <vector>

#include "common/Text.h"

namespace tolvane::platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Line {
    std::size_t start;    // first byte of the text
    std::size_t textEnd;  // end of the text, before the line end
    std::size_t end;      // after the line end
    std::string_view text;
};

std::vector<Line> SplitLines(std::string_view bytes) {
    std::vector<Line> lines;
    std::size_t pos = bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
    while (pos < bytes.size()) {
        const std::size_t newline = bytes.find('\n', pos);
        const std::size_t end = newline == std::string_view::npos ? bytes.size() : newline + 1;
        std::size_t textEnd = newline == std::string_view::npos ? bytes.size() : newline;
        if (textEnd > pos && bytes[textEnd - 1] == '\r')
            --textEnd;
        lines.push_back({pos, textEnd, end, bytes.substr(pos, textEnd - pos)});
        pos = end;
    }
    return lines;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

ParsedLine Parse(std::string_view text) {
    const std::string_view trimmed = text::TrimBlanks(text);
    if (trimmed.empty() || trimmed.front() == ';')
        return {};
    if (trimmed.front() == '[') {
        const std::size_t close = trimmed.rfind(']');
        if (close == std::string_view::npos)
            return {};
        return {LineKind::Section, text::TrimBlanks(trimmed.substr(1, close - 1)), {}};
    }
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return {};
    return {LineKind::Key, text::TrimBlanks(trimmed.substr(0, equals)),
            text::TrimBlanks(trimmed.substr(equals + 1))};
}

// Where a section stands: its header, its key line when present, and its last non-blank line.
struct SectionPlace {
    std::size_t header;
    std::optional<std::size_t> keyLine;
    std::size_t lastFilled;
};

std::optional<SectionPlace> Locate(const std::vector<Line>& lines, std::string_view section,
                                   std::string_view key) {
    std::size_t i = 0;
    for (; i < lines.size(); ++i) {
        const ParsedLine parsed = Parse(lines[i].text);
        if (parsed.kind == LineKind::Section && text::EqualsNoCase(parsed.name, section))
            break;
    }
    if (i == lines.size())
        return std::nullopt;
    SectionPlace place{i, std::nullopt, i};
    for (++i; i < lines.size(); ++i) {
        const ParsedLine parsed = Parse(lines[i].text);
        if (parsed.kind == LineKind::Section)
            break;
        if (!text::TrimBlanks(lines[i].text).empty())
            place.lastFilled = i;
        if (parsed.kind == LineKind::Key && !place.keyLine &&
            text::EqualsNoCase(parsed.name, key)) {
            place.keyLine = i;
        }
    }
    return place;
}

std::string ValueIn(std::string_view fileBytes, std::string_view section, std::string_view key,
                    std::string_view defaultValue) {
    if (fileBytes.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        fileBytes.remove_prefix(kUtf8Bom.size());
    const std::string utf8 = text::ToUtf8Lenient(fileBytes);
    const std::vector<Line> lines = SplitLines(utf8);
    const auto place = Locate(lines, section, key);
    std::string_view value = defaultValue;
    if (place && place->keyLine) {
        value = Parse(lines[*place->keyLine].text).value;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
    }
    return std::string(text::FirstChars(value, kProfileValueMaxChars));
}

std::string WithValueIn(std::string_view fileBytes, std::string_view section, std::string_view key,
                        std::string_view value) {
    // Names are compared, and new text written, in the file's own encoding.
    const bool latin1 = !text::IsValidUtf8(fileBytes);
    const auto encode = [latin1](std::string_view utf8) {
        return latin1 ? text::Utf8ToLatin1(utf8) : std::string(utf8);
    };
    const std::string sectionName = encode(section);
    const std::string keyName = encode(key);
    const std::vector<Line> lines = SplitLines(fileBytes);
    const std::size_t firstNewline = fileBytes.find('\n');
    const std::string_view lineEnd = firstNewline != std::string_view::npos && firstNewline > 0 &&
                                             fileBytes[firstNewline - 1] == '\r'
                                         ? "\r\n"
                                         : "\n";

    std::string out;
    out.reserve(fileBytes.size() + keyName.size() + value.size() + sectionName.size() + 8);
    const auto place = Locate(lines, sectionName, keyName);
    if (place && place->keyLine) {
        const Line& line = lines[*place->keyLine];
        out.append(fileBytes.substr(0, line.start));
        out.append(Parse(line.text).name).append("=").append(encode(value));
        out.append(fileBytes.substr(line.textEnd));
        return out;
    }
    const std::string newLine = keyName + "=" + encode(value) + std::string(lineEnd);
    if (place) {
        const Line& after = lines[place->lastFilled];
        out.append(fileBytes.substr(0, after.end));
        if (after.end == after.textEnd)
            out.append(lineEnd);
        out.append(newLine);
        out.append(fileBytes.substr(after.end));
        return out;
    }
    out.append(fileBytes);
    if (!out.empty() && out != kUtf8Bom && out.back() != '\n')
        out.append(lineEnd);
    out.append("[").append(sectionName).append("]").append(lineEnd).append(newLine);
    return out;
}

}  // namespace

// A file saved as "Unicode" (UTF-16, little-endian, with its byte-order mark), as Notepad and
// the Windows profile functions write it: read as UTF-8 text, and written back as it was.
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

std::string ProfileValue(std::string_view fileBytes, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
    if (fileBytes.starts_with(kUtf16LeBom))
        return ValueIn(text::Utf16LeToUtf8(fileBytes.substr(2)), section, key, defaultValue);
    return ValueIn(fileBytes, section, key, defaultValue);
}

std::string ProfileWithValue(std::string_view fileBytes, std::string_view section,
                             std::string_view key, std::string_view value) {
    if (!fileBytes.starts_with(kUtf16LeBom))
        return WithValueIn(fileBytes, section, key, value);
    const std::u16string text = text::Utf8ToUtf16(
        WithValueIn(text::Utf16LeToUtf8(fileBytes.substr(2)), section, key, value));
    std::string bytes(kUtf16LeBom);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

}  // namespace tolvane::platform
