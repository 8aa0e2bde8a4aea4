#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// The file services the program's parts share, so that each kind of work on files is written
// once per operating system. Files are always read and written as bytes; paths are UTF-8, and
// failures are the system's error numbers (errno values, which the Windows backend maps its
// own codes to), 0 for success.

namespace tolvane::platform {

// A UTF-8 path for the standard library, whose narrow strings are the ANSI code page on
// Windows.
inline std::filesystem::path NativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// An open file of the system (a descriptor, or a handle on Windows), closed with its owner.
class FileHandle {
  public:
    static constexpr std::intptr_t kNone = -1;

    FileHandle() = default;
    explicit FileHandle(std::intptr_t value) : value_(value) {}
    ~FileHandle() { Close(); }
    FileHandle(FileHandle&& other) noexcept : value_(std::exchange(other.value_, kNone)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            value_ = std::exchange(other.value_, kNone);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    std::intptr_t get() const { return value_; }
    explicit operator bool() const { return value_ != kNone; }
    // Closes it now: 0, or the system's error (some file systems report a failed write only
    // when the file is closed). Nothing to do and 0 when there is no file.
    int Close();

  private:
    std::intptr_t value_ = kNone;
};

// The error of a file that is read-only and was not to be removed as such.
inline constexpr int kErrorReadOnly = -1;

// A regular file open for reading. Folders, pipes and devices are refused (EISDIR, EINVAL)
// without waiting on them; a missing file is ENOENT or ENOTDIR.
class InputFile {
  public:
    explicit InputFile(const std::string& path);
    InputFile(InputFile&& other) noexcept = default;
    InputFile& operator=(InputFile&&) = delete;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int error() const { return error_; }
    std::uint64_t size() const { return size_; }
    // The permission bits (rwx of owner, group, others) a copy should get.
    std::uint32_t permissions() const { return permissions_; }
    // Up to `count` bytes from where the last read ended; 0 at the end, -1 on a failure,
    // error() telling which.
    std::int64_t Read(char* buffer, std::size_t count);
    // Up to `count` bytes from `offset`, leaving the position of Read alone.
    std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t count);

  private:
    FileHandle handle_;
    int error_ = 0;
    std::uint64_t size_ = 0;
    std::uint32_t permissions_ = 0;
};

bool IsRegularFile(const std::string& path);
// A folder that exists and can be listed: one that cannot be read is of no use.
bool IsListableFolder(const std::string& path);
bool PathExists(const std::string& path);

// Removes a file (a symbolic link itself, not its target). A folder is EISDIR; a read-only
// file is kErrorReadOnly unless `evenReadOnly`.
int RemoveFile(const std::string& path, bool evenReadOnly);

struct CloseStream {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using TemporaryFile = std::unique_ptr<std::FILE, CloseStream>;

// An anonymous temporary file for spilling data to disk, removed when closed; nothing when the
// system has no room for one.
TemporaryFile OpenTemporaryFile();

// The whole of a regular file; nothing, errno telling why, when it cannot be read (a folder or
// a pipe included, which are refused without waiting on them).
std::optional<std::string> ReadWholeFile(const std::string& path);

// A file written so that nobody ever sees half of it and, once committed, it survives a crash:
// the bytes go to a temporary name in the destination's folder, reach the disk, and only then
// take the destination's name, the folder's entry flushed as well. A file never committed
// leaves nothing behind. Nothing is ever written through a link or into a pipe: the temporary
// file is created anew, and a destination that is not a regular file is left alone (Commit
// fails with kErrorNotRegularFile). Failures are the system's error numbers (errno), 0 for
// success.
class DurableFile {
  public:
    // Creates `temporaryName` (a plain name) in the folder of `destination` for writing: a
    // regular file a writer that died left under that name is replaced, anything else there
    // is passed over for another name. New files get `mode` less the umask. error() tells
    // whether that worked.
    DurableFile(std::string destination, const std::string& temporaryName, std::uint32_t mode);
    ~DurableFile();
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    int error() const { return error_; }
    int Write(std::string_view bytes);
    // Permissions exactly these, whatever the umask (a file that holds secrets).
    int SetMode(std::uint32_t mode);
    // Flush, name, flush the folder. With `folderToo` false the folder's entry is left for one
    // SyncFolder call after several files.
    int Commit(bool folderToo = true);
    // The name alone, without waiting for the disk: for a file that must never be seen half
    // written but need not outlive a crash.
    int Replace();

  private:
    // The destination's name for the closed temporary file, unless a link, a pipe or a folder
    // holds it; `moveFlags` are the system's own for the rename, where it has any.
    int TakeName(unsigned moveFlags);

    std::string destination_, temporary_, folder_;
    FileHandle handle_;
    int error_ = 0;
    bool created_ = false;
    bool committed_ = false;
    bool readOnly_ = false;  // where files have an attribute for it rather than a mode
};

// Flushes a folder's entries to disk: a rename inside it is durable only then. 0, or the error;
// a file system that cannot sync folders is no error, nothing more can be done there.
int SyncFolder(const std::string& folder);

// The folder part of a path ("." for a bare name, "/" for a file at the root).
std::string FolderOf(const std::string& path);
// The last component of a path.
std::string NameOf(const std::string& path);

}  // namespace tolvane::platform
