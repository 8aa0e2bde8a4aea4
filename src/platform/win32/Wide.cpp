#include "platform/win32/Wide.h"

#include "platform/win32/WindowsHeaders.h"

#include <cerrno>

#include "common/Text.h"

namespace tolvane::platform::win32 {

// The program's own conversions rather than the system's: MultiByteToWideChar drops what
// follows a cut-short sequence on some versions (Wine's among them).
std::wstring Widen(std::string_view utf8) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    const std::u16string wide = text::Utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(std::wstring_view utf16) {
    return text::Utf16ToUtf8(std::u16string(utf16.begin(), utf16.end()));
}

int ErrnoOf(unsigned long win32Error) {
    switch (win32Error) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
            return ENOENT;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;  // another program has the file open
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        default:
            return EIO;
    }
}

}  // namespace tolvane::platform::win32
