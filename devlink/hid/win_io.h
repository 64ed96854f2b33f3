#pragma once
// Windows handles and overlapped transfers, shared by the HID bus and the
// simulator's pipes: every wait also ends when the caller's stop event is set.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

namespace orvelle {

class Event;

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() { Reset(); }
  Handle(Handle&& other) noexcept : h_(other.Release()) {}
  Handle& operator=(Handle&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE Get() const { return h_; }
  HANDLE Release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
  void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
    if (Valid()) ::CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_;
};

enum class IoEnd : uint8_t { Done, Stopped, TimedOut, Failed };

// One overlapped read or write, waited for together with `stop` (may be null)
// for up to `timeout` (or kNoTimeLimit). A transfer that is stopped or
// times out is cancelled and waited out, so the buffer is free on return.
// `error` receives GetLastError() of a failed one (ERROR_MORE_DATA: a message
// longer than the buffer, whose start was read).
IoEnd Transfer(HANDLE handle, bool reading, void* data, DWORD size, const Event* stop,
               std::chrono::milliseconds timeout, DWORD& transferred, DWORD* error = nullptr);

// The user this process runs as, as a SID string ("S-1-5-21-..."); empty when
// it cannot be learnt.
std::wstring CurrentUserSid();

}  // namespace orvelle
