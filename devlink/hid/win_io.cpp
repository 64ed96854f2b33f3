#include "devlink/hid/win_io.h"

#include <sddl.h>

#include <vector>

#include "devlink/hid/event.h"

namespace orvelle {

IoEnd Transfer(HANDLE handle, bool reading, void* data, DWORD size, const Event* stop,
               std::chrono::milliseconds timeout, DWORD& transferred, DWORD* error) {
  transferred = 0;
  if (stop && stop->IsSet()) return IoEnd::Stopped;
  Handle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done.Valid()) return IoEnd::Failed;
  OVERLAPPED overlapped{};
  overlapped.hEvent = done.Get();
  const BOOL started = reading ? ::ReadFile(handle, data, size, nullptr, &overlapped)
                               : ::WriteFile(handle, data, size, nullptr, &overlapped);
  if (!started && ::GetLastError() != ERROR_IO_PENDING) {
    if (error) *error = ::GetLastError();
    // A message longer than the buffer completes at once, its start read.
    if (::GetLastError() == ERROR_MORE_DATA) transferred = size;
    return IoEnd::Failed;
  }
  if (!started) {
    const HANDLE waits[2] = {done.Get(),
                             stop ? static_cast<HANDLE>(stop->NativeHandle()) : nullptr};
    const DWORD waited = ::WaitForMultipleObjects(
        stop ? 2 : 1, waits, FALSE,
        timeout.count() < 0 ? INFINITE : static_cast<DWORD>(timeout.count()));
    if (waited != WAIT_OBJECT_0) {
      ::CancelIoEx(handle, &overlapped);
      if (::GetOverlappedResult(handle, &overlapped, &transferred, TRUE)) return IoEnd::Done;
      return waited == WAIT_TIMEOUT ? IoEnd::TimedOut : IoEnd::Stopped;
    }
  }
  if (::GetOverlappedResult(handle, &overlapped, &transferred, TRUE)) return IoEnd::Done;
  if (error) *error = ::GetLastError();
  return IoEnd::Failed;
}

std::wstring CurrentUserSid() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  Handle token(raw);
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  wchar_t* text = nullptr;
  if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size) ||
      !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    return {};
  }
  std::wstring sid(text);
  ::LocalFree(text);
  return sid;
}

}  // namespace orvelle
