#pragma once
// Environment variables a test changes, put back as they were when it ends,
// so that later tests in the same program see the environment they started with.

#include <stdlib.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvelle::testing {

class ScopedEnv {
 public:
  ScopedEnv(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      const char* value = ::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace orvelle::testing
