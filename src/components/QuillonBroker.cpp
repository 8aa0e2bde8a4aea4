#include "components/QuillonBroker.h"

#include <utility>

#include "common/Failure.h"
#include "common/Text.h"
#include "components/odbc/OdbcConnection.h"
#include "platform/Platform.h"

namespace tolvane::components {
namespace {
constexpr const char* kSource = "Quillon.Broker";
}

std::string QuillonBroker::ParametersPath() const {
    if (!parametersPath_.empty())
        return parametersPath_;
    return os_.ProgramFolder() + os_.PathSeparator() + kConfigFileName;
}

void QuillonBroker::LoadParameters() {
    config_ = BrokerConfig::Load(ParametersPath());
}

Connection& QuillonBroker::getDataConnectionByEntity(const std::string& entity) {
    if (!config_) {
        throw Failure(broker_failure::kNoParameters, kSource,
                      "No se puede obtener la conexión de la entidad " + entity +
                          ": no se cargaron los parámetros del componente (LoadParameters)");
    }
    // Asked anew on every request, so an entity is never served that the file lacks.
    const std::string& connectionString = config_->ConnectionString(entity);
    const std::string key = text::ToLowerAscii(entity);
    auto found = connections_.find(key);
    if (found == connections_.end()) {
        auto opened = OpenConnection(entity, connectionString);
        if (!opened) {
            throw Failure(broker_failure::kNotAvailable, kSource,
                          "No se pudo abrir la conexión de la entidad " + entity);
        }
        found = connections_.emplace(key, std::move(opened)).first;
    }
    return *found->second;
}

std::unique_ptr<Connection> QuillonBroker::OpenConnection(const std::string& entity,
                                                          const std::string& connectionString) {
    return std::make_unique<odbc::OdbcConnection>(entity, connectionString,
                                                  odbc::ConnectionPool::Shared());
}

}  // namespace tolvane::components
