// Appends the seal that the programs check a language pack by before they
// register it (shell/core/pack_check.h), after making sure the check accepts the
// bundle rcc wrote:
//   orvelle-seal-pack <bundle from rcc> <pack file>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/core/pack_check.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <bundle> <pack file>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in.is_open()) {
    std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
    return 1;
  }
  const std::vector<uint8_t> bundle((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
  std::string why;
  if (!orvelle::CheckResourceBundle(bundle, why)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], why.c_str());
    return 1;
  }
  const std::vector<uint8_t> sealed = orvelle::SealPack(bundle);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(sealed.data()),
            static_cast<std::streamsize>(sealed.size()));
  return out.good() ? 0 : 1;
}
