#include "config/Context.h"

#include "platform/Platform.h"

namespace tolvane {

std::string Context::ProgramFile(const std::string& fileName) const {
    return os.ProgramFolder() + os.PathSeparator() + fileName;
}

}  // namespace tolvane
