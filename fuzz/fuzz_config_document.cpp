// The settings file that `orvellectl config load` reads: whatever the bytes,
// the loader takes settings or refuses, never throws; settings it takes give
// well-formed write frames of the groups they change, and the state they
// leave formats to a document that loads back changing nothing.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ctl/config_document.h"

namespace {

using namespace orvelle;
using namespace orvelle::ctl;

void CheckClass(std::string_view text, int windowsClass) {
  DocumentError error;
  const auto settings = ParseConfigDocument(text, windowsClass, error);
  if (!settings) {
    if (error.field.empty() || error.why.empty()) std::abort();
    return;
  }
  console::ConfigExchange exchange;
  const auto groups = ApplyChangedSettings(*settings, windowsClass, exchange, error);
  if (!groups) return;
  for (uint8_t code : *groups) {
    const FrameBuffer frame = exchange.WriteRequest(code);
    const FrameView view(frame);
    if (view.ReportId() != kCommandReportId || view.Code() != code ||
        view.Payload(0) != kSubWrite || frame[3 + view.PayloadLength()] != kFrameTerminator)
      std::abort();
  }
  const std::string saved = FormatConfigDocument(exchange.State(), windowsClass);
  const auto again = ParseConfigDocument(saved, windowsClass, error);
  if (!again) std::abort();
  console::ConfigExchange same = exchange;
  const auto changed = ApplyChangedSettings(*again, windowsClass, same, error);
  if (!changed || !changed->empty() || !(same.State() == exchange.State())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckClass(text, 3);
  CheckClass(text, console::kTouchSettingsClass);
  return 0;
}
