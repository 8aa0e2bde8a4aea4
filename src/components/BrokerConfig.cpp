#include "components/BrokerConfig.h"

#include <cerrno>
#include <string_view>
#include <utility>

#include "common/Failure.h"
#include "common/SystemError.h"
#include "common/Text.h"
#include "platform/FileServices.h"

namespace tolvane::components {
namespace {

constexpr const char* kSource = "Quillon.Broker";
constexpr std::string_view kConnectionStringKey = "connectionstring";

std::string ReadConfigFile(const std::string& path) {
    if (auto content = platform::ReadWholeFile(path))
        return std::move(*content);
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
        throw Failure(failure_number::kFileNotFound, kSource,
                      "No se encontró el archivo de configuración " + path);
    }
    throw Failure(
        failure_number::kPathFileAccess, kSource,
        "No se pudo leer el archivo de configuración " + path + ": " + SystemErrorText(error));
}

}  // namespace

BrokerConfig BrokerConfig::Load(const std::string& path) {
    return Parse(path, ReadConfigFile(path));
}

BrokerConfig BrokerConfig::Parse(const std::string& path, const std::string& content) {
    BrokerConfig config;
    config.path_ = path;
    std::string utf8 = text::ToUtf8Lenient(content);
    std::string_view rest = utf8;
    if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);

    Keys* section = nullptr;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        line = text::TrimBlanks(line);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;

        if (line.front() == '[') {
            const auto close = line.find(']');
            const std::string name = text::ToLowerAscii(text::TrimBlanks(line.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            section = &config.sections_[name];  // a repeated section adds to the first
            continue;
        }
        const auto equals = line.find('=');
        if (section == nullptr || equals == std::string_view::npos)
            continue;
        const std::string key = text::ToLowerAscii(text::TrimBlanks(line.substr(0, equals)));
        section->emplace(key, std::string(text::TrimBlanks(line.substr(equals + 1))));
    }
    return config;
}

const std::string& BrokerConfig::ConnectionString(const std::string& entity) const {
    const auto found = sections_.find(text::ToLowerAscii(entity));
    if (found == sections_.end()) {
        throw Failure(broker_failure::kUnknownEntity, kSource,
                      "El archivo de configuración " + path_ + " no define la entidad " + entity);
    }
    const auto key = found->second.find(std::string(kConnectionStringKey));
    if (key == found->second.end() || key->second.empty()) {
        throw Failure(broker_failure::kUnknownEntity, kSource,
                      "El archivo de configuración " + path_ +
                          " no indica la cadena de conexión (ConnectionString) de la entidad " +
                          entity);
    }
    return key->second;
}

}  // namespace tolvane::components
