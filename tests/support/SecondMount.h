#pragma once

#include <string>

#include "support/TempDir.h"

namespace tolvane::test {

// A second mount of a folder through bindfs, as a second computer sees a shared folder: the
// files are the same, but byte-range locks taken through one mount do not reach the other (as
// on many SMB and NFS set-ups).
class SecondMount {
  public:
    explicit SecondMount(const fs::path& folder);  // throws std::runtime_error when it fails
    ~SecondMount();
    SecondMount(const SecondMount&) = delete;
    SecondMount& operator=(const SecondMount&) = delete;

    // Empty when bindfs can mount here, else why not.
    static std::string Unavailable();
    // The folder as this mount shows it, followed by a separator.
    std::string prefix() const { return path_.string() + "/"; }

  private:
    TempDir place_;
    fs::path path_;
};

}  // namespace tolvane::test
