#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <tuple>
#include <vector>

#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvelle {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  if (!fs::is_regular_file(path)) return {};  // never wait on a FIFO
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

void Put(const fs::path& file, fs::perms mode = fs::perms(0644)) {
  std::ofstream(file, std::ios::binary) << "old";
  fs::permissions(file, mode);
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

fs::perms Mode(const fs::path& p) {
  return fs::status(p).permissions() & fs::perms::mask;
}

#ifndef _WIN32
fs::perms LessUmask(unsigned mode) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return fs::perms(mode & ~mask);
}
#endif

// What lies at the path decides: written (keeping a replaced file's mode and
// a link as a link), or refused with it left as it was.
TEST(AtomicFile, WhatLiesAtThePathKeepsItsKindAndMode) {
  using Arrange = std::function<void(const fs::path& file)>;
  const auto nothing = [](const fs::path&) {};
  // Name, arrangement, access for a new file, status, mode afterwards (none:
  // not looked at), content afterwards.
  const std::tuple<const char*, Arrange, NewFileAccess, FileWriteStatus, std::optional<fs::perms>,
                   const char*>
      cases[] = {
          {"new export", nothing, NewFileAccess::Everyone, FileWriteStatus::Written, {}, "new"},
          {"plain file",
           [](auto& f) { Put(f); },
           NewFileAccess::OwnerOnly,
           FileWriteStatus::Written,
           {},
           "new"},
          {"folder",
           [](auto& f) { fs::create_directory(f); },
           NewFileAccess::Everyone,
           FileWriteStatus::NotRegularFile,
           {},
           ""},
          {"read-only file",
           [](auto& f) { Put(f, fs::perms::owner_read); },
           NewFileAccess::Everyone,
           FileWriteStatus::ReadOnly,
           {},
           "old"},
#ifndef _WIN32
          {"new export mode", nothing, NewFileAccess::Everyone, FileWriteStatus::Written,
           LessUmask(0644), "new"},
          {"new settings", nothing, NewFileAccess::OwnerOnly, FileWriteStatus::Written,
           fs::perms(0600), "new"},
          {"private file", [](auto& f) { Put(f, fs::perms(0600)); }, NewFileAccess::Everyone,
           FileWriteStatus::Written, fs::perms(0600), "new"},
          {"group file", [](auto& f) { Put(f, fs::perms(0640)); }, NewFileAccess::Everyone,
           FileWriteStatus::Written, fs::perms(0640), "new"},
          {"fifo", [](auto& f) { ::mkfifo(f.c_str(), 0600); }, NewFileAccess::Everyone,
           FileWriteStatus::NotRegularFile, fs::perms(0600), ""},
          {"link to a fifo",
           [](auto& f) {
             ::mkfifo((f.parent_path() / "fifo").c_str(), 0600);
             fs::create_symlink("fifo", f);
           },
           NewFileAccess::Everyone,
           FileWriteStatus::NotRegularFile,
           {},
           ""},
          {"link to a file",
           [](auto& f) {
             fs::create_directory(f.parent_path() / "elsewhere");
             Put(f.parent_path() / "elsewhere" / "named", fs::perms(0640));
             fs::create_symlink("elsewhere/named", f);
           },
           NewFileAccess::Everyone, FileWriteStatus::Written, fs::perms(0640), "new"},
#endif
      };
  for (const auto& [name, arrange, access, expected, mode, content] : cases) {
    SCOPED_TRACE(name);
    testing::TempFolder temp;
    const fs::path file = fs::path(temp.Path()) / "frame.cal";
    arrange(file);
    const fs::file_type kind = fs::symlink_status(file).type();
    const std::vector<std::string> before = Names(temp.Path());
    const FileWriteResult result = WriteFileAtomically(file, "new", access);
    EXPECT_EQ(result.status, expected) << result.Reason();
    EXPECT_EQ(fs::symlink_status(file).type(),
              kind == fs::file_type::not_found ? fs::file_type::regular : kind);
    if (mode) {
      EXPECT_EQ(Mode(file), *mode);
    }
    EXPECT_EQ(ReadFile(file), content);
    if (kind != fs::file_type::not_found) {
      EXPECT_EQ(Names(temp.Path()), before);
    }
    fs::permissions(file, fs::perms::owner_all, fs::perm_options::add);
  }
}

// A killed writer's temporary goes with the next write of the same file;
// anything else beside the file stays.
TEST(AtomicFile, TheNextWriteRemovesAbandonedTemporariesOnly) {
  testing::TempFolder temp;
  const fs::path folder = temp.Path();
  const fs::path file = folder / "frame.cal";
  const char* const kept[] = {"frame.cal.backup", "frame.cal.tmp-toolong", "other.cal.tmp-Ab12Cd"};
  for (const char* name : kept)
    Put(folder / name);
  Put(folder / "frame.cal.tmp-Ab12Cd");
  // Abandoned long enough ago for every platform's rule.
  fs::last_write_time(folder / "frame.cal.tmp-Ab12Cd",
                      fs::file_time_type::clock::now() - std::chrono::hours(1));
  ASSERT_TRUE(WriteFileAtomically(file, "new"));
  std::vector<std::string> expected(std::begin(kept), std::end(kept));
  expected.push_back("frame.cal");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(folder), expected);
  EXPECT_EQ(ReadFile(file), "new");
}

#ifndef _WIN32
// Names another user can plant beside the file are never written through, and
// a temporary that a living writer holds is not taken from it.
TEST(AtomicFile, NamesPlantedBesideTheFileAreNeverWrittenThrough) {
  testing::TempFolder temp;
  const fs::path folder = temp.Path();
  const fs::path file = folder / "frame.cal";
  Put(folder / "victim");
  const std::string planted[] = {"frame.cal.tmp-" + std::to_string(::getpid()),
                                 "frame.cal.tmp-Zz9Zz9"};
  for (const std::string& name : planted)
    fs::create_symlink("victim", folder / name);
  Put(folder / "frame.cal.tmp-Live00");
  const int live = ::open((folder / "frame.cal.tmp-Live00").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(live, LOCK_EX), 0);

  ASSERT_TRUE(WriteFileAtomically(file, "new"));
  ::close(live);
  EXPECT_EQ(ReadFile(file), "new");
  EXPECT_EQ(ReadFile(folder / "victim"), "old");
  for (const std::string& name : planted)
    EXPECT_TRUE(fs::is_symlink(folder / name)) << name;
  EXPECT_TRUE(fs::exists(folder / "frame.cal.tmp-Live00"));
}
#endif

}  // namespace
}  // namespace orvelle
