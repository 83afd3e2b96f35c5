// CPhoneInterface on a scripted modem: the COM name is mapped in a settings store of
// the test's own, and the phone library's line opener hands out the scripted
// transport instead of a serial device.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "grellow/ComPorts.h"
#include "platform/Registry.h"
#include "res/StringTable.h"
#include "tests/tethra/ScriptedTransport.h"
#include "tethra/PhoneLine.h"

// The line the phone library gets: forwards to a transport the test keeps.
class CScriptedLine : public IPhoneLine {
 public:
  explicit CScriptedLine(CScriptedTransport& t, std::vector<int>& rates) : m_t(t), m_rates(rates) {}
  long Read(void* p, size_t n, int nTimeoutMs) override { return m_t.Read(p, n, nTimeoutMs); }
  bool Write(const void* p, size_t n) override { return m_t.Write(p, n); }
  bool SetBaudRate(int nBaudRate) override {
    m_rates.push_back(nBaudRate);
    return true;
  }

 private:
  CScriptedTransport& m_t;
  std::vector<int>& m_rates;
};

class ScriptedPhoneTest : public ::testing::Test {
 protected:
  static constexpr int kPort = 4;  // "COM5"

  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("mireth-tethra-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_dir);
    const char* pOld = std::getenv("MIRETH_REGISTRY");
    m_bHadRegistry = pOld != nullptr;
    if (pOld)
      m_strOldRegistry = pOld;
    ::setenv("MIRETH_REGISTRY", (m_dir / "settings.reg").c_str(), 1);
    CRegKey key;
    ASSERT_TRUE(key.Create(LoadString(IDS_KEY_PORTS)));
    ASSERT_TRUE(key.SetText(g_szComPortNames[kPort], "/dev/scripted-phone"));
    SetPhoneLineOpener([this](const std::string& strDevice, int nBaud, int& nStatus) -> std::unique_ptr<IPhoneLine> {
      m_strOpened = strDevice;
      m_nOpenedBaud = nBaud;
      if (m_nOpenFailure != 0) {
        nStatus = m_nOpenFailure;
        return nullptr;
      }
      nStatus = 1;
      return std::make_unique<CScriptedLine>(m_t, m_rates);
    });
  }

  void TearDown() override {
    SetPhoneLineOpener(nullptr);
    if (m_bHadRegistry)
      ::setenv("MIRETH_REGISTRY", m_strOldRegistry.c_str(), 1);
    else
      ::unsetenv("MIRETH_REGISTRY");
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
    EXPECT_TRUE(m_t.Unexpected().empty()) << "unexpected write: " << (m_t.Unexpected().empty() ? "" : m_t.Unexpected()[0]);
  }

  // The answers of a phone with echo off, both storages and a service centre.
  void ExpectSetup(const std::string& strStorages = "(\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")") {
    m_t.Expect("AT\r", "\r\nOK\r\n");
    m_t.Expect("ATE0+CMEE=1\r", "\r\nOK\r\n");
    m_t.Expect("AT+CPIN?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n");
    m_t.Expect("AT+CMGF=0\r", "\r\nOK\r\n");
    m_t.Expect("AT+CSMS?\r", "\r\n+CSMS: 0,1,1,1\r\n\r\nOK\r\n");
    m_t.Expect("AT+CPMS=?\r", "\r\n+CPMS: " + strStorages + "\r\n\r\nOK\r\n");
    m_t.Expect("AT+CSCA?\r", "\r\n+CSCA: \"+447958879879\",145\r\n\r\nOK\r\n");
  }

  std::filesystem::path m_dir;
  bool m_bHadRegistry = false;
  std::string m_strOldRegistry;
  CScriptedTransport m_t;
  std::vector<int> m_rates;
  std::string m_strOpened;
  int m_nOpenedBaud = 0;
  int m_nOpenFailure = 0;
};
