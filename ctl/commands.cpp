#include "ctl/commands.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <vector>

#include "console/core/calibration_file.h"
#include "console/core/calibration_page.h"
#include "console/core/config_page.h"
#include "console/core/info_page.h"
#include "console/core/message_ids.h"
#include "ctl/config_keys.h"
#include "ctl/ctl_link.h"
#include "ctl/help.h"
#include "devlink/catalogue.h"
#include "devlink/hid/default_bus.h"
#include "platform/atomic_file.h"
#include "platform/os_version.h"

namespace orvelle::ctl {
namespace {

using namespace orvelle::console;
using Json = nlohmann::ordered_json;

constexpr const char* kConfigFormat = "orvelle-config";
constexpr int kConfigVersion = 1;
// Larger files are no settings document of ours.
constexpr std::streamsize kConfigFileLimit = 64 * 1024;

struct Options {
  std::string device;
  bool json = false;
  bool help = false;
  std::vector<std::string> words;
};

// The controller's texts are single bytes of no known code page; as Latin-1
// every byte is one character, and UTF-8 is what terminals and JSON take.
std::string Utf8(const std::string& latin1) {
  std::string text;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

// For a terminal: control characters from the device must not act on it.
std::string Printable(const std::string& latin1) {
  std::string bytes = latin1;
  for (char& c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0)) c = '?';
  }
  return Utf8(bytes);
}

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

std::string CommandText(uint8_t reportId, uint8_t code) {
  const char* name = CommandName(reportId, code);
  return name ? name : "command 0x" + Hex4(code).substr(2);
}

Json SettingValue(const ConfigKey& key, const ConfigPageState& state) {
  const std::string text = FormatValue(key, state);
  if (key.flag && key.kind == KeyKind::Switch) return text;
  return key.flag ? Json(state.*key.flag ? 2 : 1) : Json(state.*key.number);
}

constexpr std::chrono::milliseconds kMonitorWait{50};

// A frame the controller sent, as the simulator's log shows it: direction,
// the bytes up to the terminator, the command's name; a raw touch position
// decoded.
std::string FrameLine(std::span<const uint8_t> bytes) {
  const FrameView frame(bytes);
  const size_t shown = std::min(bytes.size(), size_t{4} + frame.PayloadLength());
  std::string line = "out";
  char hex[4];
  for (size_t i = 0; i < shown; ++i) {
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    line += hex;
  }
  line += "  " + CommandText(frame.ReportId(), frame.Code());
  if (frame.ReportId() == kCalibrationReportId && frame.Code() == CAL_RAW_POINT &&
      frame.PayloadLength() >= 5) {
    line += " x=" + std::to_string(ReadLittleEndian16(frame.Payload(1), frame.Payload(2))) +
            " y=" + std::to_string(ReadLittleEndian16(frame.Payload(3), frame.Payload(4))) +
            (frame.Payload(0) == kTouchStateTouching ? " touching" : " lifted");
  }
  return line;
}

class Runner {
 public:
  Runner(const CtlContext& context, Options options)
      : context_(context), options_(std::move(options)), out_(*context.out), err_(*context.err) {}

  int Run() {
    const std::vector<std::string>& w = options_.words;
    const std::string command = w.empty() ? "" : w[0];
    const std::string sub = w.size() > 1 ? w[1] : "";
    if (options_.help || command == "help") {
      const std::string topic = command == "help" ? (w.size() > 1 ? w[1] : "") : command;
      out_ << HelpText(topic);
      return kExitDone;
    }
    if (command.empty()) return Usage("no command given");
    if (command == "list") return Arguments(1) ? List() : kExitUsage;
    if (command == "info") return Arguments(1) ? Info() : kExitUsage;
    if (command == "config") {
      if (sub == "show") return Arguments(2) ? ConfigShow() : kExitUsage;
      if (sub == "set") return ConfigSet();
      if (sub == "reset") return Arguments(2) ? ConfigReset() : kExitUsage;
      if (sub == "save") return Arguments(3) ? ConfigSave(w[2]) : kExitUsage;
      if (sub == "load") return Arguments(3) ? ConfigLoad(w[2]) : kExitUsage;
      return Usage("config takes show, set, reset, save or load");
    }
    if (command == "calibration") {
      if (sub == "show") return Arguments(2) ? CalibrationShow() : kExitUsage;
      if (sub == "set") return CalibrationSet();
      if (sub == "export") return Arguments(3) ? CalibrationExport(w[2]) : kExitUsage;
      if (sub == "import") return Arguments(3) ? CalibrationImport(w[2]) : kExitUsage;
      if (sub == "reset") return Arguments(2) ? CalibrationReset() : kExitUsage;
      return Usage("calibration takes show, set, export, import or reset");
    }
    if (command == "monitor") return Arguments(1) ? Monitor() : kExitUsage;
    return Usage("there is no command \"" + command + "\"");
  }

 private:
  // ---- common ----

  int Error(int status, const std::string& text) {
    err_ << "orvellectl: " << text << "\n";
    return status;
  }
  int Usage(const std::string& text) {
    return Error(kExitUsage, text + " (orvellectl --help shows the commands)");
  }
  bool Arguments(size_t count) {
    if (options_.words.size() == count) return true;
    Usage(options_.words.size() < count ? "a file name is missing" : "too many arguments");
    return false;
  }

  void PrintJson(const Json& document) { out_ << document.dump(2) << "\n"; }

  // Opens the controller that --device names, else the first one found.
  int Connect() {
    std::shared_ptr<HidBus> bus = context_.makeBus();
    const std::vector<FoundController> found = FindControllers(*bus, context_.profile);
    std::string chosen;
    if (options_.device.empty()) {
      if (found.empty()) return Error(kExitNoController, "no controller found");
      chosen = found.front().path;
    } else {
      for (const FoundController& f : found) {
        const bool named = f.path == options_.device ||
                           std::find(f.collections.begin(), f.collections.end(), options_.device) !=
                               f.collections.end();
        if (named) chosen = f.path;
      }
      if (chosen.empty()) {
        return Error(kExitNoController,
                     "no controller at " + options_.device + "; orvellectl list shows those found");
      }
    }
    session_ = std::make_unique<Session>(context_.profile, OnlyController(bus, chosen));
    std::string error;
    if (!session_->Open(error)) return Error(kExitNoController, error + " (" + chosen + ")");
    return kExitDone;
  }

  // Sends and waits; on silence, says which request went unanswered.
  int Ask(int channel, const FrameBuffer& frame) {
    if (session_->Send(channel, frame) == SendResult::Answered) return kExitDone;
    return Error(kExitNoAnswer, "the controller did not answer " + CommandText(frame[0], frame[1]) +
                                    " within " + std::to_string(session_->AnswerTimeout().count()) +
                                    " ms");
  }

  // ---- list, info ----

  int List() {
    std::shared_ptr<HidBus> bus = context_.makeBus();
    const std::vector<FoundController> found = FindControllers(*bus, context_.profile);
    if (options_.json) {
      Json list = Json::array();
      for (const FoundController& f : found) {
        list.push_back({{"path", f.path},
                        {"vendorId", Hex4(f.vendorId)},
                        {"productId", Hex4(f.productId)},
                        {"name", Name(f)},
                        {"collections", f.collections}});
      }
      PrintJson(list);
    } else {
      for (const FoundController& f : found) {
        out_ << f.path << "  " << Hex4(f.vendorId) << ":" << Hex4(f.productId) << "  " << Name(f)
             << "  " << f.collections.size() << " collections\n";
      }
    }
    return found.empty() ? Error(kExitNoController, "no controller found") : kExitDone;
  }

  static std::string Name(const FoundController& f) {
    return f.simulated ? "simulated touch controller" : "touch controller";
  }

  int Info() {
    if (const int status = Connect()) return status;
    InfoExchange exchange;
    session_->OnAnswers([&](std::span<const uint8_t> frame) { exchange.HandleFrame(frame); });
    exchange.Begin();
    for (uint8_t code : kInfoRequests) {
      if (const int status = Ask(kCommandChannel, InfoExchange::Request(code))) return status;
    }
    exchange.End();
    const InfoPageState& s = exchange.State();
    if (options_.json) {
      PrintJson({{"model", Utf8(s.modelText)},
                 {"identity2", Utf8(s.identity2)},
                 {"identity3", Utf8(s.identity3)},
                 {"identity4", Utf8(s.identity4)},
                 {"infoValue", s.infoValue},
                 {"countA", s.countA},
                 {"listA", Utf8(s.listA)},
                 {"countB", s.countB},
                 {"listB", Utf8(s.listB)}});
    } else {
      out_ << "model:       " << Printable(s.modelText) << "\n"
           << "identity 2:  " << Printable(s.identity2) << "\n"
           << "identity 3:  " << Printable(s.identity3) << "\n"
           << "identity 4:  " << Printable(s.identity4) << "\n"
           << "info value:  " << s.infoValue << "\n"
           << "count A:     " << s.countA << "\n"
           << "list A:      " << Printable(s.listA) << "\n"
           << "count B:     " << s.countB << "\n"
           << "list B:      " << Printable(s.listB) << "\n";
    }
    return kExitDone;
  }

  // ---- config ----

  bool InClass(const ConfigKey& key) const {
    return GroupInClass(key.group, context_.windowsClass);
  }

  // Reads every group of this system's class, as the page's refresh does.
  int ConfigRead(ConfigExchange& exchange) {
    exchange.BeginRefresh(context_.windowsClass);
    for (uint8_t code : kConfigGroups) {
      if (!GroupInClass(code, context_.windowsClass)) continue;
      if (const int status = Ask(kCommandChannel, ConfigExchange::ReadRequest(code))) return status;
    }
    if (!exchange.ReadComplete())
      return Error(kExitFailed, "the controller did not report all of its settings");
    return kExitDone;
  }

  // Writes every group back, as the page's Apply does.
  int ConfigWrite(ConfigExchange& exchange, const std::vector<std::string>& refused) {
    exchange.BeginApply();
    for (uint8_t code : kConfigGroups) {
      if (!GroupInClass(code, context_.windowsClass)) continue;
      if (const int status = Ask(kCommandChannel, exchange.WriteRequest(code))) return status;
    }
    if (!exchange.ApplyOk()) {
      std::string groups;
      for (const std::string& g : refused)
        groups += (groups.empty() ? "" : ", ") + g;
      return Error(kExitFailed, "the controller refused the settings of " + groups);
    }
    return kExitDone;
  }

  // The exchange's answers, and the groups whose writes were refused.
  void ListenForConfig(ConfigExchange& exchange, std::vector<std::string>& refused,
                       std::optional<ConfigAnswer>* reset = nullptr) {
    session_->OnAnswers([&exchange, &refused, reset](std::span<const uint8_t> frame) {
      const ConfigAnswer answer = exchange.HandleFrame(frame);
      if (answer == ConfigAnswer::WriteRefused) refused.push_back(CommandText(frame[0], frame[1]));
      if (reset && (answer == ConfigAnswer::ResetDone || answer == ConfigAnswer::ResetRefused))
        *reset = answer;
    });
  }

  Json ConfigDocument(const ConfigPageState& state) const {
    Json settings = Json::object();
    for (const ConfigKey& key : ConfigKeys()) {
      if (InClass(key)) settings[key.name] = SettingValue(key, state);
    }
    return {{"format", kConfigFormat}, {"version", kConfigVersion}, {"settings", settings}};
  }

  int ConfigShow() {
    if (const int status = Connect()) return status;
    ConfigExchange exchange;
    std::vector<std::string> refused;
    ListenForConfig(exchange, refused);
    if (const int status = ConfigRead(exchange)) return status;
    if (options_.json) {
      PrintJson(ConfigDocument(exchange.State()));
    } else {
      for (const ConfigKey& key : ConfigKeys()) {
        if (InClass(key)) out_ << key.name << "=" << FormatValue(key, exchange.State()) << "\n";
      }
    }
    return kExitDone;
  }

  int ConfigSet() {
    const std::vector<std::string>& w = options_.words;
    if (w.size() < 3) return Usage("config set needs at least one KEY=VALUE");
    std::vector<Setting> settings;
    for (size_t i = 2; i < w.size(); ++i) {
      std::string error;
      const std::optional<Setting> setting = ParseSetting(w[i], error);
      if (!setting) return Error(kExitUsage, error);
      if (!InClass(*setting->key))
        return Error(kExitUsage, std::string(setting->key->name) + " is used on Windows 7 only");
      settings.push_back(*setting);
    }
    if (const int status = Connect()) return status;
    ConfigExchange exchange;
    std::vector<std::string> refused;
    ListenForConfig(exchange, refused);
    if (const int status = ConfigRead(exchange)) return status;
    for (const Setting& setting : settings)
      ApplySetting(setting, exchange);
    return ConfigWrite(exchange, refused);
  }

  int ConfigReset() {
    if (const int status = Connect()) return status;
    ConfigExchange exchange;
    std::vector<std::string> refused;
    std::optional<ConfigAnswer> reset;
    ListenForConfig(exchange, refused, &reset);
    if (const int status = Ask(kCommandChannel, ConfigExchange::ResetRequest())) return status;
    if (reset != ConfigAnswer::ResetDone)
      return Error(kExitFailed, "the controller refused to restore its default settings");
    return kExitDone;
  }

  int ConfigSave(const std::string& file) {
    if (file.empty()) return Usage("the file name is empty");
    if (const int status = Connect()) return status;
    ConfigExchange exchange;
    std::vector<std::string> refused;
    ListenForConfig(exchange, refused);
    if (const int status = ConfigRead(exchange)) return status;
    if (!WriteFileAtomically(file, ConfigDocument(exchange.State()).dump(2) + "\n"))
      return Error(kExitFailed, "cannot write " + file);
    return kExitDone;
  }

  // The whole document is checked before the controller is opened.
  int ReadConfigDocument(const std::string& file, std::vector<Setting>& settings) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return Error(kExitFailed, "cannot read " + file);
    std::string text(static_cast<size_t>(kConfigFileLimit) + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (in.bad() || static_cast<std::streamsize>(text.size()) > kConfigFileLimit)
      return Error(kExitFailed, file + " is no settings file of orvellectl");
    const Json document = Json::parse(text, nullptr, false);
    const auto damaged = [&](const std::string& why) {
      return Error(kExitFailed, file + ": " + why + "; nothing was sent");
    };
    if (document.is_discarded() || !document.is_object()) return damaged("not a JSON object");
    if (document.value("format", "") != kConfigFormat || !document.contains("version") ||
        document["version"] != kConfigVersion) {
      return damaged("not a settings file of version 1 (format \"orvelle-config\")");
    }
    const auto found = document.find("settings");
    if (found == document.end() || !found->is_object()) return damaged("no \"settings\" object");
    for (const auto& [name, value] : found->items()) {
      const ConfigKey* key = FindConfigKey(name);
      if (!key) return damaged("there is no setting \"" + name + "\"");
      std::string text;
      // Switches are written as words, everything else as numbers.
      const bool isSwitch = key->kind == KeyKind::Switch;
      if (isSwitch && value.is_string()) {
        text = value.get<std::string>();
      } else if (!isSwitch && value.is_number_integer()) {
        text = std::to_string(value.get<int64_t>());
      } else {
        return damaged(name + " takes " + Accepted(*key));
      }
      std::string error;
      const std::optional<Setting> setting = CheckSetting(*key, text, error);
      if (!setting) return damaged(error);
      if (InClass(*key)) settings.push_back(*setting);
    }
    for (const ConfigKey& key : ConfigKeys()) {
      const bool given = std::any_of(settings.begin(), settings.end(),
                                     [&](const Setting& s) { return s.key == &key; });
      if (InClass(key) && !given) return damaged(std::string(key.name) + " is missing");
    }
    return kExitDone;
  }

  int ConfigLoad(const std::string& file) {
    std::vector<Setting> settings;
    if (const int status = ReadConfigDocument(file, settings)) return status;
    if (const int status = Connect()) return status;
    ConfigExchange exchange;
    std::vector<std::string> refused;
    ListenForConfig(exchange, refused);
    for (const Setting& setting : settings)
      ApplySetting(setting, exchange);
    return ConfigWrite(exchange, refused);
  }

  // ---- calibration ----

  struct CalibrationAnswers {
    std::optional<CalibrationRecord> record;
    int message = 0;
  };

  void ListenForCalibration(CalibrationExchange& exchange, CalibrationAnswers& answers) {
    session_->OnAnswers([&exchange, &answers](std::span<const uint8_t> frame) {
      CalibrationAnswerEffect effect = exchange.HandleFrame(frame);
      if (effect.recordToExport) answers.record = effect.recordToExport;
      if (effect.message != 0) answers.message = effect.message;
    });
  }

  // The page's refresh: the option, then the mode.
  int CalibrationRead(CalibrationExchange& exchange) {
    if (const int status = Ask(kCommandChannel, CalibrationExchange::OptionRead())) return status;
    if (const int status = Ask(kCalibrationChannel, CalibrationExchange::Request(CAL_GET_MODE)))
      return status;
    const CalibrationPageState& s = exchange.State();
    if (!s.optionKnown || !s.modeKnown)
      return Error(kExitFailed, "the controller reported no valid calibration mode and option");
    return kExitDone;
  }

  int CalibrationShow() {
    if (const int status = Connect()) return status;
    CalibrationExchange exchange;
    CalibrationAnswers answers;
    ListenForCalibration(exchange, answers);
    if (const int status = CalibrationRead(exchange)) return status;
    const CalibrationPageState& s = exchange.State();
    if (options_.json) {
      PrintJson({{"mode", s.calMode}, {"option", s.calOption}});
    } else {
      out_ << "mode=" << s.calMode << "\noption=" << s.calOption << "\n";
    }
    return kExitDone;
  }

  int CalibrationSet() {
    std::optional<int> mode, option;
    const std::vector<std::string>& w = options_.words;
    if (w.size() < 3) return Usage("calibration set needs mode=N and/or option=N");
    for (size_t i = 2; i < w.size(); ++i) {
      const std::string& a = w[i];
      const bool isMode = a.rfind("mode=", 0) == 0, isOption = a.rfind("option=", 0) == 0;
      const std::string value = a.substr(a.find('=') + 1);
      const int number = value.size() == 1 && std::isdigit(static_cast<unsigned char>(value[0]))
                             ? value[0] - '0'
                             : -1;
      if (isMode && number >= kFirstCalMode && number <= kLastCalMode) {
        mode = number;
      } else if (isOption && number >= 0 && number < kCalOptionCount) {
        option = number;
      } else if (isMode || isOption) {
        return Error(kExitUsage, isMode ? "mode takes 2 (four targets), 3 (five) or 4 (nine)"
                                        : "option takes 0, 1, 2 or 3");
      } else {
        return Usage("calibration set takes mode=N and option=N, not \"" + a + "\"");
      }
    }
    if (const int status = Connect()) return status;
    CalibrationExchange exchange;
    CalibrationAnswers answers;
    ListenForCalibration(exchange, answers);
    if (const int status = CalibrationRead(exchange)) return status;
    if (option) exchange.ChooseOption(*option);
    if (mode) exchange.ChooseMode(*mode);
    exchange.BeginApply();
    if (const int status = Ask(kCommandChannel, exchange.OptionWrite())) return status;
    if (const int status = Ask(kCalibrationChannel, exchange.ModeWrite())) return status;
    if (!exchange.State().applyOk)
      return Error(kExitFailed, "the controller refused the calibration mode or option");
    return kExitDone;
  }

  int CalibrationExport(const std::string& file) {
    if (file.empty()) return Usage("the file name is empty");
    if (const int status = Connect()) return status;
    CalibrationExchange exchange;
    CalibrationAnswers answers;
    ListenForCalibration(exchange, answers);
    if (const int status = CalibrationRead(exchange)) return status;
    exchange.BeginExport();
    if (const int status = Ask(kCalibrationChannel, CalibrationExchange::Request(CAL_READ_DATA)))
      return status;
    if (!answers.record) {
      return Error(kExitFailed, "the controller holds no record that can be exported (mode " +
                                    std::to_string(exchange.State().calMode) +
                                    "; modes 3 and 4 keep one)");
    }
    if (WriteCalibrationFile(file, *answers.record) != CalibrationFileResult::Done)
      return Error(kExitFailed, "cannot write " + file);
    return kExitDone;
  }

  int CalibrationImport(const std::string& file) {
    if (file.empty()) return Usage("the file name is empty");
    CalibrationRecord record{};
    if (ReadCalibrationFile(file, record) != CalibrationFileResult::Done)
      return Error(kExitFailed, file + " cannot be read or is damaged; nothing was sent");
    return CalibrationChange(CalibrationExchange::RecordWrite(record),
                             "the controller refused the calibration record");
  }

  int CalibrationReset() {
    return CalibrationChange(CalibrationExchange::Request(CAL_RESET),
                             "the controller refused to restore its calibration");
  }

  // A calibration request that the controller answers as saved or refused.
  int CalibrationChange(const FrameBuffer& request, const std::string& refused) {
    if (const int status = Connect()) return status;
    CalibrationExchange exchange;
    CalibrationAnswers answers;
    ListenForCalibration(exchange, answers);
    if (const int status = Ask(kCalibrationChannel, request)) return status;
    if (answers.message != kMsgSaved) return Error(kExitFailed, refused);
    return kExitDone;
  }

  // ---- monitor ----

  int Monitor() {
    if (const int status = Connect()) return status;
    std::atomic<bool> gone{false};
    const auto watch = session_->Link().WatchDevices([&gone](const DeviceNotice& notice) {
      if (notice.kind == DeviceNotice::Kind::Removal) gone = true;
    });
    session_->OnAnswers(
        [this](std::span<const uint8_t> frame) { out_ << FrameLine(frame) << std::endl; });
    while (!gone && !(context_.stopRequested && context_.stopRequested()))
      session_->Link().Pause(kMonitorWait);
    if (gone) return Error(kExitFailed, "the controller went away");
    return kExitDone;
  }

  const CtlContext& context_;
  const Options options_;
  std::ostream& out_;
  std::ostream& err_;
  std::unique_ptr<Session> session_;
};

std::optional<Options> ParseOptions(std::span<const std::string> args, std::ostream& err) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      o.json = true;
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--device" && i + 1 < args.size()) {
      o.device = args[++i];
    } else if (a.rfind("--device=", 0) == 0) {
      o.device = a.substr(9);
    } else if (a.rfind("-", 0) == 0 && a.size() > 1) {
      err << "orvellectl: unknown option " << a << " (orvellectl --help shows the options)\n";
      return std::nullopt;
    } else {
      o.words.push_back(a);
    }
  }
  return o;
}

std::atomic<bool> stopSignalled{false};

void OnStopSignal(int) {
  stopSignalled = true;
}

}  // namespace

CtlContext SystemContext() {
  static_assert(std::atomic<bool>::is_always_lock_free);
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  CtlContext context;
  context.stopRequested = [] { return stopSignalled.load(); };
  context.makeBus = [] { return MakeDefaultBus(); };
  context.profile = CtlProfile();
  context.windowsClass = WindowsClass(SystemOsVersion());
  context.out = &std::cout;
  context.err = &std::cerr;
  return context;
}

int RunCtl(std::span<const std::string> args, const CtlContext& context) {
  std::optional<Options> options = ParseOptions(args, *context.err);
  if (!options) return kExitUsage;
  return Runner(context, std::move(*options)).Run();
}

}  // namespace orvelle::ctl
