#include "components/ComponentFactory.h"

#include <utility>

namespace tolvane::components {

void ComponentFactory::Register(const std::string& name, Creator creator) {
    creators_[name] = std::move(creator);
}

void ComponentFactory::Unregister(const std::string& name) {
    creators_.erase(name);
}

std::unique_ptr<Component> ComponentFactory::CreateComponent(const std::string& name) const {
    const auto found = creators_.find(name);
    if (found == creators_.end())
        throw CannotCreate(name, "no está instalado");
    std::unique_ptr<Component> created;
    try {
        created = found->second();
    } catch (...) {
        throw CannotCreate(name, CurrentFailure().description());
    }
    if (!created)
        throw CannotCreate(name, "no devolvió un objeto");
    return created;
}

Failure ComponentFactory::CannotCreate(const std::string& name, const std::string& why) {
    return Failure(failure_number::kCannotCreateComponent, name,
                   "No se puede crear el componente " + name + ": " + why);
}

}  // namespace tolvane::components
