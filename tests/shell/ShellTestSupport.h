// Shared pieces of the window tests: the application object, a scratch folder, and
// an environment of their own (settings file, data and runtime folders) per test.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The application, created once for the whole test program (offscreen unless the
// environment chose a platform).
QApplication& TestApp();

// A first member or base for fixtures whose members are widgets.
struct CTestAppUser {
  CTestAppUser() { TestApp(); }
};

// A folder of its own, removed at the end.
class CScratchFolder {
 public:
  CScratchFolder();
  ~CScratchFolder();
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
  CEnvOverride(const char* pszName, const std::string& strValue);
  ~CEnvOverride();
  CEnvOverride(const CEnvOverride&) = delete;
  CEnvOverride& operator=(const CEnvOverride&) = delete;

 private:
  std::string m_strName;
  std::string m_strOld;
  bool m_bHadOld;
};

// Base fixture: a scratch folder holding the settings file ($MIRETH_REGISTRY), the
// user's data folder ($XDG_DATA_HOME), the runtime folder of the single-window lock
// ($XDG_RUNTIME_DIR) and $HOME, so no test touches the real ones.
class CShellTest : public ::testing::Test {
 protected:
  CShellTest();
  ~CShellTest() override;

  // Writes the settings file: the lines after the export header.
  void WriteRegistry(const std::vector<std::string>& lines);
  std::string RegistryPath() const { return m_scratch / "settings.reg"; }

  CScratchFolder m_scratch;

 private:
  CEnvOverride m_registry;
  CEnvOverride m_dataHome;
  CEnvOverride m_runtime;
  CEnvOverride m_home;
};
