#include "ctl/ctl_link.h"

#include <cerrno>
#include <cstring>

namespace orvelle::ctl {

using namespace std::chrono_literals;

LinkProfile CtlProfile() {
  LinkProfile p = LinkProfile::Console();
  p.program = "orvellectl";
  p.startPause = 0ms;
  p.deviceChanges = DeviceChangeHandling::RegisterOnly;
  return p;
}

Session::Session(LinkProfile profile, std::shared_ptr<HidBus> bus, const std::string& device)
    : link_(std::move(profile), std::move(bus)) {
  link_.SetDevice(device);
  link_.SetOwner(this);
  link_.SetDispatcher(this);
}

Session::~Session() {
  link_.StopThreads();
  link_.SetDispatcher(nullptr);
  link_.SetOwner(nullptr);
}

bool Session::Open(std::string& error) {
  if (link_.Open() && link_.IsConnected()) return true;
  const int openError = link_.LastOpenError();
  if (openError == EACCES || openError == EPERM) {
    error =
        "the controller is present but this user may not open it; install the udev rule "
        "(see the README) or join the group it names";
  } else if (openError != 0) {
    error =
        std::string("the controller is present but cannot be opened: ") + std::strerror(openError);
  } else {
    error = "no controller found";
  }
  return false;
}

SendOutcome Session::Send(int channel, const FrameBuffer& frame) {
  return link_.ExchangeFrame(channel, frame);
}

void Session::OnAnswer(std::span<const uint8_t> frame) {
  if (handler_) handler_(frame);
}

}  // namespace orvelle::ctl
