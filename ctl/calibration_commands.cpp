// calibration show, set, start, export, import and reset: the calibration page's
// exchange without its window.
#include <cctype>
#include <optional>

#include "console/core/calibration_file.h"
#include "console/core/calibration_page.h"
#include "console/core/message_ids.h"
#include "console/core/pacing.h"
#include "console/core/program_launch.h"
#include "ctl/command_groups.h"
#include "ctl/file_refusal.h"
#include "ctl/text.h"

namespace orvelle::ctl {
namespace {

using namespace orvelle::console;

struct CalibrationAnswers {
  std::optional<CalibrationRecord> record;
  int message = 0;
};

void Listen(Invocation& run, CalibrationExchange& exchange, CalibrationAnswers& answers) {
  run.Controller().OnAnswers([&exchange, &answers](std::span<const uint8_t> frame) {
    CalibrationAnswerEffect effect = exchange.HandleFrame(frame);
    if (effect.recordToExport) answers.record = effect.recordToExport;
    if (effect.message != 0) answers.message = effect.message;
  });
}

// The page's refresh: the option, then the mode.
int Read(Invocation& run, CalibrationExchange& exchange) {
  if (const int status =
          run.Ask(kCommandChannel, CalibrationExchange::OptionRead(), kPauseAfterRead))
    return status;
  if (const int status =
          run.Ask(kCalibrationChannel, CalibrationExchange::Request(CAL_GET_MODE), kPauseAfterRead))
    return status;
  const CalibrationPageState& s = exchange.State();
  if (!s.optionKnown || !s.modeKnown) {
    return run.Error(
        kExitNoAnswer,
        "the controller's answers could not be read: no valid calibration mode and option");
  }
  return kExitDone;
}

// A calibration request that the controller answers as saved or refused.
int Change(Invocation& run, const FrameBuffer& request, std::chrono::milliseconds pauseAfter,
           const std::string& refused) {
  if (const int status = run.Connect()) return status;
  CalibrationExchange exchange;
  CalibrationAnswers answers;
  Listen(run, exchange, answers);
  if (const int status = run.Ask(kCalibrationChannel, request, pauseAfter)) return status;
  if (answers.message != kMsgSaved) return run.Error(kExitFailed, refused);
  return kExitDone;
}

}  // namespace

int RunCalibrationShow(Invocation& run) {
  if (const int status = run.Connect()) return status;
  CalibrationExchange exchange;
  CalibrationAnswers answers;
  Listen(run, exchange, answers);
  if (const int status = Read(run, exchange)) return status;
  const CalibrationPageState& s = exchange.State();
  if (run.Given().json) {
    run.PrintJson({{"mode", s.calMode}, {"option", s.calOption}});
  } else {
    run.Out() << "mode=" << s.calMode << "\noption=" << s.calOption << "\n";
  }
  return kExitDone;
}

int RunCalibrationSet(Invocation& run) {
  std::optional<int> mode, option;
  const std::vector<std::string>& w = run.Words();
  if (w.size() < 3) return run.Usage("calibration set needs mode=N and/or option=N");
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
      return run.Error(kExitUsage, isMode ? "mode takes 2 (four targets), 3 (five) or 4 (nine)"
                                          : "option takes 0, 1, 2 or 3");
    } else {
      return run.Usage("calibration set takes mode=N and option=N, not " + QuoteGiven(a));
    }
  }
  if (const int status = run.Connect()) return status;
  CalibrationExchange exchange;
  CalibrationAnswers answers;
  Listen(run, exchange, answers);
  if (const int status = Read(run, exchange)) return status;
  if (option) exchange.ChooseOption(*option);
  if (mode) exchange.ChooseMode(*mode);
  exchange.BeginApply();
  if (const int status = run.Ask(kCommandChannel, exchange.OptionWrite(), kPauseAfterWrite))
    return status;
  if (const int status = run.Ask(kCalibrationChannel, exchange.ModeWrite(), kPauseAfterWrite))
    return status;
  if (!exchange.State().applyOk)
    return run.Error(kExitFailed, "the controller refused the calibration mode or option");
  // Done when the controller reports what was written.
  exchange.BeginRefresh();
  if (const int status = Read(run, exchange)) return status;
  if (!exchange.AppliedKept())
    return run.Error(kExitFailed, "the controller did not keep the calibration mode and option");
  return kExitDone;
}

int RunCalibrationExport(Invocation& run) {
  const std::string& file = run.Words()[2];
  if (file.empty()) return run.Usage("the file name is empty");
  if (const int status = run.Connect()) return status;
  CalibrationExchange exchange;
  CalibrationAnswers answers;
  Listen(run, exchange, answers);
  if (const int status = Read(run, exchange)) return status;
  exchange.BeginExport();
  if (const int status = run.Ask(kCalibrationChannel, CalibrationExchange::Request(CAL_READ_DATA),
                                 kPauseAfterRead))
    return status;
  const int mode = exchange.State().calMode;
  if (!answers.record && (mode == 3 || mode == 4))
    return run.Error(kExitNoAnswer, "the controller's calibration record could not be read");
  if (!answers.record) {
    return run.Error(kExitFailed, "the controller holds no record that can be exported (mode " +
                                      std::to_string(mode) + "; modes 3 and 4 keep one)");
  }
  if (const int status = run.Stopped()) return status;
  std::string why;
  if (WriteCalibrationFile(file, *answers.record, &why) != CalibrationFileResult::Done)
    return run.Error(kExitFailed, "cannot write " + QuoteGiven(file) + ": " + why);
  return kExitDone;
}

int RunCalibrationImport(Invocation& run) {
  const std::string& file = run.Words()[2];
  if (file.empty()) return run.Usage("the file name is empty");
  InputFileError error;
  // Only the first bytes count, however large a wrongly chosen file is.
  const std::optional<InputFileContent> content =
      ReadInputFile(file, kCalibrationFileLength, error);
  if (!content) return RefuseInputFile(run, file, error);
  const std::optional<CalibrationRecord> record = ParseCalibrationFile(content->bytes);
  if (!record) return run.Error(kExitUsage, QuoteGiven(file) + " is damaged; nothing was sent");
  if (const int status = run.Connect()) return status;
  CalibrationExchange exchange;
  CalibrationAnswers answers;
  Listen(run, exchange, answers);
  exchange.BeginImport(*record);
  if (const int status =
          run.Ask(kCalibrationChannel, CalibrationExchange::RecordWrite(*record), kPauseAfterWrite))
    return status;
  if (!exchange.ImportAwaited())
    return run.Error(kExitFailed, "the controller refused the calibration record");
  // Done when the controller reports the record it was sent.
  if (const int status = run.Ask(kCalibrationChannel, CalibrationExchange::Request(CAL_READ_DATA),
                                 kPauseAfterRead))
    return status;
  if (!exchange.ImportKept())
    return run.Error(kExitFailed, "the controller did not keep the calibration record");
  return kExitDone;
}

// Starts Tessaly by the console's rules, on the controller chosen as every
// command chooses one.
int RunCalibrationStart(Invocation& run) {
  const std::vector<std::string>& w = run.Words();
  std::string screen;
  if (w.size() == 4 && w[2] == "--screen") {
    screen = w[3];
  } else if (w.size() == 3 && w[2].rfind("--screen=", 0) == 0) {
    screen = w[2].substr(9);
  } else if (w.size() != 2) {
    return run.Usage("calibration start takes --screen NAME at most");
  }
  if (w.size() > 2 && screen.empty()) return run.Usage("--screen is empty");
  // Opened here too, so that a frame this user may not open is told as by
  // every command, before Tessaly starts.
  if (const int status = run.Connect()) return status;
  const std::string device = run.Controller().Link().Device();
  // Tessaly holds the controller for its whole run.
  run.LetGo();
  const auto program =
      LocateCalibrationProgram(run.Context().program, run.Context().installedPrograms);
  StartedProgram started;  // left running when the tool ends
  const LaunchResult result = StartProgram(program, CalibrationArguments(device, screen), started);
  if (result != LaunchResult::Started) {
    return run.Error(kExitFailed,
                     "cannot start " + (program.empty() ? std::string(kCalibrationProgramFile)
                                                        : program.string()));
  }
  return kExitDone;
}

int RunCalibrationReset(Invocation& run) {
  return Change(run, CalibrationExchange::Request(CAL_RESET), kPauseAfterReset,
                "the controller refused to restore its calibration");
}

}  // namespace orvelle::ctl
