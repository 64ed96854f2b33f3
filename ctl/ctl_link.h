#pragma once
// The command-line tool's side of the device link: its profile, and one
// session with the chosen controller whose answers are handled on the calling
// thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "devlink/controller_order.h"
#include "devlink/dispatch.h"
#include "devlink/frame.h"
#include "devlink/hid/bus.h"
#include "devlink/usb_transfer.h"

namespace orvelle::ctl {

// The console's identities and channels; no start pause, since every bus
// buffers the reports that arrive before the first read.
LinkProfile CtlProfile();

class Session : private AnswerSink, private AnswerDispatcher {
 public:
  using Handler = std::function<void(std::span<const uint8_t>)>;

  // The link is pointed at `device`, a controller's path.
  Session(LinkProfile profile, std::shared_ptr<HidBus> bus, const std::string& device);
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
