#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolvane::test {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder's path followed by a separator, as the program's folder settings are written.
    std::string prefix() const { return path_.string() + "/"; }
    // A path inside the folder; parents are created.
    std::filesystem::path Sub(const std::string& relative) const;

  private:
    std::filesystem::path path_;
};

// While it lives, files of this process cannot grow beyond `bytes`: writes past it fail as on a
// full disk (EFBIG) instead of ending the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    unsigned long previous_;
    void (*previousHandler_)(int);
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);
// A folder's entries' names, sorted (none when it is missing); how many there are.
std::vector<std::string> Names(const std::filesystem::path& folder);
inline long CountEntries(const std::filesystem::path& folder) {
    return static_cast<long>(Names(folder).size());
}

}  // namespace tolvane::test
