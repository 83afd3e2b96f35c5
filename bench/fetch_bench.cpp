// Fetching 200 received messages from the virtual phone, its output paced at 115200
// baud, compared with the time the bytes exchanged take on such a wire (10 bits a
// byte). The ratio is what the phone library adds: round trips, parsing, decoding.
// Also counts the commands set-up writes.
//
// Prints "wire_ratio" (goal: at most 1.05 on an idle machine, 1.2 under load),
// "raw_ratio" (goal: at most 1.05 whatever the load) and "setup_commands" (goal:
// at most 8).
// As a baseline measured in the same run, a bare client then sends the same commands
// over the same line and reads to each OK: "raw_wire_ratio" is how closely the phone
// keeps its pace (a loaded machine makes it fall behind), "raw_ratio" the library's
// time against that bare client's.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "grellow/ComPorts.h"
#include "grellow/SerialPort.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "platform/Registry.h"
#include "res/StringTable.h"
#include "tethra/AtChannel.h"
#include "tethra/PduEncoder.h"
#include "vphone/VirtualPhone.h"

namespace {

constexpr int kBaudRate = 115200;
constexpr int kMessages = 200;
constexpr int kPort = 0;  // "COM1", mapped to the phone's terminal below

class CBenchPhone {
 public:
  CBenchPhone() {
    m_dir = std::filesystem::temp_directory_path() / ("mireth-fetch-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_dir);
    ::setenv("MIRETH_REGISTRY", (m_dir / "settings.reg").c_str(), 1);
    CSerialPort::SetLockDirectory(m_dir.string());

    // 200 different messages of about 100 characters, from 200 numbers.
    std::ofstream file(m_dir / "messages.txt");
    for (int i = 0; i < kMessages; ++i) {
      CPduDeliverRequest r;
      r.m_strServiceCenter = "+447958879879";
      r.m_strOriginator = "+4477009" + std::to_string(10000 + i);
      r.m_strText = "Message " + std::to_string(i) +
                    ": the quick brown fox jumps over the lazy dog, then runs home for tea at six.";
      r.m_timeStamp = CPduTimeStamp();
      auto encoded = CPduEncoder::EncodeDeliver(r);
      if (!encoded || encoded->size() != 1) {
        m_strError = "cannot build the messages: " + (encoded ? std::string("split") : encoded.GetError());
        return;
      }
      file << "ME " << (i % 2) << " " << encoded->front().m_strPdu << "\n";
    }
    file.close();

    CVirtualPhoneConfig config;
    config.m_strMessagesFile = (m_dir / "messages.txt").string();
    config.m_nPhoneCapacity = kMessages;
    config.m_nBaudRate = kBaudRate;
    m_pPhone = std::make_unique<CVirtualPhone>(config);
    if (!m_pPhone->Start(&m_strError))
      return;
    CRegKey key;
    if (!key.Create(LoadString(IDS_KEY_PORTS)) ||
        !key.SetText(g_szComPortNames[kPort], m_pPhone->GetSlavePath()))
      m_strError = "cannot map the COM name";
  }

  ~CBenchPhone() {
    if (m_pPhone)
      m_pPhone->Stop();
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }

  const std::string& GetError() const { return m_strError; }
  const std::string& GetDevice() const { return m_pPhone->GetSlavePath(); }

 private:
  std::filesystem::path m_dir;
  std::unique_ptr<CVirtualPhone> m_pPhone;
  std::string m_strError;
};

// The bare client: writes a command and reads until its final OK; false on anything
// else or after ten seconds.
bool RawCommand(CSerialPort& port, const std::string& strCommand, uint64_t& nBytes) {
  std::string strLine = strCommand + "\r";
  if (!port.Write(strLine.data(), strLine.size()))
    return false;
  nBytes += strLine.size();
  std::string strReply;
  char buf[4096];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (strReply.size() < 6 || strReply.compare(strReply.size() - 6, 6, "\r\nOK\r\n") != 0) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    int n = port.Read(buf, sizeof buf, 1000);
    if (n < 0)
      return false;
    strReply.append(buf, static_cast<size_t>(n));
  }
  nBytes += strReply.size();
  return true;
}

void BM_FetchPacedPhone(benchmark::State& state) {
  CBenchPhone bench;
  if (!bench.GetError().empty()) {
    state.SkipWithError(bench.GetError().c_str());
    return;
  }
  auto pPhone = std::make_unique<CPhoneInterface>();
  CPhoneInterface& phone = *pPhone;
  CAtTraffic before = CAtChannel::GetTraffic();
  if (phone.SetupCommPort(kPort, kBaudRate, 10000) != PHONE_SUCCESS) {
    state.SkipWithError("set-up failed");
    return;
  }
  CAtTraffic afterSetup = CAtChannel::GetTraffic();
  double dSetupCommands = static_cast<double>(afterSetup.nCommands - before.nCommands);

  uint64_t nBytes = 0;
  double dSeconds = 0;
  for (auto _ : state) {
    CAtTraffic start = CAtChannel::GetTraffic();
    auto t0 = std::chrono::steady_clock::now();
    CMessageArray messages;
    int nResult = phone.GetIncomingMessagesFromPhone(&messages);
    auto t1 = std::chrono::steady_clock::now();
    CAtTraffic end = CAtChannel::GetTraffic();
    if (nResult != PHONE_SUCCESS || messages.size() != static_cast<size_t>(kMessages)) {
      state.SkipWithError("the fetch did not return every message");
      return;
    }
    nBytes += (end.nBytesRead - start.nBytesRead) + (end.nBytesWritten - start.nBytesWritten);
    dSeconds += std::chrono::duration<double>(t1 - t0).count();
  }
  double dWireSeconds = static_cast<double>(nBytes) * 10.0 / kBaudRate;
  double dRatio = dWireSeconds > 0 ? dSeconds / dWireSeconds : 0;

  // The baseline: the same four commands from a bare client.
  pPhone.reset();  // releases the line
  CSerialPort port;
  if (port.Open(bench.GetDevice(), kBaudRate) != SERIAL_OK) {
    state.SkipWithError("cannot open the line for the baseline");
    return;
  }
  uint64_t nRawBytes = 0;
  double dRawSeconds = 0;
  for (int64_t i = 0; i < state.iterations(); ++i) {
    auto t0 = std::chrono::steady_clock::now();
    bool bOk = RawCommand(port, "AT+CPMS=\"ME\"", nRawBytes) && RawCommand(port, "AT+CMGL=4", nRawBytes) &&
               RawCommand(port, "AT+CPMS=\"SM\"", nRawBytes) && RawCommand(port, "AT+CMGL=4", nRawBytes);
    dRawSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!bOk) {
      state.SkipWithError("the baseline listing failed");
      return;
    }
  }
  double dRawWire = static_cast<double>(nRawBytes) * 10.0 / kBaudRate;
  state.counters["raw_wire_ratio"] = dRawWire > 0 ? dRawSeconds / dRawWire : 0;
  state.counters["raw_ratio"] = dRawSeconds > 0 ? dSeconds / dRawSeconds : 0;
  state.counters["wire_ratio"] = dRatio;
  state.counters["setup_commands"] = dSetupCommands;
  state.counters["bytes_per_fetch"] = static_cast<double>(nBytes) / static_cast<double>(state.iterations());
  std::printf(
      "fetch of %d messages at %d baud: %.3f x the wire time (goal <= 1.05 idle, 1.2 loaded), %.3f x a "
      "bare client (goal <= 1.05; the bare client takes %.3f x the wire time); set-up: %.0f commands "
      "(goal <= 8)\n",
      kMessages, kBaudRate, dRatio, dRawSeconds > 0 ? dSeconds / dRawSeconds : 0,
      dRawWire > 0 ? dRawSeconds / dRawWire : 0, dSetupCommands);
}

BENCHMARK(BM_FetchPacedPhone)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
