#include "support/SecondMount.h"

#include <fcntl.h>
#include <unistd.h>

#include "support/Process.h"

namespace tolvane::test {

namespace {
constexpr const char* kBindfs = "/usr/bin/bindfs";
}  // namespace

std::string SecondMount::Unavailable() {
    if (::access(kBindfs, X_OK) != 0)
        return "bindfs is not installed";
    const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fuse < 0)
        return "FUSE is not available to this user (/dev/fuse)";
    ::close(fuse);
    return "";
}

SecondMount::SecondMount(const fs::path& folder) : path_(place_.path() / "montaje") {
    fs::create_directory(path_);
    RunChecked({kBindfs, folder.string(), path_.string()});
}

SecondMount::~SecondMount() {
    // Lazily: a file a failed test left open must not keep the mount, nor this folder.
    for (const char* unmount : {"/bin/fusermount", "/bin/fusermount3"}) {
        if (::access(unmount, X_OK) != 0)
            continue;
        try {
            RunChecked({unmount, "-u", "-z", path_.string()});
        } catch (const std::exception&) {
        }
        return;
    }
}

}  // namespace tolvane::test
