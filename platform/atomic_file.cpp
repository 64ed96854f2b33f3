#include "platform/atomic_file.h"

#include <cstdint>
#include <random>
#include <type_traits>

namespace orvelle {

namespace {

using NameText = std::filesystem::path::string_type;

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr size_t kRandomLetters = 6;
constexpr std::string_view kLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
// The longest name a folder holds: bytes on Linux, UTF-16 units on Windows.
constexpr size_t kNameMax = 255;

bool IsLetterOrDigit(NameText::value_type c) {
  const auto code = static_cast<std::make_unsigned_t<NameText::value_type>>(c);
  return code < 0x80 && kLetters.find(static_cast<char>(code)) != std::string_view::npos;
}

// Whether `c` continues a character begun before it: a UTF-8 continuation
// byte, or the second half of a UTF-16 surrogate pair.
bool ContinuesCharacter(NameText::value_type c) {
  const auto unit = static_cast<uint32_t>(static_cast<std::make_unsigned_t<decltype(c)>>(c));
  return sizeof(c) == 1 ? (unit & 0xC0) == 0x80 : unit >= 0xDC00 && unit <= 0xDFFF;
}

// What every temporary of `target` begins with: its name, cut so that the
// temporary's name is a legal one too, then the mark.
NameText TemporaryStem(const std::filesystem::path& target) {
  NameText stem = target.filename().native();
  const size_t room = kNameMax - kTemporaryMark.size() - kRandomLetters;
  if (stem.size() > room) {
    size_t cut = room;
    while (cut > 0 && ContinuesCharacter(stem[cut]))
      --cut;
    stem.resize(cut);
  }
  stem.append(kTemporaryMark.begin(), kTemporaryMark.end());
  return stem;
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
    case FileWriteStatus::ForeignLink:
      return "it is a link that another user made in a folder open to everyone, which is not "
             "followed";
    case FileWriteStatus::ForeignFile:
      return "it is another user's file in a folder open to everyone, which is not replaced";
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
  NameText name = TemporaryStem(target);
  for (size_t i = 0; i < kRandomLetters; ++i)
    name += static_cast<NameText::value_type>(kLetters[pick(random)]);
  return target.parent_path() / name;
}

bool IsTemporaryOf(const std::filesystem::path& candidate, const std::filesystem::path& target) {
  const NameText name = candidate.filename().native();
  const NameText stem = TemporaryStem(target);
  if (name.size() != stem.size() + kRandomLetters || !name.starts_with(stem)) return false;
  for (size_t i = stem.size(); i < name.size(); ++i)
    if (!IsLetterOrDigit(name[i])) return false;
  return true;
}

}  // namespace detail
}  // namespace orvelle
