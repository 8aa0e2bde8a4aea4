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
    // Points the list at a folder and a pattern without reading the folder, for a caller that
    // reads it once for all it needs and shows what it found (Show). Fails as setPath does.
    void Point(const std::string& folder, const std::string& pattern);
    void Show(std::vector<std::string> names);

    int ListCount() const { return static_cast<int>(names_.size()); }
    const std::string& List(int index) const;
    const std::vector<std::string>& names() const { return names_; }

  private:
    static void RequireFolder(const std::string& folder);
    void Fill();

    Window& window_;
    std::string pattern_ = "*.*";
    std::string path_;
    std::vector<std::string> names_;
};

}  // namespace tolvane::ui
