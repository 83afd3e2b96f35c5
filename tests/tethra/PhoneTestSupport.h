// Test doubles for the phone library's AT side: a line that plays a modem from a
// script, and fixtures that map a COM name, in a settings store of the test's own,
// either to that scripted line or to the in-process virtual phone.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "grellow/ComPorts.h"
#include "grellow/SerialPort.h"
#include "model/Message.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "platform/Registry.h"
#include "res/StringTable.h"
#include "shell/TestSandbox.h"
#include "tests/tethra/PduTestSupport.h"
#include "tethra/PhoneLine.h"
#include "vphone/VirtualPhone.h"

// A record to send or store, as the Compose page makes it.
inline std::unique_ptr<CMessage> Outgoing(const std::string& strNumber, const std::string& strText,
                                          int nStorage) {
  auto p = std::make_unique<CMessage>();
  p->m_strNumber = strNumber;
  p->m_strMessage = strText;
  p->m_nStorage = nStorage;
  p->m_nType = 2;
  p->SetSubmitType();
  p->SetRelativeValidity(true);
  p->m_nValidity = 167;
  return p;
}

// Each expected write is answered with the reply bytes given for it, handed out in
// chunks of a chosen size. Silence is a read that waits its time-out out, as a quiet
// serial line would.
class CScriptedTransport : public IPhoneLine {
 public:
  // When strWrite is written, strReply becomes readable.
  void Expect(const std::string& strWrite, const std::string& strReply) {
    m_script.push_back({strWrite, strReply});
  }
  // Bytes readable right now, before any write.
  void Push(const std::string& strBytes) { m_strReadable += strBytes; }
  void SetChunkSize(size_t n) { m_nChunk = std::max<size_t>(n, 1); }
  // Once the script is played and the bytes are read, reads report a hung-up line.
  void HangUpWhenEmpty() { m_bHangUp = true; }
  void FailWrites() { m_bFailWrites = true; }
  // Called for every read that finds nothing: may supply endless bytes.
  void SetIdleSource(std::function<std::string()> fn) { m_idleSource = std::move(fn); }

  long Read(void* pBuffer, size_t nSize, int nTimeoutMs) override {
    if (m_strReadable.empty() && m_idleSource)
      m_strReadable = m_idleSource();
    if (m_strReadable.empty()) {
      if (m_bHangUp && m_script.empty())
        return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(std::max(nTimeoutMs, 0)));
      return 0;
    }
    const size_t n = std::min({nSize, m_nChunk, m_strReadable.size()});
    std::copy_n(m_strReadable.data(), n, static_cast<char*>(pBuffer));
    m_strReadable.erase(0, n);
    return static_cast<long>(n);
  }
  bool Write(const void* pData, size_t nSize) override {
    const std::string str(static_cast<const char*>(pData), nSize);
    m_writes.push_back(str);
    if (m_bFailWrites)
      return false;
    if (m_script.empty() || m_script.front().first != str) {
      m_unexpected.push_back(str);
      return true;
    }
    m_strReadable += m_script.front().second;
    m_script.pop_front();
    return true;
  }
  bool SetBaudRate(int nBaudRate) override {
    m_rates.push_back(nBaudRate);
    return true;
  }

  std::vector<std::string> m_writes, m_unexpected;
  std::vector<int> m_rates;
  size_t StepsLeft() const { return m_script.size(); }

 private:
  std::deque<std::pair<std::string, std::string>> m_script;
  std::string m_strReadable;
  size_t m_nChunk = 4096;
  bool m_bHangUp = false;
  bool m_bFailWrites = false;
  std::function<std::string()> m_idleSource;
};

// A scratch folder holding the test's settings store ($MIRETH_REGISTRY).
class CPhoneTest : public ::testing::Test {
 protected:
  void SetUp() override { m_sandbox.SetEnv("MIRETH_REGISTRY", (m_dir / "settings.reg").string()); }
  static void MapPort(int nPort, const std::string& strDevice) {
    CRegKey key;
    ASSERT_TRUE(key.Create(LoadString(IDS_KEY_PORTS)));
    ASSERT_TRUE(key.SetText(g_szComPortNames[nPort], strDevice));
  }

  CTestSandbox m_sandbox{"mireth-tethra"};
  std::filesystem::path m_dir = m_sandbox.Root();
};

// CPhoneInterface on a scripted modem: the line opener hands out the test's transport.
class ScriptedPhoneTest : public CPhoneTest {
 protected:
  static constexpr int kPort = 4;  // "COM5"

  // The phone library owns the line it opens; this one forwards to the test's.
  struct CForwardingLine : IPhoneLine {
    explicit CForwardingLine(IPhoneLine& line) : m_line(line) {}
    long Read(void* p, size_t n, int nTimeoutMs) override { return m_line.Read(p, n, nTimeoutMs); }
    bool Write(const void* p, size_t n) override { return m_line.Write(p, n); }
    bool SetBaudRate(int nBaudRate) override { return m_line.SetBaudRate(nBaudRate); }
    IPhoneLine& m_line;
  };

  void SetUp() override {
    CPhoneTest::SetUp();
    MapPort(kPort, "/dev/scripted-phone");
    SetPhoneLineOpener(
        [this](const std::string& strDevice, int nBaud, int& nStatus) -> std::unique_ptr<IPhoneLine> {
          m_strOpened = strDevice;
          m_nOpenedBaud = nBaud;
          nStatus = m_nOpenFailure != 0 ? m_nOpenFailure : 1;
          return m_nOpenFailure != 0 ? nullptr : std::make_unique<CForwardingLine>(m_t);
        });
  }
  void TearDown() override {
    SetPhoneLineOpener(nullptr);
    EXPECT_TRUE(m_t.m_unexpected.empty()) << "unexpected write: " << m_t.m_unexpected.front();
  }

  // A reply of one information line and OK, or a bare OK.
  static std::string Ok(const std::string& strLine = "") {
    return strLine.empty() ? "\r\nOK\r\n" : "\r\n" + strLine + "\r\n\r\nOK\r\n";
  }
  // Commands and the replies they get, in order; a command line gets its CR here,
  // data after a prompt ends in its Ctrl-Z already.
  void Script(const std::vector<std::pair<std::string, std::string>>& steps) {
    for (const auto& [strWrite, strReply] : steps)
      m_t.Expect(strWrite.ends_with('\x1A') ? strWrite : strWrite + "\r", strReply);
  }
  // Sets up a phone with echo off, the given storages and a service centre; true
  // when that succeeded.
  bool Connect(CPhoneInterface& phone,
               const std::string& strStorages = "(\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")",
               int nTimeoutMs = 1000) {
    Script({{"AT", Ok()},
            {"ATE0+CMEE=1", Ok()},
            {"AT+CPIN?", Ok("+CPIN: READY")},
            {"AT+CMGF=0", Ok()},
            {"AT+CSMS?", Ok("+CSMS: 0,1,1,1")},
            {"AT+CPMS=?", Ok("+CPMS: " + strStorages)},
            {"AT+CSCA?", Ok("+CSCA: \"+447958879879\",145")}});
    return phone.SetupCommPort(kPort, 9600, nTimeoutMs) == PHONE_SUCCESS;
  }

  CScriptedTransport m_t;
  std::string m_strOpened;
  int m_nOpenedBaud = 0;
  int m_nOpenFailure = 0;
};

// CPhoneInterface end to end against the virtual phone on a pseudo-terminal; lock
// files go to the test's folder.
class VirtualPhoneTest : public CPhoneTest {
 protected:
  static constexpr int kPort = 2;  // "COM3"

  void SetUp() override {
    CPhoneTest::SetUp();
    CSerialPort::SetLockDirectory(m_dir.string());
  }
  void TearDown() override {
    if (m_pPhone)
      m_pPhone->Stop();
    m_pPhone.reset();
    CSerialPort::SetLockDirectory("");
  }
  // Starts the virtual phone and maps COM3 to its terminal.
  void StartPhone(const CVirtualPhoneConfig& config = CVirtualPhoneConfig()) {
    if (m_pPhone)
      m_pPhone->Stop();
    m_pPhone = std::make_unique<CVirtualPhone>(config);
    std::string strError;
    ASSERT_TRUE(m_pPhone->Start(&strError)) << strError;
    MapPort(kPort, m_pPhone->GetSlavePath());
  }

  std::unique_ptr<CVirtualPhone> m_pPhone;
};
