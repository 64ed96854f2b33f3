#include "sim/state_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <vector>

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

template <typename Container>
std::string JoinList(const Container& values) {
  std::string out;
  for (const auto& v : values) {
    if (!out.empty()) out += ',';
    out += std::to_string(static_cast<long>(v));
  }
  return out;
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

bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (ec != std::errc() || ptr != text.data() + i + 2) return false;
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

// Copies `values` into fixed fields when the count matches and each value fits
// the field's type; the ranges are checked on the whole state afterwards.
template <typename T, size_t N>
bool Assign(const std::vector<long>& values, std::array<T*, N> fields) {
  if (values.size() != N) return false;
  for (size_t i = 0; i < N; ++i) {
    if (values[i] < std::numeric_limits<T>::min() || values[i] > std::numeric_limits<T>::max()) {
      return false;
    }
    *fields[i] = static_cast<T>(values[i]);
  }
  return true;
}

bool AssignSigned(const std::vector<long>& values, std::vector<int8_t>& out) {
  out.clear();
  for (long v : values) {
    if (v < -128 || v > 127) return false;
    out.push_back(static_cast<int8_t>(v));
  }
  return true;
}

using Setter = std::function<bool(const std::string&, ControllerState&)>;

const std::map<std::string, Setter>& Setters() {
  using S = ControllerState;
  static const std::map<std::string, Setter> kSetters = {
      {"model", [](const std::string& v, S& s) { return s.modelText = v, true; }},
      {"info_f3", [](const std::string& v, S& s) { return s.infoF3Text = v, true; }},
      {"info_f4", [](const std::string& v, S& s) { return s.infoF4Text = v, true; }},
      {"info_f5", [](const std::string& v, S& s) { return s.infoF5Text = v, true; }},
      {"info_value",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && Assign<int8_t, 1>(l, {&s.infoValue});
       }},
      {"layout_a",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && AssignSigned(l, s.layoutA);
       }},
      {"layout_b",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && AssignSigned(l, s.layoutB);
       }},
      {"touch_setting",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && Assign<uint8_t, 1>(l, {&s.touchSetting});
       }},
      {"touch_limits",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && Assign<uint8_t, 2>(l, {&s.touchMaximum, &s.touchCount});
       }},
      {"cfg12",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && Assign<uint8_t, 3>(l, {&s.cfg12[0], &s.cfg12[1], &s.cfg12[2]});
       }},
      {"cfg14",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && l.size() == 3 &&
                Assign<uint8_t, 2>({l[0], l[1]}, {&s.on14, &s.level14}) &&
                Assign<uint16_t, 1>({l[2]}, {&s.value14});
       }},
      {"cfg15",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && l.size() == 3 &&
                Assign<uint8_t, 2>({l[0], l[1]}, {&s.on15, &s.level15}) &&
                Assign<uint16_t, 1>({l[2]}, {&s.value15});
       }},
      {"cfg16",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && Assign<uint8_t, 2>(l, {&s.on16, &s.value16});
       }},
      {"cfg17",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) &&
                Assign<uint8_t, 4>(l, {&s.cfg17[0], &s.cfg17[1], &s.cfg17[2], &s.cfg17[3]});
       }},
      {"cfg21",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && l.size() == 3 && Assign<uint8_t, 1>({l[0]}, {&s.on21}) &&
                Assign<uint16_t, 2>({l[1], l[2]}, {&s.periodA21, &s.periodB21});
       }},
      {"cal_mode",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && Assign<uint8_t, 1>(l, {&s.calMode});
       }},
      {"cal_option",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         return ParseList(v, l) && Assign<uint8_t, 1>(l, {&s.calOption});
       }},
      {"cal_record",
       [](const std::string& v, S& s) {
         std::vector<uint8_t> b;
         if (!ParseHex(v, b) || b.size() != 41) return false;
         s.record = DecodeRecord(std::span<const uint8_t, 41>(b.data(), 41));
         return true;
       }},
      {"cal_affine",
       [](const std::string& v, S& s) {
         std::vector<long> l;
         auto& a = s.affine;
         return ParseList(v, l) &&
                Assign<int16_t, 6>(l, {&a[0], &a[1], &a[2], &a[3], &a[4], &a[5]});
       }},
      {"cal_affine_active",
       [](const std::string& v, S& s) {
         if (v != "0" && v != "1") return false;
         s.affineActive = v == "1";
         return true;
       }},
  };
  return kSetters;
}

}  // namespace

std::string FormatState(const ControllerState& s) {
  std::ostringstream out;
  const auto record = EncodeRecord(s.record);
  out << "# orvelle-sim controller state\n"
      << "model=" << s.modelText << "\n"
      << "info_f3=" << s.infoF3Text << "\n"
      << "info_f4=" << s.infoF4Text << "\n"
      << "info_f5=" << s.infoF5Text << "\n"
      << "info_value=" << int{s.infoValue} << "\n"
      << "layout_a=" << JoinList(s.layoutA) << "\n"
      << "layout_b=" << JoinList(s.layoutB) << "\n"
      << "touch_setting=" << int{s.touchSetting} << "\n"
      << "touch_limits=" << int{s.touchMaximum} << "," << int{s.touchCount} << "\n"
      << "cfg12=" << JoinList(s.cfg12) << "\n"
      << "cfg14=" << int{s.on14} << "," << int{s.level14} << "," << s.value14 << "\n"
      << "cfg15=" << int{s.on15} << "," << int{s.level15} << "," << s.value15 << "\n"
      << "cfg16=" << int{s.on16} << "," << int{s.value16} << "\n"
      << "cfg17=" << JoinList(s.cfg17) << "\n"
      << "cfg21=" << int{s.on21} << "," << s.periodA21 << "," << s.periodB21 << "\n"
      << "cal_mode=" << int{s.calMode} << "\n"
      << "cal_option=" << int{s.calOption} << "\n"
      << "cal_record=" << Hex(record) << "\n"
      << "cal_affine=" << JoinList(s.affine) << "\n"
      << "cal_affine_active=" << (s.affineActive ? 1 : 0) << "\n";
  return out.str();
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
    const auto setter = Setters().find(key);
    if (eq == std::string::npos || setter == Setters().end()) {
      error = "line " + std::to_string(number) + ": unknown setting \"" + key + "\"";
      return false;
    }
    if (!setter->second(line.substr(eq + 1), parsed)) {
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
  for (const auto& [key, setter] : Setters()) {
    if (!seen.count(key)) {
      error = "no value for " + key + " (is the file cut short?)";
      return false;
    }
  }
  state = parsed;
  return true;
}

bool LoadStateFile(const std::string& path, ControllerState& state, bool& existed,
                   std::string& error) {
  // O_NONBLOCK: a FIFO in the file's place must not hang the simulator.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  existed = fd >= 0 || errno != ENOENT;
  if (!existed) {
    state = ControllerState{};
    return true;
  }
  if (fd < 0) {
    error = path + ": cannot be read (" + std::strerror(errno) + ")";
    return false;
  }
  struct stat info {};
  std::string text;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = path + ": not a regular file";
  } else if (static_cast<size_t>(info.st_size) > kMaxStateBytes) {
    error = path + ": larger than any state file (" + std::to_string(kMaxStateBytes) + " bytes)";
  } else {
    text.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = read(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (done != text.size()) error = path + ": cannot be read";
  }
  close(fd);
  if (!error.empty()) return false;
  if (!ParseState(text, state, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool SaveStateFile(const std::string& path, const ControllerState& state, std::string& error) {
  const std::string text = FormatState(state);
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = true;
  size_t written = 0;
  while (ok && written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) written += static_cast<size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  const int savedErrno = errno;
  ok = (close(fd) == 0) && ok;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) return true;
  error = path + ": " + std::strerror(ok ? errno : savedErrno);
  unlink(temp.c_str());
  return false;
}

}  // namespace orvelle
