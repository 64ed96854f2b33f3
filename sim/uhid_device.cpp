#include "sim/uhid_device.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace orvelle {
namespace {

void CopyText(uint8_t* field, size_t room, const std::string& text) {
  std::memcpy(field, text.data(), std::min(text.size(), room - 1));
}

}  // namespace

UhidDevice::UhidDevice(VirtualDeviceIdentity identity, OutputHandler onOutput,
                       FeatureHandler onFeature)
    : identity_(std::move(identity)),
      onOutput_(std::move(onOutput)),
      onFeature_(std::move(onFeature)) {}

UhidDevice::~UhidDevice() {
  Unplug();
}

bool UhidDevice::Plug(const std::string& node) {
  const std::string path = node.empty() ? kUhidNode : node;
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    std::lock_guard lock(mutex_);
    error_ = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  return PlugOnto(fd, path);
}

bool UhidDevice::PlugOnto(int fd, const std::string& node) {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) {
    close(fd);
    error_ = "already plugged in at " + node_;
    return false;
  }
  if (identity_.reportDescriptor.size() > HID_MAX_DESCRIPTOR_SIZE) {
    close(fd);
    error_ = "report descriptor too long for uhid";
    return false;
  }
  // Too large for the stack of a thread with a small one.
  auto create = std::make_unique<uhid_event>();
  create->type = UHID_CREATE2;
  uhid_create2_req& req = create->u.create2;
  CopyText(req.name, sizeof req.name, identity_.name);
  CopyText(req.phys, sizeof req.phys, identity_.phys);
  req.bus = static_cast<uint16_t>(identity_.busType);
  req.vendor = identity_.vendorId;
  req.product = identity_.productId;
  req.rd_size = static_cast<uint16_t>(identity_.reportDescriptor.size());
  std::copy(identity_.reportDescriptor.begin(), identity_.reportDescriptor.end(), req.rd_data);
  if (!WriteEvent(fd, create.get(), sizeof *create)) {
    error_ = "cannot create the device on " + node + ": " + std::strerror(errno);
    close(fd);
    return false;
  }
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  fd_ = fd;
  node_ = node;
  error_.clear();
  opened_.store(false);
  // The kernel may ask for a feature report while it binds a driver: the
  // thread answering must run before anything waits on the device.
  server_ = std::thread(&UhidDevice::Serve, this, fd_, wakeFd_);
  return true;
}

void UhidDevice::Unplug() {
  int fd = -1;
  {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    fd = fd_;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t w = write(wakeFd_, &one, sizeof one);
  }
  server_.join();
  uhid_event destroy{};
  destroy.type = UHID_DESTROY;
  WriteEvent(fd, &destroy, sizeof destroy);
  std::lock_guard lock(mutex_);
  close(fd_);
  close(wakeFd_);
  fd_ = -1;
  wakeFd_ = -1;
  opened_.store(false);
}

bool UhidDevice::IsPlugged() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

std::string UhidDevice::Path() const {
  std::lock_guard lock(mutex_);
  return node_.empty() ? kUhidNode : node_;
}

std::string UhidDevice::LastError() const {
  std::lock_guard lock(mutex_);
  return error_;
}

size_t UhidDevice::OpenCount() const {
  return opened_.load() ? 1 : 0;
}

size_t UhidDevice::SendInputReport(std::span<const uint8_t> report) {
  if (report.empty() || report.size() > UHID_DATA_MAX) return 0;
  // Held through the write: an unplug must not close the descriptor, and
  // another open take its number, under a report on its way.
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return 0;
  uhid_event input{};
  input.type = UHID_INPUT2;
  input.u.input2.size = static_cast<uint16_t>(report.size());
  std::copy(report.begin(), report.end(), input.u.input2.data);
  // Only the used part of the event: the kernel reads no further.
  const size_t used = offsetof(uhid_event, u.input2.data) + report.size();
  return WriteEvent(fd_, &input, used) ? 1 : 0;
}

bool UhidDevice::WriteEvent(int fd, const void* event, size_t size) {
  std::lock_guard lock(writeMutex_);
  for (;;) {
    const ssize_t n = write(fd, event, size);
    if (n == static_cast<ssize_t>(size)) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

void UhidDevice::Serve(int fd, int wakeFd) {
  pthread_setname_np(pthread_self(), "orv-sim-uhid");
  auto event = std::make_unique<uhid_event>();
  for (;;) {
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents) return;
    if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
    const ssize_t n = read(fd, event.get(), sizeof *event);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return;
    Answer(fd, {reinterpret_cast<const uint8_t*>(event.get()), static_cast<size_t>(n)});
  }
}

// Short events are ignored: the kernel always hands out whole ones.
void UhidDevice::Answer(int fd, std::span<const uint8_t> bytes) {
  uhid_event event{};
  std::memcpy(&event, bytes.data(), std::min(bytes.size(), sizeof event));
  switch (event.type) {
    case UHID_OPEN:
      opened_.store(true);
      return;
    case UHID_CLOSE:
      opened_.store(false);
      return;
    case UHID_OUTPUT: {
      const uhid_output_req& out = event.u.output;
      if (out.rtype == UHID_OUTPUT_REPORT && out.size > 0 && out.size <= UHID_DATA_MAX &&
          onOutput_) {
        onOutput_({out.data, out.size});
      }
      return;
    }
    case UHID_GET_REPORT: {
      const uhid_get_report_req request = event.u.get_report;
      uhid_event reply{};
      reply.type = UHID_GET_REPORT_REPLY;
      reply.u.get_report_reply.id = request.id;
      std::vector<uint8_t> report;
      if (request.rtype == UHID_FEATURE_REPORT && onFeature_) report = onFeature_(request.rnum);
      if (report.empty() || report.size() > UHID_DATA_MAX) {
        reply.u.get_report_reply.err = EIO;
      } else {
        reply.u.get_report_reply.size = static_cast<uint16_t>(report.size());
        std::copy(report.begin(), report.end(), reply.u.get_report_reply.data);
      }
      WriteEvent(fd, &reply, sizeof reply);
      return;
    }
    case UHID_SET_REPORT: {
      uhid_event reply{};
      reply.type = UHID_SET_REPORT_REPLY;
      reply.u.set_report_reply.id = event.u.set_report.id;
      reply.u.set_report_reply.err = EIO;
      WriteEvent(fd, &reply, sizeof reply);
      return;
    }
    default:
      return;  // UHID_START, UHID_STOP: nothing to do
  }
}

}  // namespace orvelle
