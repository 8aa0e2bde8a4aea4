#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolvane {
// Every test's short name for the file system library.
namespace fs = std::filesystem;
}  // namespace tolvane

namespace tolvane::test {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    // The folder's path followed by a separator, as the program's folder settings are written.
    std::string prefix() const { return path_.string() + "/"; }
    // A path inside the folder; parents are created.
    fs::path Sub(const std::string& relative) const;

  private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& bytes);
std::string ReadFile(const fs::path& path);
// A folder's entries' names, sorted (none when it is missing); how many there are.
std::vector<std::string> Names(const fs::path& folder);
inline long CountEntries(const fs::path& folder) {
    return static_cast<long>(Names(folder).size());
}

}  // namespace tolvane::test
