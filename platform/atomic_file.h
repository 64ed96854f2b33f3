#pragma once
// Replacing a file's whole content so that a crash, a full disk or a removed
// medium leaves either the old content or the new one, never a mixture, and so
// that a name planted by another user never redirects the write. Every file
// the suite writes goes through here.
//
// In a folder that everyone may write in and that keeps others from removing
// what they do not own (sticky, as /tmp), a link or file that another user put
// there is left alone unless the folder is theirs: the rule by which the
// kernel guards such folders (fs.protected_symlinks, fs.protected_regular).

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace orvelle {

// The mode of a file that does not exist yet (POSIX; on Windows the folder's
// access rules apply). A replaced file keeps its own mode and owner.
enum class NewFileAccess {
  Everyone,   // rw-r--r--, less the umask: files made to be handed on
  OwnerOnly,  // rw-------: settings
};

enum class FileWriteStatus {
  Written,
  NotRegularFile,  // something else lies at the path; it was left alone
  ReadOnly,        // the file has no write permission for us; it was left alone
  ForeignLink,     // another user's link in a shared folder (above); it was not followed
  ForeignFile,     // another user's file in a shared folder (above); it was left alone
  Failed,          // see `error`; an existing file was left as it was
};

struct FileWriteResult {
  FileWriteStatus status = FileWriteStatus::Failed;
  std::error_code error;

  explicit operator bool() const { return status == FileWriteStatus::Written; }
  // Why the file was not written, as a phrase for messages.
  std::string Reason() const;
};

// Writes `content` to a new temporary file beside the file `path` names (a
// symbolic link stays a link: the file it names is replaced, unless the link
// is another user's in a shared folder), flushes it to disk and renames it
// over that file. Temporaries that killed writers of the same file left are
// removed first.
FileWriteResult WriteFileAtomically(const std::filesystem::path& path, std::string_view content,
                                    NewFileAccess access = NewFileAccess::Everyone);

namespace detail {
// "<file name>.tmp-" and six random letters or digits, the file name cut
// (between characters) where the whole would be longer than a name may be.
std::filesystem::path TemporaryFor(const std::filesystem::path& target);
bool IsTemporaryOf(const std::filesystem::path& candidate, const std::filesystem::path& target);
}  // namespace detail

}  // namespace orvelle
