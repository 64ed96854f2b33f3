// The check a language pack passes before Qt sees it. The input is taken both
// as a whole pack file and as a bundle to be sealed: a sealed bundle passes
// exactly when the bundle's structure does.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "shell/core/pack_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  size_t bundleSize = 0;
  std::string why;
  if (orvelle::CheckPackFile(input, bundleSize, why) &&
      bundleSize + orvelle::kPackSealSize != size) {
    std::abort();
  }
  const bool sound = orvelle::CheckResourceBundle(input, why);
  const auto sealed = orvelle::SealPack(input);
  if (orvelle::CheckPackFile(sealed, bundleSize, why) != sound) std::abort();
  if (sound && bundleSize != size) std::abort();
  return 0;
}
