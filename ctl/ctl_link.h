#pragma once
// The command-line tool's side of the device link: its profile, the
// controllers found on a bus, and one session with the chosen controller whose
// answers are handled on the calling thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "devlink/dispatch.h"
#include "devlink/frame.h"
#include "devlink/hid/bus.h"
#include "devlink/usb_transfer.h"

namespace orvelle::ctl {

// The console's identities and channels; no start pause, since every bus
// buffers the reports that arrive before the first read.
LinkProfile CtlProfile();

// One accepted controller: its collections share a node.
struct FoundController {
  std::string path;  // the node; --device takes it
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  bool simulated = false;
  std::vector<std::string> collections;
};

// The one the console would open first (SortForDiscovery), then the others
// in falling rank.
std::vector<FoundController> FindControllers(HidBus& bus, const LinkProfile& profile);

// The bus narrowed to one controller's collections, so that the link can
// only open that one.
std::shared_ptr<HidBus> OnlyController(std::shared_ptr<HidBus> bus, const std::string& node);

class Session : private AnswerSink, private AnswerDispatcher {
 public:
  using Handler = std::function<void(std::span<const uint8_t>)>;

  Session(LinkProfile profile, std::shared_ptr<HidBus> bus);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // False with `error` set when no controller could be opened.
  bool Open(std::string& error);
  // Every answer goes to `handler`, on this thread, while a send waits.
  void OnAnswers(Handler handler) { handler_ = std::move(handler); }
  // Sends one frame of `channel` (cut to the channel's output length, as the
  // console's pages do) and waits for an answer.
  SendOutcome Send(int channel, const FrameBuffer& frame);
  std::chrono::milliseconds AnswerTimeout() const { return link_.Profile().answerTimeout; }
  CUSBTransfer& Link() { return link_; }

 private:
  void OnAnswer(std::span<const uint8_t> frame) override;
  // The owner thread hands queued answers over whenever it waits; there is
  // no other event loop to wake.
  void Post() override {}

  CUSBTransfer link_;
  Handler handler_;
};

}  // namespace orvelle::ctl
