#include "tests/support/e2e/kept_on_failure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace orvelle::e2e {

namespace {

// A test's later failures come from a world that changed little since.
constexpr int kFailuresKept = 3;

std::mutex registryMutex;
std::vector<const Keeper*> registry;

class FailureListener final : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& test) override {
    std::string name = std::string(test.test_suite_name()) + "." + test.name();
    std::replace(name.begin(), name.end(), '/', '-');
    folder_ = std::filesystem::path(ORVELLE_TEST_FAILURE_DIR) / name;
    failures_ = 0;
  }

  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed() || folder_.empty() || ++failures_ > kFailuresKept) return;
    std::error_code ec;
    if (failures_ == 1) std::filesystem::remove_all(folder_, ec);
    std::filesystem::create_directories(folder_, ec);
    std::unique_lock lock(registryMutex);
    const std::vector<const Keeper*> keepers = registry;
    lock.unlock();  // a keeper may start a program, which registers one of its own
    for (const Keeper* keep : keepers)
      (*keep)(folder_, failures_);
  }

  void OnTestEnd(const ::testing::TestInfo&) override {
    if (failures_ == 0) return;
    std::printf("What the test saw when it failed (logs, screens) is kept in %s\n",
                folder_.c_str());
    std::fflush(stdout);
  }

  int failures_ = 0;
  std::filesystem::path folder_;
};

}  // namespace

KeptOnFailure::KeptOnFailure(Keeper keep) : keep_(std::move(keep)) {
  std::lock_guard lock(registryMutex);
  registry.push_back(&keep_);
}

KeptOnFailure::~KeptOnFailure() {
  std::lock_guard lock(registryMutex);
  registry.erase(std::find(registry.begin(), registry.end(), &keep_));
}

void KeepWhatFailedTestsSaw() {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FailureListener);
}

}  // namespace orvelle::e2e
