#include "devlink/controller_order.h"

#include <algorithm>
#include <string>

#include "devlink/hid/tlc_reports.h"

namespace orvelle {
namespace {

constexpr std::string_view kWindowsHidPrefix = "\\\\?\\hid#";

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string text) {
  for (char& c : text)
    c = Lower(c);
  return text;
}

// Windows names a collection "\\?\hid#vid_v&pid_p&colNN#<instance>&NNNN#{class}":
// its controller is that without the collection's number and index. `path`
// in lower case, as the Win32 bus keeps them; empty for any other path.
std::string WindowsControllerPath(const std::string& path) {
  if (!path.starts_with(kWindowsHidPrefix)) return {};
  const size_t number = path.find("&col");
  if (number == std::string::npos) return {};
  const size_t instance = path.find('#', number);
  if (instance == std::string::npos) return {};
  const size_t interfaceClass = path.find("#{", instance + 1);
  if (interfaceClass == std::string::npos) return {};
  const size_t index = path.rfind('&', interfaceClass);
  if (index == std::string::npos || index <= instance) return {};
  return path.substr(0, number) + path.substr(instance, index - instance) +
         path.substr(interfaceClass);
}

}  // namespace

// Collection marks are found without regard to case, as paths compare.
std::string ControllerPathOf(const std::string& collectionPath) {
  const std::string lower = Lowered(collectionPath);
  std::string node;
  size_t index = 0;
  if (SplitCollectionPath(lower, node, index)) return collectionPath.substr(0, node.size());
  const std::string windows = WindowsControllerPath(lower);
  return windows.empty() ? collectionPath : windows;
}

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string PortName(const std::string& controllerPath) {
  constexpr std::string_view kPortMark = "hidraw@";
  const size_t port = controllerPath.find(kPortMark);
  if (port != std::string::npos) {
    std::string name = controllerPath.substr(port + kPortMark.size());
    // The interface is the same on every port: "/input0".
    const size_t interface = name.rfind("/input");
    return interface == std::string::npos ? name : name.substr(0, interface);
  }
  if (controllerPath.starts_with(kWindowsHidPrefix)) {
    // The device instance, which Windows derives from the port.
    const size_t instance = controllerPath.find('#', kWindowsHidPrefix.size());
    const size_t end =
        instance == std::string::npos ? instance : controllerPath.find('#', instance + 1);
    if (end != std::string::npos) return controllerPath.substr(instance + 1, end - instance - 1);
  }
  const size_t slash = controllerPath.rfind('/');
  return slash == std::string::npos ? controllerPath : controllerPath.substr(slash + 1);
}

void SortForDiscovery(std::vector<HidCollection>& collections) {
  std::stable_sort(collections.begin(), collections.end(),
                   [](const HidCollection& a, const HidCollection& b) {
                     if (a.simulated != b.simulated) return a.simulated;
                     return ControllerPathOf(a.path) > ControllerPathOf(b.path);
                   });
}

std::vector<FoundController> FindControllers(HidBus& bus, const LinkProfile& profile) {
  std::vector<HidCollection> collections = bus.Enumerate();
  SortForDiscovery(collections);
  std::vector<FoundController> found;
  for (const HidCollection& c : collections) {
    if (!profile.Accepts(c.vendorId, c.productId)) continue;
    const std::string path = ControllerPathOf(c.path);
    auto it = std::find_if(found.begin(), found.end(),
                           [&](const FoundController& f) { return f.path == path; });
    if (it == found.end()) {
      found.push_back({path, c.vendorId, c.productId, c.simulated, {}});
      it = found.end() - 1;
    }
    it->collections.push_back(c.path);
  }
  // Discovery's order puts the controller to use last.
  std::reverse(found.begin(), found.end());
  return found;
}

}  // namespace orvelle
