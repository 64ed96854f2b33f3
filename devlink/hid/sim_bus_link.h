#pragma once
// The simulator transport as each operating system carries it, for both of
// its ends (the programs' bus and the simulator's device). A device is a node
// in the simulator folder; an open of the node is a connection that carries
// packets whole, in both directions:
// - POSIX: the node is a SOCK_SEQPACKET Unix socket; the folder must be the
//   user's alone.
// - Windows: the node is a file that names a message-mode named pipe, which
//   only its creator may open and whose owner every open checks, so that
//   another user cannot pose as a controller.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "devlink/hid/bus.h"

namespace orvelle {

class Event;

class SimConnection {
 public:
  virtual ~SimConnection() = default;

  enum class Status : uint8_t { Packet, Stopped, TimedOut, Gone };
  // Waits for one packet, up to `timeout` (or kNoTimeLimit), or until
  // `stop` (may be null) is set. The part of a packet beyond `buffer` is lost.
  virtual Status Receive(std::span<uint8_t> buffer, size_t& length, const Event* stop,
                         std::chrono::milliseconds timeout) = 0;
  // Sends one packet, waiting while the other end's queue is full; false when
  // `stop` was set or the connection broke.
  virtual bool Send(std::span<const uint8_t> packet, const Event* stop) = 0;
  // Sends one packet only if that cannot wait.
  virtual HidChannel::TryResult TrySend(std::span<const uint8_t> packet) = 0;
};

// An open of the device at `node`; nullptr when none answers there, or when
// it is not this user's own (errno EPERM).
std::unique_ptr<SimConnection> ConnectSimNode(const std::string& node);

// A node and what tells it from another made later at the same place.
struct SimNodeEntry {
  std::string path;
  uint64_t identity = 0;
};
// The nodes in `folder`, by path. Hidden names (a leading dot) are nodes
// being made.
std::vector<SimNodeEntry> ListSimNodes(const std::string& folder);

// Tells when the nodes of a folder may have changed.
class SimFolderWatch {
 public:
  virtual ~SimFolderWatch() = default;
  // Waits for a change; false once `stop` is set.
  virtual bool Wait(const Event& stop) = 0;
};
std::unique_ptr<SimFolderWatch> WatchSimFolder(const std::string& folder);

// Takes the lock that `file` stands for without waiting, as
// HidBus::TryLockController; another open of it, in this program or
// another, finds it Busy.
LockStatus LockSimFile(const std::string& file, std::unique_ptr<ControllerLock>& lock,
                       LockHolder& holder);

// Creates `folder` when missing (for its owner only) and says what makes it
// unfit for nodes (PrepareSimFolder in sim_bus.h), or nothing.
std::string SimFolderFault(const std::string& folder);

#ifdef _WIN32
// Paths are UTF-8 here; the file system takes them in UTF-16.
std::filesystem::path SimFilePath(const std::string& utf8);
// "\\.\pipe\orvelle-sim-<this user's SID>-": the start of the name of every
// pipe this user's simulators make; a node naming another pipe is ignored.
std::wstring SimPipePrefix();
#endif

}  // namespace orvelle
