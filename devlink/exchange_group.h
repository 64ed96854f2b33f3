#pragma once
// One exchange group: a page's read or apply, one command of orvellectl, a
// calibration run, the factory tool's read or write. The controller's lock is
// held for it, so that no other program's requests and answers come between
// its own; groups of one link nest, and only the outermost takes the lock and
// lets it go. A program stands aside while another holds the controller
// (Busy); a lock that cannot be had at all (Failed) is no reason to stop: the
// exchanges go on unlocked, and every write is still read back.

#include <cstdint>
#include <utility>

#include "devlink/hid/bus.h"

namespace orvelle {

class CUSBTransfer;

class ExchangeGroup {
 public:
  enum class Status : uint8_t {
    Held,
    Busy,    // another program held the controller all the wait long
    Failed,  // no controller, or its lock cannot be taken
  };

  ExchangeGroup() = default;
  ExchangeGroup(ExchangeGroup&& other) noexcept
      : link_(std::exchange(other.link_, nullptr)),
        status_(other.status_),
        holder_(std::move(other.holder_)) {}
  ExchangeGroup& operator=(ExchangeGroup&& other) noexcept {
    if (this != &other) {
      End();
      link_ = std::exchange(other.link_, nullptr);
      status_ = other.status_;
      holder_ = std::move(other.holder_);
    }
    return *this;
  }
  ExchangeGroup(const ExchangeGroup&) = delete;
  ExchangeGroup& operator=(const ExchangeGroup&) = delete;
  ~ExchangeGroup() { End(); }

  explicit operator bool() const { return status_ == Status::Held; }
  Status GetStatus() const { return status_; }
  bool Busy() const { return status_ == Status::Busy; }
  // Busy: who holds the controller, as far as the system can tell.
  const LockHolder& Holder() const { return holder_; }
  // Lets the lock go before the group's end, when this held it.
  void End();

 private:
  friend class CUSBTransfer;
  ExchangeGroup(CUSBTransfer* link, Status status, LockHolder holder = {})
      : link_(link), status_(status), holder_(std::move(holder)) {}

  CUSBTransfer* link_ = nullptr;  // set while held
  Status status_ = Status::Failed;
  LockHolder holder_;
};

}  // namespace orvelle
