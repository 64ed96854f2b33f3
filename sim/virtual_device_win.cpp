// A simulator node on Windows: a message-mode named pipe that only this user
// may open and that this user owns, named by a file in the simulator folder.
// One thread waits for connections and for each connection's next packet;
// writes are overlapped and never waited for.
// windows.h comes first.
// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on

#include <atomic>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "devlink/hid/sim_bus_link.h"
#include "devlink/hid/sim_wire.h"
#include "devlink/hid/win_io.h"
#include "platform/atomic_file.h"
#include "sim/virtual_device_server.h"

namespace orvelle {
namespace {

// Writes a connection may have under way before it misses reports, as a
// socket's send buffer is full (beyond the pipe's own buffer).
constexpr size_t kMaxWritesUnderWay = 256;
constexpr DWORD kPipeBuffer = 1 << 20;
// WaitForMultipleObjects takes 64 handles: the wake event, the listening
// pipe's and one per connection.
constexpr size_t kMaxConnections = MAXIMUM_WAIT_OBJECTS - 2;

std::string Narrow(const std::wstring& ascii) {
  return std::string(ascii.begin(), ascii.end());
}

// Owned by this user, who alone may open it.
class PipeSecurity {
 public:
  PipeSecurity() {
    const std::wstring sid = CurrentUserSid();
    const std::wstring text = L"O:" + sid + L"G:" + sid + L"D:P(A;;GA;;;" + sid + L")";
    if (!sid.empty() && ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                            text.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
      attributes_.lpSecurityDescriptor = descriptor_;
    }
  }
  ~PipeSecurity() { ::LocalFree(descriptor_); }
  PipeSecurity(const PipeSecurity&) = delete;
  PipeSecurity& operator=(const PipeSecurity&) = delete;
  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

HANDLE MakePipeInstance(const std::wstring& name, PipeSecurity& security, bool first) {
  return ::CreateNamedPipeW(
      name.c_str(),
      PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
      PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kSimMaxPacket, 0, security.Attributes());
}

// An overlapped operation's record with an event of its own.
struct Overlapped {
  Overlapped() : event(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) { Restart(); }
  void Restart() {
    io = OVERLAPPED{};
    io.hEvent = event.Get();
    ::ResetEvent(event.Get());
  }
  Handle event;
  OVERLAPPED io{};
};

struct Connection {
  SimNodeServer::Id id = 0;
  Handle pipe;
  Overlapped read;
  // A read failed at once leaves its record looking pending: only one that
  // is under way may be waited for.
  bool reading = false;
  std::vector<uint8_t> packet = std::vector<uint8_t>(kSimMaxPacket);
  // Writes under way, oldest first; each keeps its bytes until it is done.
  struct Write {
    OVERLAPPED io{};
    std::vector<uint8_t> bytes;
  };
  std::deque<std::unique_ptr<Write>> writes;

  void ForgetFinishedWrites() {
    while (!writes.empty() && HasOverlappedIoCompleted(&writes.front()->io))
      writes.pop_front();
  }
  // Cancels what is under way and waits it out, so that no buffer is in use.
  void Close() {
    ::CancelIoEx(pipe.Get(), nullptr);
    DWORD n = 0;
    if (reading) ::GetOverlappedResult(pipe.Get(), &read.io, &n, TRUE);
    reading = false;
    for (const auto& write : writes) {
      while (!HasOverlappedIoCompleted(&write->io))
        ::Sleep(1);
    }
    writes.clear();
    pipe.Reset();
  }
};

class PipeServer final : public SimNodeServer {
 public:
  PipeServer(std::string node, std::wstring name, Handle listening, std::vector<uint8_t> header,
             Handler handler)
      : node_(std::move(node)),
        name_(std::move(name)),
        listening_(std::move(listening)),
        header_(std::move(header)),
        handler_(std::move(handler)) {
    Listen();
    thread_ = std::thread(&PipeServer::Serve, this);
  }

  ~PipeServer() override {
    std::error_code ignored;
    std::filesystem::remove(SimFilePath(node_), ignored);
    ::SetEvent(wake_.Get());
    thread_.join();
    std::lock_guard lock(mutex_);
    for (Connection& c : connections_)
      c.Close();
    if (!accepting_) return;
    ::CancelIoEx(listening_.Get(), nullptr);
    DWORD n = 0;
    ::GetOverlappedResult(listening_.Get(), &accept_.io, &n, TRUE);
  }

  SendResult Send(Id id, std::span<const uint8_t> packet) override {
    std::lock_guard lock(mutex_);
    for (Connection& c : connections_) {
      if (c.id != id) continue;
      if (!c.pipe.Valid()) return SendResult::Broken;
      c.ForgetFinishedWrites();
      if (c.writes.size() >= kMaxWritesUnderWay) return SendResult::Full;
      auto write = std::make_unique<Connection::Write>();
      write->bytes.assign(packet.begin(), packet.end());
      if (!::WriteFile(c.pipe.Get(), write->bytes.data(), static_cast<DWORD>(write->bytes.size()),
                       nullptr, &write->io) &&
          ::GetLastError() != ERROR_IO_PENDING) {
        return SendResult::Broken;
      }
      c.writes.push_back(std::move(write));
      return SendResult::Sent;
    }
    return SendResult::Broken;
  }

  size_t ConnectionCount() const override {
    std::lock_guard lock(mutex_);
    return connections_.size();
  }

 private:
  // Waits for the next open on the listening instance.
  void Listen() {
    for (;;) {
      accept_.Restart();
      connectedEarly_ = false;
      accepting_ =
          ::ConnectNamedPipe(listening_.Get(), &accept_.io) || ::GetLastError() == ERROR_IO_PENDING;
      if (accepting_) return;  // the event is set once an open comes
      const DWORD error = ::GetLastError();
      if (error == ERROR_PIPE_CONNECTED) {  // it connected before we asked
        connectedEarly_ = true;
        ::SetEvent(accept_.event.Get());
        return;
      }
      // An open that came and went before we asked leaves the instance to
      // wait again; without an instance (none could be made) nobody comes.
      if (error != ERROR_NO_DATA || !::DisconnectNamedPipe(listening_.Get())) return;
    }
  }

  // Starts the connection's next read; false when the pipe broke.
  static bool ReadNext(Connection& c) {
    c.read.Restart();
    c.reading = ::ReadFile(c.pipe.Get(), c.packet.data(), static_cast<DWORD>(c.packet.size()),
                           nullptr, &c.read.io) ||
                ::GetLastError() == ERROR_IO_PENDING;
    return c.reading;
  }

  void Accept() {
    DWORD n = 0;
    accepting_ = false;
    if (!connectedEarly_ && !::GetOverlappedResult(listening_.Get(), &accept_.io, &n, FALSE)) {
      ::DisconnectNamedPipe(listening_.Get());
      Listen();
      return;
    }
    Handle next(MakePipeInstance(name_, security_, false));
    std::lock_guard lock(mutex_);
    Connection& c = connections_.emplace_back();
    c.id = nextId_++;
    c.pipe = std::move(listening_);
    listening_ = std::move(next);
    Listen();
    DWORD written = 0;
    // The header fits the pipe's buffer: the write is done at once.
    OVERLAPPED io{};
    io.hEvent = c.read.event.Get();
    const bool greeted = (::WriteFile(c.pipe.Get(), header_.data(),
                                      static_cast<DWORD>(header_.size()), nullptr, &io) ||
                          ::GetLastError() == ERROR_IO_PENDING) &&
                         ::GetOverlappedResult(c.pipe.Get(), &io, &written, TRUE) &&
                         written == header_.size();
    if (greeted && ReadNext(c)) return;
    c.Close();
    connections_.pop_back();
  }

  void Serve() {
    std::vector<HANDLE> waits;
    std::vector<Id> ids;
    for (;;) {
      waits = {wake_.Get(), accept_.event.Get()};
      ids.clear();
      {
        std::lock_guard lock(mutex_);
        if (connections_.size() >= kMaxConnections) waits.pop_back();
        for (const Connection& c : connections_) {
          if (waits.size() == MAXIMUM_WAIT_OBJECTS) break;
          waits.push_back(c.read.event.Get());
          ids.push_back(c.id);
        }
      }
      const DWORD waited =
          ::WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE);
      if (waited == WAIT_OBJECT_0 || waited == WAIT_FAILED) return;
      if (waited == WAIT_OBJECT_0 + 1 && waits[1] == accept_.event.Get()) {
        Accept();
        continue;
      }
      const size_t first = waits.size() - ids.size();
      const size_t index = waited - WAIT_OBJECT_0;
      if (index >= first && index < waits.size()) ReadDone(ids[index - first]);
    }
  }

  // The connection's read is done: a packet for the handler, or its end.
  void ReadDone(Id id) {
    std::vector<uint8_t> packet;
    bool ended = true;
    {
      std::lock_guard lock(mutex_);
      Connection* c = Find(id);
      if (!c) return;
      DWORD n = 0;
      // A packet longer than any report breaks the protocol, as does a broken pipe.
      c->reading = false;
      if (c->pipe.Valid() && ::GetOverlappedResult(c->pipe.Get(), &c->read.io, &n, FALSE)) {
        packet.assign(c->packet.begin(), c->packet.begin() + n);
        ended = false;
      }
    }
    if (!ended) ended = !handler_.received(id, packet);
    std::unique_lock lock(mutex_);
    Connection* c = Find(id);
    if (!c) return;
    if (!ended && ReadNext(*c)) return;
    c->Close();
    connections_.remove_if([id](const Connection& other) { return other.id == id; });
    lock.unlock();
    handler_.gone(id);
  }

  Connection* Find(Id id) {
    for (Connection& c : connections_)
      if (c.id == id) return &c;
    return nullptr;
  }

  const std::string node_;
  const std::wstring name_;
  PipeSecurity security_;
  Handle listening_;
  Overlapped accept_;
  bool accepting_ = false;  // a wait for an open is under way
  bool connectedEarly_ = false;
  Handle wake_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  const std::vector<uint8_t> header_;
  const Handler handler_;
  mutable std::mutex mutex_;
  std::list<Connection> connections_;  // a list: a connection's buffers never move
  Id nextId_ = 1;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<SimNodeServer> ServeSimNode(const std::string& path, std::vector<uint8_t> header,
                                            SimNodeServer::Handler handler, std::string& error) {
  if (ConnectSimNode(path)) {
    error = "another device is plugged in at " + path;
    return nullptr;
  }
  static std::atomic<unsigned> counter{0};
  const std::wstring name = SimPipePrefix() + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++);
  PipeSecurity security;
  if (!security.Attributes()) {
    error = "cannot make the pipe's security descriptor for this user";
    return nullptr;
  }
  Handle listening(MakePipeInstance(name, security, true));
  if (!listening.Valid()) {
    error = "cannot create the pipe " + Narrow(name) + " (error " +
            std::to_string(::GetLastError()) + ")";
    return nullptr;
  }
  // The node is written once the pipe listens, so that a watcher never meets
  // a node that refuses opens.
  const FileWriteResult written =
      WriteFileAtomically(SimFilePath(path), Narrow(name), NewFileAccess::OwnerOnly);
  if (!written) {
    error = "cannot create " + path + ": " + written.Reason();
    return nullptr;
  }
  return std::make_unique<PipeServer>(path, name, std::move(listening), std::move(header),
                                      std::move(handler));
}

}  // namespace orvelle
