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

// What lives for the whole process: the platform, the component factory, the settings and the
// values that the dispatch rewriting leaves for the processing pass.
struct Context {
    Context(platform::Platform& platform, components::ComponentFactory& components)
        : os(platform), factory(components) {}

    platform::Platform& os;
    components::ComponentFactory& factory;
    config::Settings settings;

    std::string RutaXMLCaratula;  // the cover-sheet XML just written, or empty
    std::string RutaXMLItems;     // the items XML just written, or empty
    bool EsLAPI = false;          // the dispatch's destination type is "LAPI"

    // Program folder + separator + file name.
    std::string ProgramFile(const std::string& fileName) const;
};

}  // namespace tolvane
