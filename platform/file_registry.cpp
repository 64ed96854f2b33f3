#include "platform/file_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <set>

#include "platform/atomic_file.h"
#include "platform/reg_text.h"
#include "platform/user_folders.h"

namespace orvelle {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxFileBytes = 16u << 20;
constexpr size_t kMaxValueBytes = 1u << 20;
constexpr size_t kMaxValueName = 16383;

std::string ErrnoText(int err) {
  return std::strerror(err);
}

RegStatus StatusFromErrno(int err, RegStatus otherwise) {
  return (err == EACCES || err == EPERM || err == EROFS) ? RegStatus::AccessDenied : otherwise;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Holds a flock on the root's lock file for the length of one operation.
class StoreLock {
 public:
  StoreLock(const fs::path& lockPath, bool exclusive) {
    // Never blocking in open: something other than a file may sit there.
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd_ < 0) fd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    // Without a lock file nobody can have written the store with this
    // folder's rights, so reading unlocked is safe.
    if (fd_ < 0) return;
    while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  int fd_ = -1;
};

// What tells one version of the store file from another without reading it.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static FileIdentity Of(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  bool operator==(const FileIdentity& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
  }
};

std::string DatedSuffix() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
  return buf;
}

bool SameContent(const fs::path& path, const std::string& content) {
  std::error_code ec;
  if (fs::file_size(path, ec) != content.size() || ec) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string other(content.size(), '\0');
  size_t got = std::fread(other.data(), 1, other.size(), f);
  std::fclose(f);
  return got == content.size() && other == content;
}

// Keeps the damaged bytes beside the store under a dated name, once per
// distinct content, so repeated failures do not pile up copies.
bool KeepDamagedCopy(const fs::path& file, const std::string& content, fs::path& copy,
                     std::string& error) {
  const std::string prefix = file.filename().string() + ".damaged-";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(file.parent_path(), ec)) {
    if (entry.path().filename().string().starts_with(prefix) &&
        SameContent(entry.path(), content)) {
      copy = entry.path();
      return true;
    }
  }
  const std::string base = file.string() + ".damaged-" + DatedSuffix();
  for (int n = 1; n < 100; ++n) {
    copy = n == 1 ? base : base + "-" + std::to_string(n);
    int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) break;
    bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    ::close(fd);
    if (ok) return true;
    ::unlink(copy.c_str());
    break;
  }
  error = ErrnoText(errno);
  return false;
}

}  // namespace

class FileStore {
 public:
  using Body = std::function<RegStatus(RegDocument&, bool& modified)>;

  explicit FileStore(fs::path folder) : folder_(std::move(folder)) {}

  fs::path StorePath(RegRoot root) const {
    return folder_ / (std::string(RootName(root)) + ".reg");
  }

  // Runs `body` on the root's current content and, when it changed something,
  // replaces the file; all under the root's lock.
  RegStatus Transact(RegRoot root, bool change, const Body& body) {
    std::lock_guard<std::mutex> serial(transactMutex_);
    if (folder_.empty()) {
      SetError(std::string(kNoConfigFolderText));
      return change ? RegStatus::CantWrite : RegStatus::CantRead;
    }
    std::error_code ec;
    if (change) fs::create_directories(folder_, ec);
    StoreLock lock(folder_ / (std::string(RootName(root)) + ".lock"), change);
    Cached& cached = cache_[root == RegRoot::LocalMachine ? 0 : 1];
    RegStatus status = Load(root, cached);
    if (status != RegStatus::Success) return status;
    bool modified = false;
    status = body(cached.document, modified);
    if (status == RegStatus::Success && modified) {
      status = Save(root, cached);
    }
    // A change that did not reach the file must not live on in the cache.
    if (modified && status != RegStatus::Success) cached = Cached{};
    return status;
  }

  std::string LastError() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return lastError_;
  }

  void SetError(const std::string& text) {
    std::lock_guard<std::mutex> guard(mutex_);
    lastError_ = text;
    if (printed_.insert(text).second) std::fprintf(stderr, "%s\n", text.c_str());
  }

 private:
  // The parsed content of one root while its file stays the same.
  struct Cached {
    bool valid = false;
    bool exists = false;
    FileIdentity identity;
    // A file changed within a clock tick of being read may change again with
    // the same times; only older files, and our own writes, are trusted.
    bool settled = false;
    RegDocument document;
  };

  RegStatus Load(RegRoot root, Cached& cached) {
    const fs::path path = StorePath(root);
    // O_NONBLOCK: a FIFO in the store's place must not hang the program.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      int err = errno;
      if (err == ENOENT) {  // nothing stored yet
        if (!cached.valid || cached.exists) cached = Cached{.valid = true};
        return RegStatus::Success;
      }
      cached = Cached{};
      SetError("Cannot read the settings file " + path.string() + ": " + ErrnoText(err));
      return StatusFromErrno(err, RegStatus::CantRead);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      int err = errno;
      ::close(fd);
      cached = Cached{};
      SetError("Cannot read the settings file " + path.string() + ": " + ErrnoText(err));
      return RegStatus::CantRead;
    }
    if (!S_ISREG(st.st_mode)) {
      ::close(fd);
      cached = Cached{};
      return ReportDamage(path, nullptr, "it is not a regular file");
    }
    const FileIdentity identity = FileIdentity::Of(st);
    if (cached.valid && cached.exists && cached.settled && cached.identity == identity) {
      ::close(fd);
      return RegStatus::Success;
    }
    cached = Cached{};
    if (static_cast<size_t>(st.st_size) > kMaxFileBytes) {
      ::close(fd);
      return ReportDamage(path, nullptr, "it is larger than 16 MiB");
    }
    timespec readAt{};
    ::clock_gettime(CLOCK_REALTIME, &readAt);
    std::string content(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    bool ok = true;
    while (ok && done < content.size()) {
      ssize_t n = ::read(fd, content.data() + done, content.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0)
        ok = false;
      else
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (!ok) {
      SetError("Cannot read the settings file " + path.string() + ": it changed while read.");
      return RegStatus::CantRead;
    }
    std::string why;
    if (!ParseRegText(content, root, cached.document, why)) {
      cached = Cached{};
      return ReportDamage(path, &content, why);
    }
    cached.valid = true;
    cached.exists = true;
    cached.identity = identity;
    cached.settled = st.st_mtim.tv_sec + 2 <= readAt.tv_sec;
    return RegStatus::Success;
  }

  // `content` is null when there are no bytes to keep (not a regular file).
  RegStatus ReportDamage(const fs::path& path, const std::string* content, const std::string& why) {
    std::string text = "The settings file " + path.string() + " is damaged (" + why + "). ";
    if (content) {
      fs::path copy;
      std::string copyError;
      if (KeepDamagedCopy(path, *content, copy, copyError)) {
        text += "A copy was kept as " + copy.string() + ". ";
      } else {
        text += "A copy could not be kept (" + copyError + "). ";
      }
    }
    text +=
        "The file is left as it is; its settings can be neither read nor changed until it "
        "is repaired or removed.";
    SetError(text);
    return RegStatus::RegistryCorrupt;
  }

  // A file without any write permission is a setting locked by the
  // administrator; the writer replaces the file a symbolic link names.
  RegStatus Save(RegRoot root, Cached& cached) {
    const fs::path path = StorePath(root);
    const FileWriteResult written =
        WriteFileAtomically(path, FormatRegText(cached.document, root), NewFileAccess::OwnerOnly);
    switch (written.status) {
      case FileWriteStatus::Written:
        break;
      case FileWriteStatus::NotRegularFile:
        return ReportDamage(path, nullptr, written.Reason());
      case FileWriteStatus::ReadOnly:
      case FileWriteStatus::ForeignLink:
      case FileWriteStatus::ForeignFile:
        SetError("Cannot write the settings file " + path.string() + ": " + written.Reason() + ".");
        return RegStatus::AccessDenied;
      case FileWriteStatus::Failed:
        SetError("Cannot write the settings file " + path.string() + ": " + written.Reason());
        return StatusFromErrno(written.error.value(), RegStatus::CantWrite);
    }
    // The file is ours and new, so what we hold is what it says.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      cached.valid = cached.exists = cached.settled = true;
      cached.identity = FileIdentity::Of(st);
    } else {
      cached = Cached{};
    }
    return RegStatus::Success;
  }

  const fs::path folder_;
  std::mutex transactMutex_;
  Cached cache_[2];
  mutable std::mutex mutex_;
  std::string lastError_;
  std::set<std::string> printed_;
};

namespace {

bool ValidValueName(std::string_view name) {
  if (name.size() > kMaxValueName) return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

bool CanRead(RegAccess access) {
  return access != RegAccess::Write;
}
bool CanWrite(RegAccess access) {
  return access != RegAccess::Read;
}

class FileRegKey : public RegKey {
 public:
  FileRegKey(std::shared_ptr<FileStore> store, RegRoot root, std::string path, RegAccess access)
      : store_(std::move(store)), root_(root), path_(std::move(path)), access_(access) {}

  RegStatus QueryValue(std::string_view name, RegType* type, std::span<uint8_t> data,
                       size_t* size) override {
    if (!CanRead(access_)) return RegStatus::AccessDenied;
    return store_->Transact(root_, false, [&](RegDocument& doc, bool&) {
      RegKeyData* key = doc.FindKey(path_);
      if (!key) return RegStatus::KeyDeleted;
      const RegValueData* value = FindValue(*key, name);
      if (!value) return RegStatus::FileNotFound;
      if (type) *type = value->type;
      if (size) *size = value->data.size();
      if (data.data() == nullptr) return RegStatus::Success;  // size query only
      if (data.size() < value->data.size()) return RegStatus::MoreData;
      std::copy(value->data.begin(), value->data.end(), data.begin());
      return RegStatus::Success;
    });
  }

  RegStatus SetValue(std::string_view name, RegType type, std::span<const uint8_t> data) override {
    if (!CanWrite(access_)) return RegStatus::AccessDenied;
    if (!ValidValueName(name) || data.size() > kMaxValueBytes) {
      return RegStatus::InvalidParameter;
    }
    return store_->Transact(root_, true, [&](RegDocument& doc, bool& modified) {
      RegKeyData* key = doc.FindKey(path_);
      if (!key) return RegStatus::KeyDeleted;
      RegValueData* value = FindValue(*key, name);
      if (!value) value = &key->values.emplace_back(RegValueData{std::string(name), type, {}});
      value->type = type;
      value->data.assign(data.begin(), data.end());
      modified = true;
      return RegStatus::Success;
    });
  }

  RegStatus DeleteValue(std::string_view name) override {
    if (!CanWrite(access_)) return RegStatus::AccessDenied;
    return store_->Transact(root_, true, [&](RegDocument& doc, bool& modified) {
      RegKeyData* key = doc.FindKey(path_);
      if (!key) return RegStatus::KeyDeleted;
      for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (EqualsNoCase(it->name, name)) {
          key->values.erase(it);
          modified = true;
          return RegStatus::Success;
        }
      }
      return RegStatus::FileNotFound;
    });
  }

 private:
  const std::shared_ptr<FileStore> store_;
  const RegRoot root_;
  const std::string path_;
  const RegAccess access_;
};

}  // namespace

FileRegistry::FileRegistry(fs::path folder)
    : store_(std::make_shared<FileStore>(std::move(folder))) {}

FileRegistry::~FileRegistry() = default;

fs::path FileRegistry::DefaultFolder() {
  if (const char* dir = std::getenv("ORVELLE_CONFIG_DIR"); dir && *dir) return dir;
  const fs::path config = UserConfigFolder();
  return config.empty() ? fs::path() : config / "orvelle";
}

fs::path FileRegistry::StorePath(RegRoot root) const {
  return store_->StorePath(root);
}

RegStatus FileRegistry::CreateKey(RegRoot root, std::string_view path, RegAccess access,
                                  std::unique_ptr<RegKey>& key, bool* created) {
  if (!IsValidKeyPath(path)) return RegStatus::InvalidParameter;
  bool added = false;
  RegStatus status = store_->Transact(root, true, [&](RegDocument& doc, bool& modified) {
    if (!doc.FindKey(path)) {
      doc.AddKey(path, &added);
      modified = true;
    }
    return RegStatus::Success;
  });
  if (status != RegStatus::Success) return status;
  if (created) *created = added;
  key = std::make_unique<FileRegKey>(store_, root, std::string(path), access);
  return RegStatus::Success;
}

RegStatus FileRegistry::OpenKey(RegRoot root, std::string_view path, RegAccess access,
                                std::unique_ptr<RegKey>& key) {
  if (!IsValidKeyPath(path)) return RegStatus::InvalidParameter;
  RegStatus status = store_->Transact(root, false, [&](RegDocument& doc, bool&) {
    return doc.FindKey(path) ? RegStatus::Success : RegStatus::FileNotFound;
  });
  if (status == RegStatus::Success) {
    key = std::make_unique<FileRegKey>(store_, root, std::string(path), access);
  }
  return status;
}

std::string FileRegistry::LastErrorText() const {
  return store_->LastError();
}

}  // namespace orvelle
