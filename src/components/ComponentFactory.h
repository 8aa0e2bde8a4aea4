#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/Failure.h"
#include "components/Contracts.h"

namespace tolvane::platform {
class Platform;
}

namespace tolvane::components {

inline constexpr const char* kDisk = "Pellam.Disk";
inline constexpr const char* kTextFile = "Pellam.TextFile";
inline constexpr const char* kBroker = "Quillon.Broker";
inline constexpr const char* kUploader = "Sorvik.Uploader";

// Creates components by their names. The program's own implementations are registered by
// RegisterStandardComponents; tests register fakes under the same names in their place.
class ComponentFactory {
  public:
    using Creator = std::function<std::unique_ptr<Component>()>;

    void Register(const std::string& name, Creator creator);
    void Unregister(const std::string& name);

    // A name with nothing registered, a creator that fails or an object of another kind all
    // fail as a component that cannot be created (number 429).
    template <class T>
    std::unique_ptr<T> Create(const std::string& name) const {
        std::unique_ptr<Component> created = CreateComponent(name);
        if (auto* typed = dynamic_cast<T*>(created.get())) {
            created.release();
            return std::unique_ptr<T>(typed);
        }
        throw CannotCreate(name, "no ofrece la interfaz esperada");
    }

  private:
    std::unique_ptr<Component> CreateComponent(const std::string& name) const;
    static Failure CannotCreate(const std::string& name, const std::string& why);

    std::map<std::string, Creator> creators_;
};

// The real components: Pellam.Disk and Pellam.TextFile on the local file system,
// Quillon.Broker, Sorvik.Uploader.
void RegisterStandardComponents(ComponentFactory& factory, platform::Platform& os);

}  // namespace tolvane::components
