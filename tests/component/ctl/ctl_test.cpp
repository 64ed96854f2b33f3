#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ctl/commands.h"
#include "ctl/ctl_link.h"
#include "devlink/catalogue.h"
#include "sim/simulated_controller.h"
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

// The simulator's bus with nothing that tells arrivals and removals, as
// hidraw on a machine without udevd.
class UnwatchedBus final : public HidBus {
 public:
  explicit UnwatchedBus(std::shared_ptr<HidBus> bus) : bus_(std::move(bus)) {}
  std::vector<HidCollection> Enumerate() override { return bus_->Enumerate(); }
  std::unique_ptr<HidChannel> Open(const std::string& path, Access access) override {
    return bus_->Open(path, access);
  }
  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback) override { return nullptr; }
  bool Owns(const std::string& path) const override { return bus_->Owns(path); }
  std::vector<SharedReader> ShareReads(std::vector<ReadOpen> opens) override {
    return bus_->ShareReads(std::move(opens));
  }

 private:
  std::shared_ptr<HidBus> bus_;
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
              std::function<bool()> stopRequested = {}, bool watched = true) {
    std::ostringstream out, err;
    const auto makeBus = [this, watched]() -> std::shared_ptr<HidBus> {
      if (watched) return SimOnlyBus(folder_.Path());
      return std::make_shared<UnwatchedBus>(SimOnlyBus(folder_.Path()));
    };
    ctl::CtlContext context{.makeBus = makeBus,
                            .profile = Quick(ctl::CtlProfile(), timeout),
                            .out = &out,
                            .err = &err,
                            .stopRequested = std::move(stopRequested)};
    const int status = ctl::RunCtl(args, context);
    return {status, out.str(), err.str()};
  }

  TempFolder folder_;
  std::vector<std::unique_ptr<SimulatedController>> sims_;
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
      {{"config", "load", file}, document(R"(,"cfg15.value":5001)"), 1, "cfg15.value takes"},
      {{"config", "load", file}, document(R"(,"cfg15.value":"3000")"), 1, "cfg15.value"},
      {{"config", "load", file}, document(""), 1, "cfg15.value is missing"},
      {{"config", "load", file}, document(R"(,"cfg15.value":3000,"x":1)"), 1, "no setting \"x\""},
      {{"config", "load", file}, document(R"(,"cfg15.value":3000.5)"), 1, "cfg15.value"},
      {{"config", "load", file}, "{\"format\":", 1, "not a JSON object"},
      {{"config", "load", file}, R"({"format":"x","version":1,"settings":{}})", 1, "version 1"},
      {{"calibration", "import", file}, "0\r\n1\r\n000\r\n", 1, "damaged"},
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

// A set changes only the named settings; --device alone picks the controller.
TEST_F(CtlTest, SetSaveAndLoadCarryTheSettingsToASecondController) {
  const ControllerState set{.cfg12 = {1, 0, 1},
                            .value14 = 900,
                            .level15 = 10,
                            .value15 = 500,
                            .value16 = 17,
                            .cfg17 = {1, 3, 10, 1},
                            .periodA21 = 180,
                            .periodB21 = 100};
  SimulatedController& first = Add("a", set);
  SimulatedController& second = Add("b");
  ASSERT_EQ(Ctl({"--device", first.Path(), "config", "set", "cfg15.value=1500",
                 "cfg21.period-b=2000", "cfg12.b=on", "cfg17.d=10"})
                .status,
            0);
  ControllerState expected = set;
  expected.value15 = 1500;
  expected.periodB21 = 2000;
  expected.cfg12[1] = 1;
  expected.cfg17[3] = 10;
  EXPECT_EQ(first.State(), expected);
  const std::string file = folder_.File("frame.json");
  ASSERT_EQ(Ctl({"--device", first.Path(), "config", "save", file}).status, 0);
  ASSERT_EQ(Ctl({"--device", second.Path(), "config", "load", file}).status, 0);
  EXPECT_EQ(second.State(), expected);
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
    std::string out;
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
      {{"--device", folder_.File("none"), "info"}, ctl::kExitNoController, ""},
  };
  for (const auto& c : cases) {
    const Outcome run = Ctl(c.args, 200ms);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.err.empty(), c.status == 0) << run.err;
    if (c.args.empty() || c.args[0] != "--json")
      EXPECT_THAT(run.out, HasSubstr(c.out));
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
    return ++polls > 10;
  });
  EXPECT_EQ(run.status, 0) << run.err;
  // Two collections, two readers: the lines may come in either order.
  EXPECT_THAT(run.out,
              HasSubstr("out 06 08 05 07 34 12 10 00 FF  CAL_RAW_POINT x=4660 y=16 touching\n"));
  EXPECT_THAT(run.out, HasSubstr("out 07 02 02 01 00 FF  GET_LAYOUT\n"));
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);

  polls = 0;
  const Outcome gone = Ctl({"monitor"}, 5s, [&] {
    if (polls == 0) sim.Unplug();
    return ++polls > 400;  // only a failing test gets here
  });
  EXPECT_EQ(gone.status, ctl::kExitFailed);
  EXPECT_EQ(gone.err, "orvellectl: the controller went away\n");

  // Without notices (no udevd) the node's own hang-up ends it.
  std::string error;
  ASSERT_TRUE(sim.Plug("", error)) << error;
  polls = 0;
  const Outcome hungUp = Ctl(
      {"monitor"}, 5s,
      [&] {
        if (polls == 0) sim.Unplug();
        return ++polls > 400;
      },
      false);
  EXPECT_EQ(hungUp.status, ctl::kExitFailed);
  EXPECT_EQ(hungUp.err, "orvellectl: the controller went away\n");
}

}  // namespace
}  // namespace orvelle
