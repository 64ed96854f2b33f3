#include "sim/virtual_device.h"

#include <algorithm>

#include "devlink/hid/sim_bus.h"

namespace orvelle {

VirtualHidDevice::VirtualHidDevice(VirtualDeviceIdentity identity, OutputHandler onOutput)
    : identity_(std::move(identity)), onOutput_(std::move(onOutput)) {}

VirtualHidDevice::~VirtualHidDevice() {
  Unplug();
}

bool VirtualHidDevice::Client::Wants(uint8_t reportId) const {
  if (!subscription.reads) return false;
  return subscription.allReports ||
         std::binary_search(subscription.reportIds.begin(), subscription.reportIds.end(), reportId);
}

bool VirtualHidDevice::Plug(const std::string& nodePath) {
  std::lock_guard lock(mutex_);
  if (server_) {
    error_ = "already plugged in at " + path_;
    return false;
  }
  // The programs use the folder only when it may be trusted; a device they
  // would never find must not look plugged in.
  const size_t slash = nodePath.find_last_of(std::string("/") + kSimPathSeparator);
  const std::string folder = slash == std::string::npos ? "." : nodePath.substr(0, slash);
  if (!PrepareSimFolder(folder, &error_)) return false;
  SimNodeServer::Handler handler;
  handler.received = [this](SimNodeServer::Id id, std::span<const uint8_t> packet) {
    return Received(id, packet);
  };
  handler.gone = [this](SimNodeServer::Id id) {
    std::lock_guard lock(mutex_);
    clients_.erase(id);
  };
  server_ = ServeSimNode(nodePath, EncodeSimHeader(identity_), std::move(handler), error_);
  if (!server_) return false;
  path_ = nodePath;
  error_.clear();
  return true;
}

void VirtualHidDevice::Unplug() {
  std::unique_ptr<SimNodeServer> server;
  {
    std::lock_guard lock(mutex_);
    server = std::move(server_);
  }
  // Its thread may wait for the lock in a handler: it is ended unlocked.
  server.reset();
  std::lock_guard lock(mutex_);
  clients_.clear();
}

bool VirtualHidDevice::IsPlugged() const {
  std::lock_guard lock(mutex_);
  return server_ != nullptr;
}

std::string VirtualHidDevice::Path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

std::string VirtualHidDevice::LastError() const {
  std::lock_guard lock(mutex_);
  return error_;
}

size_t VirtualHidDevice::OpenCount() const {
  std::lock_guard lock(mutex_);
  return server_ ? server_->ConnectionCount() : 0;
}

size_t VirtualHidDevice::SendInputReport(std::span<const uint8_t> report) {
  if (report.empty()) return 0;
  std::lock_guard lock(mutex_);
  size_t reached = 0;
  for (const auto& [id, client] : clients_) {
    if (!server_ || !client.Wants(report[0])) continue;
    switch (server_->Send(id, report)) {
      case SimNodeServer::SendResult::Sent:
        ++reached;
        break;
      case SimNodeServer::SendResult::Full:
        dropped_.fetch_add(1);
        break;
      case SimNodeServer::SendResult::Broken:
        break;  // the open is going away; the server says so
    }
  }
  return reached;
}

bool VirtualHidDevice::Received(SimNodeServer::Id id, std::span<const uint8_t> packet) {
  {
    std::lock_guard lock(mutex_);
    if (!server_) return false;
    if (!clients_.count(id)) {
      // The first packet of an open must be its hello; the echo tells the
      // open that reports flow from now on.
      Client client;
      if (!DecodeSimHello(packet, client.subscription)) return false;
      clients_.emplace(id, std::move(client));
      return server_->Send(id, packet) == SimNodeServer::SendResult::Sent;
    }
  }
  if (onOutput_) onOutput_(packet);
  return true;
}

}  // namespace orvelle
