#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileServices.h"
#include "platform/Platform.h"

namespace tolvane::platform::posix {

// What the permissions of a replaced file become.
enum class FileMode {
    KeepExisting,  // an existing file keeps its own; a new one gets the mode given, less the umask
    Exactly,       // the mode given, whatever the file had (a file holding secrets)
};

// Replaces the file through a temporary file beside it, flushed to disk before the rename, so
// that readers in other processes see either the old or the new content. A symbolic link keeps
// pointing at the file. False when the file could not be written, errno telling why.
bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode,
                 FileMode policy = FileMode::KeepExisting);

// Creates the folder and its missing parents; the levels created get `mode` less the umask.
bool MakeFolders(const std::string& path, mode_t mode);

// The file as lstat sees it.
FileState Examine(const std::string& path);

// An exclusive advisory lock on a folder, held for the object's life: it serialises the
// read-modify-write cycles of processes that rewrite files inside it.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    FileHandle folder_;
};

}  // namespace tolvane::platform::posix
