#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/single_instance.h"

namespace orvelle {
namespace {

constexpr char kShow[] = "show\n";

// The display a program shows on, as a part of a file name.
std::string DisplayPart() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  if (!display || !*display) display = std::getenv("DISPLAY");
  std::string part = display ? display : "";
  for (char& c : part) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return part;
}

// A folder nobody but this user may write in, or empty.
std::string OwnFolder(std::string folder) {
  if (folder.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    folder = runtime ? runtime : "";
  }
  struct stat st;
  if (folder.empty() || lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
    return {};
  }
  return folder;
}

int Socket() {
  return socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

bool Address(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  return true;
}

// Connects to the instance listening at `path` and says `word`, if any.
bool Reach(const std::string& path, const char* word) {
  sockaddr_un address;
  if (!Address(path, address)) return false;
  const int fd = Socket();
  if (fd < 0) return false;
  bool reached = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (reached && word) {
    const auto length = static_cast<ssize_t>(std::strlen(word));
    reached = send(fd, word, static_cast<size_t>(length), MSG_NOSIGNAL) == length;
  }
  close(fd);
  return reached;
}

}  // namespace

struct SingleInstance::State {
  std::string path;
  int listening = -1;
  int stop = -1;
  std::thread thread;
};

SingleInstance::SingleInstance(std::string program, std::string folder)
    : state_(std::make_unique<State>()) {
  const std::string own = OwnFolder(std::move(folder));
  if (!own.empty()) state_->path = own + "/" + program + "-" + DisplayPart() + ".socket";
}

SingleInstance::~SingleInstance() {
  if (state_->thread.joinable()) {
    const uint64_t one = 1;
    while (write(state_->stop, &one, sizeof one) < 0 && errno == EINTR) {
    }
    state_->thread.join();
  }
  if (state_->listening >= 0) {
    unlink(state_->path.c_str());
    close(state_->listening);
  }
  if (state_->stop >= 0) close(state_->stop);
}

bool SingleInstance::TellRunning() {
  return Reach(state_->path, kShow);
}

bool SingleInstance::Claim(std::function<void()> told) {
  sockaddr_un address;
  if (!Address(state_->path, address) || state_->listening >= 0) return false;
  const int fd = Socket();
  if (fd < 0) return false;
  auto bound = [&] { return bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0; };
  // A socket left by an instance that ended without closing it answers
  // nobody: it is taken over.
  if (!bound() && (errno != EADDRINUSE || Reach(state_->path, nullptr) ||
                   unlink(state_->path.c_str()) != 0 || !bound())) {
    close(fd);
    return false;
  }
  state_->stop = eventfd(0, EFD_CLOEXEC);
  if (state_->stop < 0 || listen(fd, 4) != 0) {
    close(fd);
    return false;
  }
  state_->listening = fd;
  state_->thread = std::thread([state = state_.get(), told = std::move(told)] {
    for (;;) {
      pollfd fds[2] = {{state->listening, POLLIN, 0}, {state->stop, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[1].revents) return;
      if (!(fds[0].revents & POLLIN)) continue;
      const int peer = accept4(state->listening, nullptr, nullptr, SOCK_CLOEXEC);
      if (peer < 0) continue;
      // One short word; a peer that sends nothing is not waited for long.
      pollfd wait{peer, POLLIN, 0};
      char word[8] = {};
      if (poll(&wait, 1, 1000) > 0 && recv(peer, word, sizeof word - 1, 0) > 0 &&
          std::strncmp(word, kShow, 4) == 0) {
        told();
      }
      close(peer);
    }
  });
  return true;
}

}  // namespace orvelle
