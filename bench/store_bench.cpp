// Store files of 100,000 received messages: saving and loading measured against a
// raw write and read of the same bytes in the same run, and the memory a load takes
// at its peak against the size of the list it builds.
//
// Goals: save and load within 2x of the raw I/O; the load's peak within 1.5x of the
// loaded list.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "bench/HeapCounter.h"
#include "model/RecordList.h"
#include "model/StoreFile.h"

// ---- the data ---------------------------------------------------------------------

namespace {

constexpr size_t kMessages = 100000;

std::string Folder() {
  static std::string s_strFolder = [] {
    std::string strTemplate = std::filesystem::temp_directory_path().string() + "/mireth-bench-XXXXXX";
    if (mkdtemp(strTemplate.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    return strTemplate + "/";
  }();
  return s_strFolder;
}

// Received messages as a phone delivers them: numbers, names for some, the date as
// text and value, 40 to 160 characters of text, and a PDU of the matching size.
const CMessageArray& Messages() {
  static CMessageArray s_list = [] {
    std::mt19937 rng(20240102);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    static const char* const s_names[] = {"", "", "Ann Miller", "Bob", "Dr. Carla Jansen", "Mum", "Office"};
    static const char s_hex[] = "0123456789ABCDEF";
    CMessageArray list;
    list.reserve(kMessages);
    for (size_t i = 0; i < kMessages; ++i) {
      auto m = std::make_unique<CMessage>();
      m->m_strSenderName = s_names[pick(0, 6)];
      m->m_strNumber = "+49" + std::to_string(1500000000 + pick(0, 99999999));
      m->m_nStatus = pick(1, 6);
      m->m_nStorage = pick(1, 2);
      m->m_nType = 0;
      CDateTime dt(2024, pick(1, 12), pick(1, 28), pick(0, 23), pick(0, 59), pick(0, 59));
      m->m_dtDateTime = dt;
      m->m_strDateTime = dt.Format();
      size_t nText = static_cast<size_t>(pick(40, 160));
      std::string strText;
      for (size_t c = 0; c < nText; ++c)
        strText += pick(0, 5) == 0 ? ' ' : static_cast<char>('a' + pick(0, 25));
      m->m_strMessage = strText;
      size_t nOctets = 27 + (nText * 7 + 7) / 8;
      std::string strPdu;
      for (size_t c = 0; c < 2 * nOctets; ++c)
        strPdu += s_hex[pick(0, 15)];
      m->m_strPdu = strPdu;
      m->m_strServiceCenter = "+491710760000";
      m->m_wFirstOctet = 0x04;
      list.push_back(std::move(m));
    }
    return list;
  }();
  return s_list;
}

const std::string& Bytes() {
  static std::string s_bytes = [] {
    std::string bytes;
    if (!WriteRecordBytes(Messages(), bytes).IsOk())
      std::abort();
    return bytes;
  }();
  return s_bytes;
}

// The same steps as a crash-safe save, with the bytes at hand: a new file, one
// write, flushed, renamed over the old one.
void RawWrite(const std::string& strPath, const std::string& bytes) {
  std::string strTemp = strPath + ".raw";
  int fd = open(strTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      fsync(fd) != 0 || close(fd) != 0 || rename(strTemp.c_str(), strPath.c_str()) != 0)
    std::abort();
}

void BM_RawWrite(benchmark::State& state) {
  const std::string& bytes = Bytes();
  for (auto _ : state)
    RawWrite(Folder() + "raw.Dat", bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_SaveInbox(benchmark::State& state) {
  const CMessageArray& list = Messages();
  for (auto _ : state)
    if (!WriteStoreFile(Folder() + "SMSIn.Dat", list).IsOk())
      state.SkipWithError("save failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Bytes().size()));
}

void BM_RawRead(benchmark::State& state) {
  std::string strPath = Folder() + "raw.Dat";
  RawWrite(strPath, Bytes());
  size_t nSize = Bytes().size();
  for (auto _ : state) {
    // Into fresh memory, as a load must build its list in fresh memory.
    std::unique_ptr<char[]> buffer(new char[nSize]);
    int fd = open(strPath.c_str(), O_RDONLY);
    ssize_t n = read(fd, buffer.get(), nSize);
    close(fd);
    if (n != static_cast<ssize_t>(nSize))
      std::abort();
    benchmark::DoNotOptimize(buffer.get());
    state.PauseTiming();
    buffer.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Bytes().size()));
}

void BM_LoadInbox(benchmark::State& state) {
  std::string strPath = Folder() + "SMSIn.Dat";
  RawWrite(strPath, Bytes());
  for (auto _ : state) {
    CMessageArray list;
    if (!ReadStoreFile(strPath, list).IsOk() || list.size() != kMessages)
      state.SkipWithError("load failed");
    state.PauseTiming();  // freeing the list is not part of loading it
    list.clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Bytes().size()));
}

// CPU time is the whole process's: a load fills the list on other threads too.
BENCHMARK(BM_RawWrite)->Unit(benchmark::kMillisecond)->Iterations(8)->MeasureProcessCPUTime();
BENCHMARK(BM_SaveInbox)->Unit(benchmark::kMillisecond)->Iterations(8)->MeasureProcessCPUTime();
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond)->Iterations(8)->MeasureProcessCPUTime();
BENCHMARK(BM_LoadInbox)->Unit(benchmark::kMillisecond)->Iterations(8)->MeasureProcessCPUTime();

// Keeps each benchmark's mean real and CPU time for the ratios.
class CCapturingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
      m_cpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // Real time over real time, and CPU time over CPU time, of two benchmarks.
  std::pair<double, double> Ratio(const std::string& strName, const std::string& strBase) const {
    auto get = [](const std::map<std::string, double>& m, const std::string& s) {
      auto it = m.find(s);
      return it == m.end() ? 0.0 : it->second;
    };
    return {get(m_times, strName) / get(m_times, strBase),
            get(m_cpuTimes, strName) / get(m_cpuTimes, strBase)};
  }

 private:
  std::map<std::string, double> m_times;
  std::map<std::string, double> m_cpuTimes;
};

// Peak memory of one load, over the bytes the loaded list keeps.
void MeasureLoadMemory() {
  std::string strPath = Folder() + "SMSIn.Dat";
  RawWrite(strPath, Bytes());
  bench::SetHeapCounting(true);
  const size_t nBase = bench::GetLiveHeapBytes();
  bench::ResetHeapPeak();
  CMessageArray list;
  if (!ReadStoreFile(strPath, list).IsOk())
    std::abort();
  const size_t nList = bench::GetLiveHeapBytes() - nBase;
  const size_t nPeak = bench::GetPeakHeapBytes() - nBase;
  bench::SetHeapCounting(false);
  std::printf("load memory: list %.1f MB, peak %.1f MB, ratio %.3f (goal <= 1.5)\n", nList / 1048576.0,
              nPeak / 1048576.0, static_cast<double>(nPeak) / nList);
}

}  // namespace

int main(int argc, char** argv) {
  bench::SetHeapCounting(false);  // counted only where memory is measured
  benchmark::Initialize(&argc, argv);
  std::printf("%zu messages, %.1f MB of store file\n", Messages().size(), Bytes().size() / 1048576.0);
  CCapturingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto [dSave, dSaveCpu] =
      reporter.Ratio("BM_SaveInbox/iterations:8/process_time", "BM_RawWrite/iterations:8/process_time");
  auto [dLoad, dLoadCpu] =
      reporter.Ratio("BM_LoadInbox/iterations:8/process_time", "BM_RawRead/iterations:8/process_time");
  std::printf("save / raw write: %.2f real, %.2f CPU (goal <= 2)\n", dSave, dSaveCpu);
  std::printf("load / raw read:  %.2f real, %.2f CPU (goal <= 2)\n", dLoad, dLoadCpu);
  MeasureLoadMemory();
  std::error_code ec;
  std::filesystem::remove_all(Folder(), ec);
  benchmark::Shutdown();
  return 0;
}
