#pragma once
// What a failed test saw, kept for the reader of a red run: at each of a
// test's first failures, every program it started leaves its log and every
// display its picture in build/<preset>/test-failures/<suite>.<test>/, and the
// test's output names that folder.

#include <filesystem>
#include <functional>

namespace orvelle::e2e {

// Called with the test's folder and the failure's number (1, 2, 3).
using Keeper = std::function<void(const std::filesystem::path& folder, int failure)>;

// Registers `keep` for as long as it lives.
class KeptOnFailure {
 public:
  explicit KeptOnFailure(Keeper keep);
  ~KeptOnFailure();
  KeptOnFailure(const KeptOnFailure&) = delete;
  KeptOnFailure& operator=(const KeptOnFailure&) = delete;

 private:
  Keeper keep_;
};

// For main(), before the tests run.
void KeepWhatFailedTestsSaw();

}  // namespace orvelle::e2e
