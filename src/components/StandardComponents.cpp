#include <memory>

#include "components/ComponentFactory.h"
#include "components/Disk.h"
#include "components/QuillonBroker.h"
#include "components/TextFile.h"
#include "components/uploader/CurlUploader.h"
#include "platform/Platform.h"

namespace tolvane::components {

// The platform outlives the factory and every component it creates, so it is held by
// reference.
void RegisterStandardComponents(ComponentFactory& factory, platform::Platform& os) {
    factory.Register(kDisk, [&os] { return std::make_unique<LocalDisk>(os); });
    factory.Register(kTextFile, [] { return std::make_unique<LocalTextFile>(); });
    factory.Register(kBroker, [&os] { return std::make_unique<QuillonBroker>(os); });
    factory.Register(kUploader, [&os] {
        return std::make_unique<CurlUploader>(UploadTimeouts{}, os.KnownHostsFile());
    });
}

}  // namespace tolvane::components
