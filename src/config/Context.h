#pragma once

#include <string>

#include "config/Settings.h"

namespace tolvane::platform {
class Platform;
}
namespace tolvane::components {
class ComponentFactory;
}

namespace tolvane {

// What lives for the whole process: the platform, the component factory and the settings.
struct Context {
    Context(platform::Platform& platform, components::ComponentFactory& components)
        : os(platform), factory(components) {}

    platform::Platform& os;
    components::ComponentFactory& factory;
    config::Settings settings;

    // Program folder + separator + file name.
    std::string ProgramFile(const std::string& fileName) const;
};

}  // namespace tolvane
