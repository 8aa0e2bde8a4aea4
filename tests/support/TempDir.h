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

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);
// A folder's entries' names, sorted (none when it is missing); how many there are.
std::vector<std::string> Names(const std::filesystem::path& folder);
inline long CountEntries(const std::filesystem::path& folder) {
    return static_cast<long>(Names(folder).size());
}

}  // namespace tolvane::test
