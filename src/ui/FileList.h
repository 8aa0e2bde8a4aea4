#pragma once

#include <string>
#include <vector>

namespace tolvane::ui {

class Window;

// The file list `lst` of the main window: the names, without folder, of the regular files of
// one folder that match a pattern ('*' and '?', letter case not significant), sorted by name.
// Its count is 16-bit, so it holds at most 32 767 names.
class FileList {
  public:
    static constexpr int kMaxCount = 32767;

    explicit FileList(Window& window) : window_(window) {}

    void setPattern(const std::string& pattern);
    // Fails with "path not found" (76) when the folder does not exist.
    void setPath(const std::string& folder);
    void Refresh();

    int ListCount() const { return static_cast<int>(names_.size()); }
    const std::string& List(int index) const;
    const std::vector<std::string>& names() const { return names_; }

  private:
    void Fill();

    Window& window_;
    std::string pattern_ = "*.*";
    std::string path_;
    std::vector<std::string> names_;
};

// Wildcard match in the manner of the platform's file patterns.
bool MatchesPattern(const std::string& name, const std::string& pattern);

// The names of the regular files of a folder that match a pattern, sorted as the file list
// sorts them; fails with "path not found" (76) when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern);

}  // namespace tolvane::ui
