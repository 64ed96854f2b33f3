#pragma once
// What a failed test saw, kept where the reader of a red run finds it: at
// each of a test's first failures, every program the test started leaves its
// log and every display its picture in a folder of the build named after the
// test (build/<preset>/test-failures/<suite>.<test>/), and the test's output
// names that folder.

#include <filesystem>
#include <functional>

namespace orvelle::e2e {

// Called with the test's folder and the failure's number (1, 2, 3).
using Keeper = std::function<void(const std::filesystem::path& folder, int failure)>;

// `keep` is called at a failure while this object lives.
class KeptOnFailure {
 public:
  explicit KeptOnFailure(Keeper keep);
  ~KeptOnFailure();
  KeptOnFailure(const KeptOnFailure&) = delete;
  KeptOnFailure& operator=(const KeptOnFailure&) = delete;

 private:
  Keeper keep_;
};

// For main(), before the tests run: the listener that calls the keepers.
void KeepWhatFailedTestsSaw();

}  // namespace orvelle::e2e
