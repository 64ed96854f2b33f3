#pragma once
// What a program looks up in its language packs, as its family's manifest
// (resources/<Family>.manifest) lists it; the build embeds the manifests.

#include <string_view>
#include <vector>

#include "shell/core/language_choice.h"

namespace orvelle {

struct PackNeeds {
  std::vector<int> strings;
  std::vector<int> templates;
  std::vector<int> icons;
  std::vector<int> bitmaps;
};

// Lines of a kind and its identifiers, ranges inclusive: "string 101 1054-1066".
// Comments (#), the "pack" line and unknown kinds are passed over.
PackNeeds ParsePackManifest(std::string_view text);

const PackNeeds& PackNeedsOf(ShellProgram program);

}  // namespace orvelle
