#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace tolvane::platform::posix {

// Writes every byte, going on after interruptions; 0, or the error that stopped it.
int WriteAll(int fd, std::string_view bytes);

// Flushes a folder's entries to disk: a rename inside it is durable only then. 0, or the error;
// a file system that cannot sync folders (EINVAL) is no error, nothing more can be done there.
int SyncFolder(const std::string& folder);

// The whole file; nothing (errno telling why) when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces the file through a temporary file beside it, flushed to disk before the rename, so
// that readers in other processes see either the old or the new content. An existing file
// keeps its permissions (a symbolic link keeps pointing at it); a new one gets `newFileMode`
// less the umask. False when the file could not be written, errno telling why.
bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t newFileMode);

// Creates the folder and its missing parents; the levels created get `mode` less the umask.
bool MakeFolders(const std::string& path, mode_t mode);

// An exclusive advisory lock on a folder, held for the object's life: it serialises the
// read-modify-write cycles of processes that rewrite files inside it.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int fd_ = -1;
};

}  // namespace tolvane::platform::posix
