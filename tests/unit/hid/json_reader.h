#pragma once
// Just enough JSON for the descriptor test data: objects, arrays, strings
// without escapes beyond \" and \\, numbers, true, false, null.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::test {

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  // A null value when the member is missing.
  const JsonValue& operator[](const std::string& key) const;
};

std::optional<JsonValue> ParseJson(const std::string& text);
std::optional<JsonValue> ReadJsonFile(const std::string& path);

}  // namespace orvelle::test
