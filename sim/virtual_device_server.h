#pragma once
// The listening end of a simulator node (devlink/hid/sim_bus_link.h says what
// a node is on each system): it makes the node, serves every connection on a
// thread of its own, and removes the node again. One file per system:
// virtual_device_posix.cpp, virtual_device_win.cpp.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orvelle {

class SimNodeServer {
 public:
  using Id = uint64_t;
  struct Handler {
    // A packet from connection `id`, on the server's thread; false ends the
    // connection.
    std::function<bool(Id, std::span<const uint8_t>)> received;
    // Connection `id` has ended, on the server's thread.
    std::function<void(Id)> gone;
  };

  // Removes the node first (programs learn of the removal from the folder),
  // then ends every connection; no handler runs after it returned.
  virtual ~SimNodeServer() = default;

  enum class SendResult : uint8_t { Sent, Full, Broken };
  // Never waits: a connection whose queue is full misses the packet.
  virtual SendResult Send(Id id, std::span<const uint8_t> packet) = 0;
  virtual size_t ConnectionCount() const = 0;
};

// Makes the node at `path` and serves it, sending each connection `header`
// first. A node left by a device that is gone is taken over; nullptr, with
// `error`, when a live device is there or the node cannot be made.
std::unique_ptr<SimNodeServer> ServeSimNode(const std::string& path, std::vector<uint8_t> header,
                                            SimNodeServer::Handler handler, std::string& error);

}  // namespace orvelle
