#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tolvane::test {

// Sets environment variables (unsets those given nullptr) while it lives; puts back what was
// there before, so that no test leaks its environment into the next.
class ScopedEnv {
  public:
    explicit ScopedEnv(const std::vector<std::pair<std::string, const char*>>& variables) {
        for (const auto& [name, value] : variables) {
            const char* was = std::getenv(name.c_str());
            saved_.emplace_back(name, was ? std::optional<std::string>(was) : std::nullopt);
            Set(name, value);
        }
    }
    ScopedEnv(const std::string& name, const char* value) : ScopedEnv({{name, value}}) {}
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_)
            Set(name, value ? value->c_str() : nullptr);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    static void Set(const std::string& name, const char* value) {
        value ? ::setenv(name.c_str(), value, 1) : ::unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace tolvane::test
