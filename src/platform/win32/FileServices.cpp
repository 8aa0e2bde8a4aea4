#include "platform/FileServices.h"

#include "platform/win32/WindowsHeaders.h"
// After windows.h:
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

#include "common/Stop.h"
#include "common/SystemError.h"

#include "platform/win32/Wide.h"

namespace tolvane::platform {
namespace {

using win32::ErrnoOf;
using win32::Widen;

HANDLE AsHandle(const FileHandle& handle) {
    return reinterpret_cast<HANDLE>(handle.get());
}

FileHandle Owned(HANDLE file) {
    return FileHandle(reinterpret_cast<std::intptr_t>(file));
}

int LastErrno() {
    return ErrnoOf(::GetLastError());
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

// Every other program may read, write, rename or delete a file the program has open, as POSIX
// systems allow: the kit must never find its own files locked by a backup copy in progress.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// How long, in all, a file held by another program is tried again.
constexpr DWORD kHeldFileBudgetMs = 3000;

// An antivirus scanner or the search indexer often holds a file just written open for a moment,
// without sharing: opening, removing or renaming it fails then with a sharing violation (or
// access denied, for a file waiting to be deleted). Such an attempt is made again, with growing
// waits, for a few seconds in all; other failures, a stop request or a file still held after
// that give the attempt's failure, GetLastError() telling it.
template <class Attempt>
bool PastHeldFiles(const Attempt& attempt) {
    DWORD waited = 0;
    for (DWORD wait = 25;; wait = wait * 2 > 800 ? 800 : wait * 2) {
        if (attempt())
            return true;
        const DWORD error = ::GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                          error == ERROR_ACCESS_DENIED;
        if (!held || waited >= kHeldFileBudgetMs || StopRequested()) {
            ::SetLastError(error);
            return false;
        }
        // In slices, so that a stop is not kept waiting.
        for (DWORD slept = 0; slept < wait && !StopRequested(); slept += 25)
            ::Sleep(25);
        waited += wait;
    }
}

// A folder or a reparse point (a symbolic link, a junction) at the name; nothing there is not.
bool NotRegular(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0;
}

}  // namespace

int FileHandle::Close() {
    if (value_ == kNone)
        return 0;
    return ::CloseHandle(reinterpret_cast<HANDLE>(std::exchange(value_, kNone))) ? 0 : LastErrno();
}

InputFile::InputFile(const std::string& path) {
    const std::wstring wide = Widen(path);
    HANDLE file = INVALID_HANDLE_VALUE;
    PastHeldFiles([&] {
        file = ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        return file != INVALID_HANDLE_VALUE;
    });
    if (file == INVALID_HANDLE_VALUE) {
        error_ = LastErrno();
        return;
    }
    handle_ = Owned(file);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) {
        error_ = LastErrno();
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error_ = EISDIR;
    } else if (::GetFileType(file) != FILE_TYPE_DISK) {
        error_ = EINVAL;
    }
    size_ = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    permissions_ = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
}

std::int64_t InputFile::Read(char* buffer, std::size_t count) {
    if (error_ != 0)
        return -1;
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    if (!::ReadFile(AsHandle(handle_), buffer, wanted, &got, nullptr)) {
        error_ = LastErrno();
        return -1;
    }
    return got;
}

std::int64_t InputFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t count) {
    if (error_ != 0)
        return -1;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    if (!::ReadFile(AsHandle(handle_), buffer, wanted, &got, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        error_ = LastErrno();
        return -1;
    }
    return got;
}

namespace {

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesW(Widen(path).c_str());
}

}  // namespace

bool IsRegularFile(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool IsListableFolder(const std::string& path) {
    if (path.empty())
        return false;
    std::wstring pattern = Widen(path);
    if (!IsSeparator(path.back()))
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    const HANDLE listing = ::FindFirstFileW(pattern.c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(listing);
    return true;
}

bool PathExists(const std::string& path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

int RemoveFile(const std::string& path, bool evenReadOnly) {
    const std::wstring wide = Widen(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return LastErrno();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return EISDIR;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        if (!evenReadOnly)
            return kErrorReadOnly;
        ::SetFileAttributesW(wide.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    return PastHeldFiles([&] { return ::DeleteFileW(wide.c_str()) != FALSE; }) ? 0 : LastErrno();
}

TemporaryFile OpenTemporaryFile() {
    // The C library's tmpfile() writes into the root of the system drive, which a standard
    // user may not: the user's temporary folder instead, the file gone when closed.
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (::GetTempPathW(MAX_PATH + 1, folder) == 0 ||
        ::GetTempFileNameW(folder, L"tol", 0, name) == 0)
        return nullptr;
    const HANDLE file =
        ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ::DeleteFileW(name);
        return nullptr;
    }
    const int descriptor = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_BINARY);
    if (descriptor < 0) {
        ::CloseHandle(file);
        return nullptr;
    }
    TemporaryFile stream(::_fdopen(descriptor, "w+b"));
    if (stream == nullptr)
        ::_close(descriptor);
    return stream;
}

std::string FolderOf(const std::string& path) {
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string::npos)
        return ".";
    // "C:\file" lives in "C:\", "\file" in "\".
    if (separator == 0 || (separator == 2 && path[1] == ':'))
        return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

std::string NameOf(const std::string& path) {
    const std::size_t separator = LastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

int SyncFolder(const std::string&) {
    // A rename that MoveFileEx made with MOVEFILE_WRITE_THROUGH is on the disk already.
    return 0;
}

DurableFile::DurableFile(std::string destination, const std::string& temporaryName,
                         std::uint32_t mode)
    : destination_(std::move(destination)), folder_(FolderOf(destination_)) {
    temporary_ = folder_;
    if (!IsSeparator(temporary_.back()))
        temporary_ += '\\';
    const std::string prefix = temporary_;
    temporary_ += temporaryName;
    const DWORD attributes = (mode & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    // Created here and now: nothing that was there (a reparse point above all) is opened.
    const auto create = [](const std::string& path) {
        return ::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HANDLE file = create(temporary_);
    DWORD error = file == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    // A regular file there is what a writer that died left, read-only perhaps: it goes.
    if (error == ERROR_FILE_EXISTS && !NotRegular(temporary_)) {
        const std::wstring wide = Widen(temporary_);
        ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (::DeleteFileW(wide.c_str())) {
            file = create(temporary_);
            error = file == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
        }
    }
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; error == ERROR_FILE_EXISTS && attempt < 16; ++attempt) {
        temporary_ = prefix + temporaryName + "." + std::to_string(::GetCurrentProcessId()) + "-" +
                     std::to_string(counter++);
        file = create(temporary_);
        error = file == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    }
    if (file == INVALID_HANDLE_VALUE) {
        error_ = ErrnoOf(error);
        return;
    }
    handle_ = Owned(file);
    created_ = true;
    readOnly_ = attributes == FILE_ATTRIBUTE_READONLY;
}

DurableFile::~DurableFile() {
    handle_.Close();  // before the delete: Windows deletes no file open without sharing
    if (created_ && !committed_)
        ::DeleteFileW(Widen(temporary_).c_str());
}

int DurableFile::Write(std::string_view bytes) {
    const HANDLE file = AsHandle(handle_);
    while (error_ == 0 && !bytes.empty()) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!::WriteFile(file, bytes.data(), piece, &written, nullptr))
            error_ = LastErrno();
        else
            bytes.remove_prefix(written);
    }
    return error_;
}

int DurableFile::SetMode(std::uint32_t mode) {
    // Windows has no permission bits; what a file holding secrets needs is its folder's ACL.
    readOnly_ = (mode & 0222) == 0;
    return error_;
}

int DurableFile::Commit(bool) {
    if (error_ != 0)
        return error_;
    const bool flushed = ::FlushFileBuffers(AsHandle(handle_)) != 0;
    const int flushError = flushed ? 0 : LastErrno();
    const int closeError = handle_.Close();
    if (!flushed)
        return error_ = flushError;
    if (closeError != 0)
        return error_ = closeError;
    return TakeName(MOVEFILE_WRITE_THROUGH);
}

int DurableFile::TakeName(unsigned moveFlags) {
    if (NotRegular(destination_))
        return error_ = kErrorNotRegularFile;
    const std::wstring wideTemporary = Widen(temporary_);
    if (readOnly_)
        ::SetFileAttributesW(wideTemporary.c_str(), FILE_ATTRIBUTE_READONLY);
    // Windows refuses to replace a read-only file, which POSIX systems do: a copy made read-only
    // from a read-only source would otherwise never be replaced again.
    const std::wstring wideDestination = Widen(destination_);
    const DWORD existing = ::GetFileAttributesW(wideDestination.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0)
        ::SetFileAttributesW(wideDestination.c_str(), existing & ~DWORD{FILE_ATTRIBUTE_READONLY});
    if (!PastHeldFiles([&] {
            return ::MoveFileExW(wideTemporary.c_str(), wideDestination.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | moveFlags) != FALSE;
        }))
        return error_ = LastErrno();
    committed_ = true;
    return 0;
}

}  // namespace tolvane::platform
