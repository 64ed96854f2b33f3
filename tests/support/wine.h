#pragma once
// Whether the tests run under Wine, whose prefix is the test run's own and
// whose settings (the Windows version it reports) the tests may change.

#include <windows.h>

#include <filesystem>

namespace orvelle::testing {

inline bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The folder of the running test executable, where its helper programs lie.
inline std::filesystem::path OwnFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::wstring(path, n)).parent_path();
}

}  // namespace orvelle::testing
