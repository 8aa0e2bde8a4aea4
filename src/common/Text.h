#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvane::text {

// Inside the program text is UTF-8; files of the customs kit are ISO-8859-1. Every byte of
// ISO-8859-1 has its own code point, so Latin1ToUtf8 followed by Utf8ToLatin1 gives back the
// bytes read, whatever they were.
std::string Latin1ToUtf8(std::string_view latin1);

// Characters that ISO-8859-1 cannot hold become `replacement`; bytes that are not valid
// UTF-8 are taken as ISO-8859-1 characters themselves, so no input is refused.
std::string Utf8ToLatin1(std::string_view utf8, char replacement = '?');

bool IsValidUtf8(std::string_view bytes);
// The length of the longest prefix of `bytes` that does not end inside a UTF-8 character.
std::size_t WholeUtf8Prefix(std::string_view bytes);

void AppendUtf8(std::string& out, std::uint32_t codePoint);
// The UTF-8 sequence at `pos`: its length and code point, or 0 when it is not valid UTF-8
// (overlong forms, surrogates and code points beyond U+10FFFF are refused).
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, std::uint32_t& codePoint);

// UTF-16 little-endian (without its byte-order mark) to UTF-8; unpaired surrogates become
// U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
// UTF-16 code units and UTF-8 both ways; an unpaired surrogate, or an invalid UTF-8 byte,
// becomes U+FFFD and nothing after it is lost.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Text of unknown origin (a file edited by hand): UTF-8 when it is valid UTF-8, otherwise
// ISO-8859-1.
std::string ToUtf8Lenient(std::string_view bytes);

// Number of characters (code points) in a UTF-8 text.
std::size_t CharCount(std::string_view utf8);

// The first `count` characters of a UTF-8 text.
std::string_view FirstChars(std::string_view utf8, std::size_t count);

// Letter case folded for ASCII letters only, as key and section names compare.
bool EqualsNoCase(std::string_view a, std::string_view b);
std::string ToLowerAscii(std::string_view s);

// Blanks are spaces and tabs.
std::string_view TrimBlanks(std::string_view s);
// Only spaces, as the language's own trim does.
std::string_view TrimSpaces(std::string_view s);

// Every non-overlapping occurrence of `from`, scanning from the start, without rescanning
// what was put in.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

bool EndsWith(std::string_view s, std::string_view suffix);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

}  // namespace tolvane::text
