#include "platform/linux/RegFile.h"

#include <cstdio>

#include "common/Text.h"
#include "platform/Platform.h"

namespace tolvane::platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::size_t kHexLineWidth = 80;

std::string DecodeText(std::string_view bytes) {
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return text::Utf16LeToUtf8(bytes.substr(2));
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return text::ToUtf8Lenient(bytes);
}

std::vector<std::string_view> PhysicalLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    }
    return lines;
}

// A quoted name or text at the start of `s`, with the \\ and \" escapes; the number of
// characters it takes, 0 when it is not closed.
std::size_t ParseQuoted(std::string_view s, std::string& out) {
    if (s.empty() || s.front() != '"')
        return 0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out.push_back(s[++i]);
        } else if (s[i] == '"') {
            return i + 1;
        } else {
            out.push_back(s[i]);
        }
    }
    return 0;
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool ParseHexNumber(std::string_view digits, std::uint32_t& number) {
    if (digits.empty() || digits.size() > 8)
        return false;
    number = 0;
    for (char c : digits) {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            return false;
        }
        number = number << 4 | digit;
    }
    return true;
}

bool ParseHexBytes(std::string_view list, std::string& bytes) {
    list = text::TrimBlanks(list);
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        std::uint32_t byte = 0;
        if (!ParseHexNumber(text::TrimBlanks(list.substr(0, comma)), byte) || byte > 0xFF) {
            return false;
        }
        bytes.push_back(static_cast<char>(byte));
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
    }
    return true;
}

bool ParseData(std::string_view s, std::uint32_t& type, std::string& data) {
    if (!s.empty() && s.front() == '"') {
        const std::size_t used = ParseQuoted(s, data);
        if (used == 0 || !text::TrimBlanks(s.substr(used)).empty())
            return false;
        type = kRegSz;
        data.push_back('\0');
        return true;
    }
    if (text::StartsWithNoCase(s, "dword:")) {
        std::uint32_t number = 0;
        if (!ParseHexNumber(text::TrimBlanks(s.substr(6)), number))
            return false;
        type = kRegDword;
        for (int shift = 0; shift < 32; shift += 8) {
            data.push_back(static_cast<char>((number >> shift) & 0xFF));
        }
        return true;
    }
    if (text::StartsWithNoCase(s, "hex:")) {
        type = 3;
        return ParseHexBytes(s.substr(4), data);
    }
    if (text::StartsWithNoCase(s, "hex(")) {
        const std::size_t close = s.find("):");
        return close != std::string_view::npos && ParseHexNumber(s.substr(4, close - 4), type) &&
               ParseHexBytes(s.substr(close + 2), data);
    }
    return false;
}

// A value line, with the continuation lines of hex data; advances `i` past what it used.
bool ParseValue(const std::vector<std::string_view>& lines, std::size_t& i, RegEntry& entry) {
    const std::string_view line = text::TrimBlanks(lines[i]);
    std::size_t used = 1;
    if (line.front() != '@')
        used = ParseQuoted(line, entry.name);
    if (used == 0)
        return false;
    const std::string_view rest = text::TrimBlanks(line.substr(used));
    if (rest.empty() || rest.front() != '=')
        return false;
    std::string data(text::TrimBlanks(rest.substr(1)));
    std::size_t last = i;
    if (text::StartsWithNoCase(data, "hex")) {
        while (!data.empty() && data.back() == '\\' && last + 1 < lines.size()) {
            data.pop_back();
            data.append(text::TrimBlanks(lines[++last]));
        }
    }
    if (!ParseData(data, entry.type, entry.data))
        return false;
    i = last;
    return true;
}

bool IsPlainText(std::string_view data) {
    if (data.empty() || data.back() != '\0')
        return false;
    data.remove_suffix(1);
    return data.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
           text::IsValidUtf8(data);
}

std::string ValueLine(const RegEntry& entry) {
    std::string line = entry.name.empty() ? "@" : Quote(entry.name);
    line.push_back('=');
    if (entry.type == kRegSz && IsPlainText(entry.data)) {
        return line + Quote(std::string_view(entry.data).substr(0, entry.data.size() - 1));
    }
    char number[16];
    if (entry.type == kRegDword && entry.data.size() == 4) {
        std::uint32_t value = 0;
        for (std::size_t i = 4; i-- > 0;)
            value = value << 8 | static_cast<unsigned char>(entry.data[i]);
        std::snprintf(number, sizeof number, "%08x", value);
        return line + "dword:" + number;
    }
    if (entry.type == 3) {
        line += "hex:";
    } else {
        std::snprintf(number, sizeof number, "%x", entry.type);
        line += std::string("hex(") + number + "):";
    }
    std::size_t column = line.size();
    for (std::size_t i = 0; i < entry.data.size(); ++i) {
        if (i > 0 && column + 3 > kHexLineWidth - 1) {
            line += "\\\n  ";
            column = 2;
        }
        std::snprintf(number, sizeof number, "%02x", static_cast<unsigned char>(entry.data[i]));
        line += number;
        if (i + 1 < entry.data.size())
            line.push_back(',');
        column += 3;
    }
    return line;
}

std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('\\');
        if (slash != 0)
            parts.push_back(path.substr(0, slash));
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
    }
    return parts;
}

bool StartsWithPath(const std::vector<std::string_view>& path,
                    const std::vector<std::string_view>& prefix) {
    if (path.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (!text::EqualsNoCase(path[i], prefix[i]))
            return false;
    }
    return true;
}

}  // namespace

RegDocument ParseRegFile(std::string_view bytes) {
    const std::string text = DecodeText(bytes);
    const std::vector<std::string_view> lines = PhysicalLines(text);
    RegDocument document;
    bool headerAllowed = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = text::TrimBlanks(lines[i]);
        if (line.empty())
            continue;
        if (headerAllowed && (line == kHeader || line == kOldHeader)) {
            headerAllowed = false;
            continue;
        }
        headerAllowed = false;
        if (line.front() == '[' && line.back() == ']') {
            document.sections.push_back({std::string(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        RegEntry entry;
        if (document.sections.empty() || !ParseValue(lines, i, entry)) {
            entry = RegEntry{false, {}, 0, {}, std::string(lines[i])};
        }
        if (document.sections.empty()) {
            document.preamble.push_back(entry.unparsedLine);
        } else {
            document.sections.back().entries.push_back(std::move(entry));
        }
    }
    return document;
}

std::string SerializeRegFile(const RegDocument& document) {
    std::string out(kHeader);
    out += "\n\n";
    for (const std::string& line : document.preamble)
        out.append(line).append("\n");
    if (!document.preamble.empty())
        out += "\n";
    for (const RegSection& section : document.sections) {
        out.append("[").append(section.path).append("]\n");
        for (const RegEntry& entry : section.entries) {
            out.append(entry.isValue ? ValueLine(entry) : entry.unparsedLine).append("\n");
        }
        out += "\n";
    }
    return out;
}

bool RegKeyExists(const RegDocument& document, std::string_view fullPath) {
    const auto wanted = Components(fullPath);
    for (const RegSection& section : document.sections) {
        if (StartsWithPath(Components(section.path), wanted))
            return true;
    }
    return false;
}

RegSection* FindRegSection(RegDocument& document, std::string_view fullPath) {
    const auto wanted = Components(fullPath);
    for (RegSection& section : document.sections) {
        const auto path = Components(section.path);
        if (path.size() == wanted.size() && StartsWithPath(path, wanted))
            return &section;
    }
    return nullptr;
}

RegSection& EnsureRegKey(RegDocument& document, std::string_view fullPath) {
    const auto wanted = Components(fullPath);
    std::string spelled;
    for (std::size_t depth = 1; depth <= wanted.size(); ++depth) {
        const std::vector<std::string_view> prefix(wanted.begin(),
                                                   wanted.begin() + static_cast<long>(depth));
        std::string_view spelling = wanted[depth - 1];
        bool exists = false;
        for (const RegSection& section : document.sections) {
            const auto path = Components(section.path);
            if (StartsWithPath(path, prefix)) {
                spelling = path[depth - 1];
                exists = true;
                break;
            }
        }
        if (depth > 1)
            spelled.push_back('\\');
        spelled.append(spelling);
        // The root has no section of its own; the key's own section is added below.
        if (!exists && depth > 1 && depth < wanted.size())
            document.sections.push_back({spelled, {}});
    }
    if (RegSection* own = FindRegSection(document, spelled))
        return *own;
    document.sections.push_back({spelled, {}});
    return document.sections.back();
}

const RegEntry* FindRegValue(const RegSection& section, std::string_view name) {
    for (const RegEntry& entry : section.entries) {
        if (entry.isValue && text::EqualsNoCase(entry.name, name))
            return &entry;
    }
    return nullptr;
}

void SetRegValue(RegSection& section, std::string_view name, std::uint32_t type, std::string data) {
    for (RegEntry& entry : section.entries) {
        if (entry.isValue && text::EqualsNoCase(entry.name, name)) {
            entry.type = type;
            entry.data = std::move(data);
            return;
        }
    }
    section.entries.push_back({true, std::string(name), type, std::move(data), {}});
}

}  // namespace tolvane::platform
