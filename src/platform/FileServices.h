#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The file services the program's parts share, so that each kind of work on files is written
// once per operating system. Files are always read and written as bytes.

namespace tolvane::platform {

// The whole of a regular file; nothing, errno telling why, when it cannot be read (a folder or
// a pipe included, which are refused without waiting on them).
std::optional<std::string> ReadWholeFile(const std::string& path);

// A file written so that nobody ever sees half of it and, once committed, it survives a crash:
// the bytes go to a temporary name in the destination's folder, reach the disk, and only then
// take the destination's name, the folder's entry flushed as well. A file never committed
// leaves nothing behind. Failures are the system's error numbers (errno), 0 for success.
class DurableFile {
  public:
    // Opens `temporaryName` (a plain name) in the folder of `destination` for writing, replacing
    // what a writer that died may have left under that name; new files get `mode` less the
    // umask. error() tells whether that worked.
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

  private:
    std::string destination_, temporary_, folder_;
    int descriptor_ = -1;
    int error_ = 0;
    bool created_ = false;
    bool committed_ = false;
};

// Flushes a folder's entries to disk: a rename inside it is durable only then. 0, or the error;
// a file system that cannot sync folders is no error, nothing more can be done there.
int SyncFolder(const std::string& folder);

// The folder part of a path ("." for a bare name, "/" for a file at the root).
std::string FolderOf(const std::string& path);

}  // namespace tolvane::platform
