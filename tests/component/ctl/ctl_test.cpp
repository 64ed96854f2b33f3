#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "console/core/controller_choice.h"
#include "console/core/info_page.h"
#include "console/core/pacing.h"
#include "ctl/commands.h"
#include "ctl/ctl_link.h"
#include "devlink/protocol.h"
#include "platform/file_registry.h"
#include "sim/simulated_controller.h"
#include "tests/support/e2e/child_process.h"
#include "tests/support/sim_fixture.h"

namespace orvelle {
namespace {

using namespace testing;
using ::testing::HasSubstr;
using namespace std::chrono_literals;
using Json = nlohmann::json;

struct Outcome {
  int status = -1;
  std::string out, err;
};

// The tool's standard output, which monitor writes from its reader threads,
// readable by the test while the command runs.
class SharedOutput : public std::stringbuf {
 public:
  std::string Text() {
    std::lock_guard lock(mutex_);
    return str();
  }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard lock(mutex_);
    return std::stringbuf::xsputn(s, n);
  }
  int_type overflow(int_type c) override {
    std::lock_guard lock(mutex_);
    return std::stringbuf::overflow(c);
  }

 private:
  std::recursive_mutex mutex_;
};

class CtlTest : public ::testing::Test {
 protected:
  SimulatedController& Add(const std::string& name, ControllerState state = {}) {
    sims_.push_back(std::make_unique<SimulatedController>(
        SimControllerOptions{.socketPath = folder_.File(name), .initialState = std::move(state)}));
    std::string error;
    EXPECT_TRUE(sims_.back()->Start(error)) << error;
    return *sims_.back();
  }

  Outcome Ctl(std::vector<std::string> args, std::chrono::milliseconds timeout = 5s,
              std::function<int()> stopSignal = {}) {
    output_ = std::make_unique<SharedOutput>();
    std::ostream out(redirected_ ? std::exchange(redirected_, nullptr) : output_.get());
    std::ostringstream err;
    ctl::CtlContext context{.makeBus = [this] { return SimOnlyBus(folder_.Path()); },
                            .profile = Quick(ctl::CtlProfile(), timeout),
                            .settings = settings_,
                            .program = program_,
                            .out = &out,
                            .err = &err,
                            .stopSignal = std::move(stopSignal),
                            .recordPauses = [this](auto pause) { pauses_.push_back(pause); }};
    pauses_.clear();
    const int status = ctl::RunCtl(args, context);
    return {status, output_->Text(), err.str()};
  }
  // What the running command has printed so far.
  size_t LinesPrinted() {
    const std::string text = output_->Text();
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  }

  TempFolder folder_, settingsFolder_;
  std::shared_ptr<FileRegistry> settings_ = std::make_shared<FileRegistry>(settingsFolder_.Path());
  std::vector<std::unique_ptr<SimulatedController>> sims_;
  std::vector<std::chrono::milliseconds> pauses_;  // of the last run
  std::unique_ptr<SharedOutput> output_;           // of the last run
  std::streambuf* redirected_ = nullptr;           // the next run's output instead of output_
  std::filesystem::path program_;                  // where orvellectl would lie
};

TEST_F(CtlTest, ValuesNoControlHoldsAreRefusedBeforeAnythingIsSent) {
  SimulatedController& sim = Add("a");
  const std::string good = R"("cfg12.a":"on","cfg12.b":"off","cfg12.c":"off","cfg16.on":"on",
    "cfg16.value":5,"cfg17.a":5,"cfg17.b":5,"cfg17.c":4,"cfg17.d":4,"cfg21.on":"on",
    "cfg21.period-a":30,"cfg21.period-b":500,"cfg15.on":"on","cfg15.level":5,"cfg14.on":"on",
    "cfg14.level":5,"cfg14.value":500)";
  const auto document = [&](const std::string& more) {
    return R"({"format":"orvelle-config","version":1,"settings":{)" + good + more + "}}";
  };
  const std::string file = folder_.File("input");
  const struct {
    std::vector<std::string> args;
    std::string file;  // the content of `file`
    int status;
    std::string named;
  } cases[] = {
      {{"config", "set", "cfg15.value=1234"}, "", 2, "takes 500 to 5000 in steps of 500"},
      {{"config", "set", "cfg14.value=1100"}, "", 2, "cfg14.value"},  // above ten steps
      {{"config", "set", "cfg21.period-a=7"}, "", 2, "cfg21.period-a takes one of 3, 5"},
      {{"config", "set", "cfg21.period-b=400"}, "", 2, "cfg21.period-b"},
      {{"config", "set", "cfg17.a=6"}, "", 2, "cfg17.a takes 1 to 5"},
      {{"config", "set", "cfg16.value=21"}, "", 2, "cfg16.value takes 0 to 20"},
      {{"config", "set", "cfg12.a=yes"}, "", 2, "cfg12.a takes on or off"},
      {{"config", "set", "cfg12.a=on", "volume=3"}, "", 2, "no setting \"volume\""},
      {{"config", "set", "cfg12.a"}, "", 2, "not KEY=VALUE"},
      {{"config", "set", "touch.setting=2"}, "", 2, "Windows 7"},
      {{"calibration", "set", "mode=5"}, "", 2, "mode takes"},
      {{"calibration", "set", "option=4"}, "", 2, "option takes"},
      {{"config", "load", file}, document(R"(,"cfg15.value":5001)"), 2, "cfg15.value takes"},
      {{"config", "load", file}, document(R"(,"cfg15.value":"3000")"), 2, "cfg15.value"},
      {{"config", "load", file}, document(""), 2, "settings.cfg15.value: is missing"},
      {{"config", "load", file}, document(R"(,"cfg15.value":3000,"x":1)"), 2, "settings.x: there"},
      {{"config", "load", file}, document(R"(,"cfg15.value":3000.5)"), 2, "cfg15.value"},
      {{"config", "load", file}, document(R"(,"cfg15.value":3000},"":{)"), 2, R"("": no member)"},
      {{"config", "load", file}, "{\"format\":", 2, "not a JSON object"},
      {{"config", "load", file}, R"({"format":"x","version":1,"settings":{}})", 2, "format"},
      {{"config", "load", file}, R"({"format":1,"version":1,"settings":{}})", 2, "format"},
      {{"config", "load", file}, R"({"format":"orvelle-config","version":"1"})", 2, "version"},
      {{"config", "load", file},
       R"({"format":"orvelle-config","version":1,"settings":[]})",
       2,
       "settings"},
      {{"calibration", "import", file}, "0\r\n1\r\n000\r\n", 2, "damaged"},
      {{"config", "load", folder_.Path()}, "", 2, "not a regular file"},
      {{"config", "load", folder_.File("none")}, "", 1, "cannot read"},
  };
  for (const auto& c : cases) {
    std::ofstream(file, std::ios::binary) << c.file;
    const Outcome run = Ctl(c.args);
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(run.status, c.status);
    EXPECT_THAT(run.err, HasSubstr(c.named));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line";
    EXPECT_EQ(sim.Events().Count([](const SimEvent& e) { return e.kind == SimEvent::Kind::In; }, 0),
              0u);
  }
}

// Every setting at both of its limits, switched off, and a value the controller holds beyond
// the page's range: the file carries them to another controller, loads back unchanged, and load
// writes only the groups that differ. --device alone picks among the controllers.
TEST_F(CtlTest, SaveThenLoadRoundTripsEverySettingAtItsLimits) {
  const ControllerState lows{.cfg12 = {0, 0, 0},
                             .level14 = 1,
                             .value14 = 100,
                             .level15 = 1,
                             .value15 = 500,
                             .value16 = 0,
                             .cfg17 = {1, 1, 1, 1},
                             .periodA21 = 3,
                             .periodB21 = 100};
  const ControllerState highs{.cfg12 = {1, 1, 1},
                              .level14 = 10,
                              .value14 = 1000,
                              .level15 = 10,
                              .value15 = 5000,
                              .value16 = 20,
                              .cfg17 = {5, 5, 10, 10},
                              .periodA21 = 180,
                              .periodB21 = 2000};
  const ControllerState off{.on14 = 0, .on15 = 0, .on16 = 0, .on21 = 0};
  const ControllerState held{.cfg12 = {1, 0, 1}, .value16 = 25, .cfg17 = {1, 3, 10, 1}};
  const struct {
    ControllerState saved, other;
    int loadOnOther;
  } cases[] = {{lows, highs, 0}, {highs, lows, 0}, {off, highs, 0}, {held, lows, 2}};
  const auto writes = [](SimulatedController& sim, uint64_t after) {
    return sim.Events().Count(
        [](const SimEvent& e) {
          return e.kind == SimEvent::Kind::In && e.bytes.size() > 3 && e.bytes[3] == kSubWrite;
        },
        after);
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(n);
    SimulatedController& saved = Add("saved" + std::to_string(n), c.saved);
    SimulatedController& other = Add("other" + std::to_string(n++), c.other);
    const std::string file = folder_.File("saved.json"), again = folder_.File("again.json");
    ASSERT_EQ(Ctl({"--device", saved.Path(), "config", "save", file}).status, 0);
    const uint64_t before = saved.Events().LastSeq();
    EXPECT_EQ(Ctl({"--device", saved.Path(), "config", "load", file}).status, 0);
    EXPECT_EQ(writes(saved, before), 0u);
    EXPECT_EQ(saved.State(), c.saved);
    const Outcome load = Ctl({"--device", other.Path(), "config", "load", file});
    EXPECT_EQ(load.status, c.loadOnOther) << load.err;
    if (load.status != 0) continue;
    ASSERT_EQ(Ctl({"--device", other.Path(), "config", "save", again}).status, 0);
    EXPECT_EQ(e2e::ReadFile(again), e2e::ReadFile(file));
  }
  // A set writes the groups it names only, keeping their other settings, whatever the
  // controller holds elsewhere.
  SimulatedController& sim = Add("held", held);
  const uint64_t before = sim.Events().LastSeq();
  EXPECT_EQ(Ctl({"--device", sim.Path(), "config", "set", "cfg12.b=on", "cfg17.d=10"}).status, 0);
  EXPECT_EQ(writes(sim, before), 2u);
  ControllerState expected = held;
  expected.cfg12[1] = 1;
  expected.cfg17[3] = 10;
  EXPECT_EQ(sim.State(), expected);
}

// With several controllers nothing is reached by chance; the console and the tool rank them
// alike. A path that is no UTF-8 still gives a JSON list.
TEST_F(CtlTest, SeveralControllersAreNeverChosenByChance) {
  SimulatedController& first = Add("a");
  SimulatedController& second = Add("b\xff");
  const Json found = Json::parse(Ctl({"--json", "list"}).out, nullptr, false);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0]["path"], first.Path());
  EXPECT_TRUE(found[0]["shownByConsole"] == true && found[1]["shownByConsole"] == false);
  ASSERT_TRUE(console::RememberController(*settings_, second.Path()));
  EXPECT_EQ(Json::parse(Ctl({"--json", "list"}).out)[1]["shownByConsole"], true)
      << "the console's kept choice";
  const std::vector<std::string> refused[] = {
      {"info"}, {"config", "set", "cfg12.a=on"}, {"--device=", "info"}, {"--device", "", "info"}};
  for (const auto& args : refused) {
    const Outcome run = Ctl(args);
    EXPECT_EQ(run.status, ctl::kExitUsage) << args[0];
    if (args.size() == 1) {
      EXPECT_THAT(run.err, HasSubstr(second.Path()));
    }
  }
  const auto in = [](const SimEvent& e) { return e.kind == SimEvent::Kind::In; };
  EXPECT_EQ(first.Events().Count(in, 0) + second.Events().Count(in, 0), 0u);
  EXPECT_EQ(Ctl({"--device", second.Path(), "info"}).status, 0);
}

// The pauses of the pages: after each read, each write, and a reset; a write
// is read back.
TEST_F(CtlTest, ExchangesArePacedAsOnThePages) {
  Add("a");
  using Pauses = std::vector<std::chrono::milliseconds>;
  const auto read = console::kPauseAfterRead, write = console::kPauseAfterWrite;
  // `before`, then `count` reads, then `after`.
  const auto reads = [&](Pauses before, size_t count, Pauses after = {}) {
    before.insert(before.end(), count, read);
    before.insert(before.end(), after.begin(), after.end());
    return before;
  };
  const struct {
    std::vector<std::string> args;
    Pauses pauses;
  } cases[] = {
      {{"info"}, reads({}, 6)},
      {{"config", "show"}, reads({}, 6)},
      {{"config", "reset"}, reads({console::kPauseAfterReset}, 6)},
      {{"config", "set", "cfg12.a=on", "cfg12.b=on"}, reads({}, 6, {write, read})},
      {{"calibration", "set", "mode=3"}, reads({}, 2, {write, write, read, read})},
      {{"calibration", "reset"}, {console::kPauseAfterReset}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Ctl(c.args).status, 0) << c.args[0];
    EXPECT_EQ(pauses_, c.pauses) << c.args[0];
  }
}

// A refused write and one that fails are not silence; answers that the page cannot read are
// no values.
TEST_F(CtlTest, ExitStatusTellsFailureFromSilence) {
  SimulatedController& sim = Add("a");
  const auto in = [](const SimEvent& e) { return e.kind == SimEvent::Kind::In; };
  const Outcome refused = Ctl({"config", "set", "cfg12.a=on"}, 5s, [&] {
    if (sim.Events().Count(in, 0) == 6)  // every read answered: the write is refused
      sim.SetFault({kCommandReportId, CFG_12}, {FaultKind::Refuse, true});
    return 0;
  });
  EXPECT_EQ(
      std::tie(refused.status, refused.err),
      std::tuple(ctl::kExitFailed, "orvellectl: the controller refused the settings of CFG_12\n"));
  int asks = 0;
  const Outcome gone = Ctl({"config", "show"}, 5s, [&] {
    if (++asks == 3) sim.Unplug();
    return 0;
  });
  EXPECT_EQ(gone.status, ctl::kExitFailed) << gone.err;
  std::string error;
  ASSERT_TRUE(sim.Plug("", error)) << error;
  // Refused, or answered in the other collection's frame.
  const FaultRule otherFrame{FaultKind::Malformed, false, {}, MalformKind::ReportId};
  const std::tuple<std::vector<std::string>, std::vector<CommandKey>, FaultRule> cases[] = {
      {{"info"}, {{kCommandReportId, GET_INFO_F5}, {kCommandReportId, GET_LAYOUT}}, {}},
      {{"config", "show"}, {{kCommandReportId, CFG_12}}, otherFrame},
      {{"calibration", "show"}, {{kCalibrationReportId, CAL_GET_MODE}}, otherFrame},
  };
  for (const auto& [args, faulty, rule] : cases) {
    sim.ClearFaults();
    for (const CommandKey& key : faulty)
      sim.SetFault(key, rule);
    const Outcome run = Ctl(args);
    EXPECT_EQ(std::tie(run.status, run.out), std::tuple(ctl::kExitNoAnswer, "")) << run.err;
  }
}

// Tessaly comes from the tool's own folder, for the controller and the screen asked for; never
// from a relative folder or the search path.
TEST_F(CtlTest, CalibrationStartRunsTessalyByTheConsolesRules) {
  Add("a");
  const std::string b = Add("b").Path();
  const TempFolder programs;
  const std::string tessaly = programs.File("Tessaly"), started = programs.File("started");
  std::ofstream(tessaly) << "#!/bin/sh\necho \"$@\" > " << started << ".new && mv " << started
                         << ".new " << started << "\n";
  std::filesystem::permissions(tessaly, std::filesystem::perms::owner_all);
  program_ = programs.File("orvellectl");
  EXPECT_EQ(Ctl({"calibration", "start", "--screen", "HDMI-1"}).status, ctl::kExitUsage);
  EXPECT_EQ(Ctl({"calibration", "start", "--device", b, "--screen", "HDMI-1"}).status, 0);
  EXPECT_TRUE(e2e::WaitUntil(
      [&] { return e2e::ReadFile(started) == "--device " + b + " --screen HDMI-1\n"; }, 10s));
  program_ = "orvellectl";
  EXPECT_EQ(Ctl({"--device", b, "calibration", "start"}).status, ctl::kExitFailed);
  EXPECT_EQ(Ctl({"calibration", "start", "--screen="}).status, ctl::kExitUsage);
}

TEST_F(CtlTest, ExportResetImportRestoresTheCalibrationRecord) {
  ControllerState state{.calMode = 3};
  state.record.headerA = 3;
  state.record.flags = {1, 0, 1};
  state.record.x = {2048, 100, 2048, 3990, 4000, 3980, 2050, 120, 90};
  state.record.y = {2048, 80, 70, 60, 2040, 4010, 3990, 4000, 2030};
  SimulatedController& sim = Add("a", state);
  const std::string file = folder_.File("frame.cal");
  ASSERT_EQ(Ctl({"calibration", "export", file}).status, 0);
  ASSERT_EQ(Ctl({"calibration", "reset"}).status, 0);
  ASSERT_EQ(sim.State().record, ControllerState::FactoryRecord());
  ASSERT_EQ(Ctl({"calibration", "import", file}).status, 0);
  EXPECT_EQ(sim.State().record, state.record);
}

// In order: the first info meets the silent rule. A controller's texts are bytes
// of no code page: the terminal gets no control characters, JSON valid UTF-8.
TEST_F(CtlTest, CommandLinesExitAndPrint) {
  const Outcome none = Ctl({"info"});
  EXPECT_EQ(std::tie(none.status, none.err),
            std::tuple(ctl::kExitNoController, "orvellectl: no controller found\n"));
  SimulatedController& sim = Add("a", {.modelText = "A\x1b[2J\xe9"});
  sim.SetFault({kCommandReportId, CFG_RESET}, {FaultKind::Refuse});
  sim.SetFault({kCalibrationReportId, CAL_WRITE_DATA}, {FaultKind::Refuse});
  sim.SetFault({kCommandReportId, GET_INFO_F4}, {FaultKind::Silent, true});
  const std::string record = folder_.File("r.cal");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;  // or error
  } cases[] = {
      {{"info"}, ctl::kExitNoAnswer, ""},
      {{"info"}, ctl::kExitDone, "model:       A?[2J\xc3\xa9\n"},
      {{"--json", "info"}, ctl::kExitDone, "/model"},
      {{"--json", "list"}, ctl::kExitDone, "/0/productId"},
      {{"--json", "config", "show"}, ctl::kExitDone, "/settings/cfg21.period-b"},
      {{"--json", "calibration", "show"}, ctl::kExitDone, "/mode"},
      {{"config", "show"}, ctl::kExitDone, "cfg21.period-b=500\n"},
      {{"list"}, ctl::kExitDone, "2a5c:0013"},
      {{"--help"}, ctl::kExitDone, "usage"},
      {{"config", "--help"}, ctl::kExitDone, "config"},
      {{"calibration", "export", record}, ctl::kExitDone, ""},
      {{"config", "reset"}, ctl::kExitFailed, ""},
      {{"calibration", "import", record}, ctl::kExitFailed, ""},
      {{}, ctl::kExitUsage, ""},
      {{"frobnicate"}, ctl::kExitUsage, ""},
      {{"config"}, ctl::kExitUsage, ""},
      {{"--colour", "info"}, ctl::kExitUsage, ""},
      {{"config", "save"}, ctl::kExitUsage, ""},
      {{"--device", folder_.File("no\nne"), "info"}, ctl::kExitNoController, "no\\nne\""},
      {{"calibration", "export", folder_.File("none/r.cal")},
       ctl::kExitFailed,
       "r.cal\": No such file or directory\n"},
      {{"--version"}, ctl::kExitDone, "orvellectl 1.0.0\n"},
  };
  for (const auto& c : cases) {
    // Only the silent answer waits for the time-out; others end the wait at once.
    const Outcome run = Ctl(c.args, c.status == ctl::kExitNoAnswer ? 200ms : 10s);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), c.status == 0 ? 0 : 1) << run.err;
    if (c.args.empty() || c.args[0] != "--json")
      EXPECT_THAT(run.out + run.err, HasSubstr(c.out));
    else  // a document that does not parse contains nothing
      EXPECT_TRUE(Json::parse(run.out, nullptr, false).contains(Json::json_pointer(c.out)))
          << run.out;
  }
  EXPECT_EQ(Json::parse(Ctl({"--json", "info"}).out)["model"], "A\x1b[2J\xc3\xa9");
}

TEST_F(CtlTest, MonitorShowsEachFrameUntilStoppedOrTheControllerGoes) {
  SimulatedController& sim = Add("a");
  const uint8_t point[] = {kTouchStateTouching, 0x34, 0x12, 0x10, 0x00};
  const uint8_t layout[] = {1, 0};
  int polls = 0;
  const Outcome run = Ctl({"monitor"}, 5s, [&] {
    if (polls == 0) {
      sim.SendFrame(kCalibrationReportId, CAL_RAW_POINT, point);
      sim.SendFrame(kCommandReportId, GET_LAYOUT, layout);
    }
    return LinesPrinted() == 2 || ++polls > 400 ? SIGINT : 0;  // 400: only when failing
  });
  EXPECT_EQ(run.status, 128 + SIGINT) << run.err;
  // Two collections, two readers: the lines may come in either order.
  EXPECT_THAT(run.out,
              HasSubstr("out 06 08 05 07 34 12 10 00 FF  CAL_RAW_POINT x=4660 y=16 touching\n"));
  EXPECT_THAT(run.out, HasSubstr("out 07 02 02 01 00 FF  GET_LAYOUT\n"));
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);

  // A line that cannot be written ends it.
  std::filebuf full;
  ASSERT_TRUE(full.open("/dev/full", std::ios::out));
  redirected_ = &full;
  polls = 0;
  const Outcome lost = Ctl({"monitor"}, 5s, [&] {
    if (polls == 0) sim.SendFrame(kCommandReportId, GET_LAYOUT, layout);
    return ++polls > 400 ? SIGINT : 0;  // only a failing test gets here
  });
  EXPECT_EQ(lost.status, ctl::kExitWriteError);
  EXPECT_EQ(lost.err, "orvellectl: write error: No space left on device\n");

  // monitor asks for no device notices (hidraw without udevd has none): the
  // node's own hang-up ends it.
  polls = 0;
  const Outcome gone = Ctl({"monitor"}, 5s, [&] {
    if (polls == 0) sim.Unplug();
    return ++polls > 400 ? SIGINT : 0;  // only a failing test gets here
  });
  EXPECT_EQ(gone.status, ctl::kExitFailed);
  EXPECT_EQ(gone.err, "orvellectl: the controller went away\n");
}

}  // namespace
}  // namespace orvelle
