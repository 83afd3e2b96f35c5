// The settings file with 100,000 keys: reading and parsing it once, and looking up
// every key afterwards, against a baseline that only reads the same file and splits
// it into lines, measured in the same run.
//
// Goals: the first lookup (read and parse) under a second; each later lookup reads
// nothing again, so 100,000 lookups cost a small multiple of the baseline.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/Registry.h"

namespace {

constexpr int kKeys = 100000;

std::string KeyPath(int i) { return "SOFTWARE\\Kelvane\\Bench\\K" + std::to_string(i); }

const std::string& SettingsFile() {
  static const std::string s_strPath = [] {
    std::string strFolder = std::filesystem::temp_directory_path().string() + "/mireth-settings-bench-XXXXXX";
    if (mkdtemp(strFolder.data()) == nullptr)
      std::abort();
    std::string strPath = strFolder + "/Mireth.reg";
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (int i = 0; i < kKeys; ++i)
      text += "[HKEY_CURRENT_USER\\" + KeyPath(i) + "]\r\n\"Value\"=dword:" + std::to_string(10000000 + i) +
              "\r\n\r\n";
    std::ofstream(strPath, std::ios::binary) << text;
    setenv("MIRETH_REGISTRY", strPath.c_str(), 1);
    return strPath;
  }();
  return s_strPath;
}

// Reads the file and counts its lines: the least any reader of it must do.
void BM_ReadAndSplitLines(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in(SettingsFile(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    size_t nLines = 0;
    for (size_t n = text.find('\n'); n != std::string::npos; n = text.find('\n', n + 1))
      ++nLines;
    benchmark::DoNotOptimize(nLines);
  }
}

// The first lookup of a process: the file is read and parsed. The file is touched
// before each run, so that the process's copy is not used.
void BM_FirstLookup(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::last_write_time(SettingsFile(), std::filesystem::file_time_type::clock::now());
    state.ResumeTiming();
    CRegKey key;
    uint32_t n = 0;
    if (!key.Open(KeyPath(kKeys - 1)) || !key.QueryNumber("Value", n))
      state.SkipWithError("lookup failed");
  }
}

// Every key opened and its value read, the file already parsed.
void BM_AllKeysLookedUp(benchmark::State& state) {
  CRegKey warm;
  warm.Open(KeyPath(0));
  for (auto _ : state) {
    for (int i = 0; i < kKeys; ++i) {
      CRegKey key;
      uint32_t n = 0;
      if (!key.Open(KeyPath(i)) || !key.QueryNumber("Value", n))
        state.SkipWithError("lookup failed");
    }
  }
}

BENCHMARK(BM_ReadAndSplitLines)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FirstLookup)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AllKeysLookedUp)->Unit(benchmark::kMillisecond)->Iterations(3);

class CCapturingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double Get(const std::string& strName) const {
    auto it = m_times.find(strName);
    return it == m_times.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("%d keys, %.1f MB of settings file\n", kKeys,
              std::filesystem::file_size(SettingsFile()) / 1048576.0);
  CCapturingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double dBase = reporter.Get("BM_ReadAndSplitLines/iterations:5");
  const double dFirst = reporter.Get("BM_FirstLookup/iterations:5");
  const double dAll = reporter.Get("BM_AllKeysLookedUp/iterations:3");
  std::printf("read and parse: %.0f ms (goal < 1000 ms), %.1fx reading the lines\n", dFirst, dFirst / dBase);
  std::printf("100,000 lookups after it: %.0f ms, %.1fx reading the lines (no read again)\n", dAll,
              dAll / dBase);
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(SettingsFile()).parent_path(), ec);
  benchmark::Shutdown();
  return 0;
}
