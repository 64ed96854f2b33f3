#pragma once
// Replacing a file's whole content so that a crash, a full disk or a removed
// medium leaves either the old content or the new one, never a mixture.

#include <filesystem>
#include <string_view>

namespace orvelle {

// Writes `content` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`. On failure the temporary file is removed and an
// existing file at `path` is left as it was.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content);

}  // namespace orvelle
