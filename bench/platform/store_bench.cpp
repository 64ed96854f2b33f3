// The settings store with large content: parsing one key with many values
// and one long wrapped byte list, and reading a value from a large store
// file that does not change between reads.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/file_registry.h"
#include "platform/reg_text.h"

namespace orvelle {
namespace {

namespace fs = std::filesystem;

constexpr const char* kKeyLine = "[HKEY_LOCAL_MACHINE\\Software\\Orvelle\\GlobalSettings]\n";

std::string ManyValues(int count) {
  std::string text = kKeyLine;
  for (int i = 0; i < count; ++i)
    text += "\"Value" + std::to_string(i) + "\"=dword:00000001\n";
  return text;
}

std::string WrappedBytes(size_t bytes) {
  std::string text = std::string(kKeyLine) + "\"Blob\"=hex:";
  for (size_t i = 0; i < bytes; ++i)
    text += (i + 1) % 25 == 0 ? "ab,\\\n  " : "ab,";
  text += "ab\n";
  return text;
}

void Parse(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    RegDocument document;
    std::string why;
    if (!ParseRegText(text, RegRoot::LocalMachine, document, why)) state.SkipWithError(why.c_str());
    benchmark::DoNotOptimize(document);
  }
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_ParseOneKeyWithManyValues(benchmark::State& state) {
  Parse(state, ManyValues(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ParseOneKeyWithManyValues)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ParseWrappedByteList(benchmark::State& state) {
  Parse(state, WrappedBytes(static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_ParseWrappedByteList)->Arg(700000)->Unit(benchmark::kMillisecond);

// A store file of 20,000 values read value by value, as the programs do.
void BM_QueryLargeStore(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / ("orvelle-bench-" + std::to_string(getpid()));
  fs::create_directories(folder);
  FileRegistry registry(folder);
  std::ofstream(registry.StorePath(RegRoot::LocalMachine)) << ManyValues(20000);
  // Dated back, as a store that has not just been written.
  fs::last_write_time(registry.StorePath(RegRoot::LocalMachine),
                      fs::file_time_type::clock::now() - std::chrono::hours(1));
  std::unique_ptr<RegKey> key;
  registry.OpenKey(RegRoot::LocalMachine, "Software\\Orvelle\\GlobalSettings", RegAccess::Read,
                   key);
  uint8_t value[4];
  for (auto _ : state) {
    size_t size = sizeof value;
    if (!key || key->QueryValue("Value19999", nullptr, value, &size) != RegStatus::Success) {
      state.SkipWithError("the value cannot be read");
    }
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_QueryLargeStore)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orvelle

BENCHMARK_MAIN();
