#pragma once

#include <string>

#include "components/Contracts.h"

namespace tolvane::platform {
class Platform;
}

namespace tolvane::components {

// "Pellam.Disk" on the local file system. Failures carry the source "Pellam.Disk": 53 for a
// missing file, 76 for a missing folder, 75 for any other access error.
class LocalDisk final : public Disk {
  public:
    explicit LocalDisk(platform::Platform& os) : os_(os) {}

    // Never fail: a path that cannot be examined is simply not there.
    bool ExisteCarpeta(const std::string& folder) override;
    bool ExisteArchivo(const std::string& path) override;

    // The bytes go to a hidden temporary file beside the destination, reach the disk and only
    // then take the destination's name, so a copy that returned survives the deletion of its
    // source and a failed copy leaves neither a partial file nor a stray temporary one. With
    // `overwrite` false an existing destination is a failure (58).
    void CopiarArchivo(const std::string& source, const std::string& destination,
                       bool overwrite) override;
    // Without `force`, a file without write permission is refused like a read-only file.
    void EliminarArchivo(const std::string& path, bool force) override;
    std::string getDirectorioProgramFiles() override;

  private:
    platform::Platform& os_;
};

}  // namespace tolvane::components
