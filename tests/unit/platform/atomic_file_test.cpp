#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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

void Put(const fs::path& file, unsigned mode = 0644) {
  std::ofstream(file, std::ios::binary) << "old";
  fs::permissions(file, fs::perms(mode));
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

#ifndef _WIN32
// `owner`'s file (rw-r--r--), or link to elsewhere/named (rw-r-----), in a
// folder of `folderMode` that is `folderOwner`'s.
auto Owned(bool link, uid_t owner, unsigned folderMode, uid_t folderOwner = ::geteuid()) {
  return [=](const fs::path& f) {
    const fs::path folder = f.parent_path();
    fs::create_directory(folder / "elsewhere");
    Put(folder / "elsewhere" / "named", 0640);
    link ? fs::create_symlink("elsewhere/named", f) : Put(f);
    ASSERT_EQ(::lchown(f.c_str(), owner, -1) | ::chown(folder.c_str(), folderOwner, -1) |
                  ::chmod(folder.c_str(), folderMode),
              0);
  };
}
#endif

// What lies at the path decides: written (keeping a replaced file's mode, and
// a link as a link), or refused with it left as it was.
TEST(AtomicFile, WhatLiesAtThePathKeepsItsKindAndMode) {
  // Puts something at `file`, or names another one.
  using Arrange = std::function<void(fs::path & file)>;
  const auto nothing = [](const fs::path&) {};
  const auto put = [](unsigned mode) { return [=](const fs::path& f) { Put(f, mode); }; };
  constexpr unsigned kAnyMode = 0;
  // The arrangement, the access of a new file, the status, the mode and
  // content afterwards.
  using Case =
      std::tuple<const char*, Arrange, NewFileAccess, FileWriteStatus, unsigned, const char*>;
  std::vector<Case> cases = {
      {"new export", nothing, NewFileAccess::Everyone, FileWriteStatus::Written, kAnyMode, "new"},
      // As long as a name may be: the temporary beside it is no longer.
      {"255-character name", [](auto& f) { f.replace_filename(std::string(255, 'n')); },
       NewFileAccess::Everyone, FileWriteStatus::Written, kAnyMode, "new"},
      {"folder", [](auto& f) { fs::create_directory(f); }, NewFileAccess::Everyone,
       FileWriteStatus::NotRegularFile, kAnyMode, ""},
      {"read-only file", put(0400), NewFileAccess::Everyone, FileWriteStatus::ReadOnly, kAnyMode,
       "old"},
#ifndef _WIN32
      {"new settings", nothing, NewFileAccess::OwnerOnly, FileWriteStatus::Written, 0600, "new"},
      {"private file", put(0600), NewFileAccess::Everyone, FileWriteStatus::Written, 0600, "new"},
      {"group file", put(0640), NewFileAccess::OwnerOnly, FileWriteStatus::Written, 0640, "new"},
      {"fifo", [](auto& f) { ::mkfifo(f.c_str(), 0600); }, NewFileAccess::Everyone,
       FileWriteStatus::NotRegularFile, 0600, ""},
      {"link to a fifo",
       [](auto& f) {
         ::mkfifo((f.parent_path() / "fifo").c_str(), 0600);
         fs::create_symlink("fifo", f);
       },
       NewFileAccess::Everyone, FileWriteStatus::NotRegularFile, kAnyMode, ""},
      {"link to a file", Owned(true, ::geteuid(), 0700), NewFileAccess::Everyone,
       FileWriteStatus::Written, 0640, "new"},
#endif
  };
#ifndef _WIN32
  // Another user's link or file in a sticky folder open to everyone (as one
  // that user planted in /tmp): followed or replaced only where the folder is
  // that user's.
  constexpr uid_t kAnotherUser = 65534;
  if (::geteuid() == 0) {
    cases.insert(cases.end(),
                 {{"another user's link in a sticky folder", Owned(true, kAnotherUser, 01777),
                   NewFileAccess::Everyone, FileWriteStatus::ForeignLink, 0640, "old"},
                  {"another user's link in their sticky folder",
                   Owned(true, kAnotherUser, 01777, kAnotherUser), NewFileAccess::Everyone,
                   FileWriteStatus::Written, 0640, "new"},
                  {"another user's file in a sticky folder", Owned(false, kAnotherUser, 01777),
                   NewFileAccess::Everyone, FileWriteStatus::ForeignFile, 0644, "old"}});
  }
#endif
  for (const auto& [name, arrange, access, expected, mode, content] : cases) {
    SCOPED_TRACE(name);
    testing::TempFolder temp;
    fs::path file = fs::path(temp.Path()) / "frame.cal";
    arrange(file);
    const fs::file_type kind = fs::symlink_status(file).type();
    const std::vector<std::string> before = Names(temp.Path());
    const FileWriteResult result = WriteFileAtomically(file, "new", access);
    EXPECT_EQ(result.status, expected) << result.Reason();
    EXPECT_EQ(ReadFile(file), content);
    if (kind != fs::file_type::not_found) {
      EXPECT_EQ(fs::symlink_status(file).type(), kind);
      EXPECT_EQ(Names(temp.Path()), before);
    }
    if (mode != kAnyMode) {
      EXPECT_EQ(fs::status(file).permissions() & fs::perms::mask, fs::perms(mode));
    }
    std::error_code nothingThere;
    fs::permissions(file, fs::perms::owner_all, fs::perm_options::add, nothingThere);
  }
#ifndef _WIN32
  if (::geteuid() != 0) GTEST_SKIP() << "another user's links and files need root to be made";
#endif
}

#ifndef _WIN32
// Cut to fit, a long name's temporary keeps whole characters of it, and is
// still known as its temporary.
TEST(AtomicFile, ALongNamesTemporaryIsCutBetweenCharacters) {
  std::string name;
  for (int i = 0; i < 85; ++i)
    name += "\xe6\xa0\xa1";  // 3 bytes in UTF-8
  const std::string temporary = detail::TemporaryFor(name).string();
  EXPECT_EQ(temporary.substr(0, 81 * 3 + 5), name.substr(0, 81 * 3) + ".tmp-");
  EXPECT_EQ(temporary.size(), 81 * 3 + 11u);
  EXPECT_TRUE(detail::IsTemporaryOf(temporary, name));
}
#endif

// A killed writer's temporary goes with the next write of the same file.
// Nothing else beside it is touched: not another file's temporary, not a
// name planted at a temporary's (never written through), not the temporary
// of a writer still at work.
TEST(AtomicFile, TheNextWriteRemovesAbandonedTemporariesOnly) {
  testing::TempFolder temp;
  const fs::path folder = temp.Path();
  std::vector<std::string> kept = {"frame.cal.backup", "frame.cal.tmp-toolong",
                                   "other.cal.tmp-Ab12Cd"};
  for (const std::string& name : kept)
    Put(folder / name);
  Put(folder / "frame.cal.tmp-Ab12Cd");
  // Abandoned long enough ago for every platform's rule.
  fs::last_write_time(folder / "frame.cal.tmp-Ab12Cd",
                      fs::file_time_type::clock::now() - std::chrono::hours(1));
#ifndef _WIN32
  Put(folder / "victim");
  for (const std::string& name :
       {"frame.cal.tmp-" + std::to_string(::getpid()), std::string("frame.cal.tmp-Zz9Zz9")}) {
    fs::create_symlink("victim", folder / name);
    kept.push_back(name);
  }
  Put(folder / "frame.cal.tmp-Live00");
  const int live = ::open((folder / "frame.cal.tmp-Live00").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(live, LOCK_EX), 0);
  kept.insert(kept.end(), {"frame.cal.tmp-Live00", "victim"});
#endif
  ASSERT_TRUE(WriteFileAtomically(folder / "frame.cal", "new"));
#ifndef _WIN32
  ::close(live);
  EXPECT_EQ(ReadFile(folder / "victim"), "old");
#endif
  kept.push_back("frame.cal");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Names(folder), kept);
  EXPECT_EQ(ReadFile(folder / "frame.cal"), "new");
}

}  // namespace
}  // namespace orvelle
