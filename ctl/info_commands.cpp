// list and info: the controllers found, and what the information page shows.
#include "console/core/controller_choice.h"
#include "console/core/info_page.h"
#include "console/core/pacing.h"
#include "ctl/command_groups.h"
#include "ctl/text.h"
#include "platform/hex_text.h"

namespace orvelle::ctl {
namespace {

using namespace orvelle::console;

std::string Name(const FoundController& f) {
  return f.simulated ? "simulated touch controller" : "touch controller";
}

}  // namespace

int RunList(Invocation& run) {
  std::shared_ptr<HidBus> bus = run.Context().makeBus();
  const std::vector<FoundController> found = FindControllers(*bus, run.Context().profile);
  const std::shared_ptr<Registry>& settings = run.Context().settings;
  const std::string shown =
      ControllerToShow(found, settings ? RememberedController(*settings) : std::string());
  if (run.Given().json) {
    Json list = Json::array();
    for (const FoundController& f : found) {
      list.push_back({{"path", f.path},
                      {"vendorId", Hex4(f.vendorId)},
                      {"productId", Hex4(f.productId)},
                      {"name", Name(f)},
                      {"collections", f.collections},
                      {"shownByConsole", f.path == shown}});
    }
    run.PrintJson(list);
  } else {
    for (const FoundController& f : found) {
      run.Out() << f.path << "  " << Hex4(f.vendorId) << ":" << Hex4(f.productId) << "  " << Name(f)
                << "  " << f.collections.size() << " collections"
                << (found.size() > 1 && f.path == shown ? "  shown by the console" : "") << "\n";
    }
  }
  return found.empty() ? run.Error(kExitNoController, "no controller found") : kExitDone;
}

int RunInfo(Invocation& run) {
  if (const int status = run.Connect()) return status;
  InfoExchange exchange;
  run.Controller().OnAnswers([&](std::span<const uint8_t> frame) { exchange.HandleFrame(frame); });
  exchange.Begin();
  for (uint8_t code : kInfoRequests) {
    if (const int status = run.Ask(kCommandChannel, InfoExchange::Request(code), kPauseAfterRead))
      return status;
  }
  // The page would show its placeholders; a script must not take them for
  // the controller's values.
  if (!exchange.AnswersValid())
    return run.Error(kExitNoAnswer, "the controller's answers could not be read");
  exchange.End();
  const InfoPageState& s = exchange.State();
  if (run.Given().json) {
    run.PrintJson({{"model", Utf8(s.modelText)},
                   {"identity2", Utf8(s.identity2)},
                   {"identity3", Utf8(s.identity3)},
                   {"identity4", Utf8(s.identity4)},
                   {"infoValue", s.infoValue},
                   {"countA", s.countA},
                   {"listA", Utf8(s.listA)},
                   {"countB", s.countB},
                   {"listB", Utf8(s.listB)}});
  } else {
    run.Out() << "model:       " << Printable(s.modelText) << "\n"
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

}  // namespace orvelle::ctl
