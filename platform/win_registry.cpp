// The settings store on Windows: the registry itself. Names and texts are
// UTF-8 on this side and go through the registry's wide API: its 8-bit one
// would read them in the system's code page.
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

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
  return wide;
}

std::vector<uint8_t> Utf8Bytes(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                        reinterpret_cast<char*>(bytes.data()), length, nullptr, nullptr);
  return bytes;
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

  // A text value is sized and copied as its UTF-8 bytes (with the terminator
  // it was stored with); other values as they are stored.
  RegStatus QueryValue(std::string_view name, RegType* type, std::span<uint8_t> data,
                       size_t* size) override {
    const std::wstring valueName = Wide(name);
    DWORD winType = 0;
    DWORD winSize = 0;
    LONG rc = ::RegQueryValueExW(key_, valueName.c_str(), nullptr, &winType, nullptr, &winSize);
    // Read whole into a buffer of our own (a value may grow between the calls).
    std::vector<uint8_t> stored;
    while (rc == ERROR_SUCCESS) {
      stored.resize(winSize);
      rc = ::RegQueryValueExW(key_, valueName.c_str(), nullptr, &winType,
                              stored.empty() ? nullptr : stored.data(), &winSize);
      if (rc != ERROR_MORE_DATA) break;
      rc = ERROR_SUCCESS;
    }
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    stored.resize(winSize);
    if (winType == REG_SZ || winType == REG_EXPAND_SZ) {
      std::wstring text(stored.size() / sizeof(wchar_t), L'\0');
      std::copy_n(stored.begin(), text.size() * sizeof(wchar_t),
                  reinterpret_cast<uint8_t*>(text.data()));
      stored = Utf8Bytes(text);
    }
    if (type) *type = static_cast<RegType>(winType);
    if (size) *size = stored.size();
    if (data.empty()) return RegStatus::Success;
    if (stored.size() > data.size()) return RegStatus::MoreData;
    std::copy(stored.begin(), stored.end(), data.begin());
    return RegStatus::Success;
  }

  RegStatus SetValue(std::string_view name, RegType type, std::span<const uint8_t> data) override {
    if (type != RegType::String) {
      return FromWin32(::RegSetValueExW(key_, Wide(name).c_str(), 0, static_cast<DWORD>(type),
                                        data.data(), static_cast<DWORD>(data.size())));
    }
    const std::wstring text =
        Wide(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    return FromWin32(::RegSetValueExW(key_, Wide(name).c_str(), 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(text.data()),
                                      static_cast<DWORD>(text.size() * sizeof(wchar_t))));
  }

  RegStatus DeleteValue(std::string_view name) override {
    return FromWin32(::RegDeleteValueW(key_, Wide(name).c_str()));
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
    LONG rc =
        ::RegCreateKeyExW(RootKey(root), Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          Rights(access), nullptr, &handle, &disposition);
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    if (created) *created = disposition == REG_CREATED_NEW_KEY;
    key = std::make_unique<WinRegKey>(handle);
    return RegStatus::Success;
  }

  RegStatus OpenKey(RegRoot root, std::string_view path, RegAccess access,
                    std::unique_ptr<RegKey>& key) override {
    HKEY handle = nullptr;
    LONG rc = ::RegOpenKeyExW(RootKey(root), Wide(path).c_str(), 0, Rights(access), &handle);
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    key = std::make_unique<WinRegKey>(handle);
    return RegStatus::Success;
  }

  SettingsRoots Settings() const override { return {RegRoot::CurrentUser, RegRoot::LocalMachine}; }
  std::string LastErrorText() const override { return {}; }
};

}  // namespace

std::unique_ptr<Registry> OpenSystemRegistry() {
  return std::make_unique<WinRegistry>();
}

}  // namespace orvelle
