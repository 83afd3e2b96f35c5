// CPhoneInterface end to end against the in-process virtual phone on a pseudo-
// terminal: the COM name is mapped to the phone's terminal in a settings store of the
// test's own, and lock files go to the test's folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "grellow/ComPorts.h"
#include "grellow/SerialPort.h"
#include "platform/Registry.h"
#include "res/StringTable.h"
#include "vphone/VirtualPhone.h"

class VirtualPhoneTest : public ::testing::Test {
 protected:
  static constexpr int kPort = 2;  // "COM3"

  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("mireth-vphone-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_dir);
    const char* pOld = std::getenv("MIRETH_REGISTRY");
    m_bHadRegistry = pOld != nullptr;
    if (pOld)
      m_strOldRegistry = pOld;
    ::setenv("MIRETH_REGISTRY", (m_dir / "settings.reg").c_str(), 1);
    CSerialPort::SetLockDirectory(m_dir.string());
  }

  void TearDown() override {
    if (m_pPhone)
      m_pPhone->Stop();
    m_pPhone.reset();
    CSerialPort::SetLockDirectory("");
    if (m_bHadRegistry)
      ::setenv("MIRETH_REGISTRY", m_strOldRegistry.c_str(), 1);
    else
      ::unsetenv("MIRETH_REGISTRY");
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }

  // Starts the virtual phone and maps COM3 to its terminal.
  void StartPhone(const CVirtualPhoneConfig& config = CVirtualPhoneConfig()) {
    m_pPhone = std::make_unique<CVirtualPhone>(config);
    std::string strError;
    ASSERT_TRUE(m_pPhone->Start(&strError)) << strError;
    CRegKey key;
    ASSERT_TRUE(key.Create(LoadString(IDS_KEY_PORTS)));
    ASSERT_TRUE(key.SetText(g_szComPortNames[kPort], m_pPhone->GetSlavePath()));
  }

  std::filesystem::path m_dir;
  bool m_bHadRegistry = false;
  std::string m_strOldRegistry;
  std::unique_ptr<CVirtualPhone> m_pPhone;
};
