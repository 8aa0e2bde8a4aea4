#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "components/BrokerConfig.h"
#include "components/Contracts.h"

namespace tolvane::platform {
class Platform;
}

namespace tolvane::components {

// "Quillon.Broker": maps entity names to database connections through its configuration
// file, by default "QuillonConfig.ini" in the program's folder. Each entity's connection is
// opened on first request and then handed out again for the life of the broker, so that a
// statement set through one answer runs through the next. Failures carry the source
// "Quillon.Broker".
class QuillonBroker : public Broker {
  public:
    static constexpr const char* kConfigFileName = "QuillonConfig.ini";

    explicit QuillonBroker(platform::Platform& os) : os_(os) {}

    void setParametersPath(const std::string& path) override { parametersPath_ = path; }
    // Reads the file set by setParametersPath, or the default one when none was set.
    void LoadParameters() override;
    // Fails when the parameters were not loaded (3709), when the entity is not configured
    // (3265) and when its connection cannot be opened.
    Connection& getDataConnectionByEntity(const std::string& entity) override;

    // The configuration file that LoadParameters reads.
    std::string ParametersPath() const;

  protected:
    // Opens the entity's connection from its ODBC connection string, borrowing a connection
    // of the process-wide pool (odbc::ConnectionPool::Shared) until the broker goes. Fails
    // (3704) with the driver's message when no connection can be had.
    virtual std::unique_ptr<Connection> OpenConnection(const std::string& entity,
                                                       const std::string& connectionString);

  private:
    platform::Platform& os_;
    std::string parametersPath_;
    std::optional<BrokerConfig> config_;
    std::map<std::string, std::unique_ptr<Connection>> connections_;  // by lower-case entity
};

}  // namespace tolvane::components
