// The settings store on Windows: the registry itself.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace orvelle {

namespace {

// RegStatus carries the Win32 numbers, so results pass through unchanged.
RegStatus FromWin32(LONG code) {
  return static_cast<RegStatus>(code);
}

HKEY RootKey(RegRoot root) {
  return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

REGSAM Rights(RegAccess access) {
  switch (access) {
    case RegAccess::Read:
      return KEY_READ;
    case RegAccess::Write:
      return KEY_WRITE;
    case RegAccess::AllAccess:
      break;
  }
  return KEY_ALL_ACCESS;
}

class WinRegKey : public RegKey {
 public:
  explicit WinRegKey(HKEY key) : key_(key) {}
  ~WinRegKey() override { ::RegCloseKey(key_); }
  WinRegKey(const WinRegKey&) = delete;
  WinRegKey& operator=(const WinRegKey&) = delete;

  RegStatus QueryValue(std::string_view name, RegType* type, std::span<uint8_t> data,
                       size_t* size) override {
    DWORD winType = 0;
    DWORD winSize = static_cast<DWORD>(data.size());
    // An empty span must reach the registry as a null buffer: a non-null one
    // of size 0 is a short buffer (MoreData), not a question for the size.
    // Windows leaves a short buffer's content undefined, so the value goes
    // through a buffer of our own and reaches the caller only whole.
    std::vector<uint8_t> bytes(data.size());
    const std::string valueName(name);
    LONG rc = ::RegQueryValueExA(key_, valueName.c_str(), nullptr, &winType,
                                 data.empty() ? nullptr : bytes.data(), &winSize);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
      if (type) *type = static_cast<RegType>(winType);
      if (size) *size = winSize;
    }
    if (rc == ERROR_SUCCESS && !data.empty())
      std::copy_n(bytes.begin(), std::min<size_t>(winSize, data.size()), data.begin());
    return FromWin32(rc);
  }

  RegStatus SetValue(std::string_view name, RegType type, std::span<const uint8_t> data) override {
    return FromWin32(::RegSetValueExA(key_, std::string(name).c_str(), 0, static_cast<DWORD>(type),
                                      data.data(), static_cast<DWORD>(data.size())));
  }

  RegStatus DeleteValue(std::string_view name) override {
    return FromWin32(::RegDeleteValueA(key_, std::string(name).c_str()));
  }

 private:
  HKEY key_;
};

class WinRegistry : public Registry {
 public:
  RegStatus CreateKey(RegRoot root, std::string_view path, RegAccess access,
                      std::unique_ptr<RegKey>& key, bool* created) override {
    HKEY handle = nullptr;
    DWORD disposition = 0;
    char emptyClass[] = "";
    LONG rc =
        ::RegCreateKeyExA(RootKey(root), std::string(path).c_str(), 0, emptyClass,
                          REG_OPTION_NON_VOLATILE, Rights(access), nullptr, &handle, &disposition);
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    if (created) *created = disposition == REG_CREATED_NEW_KEY;
    key = std::make_unique<WinRegKey>(handle);
    return RegStatus::Success;
  }

  RegStatus OpenKey(RegRoot root, std::string_view path, RegAccess access,
                    std::unique_ptr<RegKey>& key) override {
    HKEY handle = nullptr;
    LONG rc = ::RegOpenKeyExA(RootKey(root), std::string(path).c_str(), 0, Rights(access), &handle);
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    key = std::make_unique<WinRegKey>(handle);
    return RegStatus::Success;
  }

  std::string LastErrorText() const override { return {}; }
};

}  // namespace

std::unique_ptr<Registry> OpenSystemRegistry() {
  return std::make_unique<WinRegistry>();
}

}  // namespace orvelle
