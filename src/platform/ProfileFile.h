#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Private profile files ("INI" files) read and written with the rules of the Windows profile
// functions, for the backends of systems that have none. The functions work on the file's
// bytes so that each backend brings its own file access.

namespace tolvane::platform {

// The profile functions read into a buffer of 255 characters, one of them the terminator.
inline constexpr std::size_t kProfileValueMaxChars = 254;

// The value of `key` in the first section named `section` (names compared without regard to
// ASCII case), in UTF-8: the text after the first '=' without surrounding blanks and without
// one pair of enclosing quotes, cut to kProfileValueMaxChars characters. `defaultValue` when
// the section or the key is missing. The file is UTF-8, with or without a byte-order mark,
// UTF-16 with its byte-order mark (Notepad's "Unicode"), or ISO-8859-1 when it is none of these.
std::string ProfileValue(std::string_view fileBytes, std::string_view section, std::string_view key,
                         std::string_view defaultValue);

// The file's bytes with `key` set to `value`: the key's line is replaced where it stands, or a
// new line is added after the last non-blank line of the section, or the section is appended
// at the end of the file. Every other byte stays as it was; new lines follow the file's line
// ends (LF for an empty file) and its encoding (UTF-16 with its mark stays so; ISO-8859-1 when
// it is not valid UTF-8).
std::string ProfileWithValue(std::string_view fileBytes, std::string_view section,
                             std::string_view key, std::string_view value);

}  // namespace tolvane::platform
