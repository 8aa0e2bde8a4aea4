#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text export format of the Windows registry editor, used as the store of one emulated
// registry root: "[HKEY_...\key\path]" sections holding "name"="text", "name"=dword:...,
// "name"=hex(N):... and @= (the default value) lines.

namespace tolvane::platform {

struct RegEntry {
    bool isValue = true;
    std::string name;  // "" for the default value
    std::uint32_t type = 0;
    std::string data;          // the value's bytes, as the registry functions hand them over
    std::string unparsedLine;  // a comment or a line not understood, kept as it was
};

struct RegSection {
    std::string path;  // full path, root included, as spelled in the file
    std::vector<RegEntry> entries;
};

struct RegDocument {
    std::vector<std::string> preamble;  // lines before the first section, header excluded
    std::vector<RegSection> sections;
};

// Reads a file as written by this program or by hand: UTF-8 (with or without byte-order
// mark), UTF-16LE with its byte-order mark, or ISO-8859-1 when not valid UTF-8; CR LF or LF;
// header "Windows Registry Editor Version 5.00" or "REGEDIT4".
RegDocument ParseRegFile(std::string_view bytes);
// UTF-8, LF line ends, header "Windows Registry Editor Version 5.00".
std::string SerializeRegFile(const RegDocument& document);

// Key paths: components separated by '\', compared without regard to ASCII case. A key exists
// when it has a section of its own or when it is the parent of one.
bool RegKeyExists(const RegDocument& document, std::string_view fullPath);
RegSection* FindRegSection(RegDocument& document, std::string_view fullPath);
// The key's own section, added for it and for every ancestor below the root that does not
// exist; components already in the file keep their spelling.
RegSection& EnsureRegKey(RegDocument& document, std::string_view fullPath);

const RegEntry* FindRegValue(const RegSection& section, std::string_view name);
// Replaces the value of that name (which keeps its spelling) or adds it.
void SetRegValue(RegSection& section, std::string_view name, std::uint32_t type, std::string data);

}  // namespace tolvane::platform
