// Shared pieces of the window tests: the application object, a scratch folder, and
// an environment of their own (settings file, data and runtime folders) per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "shell/SMSTabbedDlg.h"

// The application, created once for the whole test program (offscreen unless the
// environment chose a platform) and deleted, with everything it holds, before the
// program ends.
inline QApplication* g_pTestApp = nullptr;
inline const ::testing::Environment* const g_pTestAppEnvironment = ::testing::AddGlobalTestEnvironment([] {
  struct CAppEnvironment : ::testing::Environment {
    void TearDown() override { delete std::exchange(g_pTestApp, nullptr); }
  };
  return new CAppEnvironment;
}());

inline QApplication& TestApp() {
  if (g_pTestApp == nullptr) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int s_argc = 1;
    static char s_szName[] = "shell_test";
    static char* s_argv[] = {s_szName, nullptr};
    g_pTestApp = new QApplication(s_argc, s_argv);
  }
  return *g_pTestApp;
}

// A first member or base for fixtures whose members are widgets.
struct CTestAppUser {
  CTestAppUser() { TestApp(); }
};

// A private folder of its own, removed at the end.
class CScratchFolder {
 public:
  CScratchFolder() {
    static std::atomic<int> s_nCount{0};
    m_path = std::filesystem::temp_directory_path() /
             ("mireth-shell-" + std::to_string(::getpid()) + "-" + std::to_string(s_nCount++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all);  // as a runtime folder must be
  }
  ~CScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return m_path; }
  std::string operator/(const std::string& strName) const { return (m_path / strName).string(); }

 private:
  std::filesystem::path m_path;
};

// Sets an environment variable for the life of the object, restoring the old value.
class CEnvOverride {
 public:
  CEnvOverride(const char* pszName, const std::string& strValue) : m_strName(pszName) {
    const char* pszOld = std::getenv(pszName);
    m_bHadOld = pszOld != nullptr;
    m_strOld = m_bHadOld ? pszOld : "";
    ::setenv(pszName, strValue.c_str(), 1);
  }
  ~CEnvOverride() {
    if (m_bHadOld)
      ::setenv(m_strName.c_str(), m_strOld.c_str(), 1);
    else
      ::unsetenv(m_strName.c_str());
  }
  CEnvOverride(const CEnvOverride&) = delete;
  CEnvOverride& operator=(const CEnvOverride&) = delete;

 private:
  std::string m_strName, m_strOld;
  bool m_bHadOld;
};

// Base fixture: a scratch folder holding the settings file ($MIRETH_REGISTRY), the
// user's data folder ($XDG_DATA_HOME), the runtime folder of the single-window lock
// ($XDG_RUNTIME_DIR) and $HOME, so no test touches the real ones. No port answers a
// probe and the host program is <scratch>/host/Program/HVDesktop.Exe.
class CShellTest : public ::testing::Test {
 protected:
  CShellTest()
      : m_registry("MIRETH_REGISTRY", m_scratch / "settings.reg"),
        m_dataHome("XDG_DATA_HOME", m_scratch / "xdg-data"),
        m_runtime("XDG_RUNTIME_DIR", m_scratch.Path().string()),
        m_home("HOME", m_scratch / "home") {
    TestApp();
    CSMSTabbedDlg::SetPortProber([](const std::string&) { return false; });
    CSMSTabbedDlg::SetHostExecutablePath(m_scratch / "host/Program/HVDesktop.Exe");
    std::filesystem::create_directories(m_scratch.Path() / "host/Program");
  }
  ~CShellTest() override {
    CSMSTabbedDlg::SetPortProber({});
    CSMSTabbedDlg::SetPhoneFactory({});
    CSMSTabbedDlg::SetHostExecutablePath({});
  }

  // Writes the settings file: the lines after the export header.
  void WriteRegistry(const std::vector<std::string>& lines) {
    std::ofstream out(RegistryPath(), std::ios::binary | std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\r\n\r\n";
    for (const std::string& line : lines)
      out << line << "\r\n";
  }
  std::string RegistryPath() const { return m_scratch / "settings.reg"; }

  CScratchFolder m_scratch;

 private:
  CEnvOverride m_registry, m_dataHome, m_runtime, m_home;
};
