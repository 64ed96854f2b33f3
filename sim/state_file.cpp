#include "sim/state_file.h"

#include <charconv>
#include <filesystem>
#include <functional>
#include <limits>
#include <set>
#include <sstream>
#include <tuple>
#include <type_traits>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/hex_text.h"
#include "platform/input_file.h"

namespace orvelle {
namespace {

bool ParseInt(std::string_view text, long& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseList(const std::string& text, std::vector<long>& values) {
  values.clear();
  if (text.empty()) return true;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    long v = 0;
    if (!ParseInt(std::string_view(text).substr(start, comma - start), v)) return false;
    values.push_back(v);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

std::string Hex(std::span<const uint8_t> bytes) {
  static const char* kDigits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const auto value = ParseHex(std::string_view(text).substr(i, 2));
    if (!value) return false;
    bytes.push_back(static_cast<uint8_t>(*value));
  }
  return true;
}

// Stores `value` when it fits the field's type; the ranges the controller
// accepts are checked on the whole state afterwards.
template <typename T>
bool Store(long value, T& field) {
  if constexpr (std::is_same_v<T, bool>) {
    if (value != 0 && value != 1) return false;
  } else if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
    return false;
  }
  field = static_cast<T>(value);
  return true;
}

std::string JoinNumbers(const auto& values) {
  std::string out;
  for (const auto& v : values) {
    if (!out.empty()) out += ',';
    out += std::to_string(static_cast<long>(v));
  }
  return out;
}

// One line of the file: how its value is written and read back.
struct Setting {
  const char* key;
  std::function<std::string(const ControllerState&)> format;
  std::function<bool(const std::string&, ControllerState&)> parse;
};

Setting Text(const char* key, std::string ControllerState::*text) {
  return {key, [text](const ControllerState& s) { return s.*text; },
          [text](const std::string& v, ControllerState& s) { return s.*text = v, true; }};
}

// A fixed count of numbers; `fields` gives pointers to them, const or not,
// so that writing and reading name them once.
template <typename Fields>
Setting Numbers(const char* key, Fields fields) {
  return {key,
          [fields](const ControllerState& s) {
            std::vector<long> values;
            std::apply([&](const auto*... f) { (values.push_back(static_cast<long>(*f)), ...); },
                       fields(s));
            return JoinNumbers(values);
          },
          [fields](const std::string& v, ControllerState& s) {
            std::vector<long> values;
            auto targets = fields(s);
            if (!ParseList(v, values) || values.size() != std::tuple_size_v<decltype(targets)>) {
              return false;
            }
            size_t i = 0;
            bool ok = true;
            std::apply([&](auto*... f) { ((ok = ok && Store(values[i++], *f)), ...); }, targets);
            return ok;
          }};
}

Setting SignedList(const char* key, std::vector<int8_t> ControllerState::*list) {
  return {key, [list](const ControllerState& s) { return JoinNumbers(s.*list); },
          [list](const std::string& v, ControllerState& s) {
            std::vector<long> values;
            if (!ParseList(v, values)) return false;
            std::vector<int8_t> parsed(values.size());
            for (size_t i = 0; i < values.size(); ++i) {
              if (!Store(values[i], parsed[i])) return false;
            }
            s.*list = std::move(parsed);
            return true;
          }};
}

Setting Record(const char* key) {
  return {key, [](const ControllerState& s) { return Hex(EncodeRecord(s.record)); },
          [](const std::string& v, ControllerState& s) {
            std::vector<uint8_t> b;
            if (!ParseHexBytes(v, b) || b.size() != 41) return false;
            s.record = DecodeRecord(std::span<const uint8_t, 41>(b.data(), 41));
            return true;
          }};
}

// Every line in the order the file has it.
const std::vector<Setting>& Settings() {
  using S = ControllerState;
  static const std::vector<Setting> kSettings = {
      Text("model", &S::modelText),
      Text("info_f3", &S::infoF3Text),
      Text("info_f4", &S::infoF4Text),
      Text("info_f5", &S::infoF5Text),
      Numbers("info_value", [](auto& s) { return std::tuple{&s.infoValue}; }),
      SignedList("layout_a", &S::layoutA),
      SignedList("layout_b", &S::layoutB),
      Numbers("touch_setting", [](auto& s) { return std::tuple{&s.touchSetting}; }),
      Numbers("touch_limits",
              [](auto& s) {
                return std::tuple{&s.touchMaximum, &s.touchCount};
              }),
      Numbers("cfg12",
              [](auto& s) {
                return std::tuple{&s.cfg12[0], &s.cfg12[1], &s.cfg12[2]};
              }),
      Numbers("cfg14",
              [](auto& s) {
                return std::tuple{&s.on14, &s.level14, &s.value14};
              }),
      Numbers("cfg15",
              [](auto& s) {
                return std::tuple{&s.on15, &s.level15, &s.value15};
              }),
      Numbers("cfg16",
              [](auto& s) {
                return std::tuple{&s.on16, &s.value16};
              }),
      Numbers("cfg17",
              [](auto& s) {
                auto& c = s.cfg17;
                return std::tuple{&c[0], &c[1], &c[2], &c[3]};
              }),
      Numbers("cfg21",
              [](auto& s) {
                return std::tuple{&s.on21, &s.periodA21, &s.periodB21};
              }),
      Numbers("cal_mode", [](auto& s) { return std::tuple{&s.calMode}; }),
      Numbers("cal_option", [](auto& s) { return std::tuple{&s.calOption}; }),
      Record("cal_record"),
      Numbers("cal_affine",
              [](auto& s) {
                auto& a = s.affine;
                return std::tuple{&a[0], &a[1], &a[2], &a[3], &a[4], &a[5]};
              }),
      Numbers("cal_affine_active", [](auto& s) { return std::tuple{&s.affineActive}; }),
  };
  return kSettings;
}

const Setting* Find(const std::string& key) {
  for (const auto& setting : Settings()) {
    if (key == setting.key) return &setting;
  }
  return nullptr;
}

}  // namespace

std::string FormatState(const ControllerState& s) {
  std::string out = "# orvelle-sim controller state\n";
  for (const auto& setting : Settings()) {
    out += setting.key;
    out += '=';
    out += setting.format(s);
    out += '\n';
  }
  return out;
}

bool ParseState(const std::string& text, ControllerState& state, std::string& error) {
  ControllerState parsed;
  std::set<std::string> seen;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t eq = line.find('=');
    const std::string key = line.substr(0, eq);
    const Setting* setting = eq == std::string::npos ? nullptr : Find(key);
    if (setting == nullptr) {
      error = "line " + std::to_string(number) + ": unknown setting \"" + key + "\"";
      return false;
    }
    if (!setting->parse(line.substr(eq + 1), parsed)) {
      error = "line " + std::to_string(number) + ": bad value for " + key;
      return false;
    }
    seen.insert(key);
  }
  std::string field;
  if (!IsValidState(parsed, field)) {
    error = "value out of range: " + field;
    return false;
  }
  for (const auto& setting : Settings()) {
    if (!seen.count(setting.key)) {
      error = std::string("no value for ") + setting.key + " (is the file cut short?)";
      return false;
    }
  }
  state = parsed;
  return true;
}

bool LoadStateFile(const std::string& path, ControllerState& state, bool& existed,
                   std::string& error) {
  std::error_code ignored;
  existed = std::filesystem::status(path, ignored).type() != std::filesystem::file_type::not_found;
  if (!existed) {
    state = ControllerState{};
    return true;
  }
  // A FIFO in the file's place must not hang the simulator.
  InputFileError fault;
  const std::optional<InputFileContent> content = ReadInputFile(path, kMaxStateBytes, fault);
  if (!content) {
    error = path + (fault.fault == InputFileFault::NotAFile
                        ? ": not a regular file"
                        : ": cannot be read (" + fault.reason + ")");
    return false;
  }
  if (content->truncated) {
    error = path + ": larger than any state file (" + std::to_string(kMaxStateBytes) + " bytes)";
    return false;
  }
  if (!ParseState(content->bytes, state, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool SaveStateFile(const std::string& path, const ControllerState& state, std::string& error) {
  const FileWriteResult written =
      WriteFileAtomically(path, FormatState(state), NewFileAccess::OwnerOnly);
  if (!written) error = path + ": " + written.Reason();
  return static_cast<bool>(written);
}

}  // namespace orvelle
