#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "devlink/hid/controller_lock.h"

namespace orvelle {
namespace {

class MutexLock final : public ControllerLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  // Let go on the thread that took it, as a Windows mutex must be.
  ~MutexLock() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  const HANDLE mutex_;
};

// Device paths hold backslashes, which a kernel object's name may not: the
// name carries a hash of the path instead (FNV-1a).
std::wstring MutexName(const std::string& path) {
  uint64_t hash = 1469598103934665603ull;
  for (char c : path) {
    hash ^= static_cast<uint8_t>(std::tolower(static_cast<unsigned char>(c)));
    hash *= 1099511628211ull;
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"Global\\OrvelleController-%016llx",
                static_cast<unsigned long long>(hash));
  return name;
}

}  // namespace

LockStatus LockNamedMutex(const std::string& path, std::unique_ptr<ControllerLock>& lock,
                          LockHolder&) {
  // Every user's programs share the controller: any of them may wait on the
  // mutex, whoever made it.
  SECURITY_DESCRIPTOR everyone;
  InitializeSecurityDescriptor(&everyone, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&everyone, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &everyone, FALSE};
  const std::wstring name = MutexName(path);
  HANDLE mutex = CreateMutexW(&attributes, FALSE, name.c_str());
  if (!mutex) mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
  if (!mutex) return LockStatus::Failed;
  switch (WaitForSingleObject(mutex, 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder ended without letting go
      lock = std::make_unique<MutexLock>(mutex);
      return LockStatus::Taken;
    case WAIT_TIMEOUT:
      CloseHandle(mutex);
      return LockStatus::Busy;
    default:
      CloseHandle(mutex);
      return LockStatus::Failed;
  }
}

}  // namespace orvelle
