#pragma once
// CPU time of this process's threads, by thread name, from /proc (nanoseconds
// from schedstat), so a benchmark can tell the link's threads from the rest.

#include <dirent.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <string>

namespace orvelle::bench {

inline std::map<std::string, uint64_t> ThreadCpuByName() {
  std::map<std::string, uint64_t> cpu;
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return cpu;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const std::string base = std::string("/proc/self/task/") + e->d_name;
    std::string name;
    uint64_t ns = 0;
    std::ifstream(base + "/comm") >> name;
    std::ifstream(base + "/schedstat") >> ns;
    cpu[name] += ns;
  }
  closedir(dir);
  return cpu;
}

inline uint64_t CpuOfThreadsStartingWith(const std::map<std::string, uint64_t>& cpu,
                                         const std::string& prefix) {
  uint64_t total = 0;
  for (const auto& [name, ns] : cpu) {
    if (name.rfind(prefix, 0) == 0) total += ns;
  }
  return total;
}

}  // namespace orvelle::bench
