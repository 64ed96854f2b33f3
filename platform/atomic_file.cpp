#include "platform/atomic_file.h"

#include <random>

namespace orvelle {

namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr size_t kRandomLetters = 6;
constexpr std::string_view kLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

bool IsLetterOrDigit(char c) {
  return kLetters.find(c) != std::string_view::npos;
}

}  // namespace

std::string FileWriteResult::Reason() const {
  switch (status) {
    case FileWriteStatus::Written:
      return "written";
    case FileWriteStatus::NotRegularFile:
      return "it is not a regular file";
    case FileWriteStatus::ReadOnly:
      return "it is read-only";
    case FileWriteStatus::Failed:
      break;
  }
  return error.message();
}

namespace detail {

std::filesystem::path TemporaryFor(const std::filesystem::path& target) {
  // Unpredictable, so that nobody can plant anything at the name beforehand;
  // drawn afresh each time, so that forked processes do not share a sequence.
  std::random_device random;
  std::uniform_int_distribution<size_t> pick(0, kLetters.size() - 1);
  std::string suffix(kTemporaryMark);
  for (size_t i = 0; i < kRandomLetters; ++i)
    suffix += kLetters[pick(random)];
  std::filesystem::path temporary = target;
  temporary += suffix;
  return temporary;
}

bool IsTemporaryOf(const std::filesystem::path& candidate, const std::filesystem::path& target) {
  const std::string name = candidate.filename().string();
  const std::string base = target.filename().string() + std::string(kTemporaryMark);
  if (name.size() != base.size() + kRandomLetters || !name.starts_with(base)) return false;
  for (size_t i = base.size(); i < name.size(); ++i)
    if (!IsLetterOrDigit(name[i])) return false;
  return true;
}

}  // namespace detail
}  // namespace orvelle
