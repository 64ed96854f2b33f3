#include "console/core/calibration_page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "console/core/message_ids.h"
#include "console/core/program_launch.h"
#include "tests/support/frames.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

namespace orvelle::console {
namespace {

using testing::Request;

std::vector<uint8_t> Cal(uint8_t code, std::vector<uint8_t> payload) {
  return Request(kCalibrationReportId, code, payload);
}
std::vector<uint8_t> Option(std::initializer_list<uint8_t> payload) {
  return Request(kCommandReportId, CAL_OPTION_13, payload);
}

// Each answer on a page that chose option 1 and mode 3, with mode 2 confirmed
// and an export awaited.
TEST(CalibrationExchange, AnswersChangeThePageAsTheCommandTableSays) {
  // The page state expected is the starting state below with the row's differences.
  using Case =
      std::tuple<const char*, std::vector<uint8_t>, CalibrationAnswerEffect, CalibrationPageState>;
  CalibrationPageState start;
  start.calOption = 1;
  start.calMode = 3;
  const auto with = [&](auto change) {
    CalibrationPageState s = start;
    change(s);
    return s;
  };
  const auto known = [&](int option) {
    return with([&](auto& s) { s.optionKnown = true, s.calOption = option; });
  };
  CalibrationRecord record{};
  record[0] = 4;
  record[40] = 0x99;
  const std::vector<uint8_t> recordPayload(record.begin(), record.end());

  const CalibrationAnswerEffect failed{.message = kMsgOperationFailed},
      notSaved{.message = kMsgNotSavedToFile},
      saved{.message = kMsgSaved, .showMode = true, .repaint = true},
      written{.showMode = true, .repaint = true},
      refused{.message = kMsgOperationFailed, .showMode = true, .repaint = true};
  const Case cases[] = {
      {"option read", Option({1, 3}), {}, known(3)},
      {"option 4", Option({1, 4}), {}, known(4)},
      {"option 5", Option({1, 5}), failed, start},
      {"option length 3", Option({1, 3, 0}), {}, start},
      {"option refused", Option({2, 0}), {}, with([](auto& s) { s.applyOk = false; })},
      {"option written", Option({2, 1}), {}, start},
      {"other command", Request(kCommandReportId, GET_MODEL, {1, 3}), {}, start},
      {"mode read", Cal(CAL_GET_MODE, {4}), {.showMode = true}, with([](auto& s) {
         s.modeKnown = true, s.calMode = s.confirmedMode = 4;
       })},
      {"mode 5", Cal(CAL_GET_MODE, {5}), {}, start},
      {"mode length 2", Cal(CAL_GET_MODE, {4, 0}), {}, start},
      {"mode confirmed", Cal(CAL_SET_MODE, {1}), {}, with([](auto& s) { s.confirmedMode = 3; })},
      {"mode refused, length 2", Cal(CAL_SET_MODE, {0, 0}), {}, start},
      {"mode refused", Cal(CAL_SET_MODE, {0}), {.showMode = true}, with([](auto& s) {
         s.calMode = 2, s.applyOk = false;
       })},
      {"record written", Cal(CAL_WRITE_DATA, {1}), written, start},
      {"record refused", Cal(CAL_WRITE_DATA, {0, 9}), refused, start},
      {"reset", Cal(CAL_RESET, {1}), saved, start},
      {"record read", Cal(CAL_READ_DATA, recordPayload), {.recordToExport = record}, start},
      {"record short", Cal(CAL_READ_DATA, {1, 2}), notSaved, start},
      {"raw point", Cal(CAL_RAW_POINT, {7, 0, 1, 0, 1}), {}, start},
      {"calibration end", Cal(CAL_END, {1}), {}, start},
      {"other report", Request(5, CAL_GET_MODE, {4}), {}, start},
      {"empty", {}, {}, start},
  };
  for (const auto& [name, frame, effect, state] : cases) {
    CalibrationExchange exchange;
    exchange.ChooseOption(1);
    exchange.ChooseMode(3);
    exchange.BeginExport();
    EXPECT_EQ(exchange.HandleFrame(frame), effect) << name;
    EXPECT_EQ(exchange.State(), state) << name;
  }
  // A record nobody asked for is not saved anywhere, nor one of mode 2.
  EXPECT_EQ(CalibrationExchange().HandleFrame(Cal(CAL_READ_DATA, recordPayload)),
            CalibrationAnswerEffect{});
  CalibrationExchange mode2;
  mode2.ChooseMode(2);
  mode2.BeginExport();
  EXPECT_EQ(mode2.HandleFrame(Cal(CAL_READ_DATA, recordPayload)), notSaved);

  // An import is done when the record reads back; Apply when mode and option do.
  for (const uint8_t last : {0x99, 0x98}) {
    CalibrationExchange import;
    import.BeginImport(record);
    import.HandleFrame(Cal(CAL_WRITE_DATA, {1}));
    ASSERT_TRUE(import.ImportAwaited());
    std::vector<uint8_t> readBack = recordPayload;
    readBack[40] = last;
    EXPECT_EQ(import.HandleFrame(Cal(CAL_READ_DATA, readBack)), CalibrationAnswerEffect{});
    EXPECT_EQ(import.ImportKept(), last == 0x99);
  }
  CalibrationExchange refusedImport;
  refusedImport.BeginImport(record);
  refusedImport.HandleFrame(Cal(CAL_WRITE_DATA, {0}));
  EXPECT_FALSE(refusedImport.ImportAwaited());
  for (const uint8_t mode : {3, 4}) {
    CalibrationExchange apply;
    apply.ChooseOption(1);
    apply.ChooseMode(3);
    apply.BeginApply();
    apply.BeginRefresh();
    apply.HandleFrame(Option({1, 1}));
    apply.HandleFrame(Cal(CAL_GET_MODE, {mode}));
    EXPECT_EQ(apply.AppliedKept(), mode == 3);
  }
}

TEST(CalibrationPage, RadioAndPictureRules) {
  const std::tuple<int, std::array<bool, 4>, int> radios[] = {
      {2, {false, true, true, false}, 2},
      {2, {false, true, false, false}, 1},
      {3, {false, false, false, false}, 2},  // none checked: the one not tested
  };
  for (const auto& [clicked, checked, value] : radios)
    EXPECT_EQ(ChosenRadio(clicked, checked), value) << clicked;
  const PictureArea area{10, 20, 200, 100};
  const std::tuple<int, int, PictureArea> fits[] = {
      {400, 100, {10, 45, 200, 50}},
      {100, 100, {10, -30, 200, 200}},
      {50, 100, {85, 20, 50, 100}},
      {0, 10, {10, 20, 0, 0}},
  };
  for (const auto& [width, height, placed] : fits)
    EXPECT_EQ(FitPicture(area, width, height), placed) << width;
}

// Modes and scripts: POSIX launching.
#ifndef _WIN32
TEST(ProgramLaunch, TheProgramComesFromTheConsolesFolderElseTheInstalledOne) {
  testing::TempFolder folder;
  namespace fs = std::filesystem;
  const fs::path own = fs::path(folder.Path()) / "own", installed = fs::path(folder.Path()) / "bin";
  fs::create_directories(own);
  fs::create_directories(installed);
  const auto place = [](const fs::path& file, const char* content, fs::perms perms) {
    std::ofstream(file) << content;
    fs::permissions(file, perms);
  };
  const fs::path console = own / "OrvelleConsole";
  EXPECT_EQ(LocateCalibrationProgram(console, installed), own / kCalibrationProgramFile);
  EXPECT_EQ(LocateCalibrationProgram("OrvelleConsole", "bin"), fs::path());  // never relative
  // It runs until the test lets it end.
  place(installed / kCalibrationProgramFile,
        "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args\"\n"
        "while [ ! -e \"$0.go\" ]; do sleep 0.01; done\n",
        fs::perms::owner_all);
  EXPECT_EQ(LocateCalibrationProgram(console, installed), installed / kCalibrationProgramFile);
  place(own / kCalibrationProgramFile, "not a program", fs::perms::owner_read);
  EXPECT_EQ(LocateCalibrationProgram(console, installed), own / kCalibrationProgramFile);

  const std::pair<fs::path, LaunchResult> cases[] = {
      {installed / kCalibrationProgramFile, LaunchResult::Started},
      {own / "missing", LaunchResult::FileNotFound},
      {own / "gone" / "Tessaly", LaunchResult::FolderNotFound},
      {own / kCalibrationProgramFile, LaunchResult::NotExecutable},
      {installed, LaunchResult::NotExecutable},
      {{}, LaunchResult::FileNotFound},
  };
  for (const auto& [program, result] : cases) {
    StartedProgram started;
    EXPECT_EQ(StartProgram(program, CalibrationArguments("/run/sim/touch 2", "HDMI 1"), started),
              result)
        << program;
    EXPECT_EQ(started.Id() != 0, result == LaunchResult::Started);
    if (started.Id() == 0) continue;
    EXPECT_FALSE(started.HasEnded());
    std::ofstream(program.string() + ".go");
    EXPECT_TRUE(testing::WaitUntil([&] { return started.HasEnded(); })) << "its end is seen";
  }
  // The controller's path and the screen's name arrive as one word each, however spelt.
  std::ifstream arguments(installed / "Tessaly.args");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(arguments), {}),
            "--device|/run/sim/touch 2|--screen|HDMI 1|");
  EXPECT_TRUE(CalibrationArguments("", "").empty());
}
#endif

}  // namespace
}  // namespace orvelle::console
