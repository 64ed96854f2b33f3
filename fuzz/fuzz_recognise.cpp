// Arbitrary reports through the three answer recognisers and the frame
// readers, none of which may look past the report.

#include <cstdint>
#include <span>
#include <string>

#include "devlink/frame.h"
#include "devlink/recognise.h"

namespace {
// Keeps the results alive so the calls are not optimised away.
volatile unsigned sink = 0;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> report(data, size);
  for (const auto variant : {orvelle::Recogniser::Console, orvelle::Recogniser::Calibration,
                             orvelle::Recogniser::Factory}) {
    orvelle::IsAnswerFrame(variant, report);
  }
  const orvelle::FrameView view(report);
  unsigned sum = view.ReportId() + view.Code() + view.PayloadLength();
  for (size_t k = 0; k < orvelle::kFrameBufferSize + 4; ++k)
    sum += view.Payload(k);
  // Field positions as answers use them, and ones taken from the report itself.
  const size_t offset = size > 0 ? data[0] : 0;
  const size_t length = size > 1 ? data[1] : 0;
  const std::string texts[] = {orvelle::FrameText(report, 3, view.PayloadLength()),
                               orvelle::FrameText(report, offset, length),
                               orvelle::FrameText(report, offset, SIZE_MAX)};
  for (const auto& text : texts)
    sum += static_cast<unsigned>(text.size());
  sink = sum;
  return 0;
}
