#pragma once

namespace tolvane::test {

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

}  // namespace tolvane::test
