#include "devlink/controller_order.h"

#include <algorithm>
#include <string>

#include "devlink/hid/tlc_reports.h"

namespace orvelle {
namespace {

std::string NodeOf(const HidCollection& collection) {
  std::string node;
  size_t index = 0;
  return SplitCollectionPath(collection.path, node, index) ? node : collection.path;
}

}  // namespace

void SortForDiscovery(std::vector<HidCollection>& collections) {
  std::stable_sort(collections.begin(), collections.end(),
                   [](const HidCollection& a, const HidCollection& b) {
                     if (a.simulated != b.simulated) return a.simulated;
                     return NodeOf(a) > NodeOf(b);
                   });
}

}  // namespace orvelle
