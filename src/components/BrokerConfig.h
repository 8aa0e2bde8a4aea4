#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tolvane::components {

namespace broker_failure {
inline constexpr std::int32_t kUnknownEntity = 3265;    // no such item in the configuration
inline constexpr std::int32_t kNotAvailable = 3704;     // the connection cannot be opened
inline constexpr std::int32_t kNoParameters = 3709;     // used before LoadParameters
inline constexpr std::int32_t kNoCurrentRecord = 3021;  // a query without rows was read
inline constexpr std::int32_t kNoSuchColumn = 3265;     // the row has no column of that name
inline constexpr std::int32_t kDatabase = -2147467259;  // the driver or the database failed
}  // namespace broker_failure

// The configuration file of Quillon.Broker, "QuillonConfig.ini": one section per entity whose
// key "ConnectionString" holds the entity's ODBC connection string, e.g.
//
//   [HISTORIAL]
//   ConnectionString=Driver=SQLite3;Database=/srv/tolvane/historial.db
//
// Section and key names compare without regard to case; a value is everything after the first
// '=' with blanks trimmed; lines starting with ';' or '#' are comments. The file may be UTF-8
// or ISO-8859-1. When a section or a key appears twice, the first one counts.
class BrokerConfig {
  public:
    // Fails with 53 for a missing file and 75 for one that cannot be read, naming the file;
    // the failures carry the source "Quillon.Broker".
    static BrokerConfig Load(const std::string& path);
    static BrokerConfig Parse(const std::string& path, const std::string& content);

    const std::string& path() const { return path_; }
    // Fails (3265) naming the file and the entity when the entity has no section or the
    // section no connection string.
    const std::string& ConnectionString(const std::string& entity) const;

  private:
    using Keys = std::map<std::string, std::string>;  // lower-case key → value

    std::string path_;
    std::map<std::string, Keys> sections_;  // lower-case section name → its keys
};

}  // namespace tolvane::components
