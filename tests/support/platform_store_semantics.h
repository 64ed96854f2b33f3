#pragma once
// What the settings store's callers rely on, whichever backend keeps it: the
// file store on POSIX and the registry on Windows run the same checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace orvelle::testing {

// Runs on `path` under `root`, a key nobody else uses and that does not exist.
inline void ExpectStoreSemantics(Registry& registry, RegRoot root, const std::string& path) {
  std::unique_ptr<RegKey> key;
  EXPECT_EQ(registry.OpenKey(root, path, RegAccess::Read, key), RegStatus::FileNotFound);
  bool created = false;
  ASSERT_EQ(registry.CreateKey(root, path + "\\Key", RegAccess::AllAccess, key, &created),
            RegStatus::Success);
  EXPECT_TRUE(created);
  ASSERT_EQ(registry.CreateKey(root, path + "\\KEY", RegAccess::AllAccess, key, &created),
            RegStatus::Success);
  EXPECT_FALSE(created) << "names are not case-sensitive";
  std::unique_ptr<RegKey> other;
  EXPECT_EQ(registry.OpenKey(root, path, RegAccess::Read, other), RegStatus::Success);
  const RegRoot otherRoot =
      root == RegRoot::LocalMachine ? RegRoot::CurrentUser : RegRoot::LocalMachine;
  EXPECT_EQ(registry.OpenKey(otherRoot, path, RegAccess::Read, other), RegStatus::FileNotFound);

  // A value is read into the caller's buffer only when it fits; its size and
  // type come back either way.
  const std::string text = "D:\\软件\\Orvelle";  // UTF-8, longer than four bytes
  const struct {
    const char* name;
    RegType type;
    std::vector<uint8_t> stored;
    size_t buffer;
    RegStatus status;
  } cases[] = {
      {"Dword", RegType::Dword, {0x01, 0x01, 0x00, 0x00}, 4, RegStatus::Success},
      {"String", RegType::String, {text.begin(), text.end() + 1}, 4, RegStatus::MoreData},
      {"Text", RegType::String, {text.begin(), text.end() + 1}, 64, RegStatus::Success},
      {"Short", RegType::Binary, {0xAB, 0xCD}, 4, RegStatus::Success},
      {"SizeOnly", RegType::Binary, {0xAB, 0xCD}, 0, RegStatus::Success},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(key->SetValue(c.name, c.type, c.stored), RegStatus::Success);
    std::vector<uint8_t> buffer(c.buffer, 0xEE);
    RegType type = RegType::None;
    size_t size = 0;
    EXPECT_EQ(key->QueryValue(c.name, &type, buffer, &size), c.status);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(size, c.stored.size());
    std::vector<uint8_t> expected(c.buffer, 0xEE);
    if (c.status == RegStatus::Success)
      std::copy_n(c.stored.begin(), std::min(c.buffer, c.stored.size()), expected.begin());
    EXPECT_EQ(buffer, expected);
  }
  uint8_t buffer[4];
  size_t size = sizeof buffer;
  EXPECT_EQ(key->QueryValue("dWORD", nullptr, buffer, &size), RegStatus::Success);
  EXPECT_EQ(key->QueryValue("Missing", nullptr, buffer, &size), RegStatus::FileNotFound);
  EXPECT_EQ(key->DeleteValue("DWORD"), RegStatus::Success);
  EXPECT_EQ(key->DeleteValue("Dword"), RegStatus::FileNotFound);
  EXPECT_EQ(key->QueryValue("Dword", nullptr, buffer, &size), RegStatus::FileNotFound);

  // Keys keep the rights they were opened with.
  ASSERT_EQ(registry.OpenKey(root, path + "\\Key", RegAccess::Read, key), RegStatus::Success);
  EXPECT_EQ(SetDwordValue(*key, "Language", 1), RegStatus::AccessDenied);
  ASSERT_EQ(registry.OpenKey(root, path + "\\Key", RegAccess::Write, key), RegStatus::Success);
  size = sizeof buffer;
  EXPECT_EQ(key->QueryValue("Short", nullptr, buffer, &size), RegStatus::AccessDenied);
}

}  // namespace orvelle::testing
