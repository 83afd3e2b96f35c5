// Helpers for the serial-line tests: pseudo-terminals, a fixture with the settings
// store, lock folder and device folders in a temporary folder of its own, and a second
// process that holds a port open until told to let go.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "grellow/ComPorts.h"
#include "grellow/SerialPort.h"

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
  bool WriteMaster(const std::string& s) { return write(m_nMaster, s.data(), s.size()) == static_cast<ssize_t>(s.size()); }
  // Reads until nBytes have come or nothing more comes within nTimeoutMs.
  std::string ReadMaster(size_t nBytes, int nTimeoutMs = 5000) {
    std::string s;
    char buf[4096];
    pollfd pfd{m_nMaster, POLLIN, 0};
    while (s.size() < nBytes && poll(&pfd, 1, nTimeoutMs) == 1) {
      const ssize_t n = read(m_nMaster, buf, std::min(sizeof buf, nBytes - s.size()));
      if (n <= 0) break;
      s.append(buf, static_cast<size_t>(n));
    }
    return s;
  }
  int m_nMaster = -1;
  std::string m_strSlave;
};

inline void WriteFile(const std::string& strPath, const std::string& strData) {
  std::filesystem::create_directories(std::filesystem::path(strPath).parent_path());
  std::ofstream(strPath, std::ios::binary | std::ios::trunc) << strData;
}

inline std::string ReadFile(const std::string& strPath) {
  std::ifstream in(strPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool Exists(const std::string& strPath) { return std::filesystem::exists(std::filesystem::symlink_status(strPath)); }

// The text of a UUCP lock file naming the process.
inline std::string LockText(pid_t pid) {
  const std::string s = std::to_string(pid);
  return std::string(10 - s.size(), ' ') + s + "\n";
}

// Every test runs with the settings store, the lock folder and the device folders in
// a temporary folder, so it needs no root, no hardware, and leaves the user's settings.
class CGrellowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string s = (std::filesystem::temp_directory_path() / "mireth-grellow-XXXXXX").string();
    ASSERT_NE(mkdtemp(s.data()), nullptr);
    m_strTemp = s;
    m_strRegistry = s + "/Mireth.reg", m_strLockDir = s + "/lock", m_strDevDir = s + "/dev";
    const std::pair<const char*, std::string> env[] = {{"MIRETH_LOCK_DIR", m_strLockDir},
        {"MIRETH_DEV_DIR", m_strDevDir}, {"MIRETH_SYS_DIR", s + "/sys"}, {"MIRETH_REGISTRY", m_strRegistry}};
    for (const auto& [pszName, strValue] : env) {
      setenv(pszName, strValue.c_str(), 1);
      std::filesystem::create_directories(pszName == env[3].first ? s : strValue);
    }
  }
  void TearDown() override {
    for (const char* psz : {"MIRETH_REGISTRY", "MIRETH_LOCK_DIR", "MIRETH_DEV_DIR", "MIRETH_SYS_DIR"}) unsetenv(psz);
    std::error_code ec;
    std::filesystem::remove_all(m_strTemp, ec);
  }
  std::string LockFileOf(const std::string& strDevice) const {
    return m_strLockDir + "/" + CSerialPort::GetLockFileName(strDevice);
  }
  bool LockFolderEmpty() const { return std::filesystem::is_empty(m_strLockDir); }

  std::string m_strTemp, m_strRegistry, m_strLockDir, m_strDevDir;
};

// Another process that opens a port with CSerialPort and keeps it for the life of
// the object.
struct CHolderProcess {
  explicit CHolderProcess(const std::string& strDevice) {
    int ready[2], release[2];
    EXPECT_TRUE(pipe(ready) == 0 && pipe(release) == 0);
    if ((m_pid = fork()) == 0) {
      CSerialPort port;
      const char cResult = static_cast<char>(port.Open(strDevice, 9600));
      close(release[1]);
      if (write(ready[1], &cResult, 1) == 1)
        (void)!read(release[0], m_szBuf, 1);  // until told to let go, or the parent dies
      port.Close();
      _exit(0);
    }
    close(ready[1]), close(release[0]);
    m_nRelease = release[1];
    EXPECT_EQ(read(ready[0], m_szBuf, 1), 1);
    close(ready[0]);
  }
  ~CHolderProcess() { close(m_nRelease), waitpid(m_pid, nullptr, 0); }
  SerialResult Result() const { return static_cast<SerialResult>(m_szBuf[0]); }
  pid_t m_pid;
  int m_nRelease;
  char m_szBuf[1] = {static_cast<char>(SERIAL_IO_ERROR)};
};

}  // namespace grellow_test
