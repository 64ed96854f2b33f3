// The simulator transport on Windows: a node is a file in the simulator
// folder that names a message-mode named pipe of this user's, and a change
// notification on the folder tells of arrival and removal. The pipe's owner
// is checked on every open: another user could make a pipe of that name
// first, but never one owned by this user.
// windows.h comes first.
// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "devlink/hid/event.h"
#include "devlink/hid/sim_bus.h"
#include "devlink/hid/sim_bus_link.h"
#include "devlink/hid/win_io.h"

namespace orvelle {
namespace {

constexpr size_t kMaxPipeName = 256;

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class PipeConnection final : public SimConnection {
 public:
  explicit PipeConnection(Handle pipe) : pipe_(std::move(pipe)) {}

  Status Receive(std::span<uint8_t> buffer, size_t& length, const Event* stop,
                 std::chrono::milliseconds timeout) override {
    DWORD n = 0, error = 0;
    switch (Transfer(pipe_.Get(), true, buffer.data(), static_cast<DWORD>(buffer.size()), stop,
                     timeout, n, &error)) {
      case IoEnd::Done:
        length = n;
        return Status::Packet;
      case IoEnd::Stopped:
        return Status::Stopped;
      case IoEnd::TimedOut:
        return Status::TimedOut;
      case IoEnd::Failed:
        break;
    }
    if (error != ERROR_MORE_DATA) return Status::Gone;
    // The rest of a packet too long for the buffer is dropped, as a
    // sequenced-packet socket drops it.
    length = n;
    uint8_t rest[512];
    DWORD more = 0;
    do {
      error = 0;
      if (Transfer(pipe_.Get(), true, rest, sizeof rest, stop, timeout, more, &error) ==
          IoEnd::Done)
        return Status::Packet;
    } while (error == ERROR_MORE_DATA);
    return Status::Gone;
  }

  bool Send(std::span<const uint8_t> packet, const Event* stop) override {
    DWORD n = 0;
    return Transfer(pipe_.Get(), false, const_cast<uint8_t*>(packet.data()),
                    static_cast<DWORD>(packet.size()), stop, kNoTimeLimit, n) == IoEnd::Done &&
           n == packet.size();
  }

  // A write the pipe cannot take at once stays under way; the link's write
  // thread waits for it instead.
  HidChannel::TryResult TrySend(std::span<const uint8_t>) override {
    return HidChannel::TryResult::WouldBlock;
  }

 private:
  Handle pipe_;
};

// The pipe a node names, when it is a local pipe of this user's simulators:
// a node may name any pipe, another machine's too.
std::wstring PipeOfNode(const std::string& node) {
  std::ifstream in(SimFilePath(node), std::ios::binary);
  std::string name(kMaxPipeName + 1, '\0');
  in.read(name.data(), static_cast<std::streamsize>(name.size()));
  name.resize(static_cast<size_t>(in.gcount()));
  const std::wstring prefix = SimPipePrefix();
  const std::wstring pipe(name.begin(), name.end());
  const bool ours =
      name.size() <= kMaxPipeName && pipe.size() > prefix.size() && pipe.starts_with(prefix) &&
      std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                  [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; });
  return ours ? pipe : std::wstring();
}

bool OwnedByThisUser(HANDLE pipe) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  wchar_t* text = nullptr;
  const bool mine = owner && ::ConvertSidToStringSidW(owner, &text) && CurrentUserSid() == text;
  ::LocalFree(text);
  ::LocalFree(descriptor);
  return mine;
}

class FileLock final : public ControllerLock {
 public:
  explicit FileLock(Handle file) : file_(std::move(file)) {}

 private:
  Handle file_;  // closing lets the lock go
};

class ChangeWatch final : public SimFolderWatch {
 public:
  explicit ChangeWatch(HANDLE change) : change_(change) {}
  ~ChangeWatch() override { ::FindCloseChangeNotification(change_); }
  ChangeWatch(const ChangeWatch&) = delete;
  ChangeWatch& operator=(const ChangeWatch&) = delete;

  bool Wait(const Event& stop) override {
    const HANDLE waits[2] = {static_cast<HANDLE>(stop.NativeHandle()), change_};
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return false;
    ::FindNextChangeNotification(change_);
    return true;
  }

 private:
  HANDLE change_;
};

}  // namespace

std::filesystem::path SimFilePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::wstring SimPipePrefix() {
  return L"\\\\.\\pipe\\orvelle-sim-" + CurrentUserSid() + L"-";
}

std::unique_ptr<SimConnection> ConnectSimNode(const std::string& node) {
  const std::wstring pipe = PipeOfNode(node);
  if (pipe.empty()) return nullptr;
  // Identification only: the device end may learn who opens it, not act as them.
  const DWORD flags = FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
  Handle handle;
  for (int attempt = 0; attempt < 3 && !handle.Valid(); ++attempt) {
    handle.Reset(::CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, flags, nullptr));
    // Every instance is taken until the device makes the next one.
    if (!handle.Valid() &&
        (::GetLastError() != ERROR_PIPE_BUSY || !::WaitNamedPipeW(pipe.c_str(), 1000)))
      return nullptr;
  }
  if (!handle.Valid()) return nullptr;
  if (!OwnedByThisUser(handle.Get())) {
    errno = EPERM;
    return nullptr;
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!::SetNamedPipeHandleState(handle.Get(), &mode, nullptr, nullptr)) return nullptr;
  return std::make_unique<PipeConnection>(std::move(handle));
}

std::vector<SimNodeEntry> ListSimNodes(const std::string& folder) {
  std::vector<SimNodeEntry> nodes;
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW((SimFilePath(folder) / L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return nodes;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY || found.cFileName[0] == L'.') continue;
    // A node made again at the same place is a new file.
    const uint64_t identity = (static_cast<uint64_t>(found.ftCreationTime.dwHighDateTime) << 32 |
                               found.ftCreationTime.dwLowDateTime) ^
                              (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32 |
                               found.ftLastWriteTime.dwLowDateTime);
    nodes.push_back({SimNodePath(folder, Utf8(found.cFileName)), identity});
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(nodes.begin(), nodes.end(),
            [](const SimNodeEntry& a, const SimNodeEntry& b) { return a.path < b.path; });
  return nodes;
}

std::unique_ptr<SimFolderWatch> WatchSimFolder(const std::string& folder) {
  const HANDLE change =
      ::FindFirstChangeNotificationW(SimFilePath(folder).c_str(), FALSE,
                                     FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (change == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<ChangeWatch>(change);
}

// The file opened for nobody else: a named mutex, as real controllers are
// locked, would let a second open on the same thread through.
LockStatus LockSimFile(const std::string& file, std::unique_ptr<ControllerLock>& lock,
                       LockHolder&) {
  Handle opened(::CreateFileW(SimFilePath(file).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
  if (opened.Valid()) {
    lock = std::make_unique<FileLock>(std::move(opened));
    return LockStatus::Taken;
  }
  if (::GetLastError() == ERROR_SHARING_VIOLATION) return LockStatus::Busy;
  errno = EACCES;
  return LockStatus::Failed;
}

std::string SimFolderFault(const std::string& folder) {
  std::error_code ignored;
  const std::filesystem::path path = SimFilePath(folder);
  std::filesystem::create_directories(path, ignored);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return "it is not a directory (a link or junction is not followed)";
  }
  return {};
}

std::string DefaultSimDir() {
  if (const wchar_t* dir = ::_wgetenv(L"ORVELLE_SIM_DIR"); dir && *dir) return Utf8(dir);
  std::error_code error;
  return Utf8(std::filesystem::temp_directory_path(error) / L"orvelle-sim");
}

}  // namespace orvelle
