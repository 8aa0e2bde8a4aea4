#include "platform/Console.h"

#include <string_view>

namespace tolvane::platform {

bool TalksOnStandardStreams(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) != "--once")
            return true;
    }
    return false;
}

}  // namespace tolvane::platform
