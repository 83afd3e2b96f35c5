// Helpers for the serial-line tests: pseudo-terminals, and a fixture with the settings
// store, lock folder and device folders in a temporary folder of its own.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "grellow/ComPorts.h"
#include "grellow/SerialPort.h"
#include "shell/TestSandbox.h"
#include "tests/support/TestIo.h"

namespace grellow_test {

// A pseudo-terminal: the test keeps the master side; the code under test opens the
// slave by its path.
struct CPty {
  CPty() {
    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_TRUE(m_nMaster >= 0 && grantpt(m_nMaster) == 0 && unlockpt(m_nMaster) == 0);
    m_strSlave = ptsname(m_nMaster);
  }
  ~CPty() { close(m_nMaster); }
  bool WriteMaster(const std::string& s) {
    return write(m_nMaster, s.data(), s.size()) == static_cast<ssize_t>(s.size());
  }
  // The next nBytes, or what has come when nothing more comes within nTimeoutMs.
  std::string ReadMaster(size_t nBytes, int nTimeoutMs = 5000) {
    bool bClosed = false;
    test_io::ReadFdUntil(
        m_nMaster, m_strIn, nTimeoutMs, [&] { return m_strIn.size() >= nBytes; }, bClosed);
    const std::string s = m_strIn.substr(0, nBytes);
    m_strIn.erase(0, s.size());
    return s;
  }
  int m_nMaster = -1;
  std::string m_strSlave, m_strIn;
};

using test_io::ReadFile;
using test_io::WriteFile;

inline bool Exists(const std::string& strPath) {
  return std::filesystem::exists(std::filesystem::symlink_status(strPath));
}

// The text of a UUCP lock file naming the process.
inline std::string LockText(pid_t pid) {
  const std::string s = std::to_string(pid);
  return std::string(10 - s.size(), ' ') + s + "\n";
}

// The id of a process that has ended, as a stale lock file names it.
inline pid_t DeadProcessId() {
  const pid_t pid = fork();
  if (pid == 0)
    _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

// Every test runs with the settings store, the lock folder and the device folders in
// a temporary folder, so it needs no root, no hardware, and leaves the user's settings.
class CGrellowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strTemp = m_sandbox.Root().string();
    m_strRegistry = m_strTemp + "/Mireth.reg", m_strLockDir = m_strTemp + "/lock",
    m_strDevDir = m_strTemp + "/dev";
    const std::pair<const char*, std::string> env[] = {{"MIRETH_LOCK_DIR", m_strLockDir},
                                                       {"MIRETH_DEV_DIR", m_strDevDir},
                                                       {"MIRETH_SYS_DIR", m_strTemp + "/sys"},
                                                       {"MIRETH_REGISTRY", m_strRegistry}};
    for (const auto& [pszName, strValue] : env)
      m_sandbox.SetEnv(pszName, strValue);
    for (const std::string& strDir : {m_strLockDir, m_strDevDir, m_strTemp + "/sys"})
      std::filesystem::create_directories(strDir);
  }
  std::string LockFileOf(const std::string& strDevice) const {
    return m_strLockDir + "/" + CSerialPort::GetLockFileName(strDevice);
  }
  bool LockFolderEmpty() const { return std::filesystem::is_empty(m_strLockDir); }

  // Runs fn (0 when its checks hold) as an ordinary user, for whom permissions and
  // signals to another user's processes bind, with the test's folders open to it.
  template <class Fn>
  int AsOrdinaryUser(Fn fn) const {
    chmod(m_strTemp.c_str(), 0755);
    chmod(m_strLockDir.c_str(), 0777);
    return test_io::RunInChild(fn, true);
  }

  CTestSandbox m_sandbox{"mireth-grellow"};
  std::string m_strTemp, m_strRegistry, m_strLockDir, m_strDevDir;
};

}  // namespace grellow_test
