// PDU decoding speed for a mix of 7-bit, UCS2 and concatenated messages, against
// the cost of only turning the same hexadecimal text into octets (the baseline).
// Prints decodes per second and the ratio to the baseline.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduHex.h"

namespace {

// A listing as a phone might give it: short and long 7-bit texts, UCS2 texts, and
// the parts of concatenated messages in both alphabets.
const std::vector<std::string>& Mix() {
  static const std::vector<std::string> pdus = [] {
    std::vector<std::string> v = {
        "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07",
        "0791448720003023240DD0E474D81C0EBB010000111011315214000BE474D81C0EBB5DE3771B",
        "0011000B916407281553F80000AA0AE8329BFD4697D9EC37",
        "00040B911346610089F60008422113329585320A004800690020D83DDE00",
    };
    auto add = [&](const std::string& text) {
      CPduDeliverRequest r;
      r.m_strServiceCenter = "+31624000000";
      r.m_strOriginator = "+31641600986";
      r.m_strText = text;
      r.m_timeStamp = CPduTimeStamp(2024, 12, 31, 23, 59, 58, 4);
      r.m_nConcatReference = 0x42;
      auto parts = CPduEncoder::EncodeDeliver(r);
      for (const auto& p : parts.Value())
        v.push_back(p.m_strPdu);
    };
    std::string latin;
    std::string cyrillic;
    for (int i = 0; i < 40; ++i) {
      latin += "Meeting moved to 10:30 [room 4] - bring the €20 ";
      cyrillic += "Встреча в 10:30 😀 ";
    }
    add(latin.substr(0, 150));     // one 7-bit message with extension characters
    add(latin.substr(0, 900));     // a concatenated 7-bit message
    add(cyrillic.substr(0, 120));  // one UCS2 message
    add(cyrillic.substr(0, 700));  // a concatenated UCS2 message
    return v;
  }();
  return pdus;
}

void BM_HexOnly(benchmark::State& state) {
  const auto& pdus = Mix();
  size_t i = 0;
  for (auto _ : state) {
    auto r = CPduHex::Decode(pdus[i]);
    benchmark::DoNotOptimize(r);
    i = (i + 1) % pdus.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_HexOnly);

void BM_Decode(benchmark::State& state) {
  const auto& pdus = Mix();
  size_t i = 0;
  for (auto _ : state) {
    auto r = CPduDecoder::Decode(pdus[i]);
    if (!r.IsOk())
      state.SkipWithError(r.GetError().c_str());
    benchmark::DoNotOptimize(r);
    i = (i + 1) % pdus.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_Decode);

// Remembers the CPU time per iteration of every benchmark run (the machine may be
// shared, so wall time says little).
class CRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (r.iterations > 0)
        m_times[r.run_name.function_name] = r.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("PDU mix: %zu PDUs\n", Mix().size());
  CRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double dHex = reporter.m_times["BM_HexOnly"];
  const double dDecode = reporter.m_times["BM_Decode"];
  if (dHex > 0 && dDecode > 0) {
    // Times are in the reporter's unit (ns by default).
    std::printf("decoding: %.0f PDUs per second, %.1f times the cost of reading the hex alone\n",
                1e9 / dDecode, dDecode / dHex);
  }
  benchmark::Shutdown();
  return 0;
}
