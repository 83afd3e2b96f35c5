// Helpers for the serial-line tests: pseudo-terminals, temporary folders with the
// settings store and lock folder pointed at them, and a second process that holds a
// port open until told to let go.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "grellow/ComPorts.h"
#include "grellow/SerialPort.h"

namespace grellow_test {

// A pseudo-terminal: the test keeps the master side; the code under test opens the
// slave by its path.
class CPty {
 public:
  CPty() {
    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0) {
      ADD_FAILURE() << "cannot create a pseudo-terminal: " << std::strerror(errno);
      return;
    }
    char buf[128];
    if (ptsname_r(m_nMaster, buf, sizeof buf) == 0)
      m_strSlave = buf;
  }
  ~CPty() { CloseMaster(); }
  CPty(const CPty&) = delete;
  CPty& operator=(const CPty&) = delete;

  int Master() const { return m_nMaster; }
  const std::string& Slave() const { return m_strSlave; }

  void CloseMaster() {
    if (m_nMaster >= 0)
      close(m_nMaster);
    m_nMaster = -1;
  }

  bool WriteMaster(const std::string& strData) {
    size_t nDone = 0;
    while (nDone < strData.size()) {
      ssize_t n = write(m_nMaster, strData.data() + nDone, strData.size() - nDone);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        return false;
      nDone += static_cast<size_t>(n);
    }
    return true;
  }

  // Reads from the master until nBytes have come or nothing more comes within
  // nTimeoutMs.
  std::string ReadMaster(size_t nBytes, int nTimeoutMs = 5000) {
    std::string strData;
    while (strData.size() < nBytes) {
      struct pollfd pfd {m_nMaster, POLLIN, 0};
      int nReady = poll(&pfd, 1, nTimeoutMs);
      if (nReady < 0 && errno == EINTR)
        continue;
      if (nReady <= 0)
        break;
      char buf[4096];
      ssize_t n = read(m_nMaster, buf, std::min(sizeof buf, nBytes - strData.size()));
      if (n <= 0)
        break;
      strData.append(buf, static_cast<size_t>(n));
    }
    return strData;
  }

 private:
  int m_nMaster = -1;
  std::string m_strSlave;
};

// A temporary folder, removed with everything in it.
class CTempDir {
 public:
  CTempDir() {
    std::string strTemplate = (std::filesystem::temp_directory_path() / "mireth-grellow-XXXXXX").string();
    if (char* psz = mkdtemp(strTemplate.data()))
      m_strPath = psz;
    else
      ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
  }
  ~CTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_strPath, ec);
  }
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;
  const std::string& Path() const { return m_strPath; }
  std::string operator/(const std::string& strName) const { return m_strPath + "/" + strName; }

 private:
  std::string m_strPath;
};

inline void WriteFile(const std::string& strPath, const std::string& strData) {
  std::filesystem::create_directories(std::filesystem::path(strPath).parent_path());
  std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
  out << strData;
}

inline std::string ReadFile(const std::string& strPath) {
  std::ifstream in(strPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& strPath) {
  struct stat st {};
  return lstat(strPath.c_str(), &st) == 0;
}

// The text of a UUCP lock file naming the process.
inline std::string LockText(pid_t pid) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%10d\n", static_cast<int>(pid));
  return buf;
}

// The id of a process that has ended (and been reaped), for stale lock files.
inline pid_t DeadPid() {
  pid_t pid = fork();
  if (pid == 0)
    _exit(0);
  int nStatus = 0;
  waitpid(pid, &nStatus, 0);
  return pid;
}

// Every test runs with the settings store, the lock folder and the device folders in
// a temporary folder of its own, so it needs no root, no hardware, and leaves the
// user's settings alone.
class CGrellowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strRegistry = m_temp / "Mireth.reg";
    m_strLockDir = m_temp / "lock";
    m_strDevDir = m_temp / "dev";
    m_strSysDir = m_temp / "sys";
    std::filesystem::create_directories(m_strLockDir);
    std::filesystem::create_directories(m_strDevDir);
    std::filesystem::create_directories(m_strSysDir);
    setenv("MIRETH_REGISTRY", m_strRegistry.c_str(), 1);
    setenv("MIRETH_LOCK_DIR", m_strLockDir.c_str(), 1);
    setenv("MIRETH_DEV_DIR", m_strDevDir.c_str(), 1);
    setenv("MIRETH_SYS_DIR", m_strSysDir.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("MIRETH_REGISTRY");
    unsetenv("MIRETH_LOCK_DIR");
    unsetenv("MIRETH_DEV_DIR");
    unsetenv("MIRETH_SYS_DIR");
  }
  std::string LockFileOf(const std::string& strDevice) const {
    return m_strLockDir + "/" + CSerialPort::GetLockFileName(strDevice);
  }

  CTempDir m_temp;
  std::string m_strRegistry, m_strLockDir, m_strDevDir, m_strSysDir;
};

// Another process that opens a port with CSerialPort and keeps it until Release().
class CHolderProcess {
 public:
  explicit CHolderProcess(const std::string& strDevice) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) {
      ADD_FAILURE() << "pipe: " << std::strerror(errno);
      return;
    }
    m_pid = fork();
    if (m_pid == 0) {
      close(ready[0]);
      close(release[1]);
      char cResult;
      {
        CSerialPort port;
        cResult = static_cast<char>(port.Open(strDevice, 9600));
        (void)!write(ready[1], &cResult, 1);
        char c;
        (void)!read(release[0], &c, 1);  // until told to let go, or the parent dies
      }
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    m_nRelease = release[1];
    char cResult = static_cast<char>(SERIAL_IO_ERROR);
    if (read(ready[0], &cResult, 1) != 1)
      ADD_FAILURE() << "the holder process did not report";
    close(ready[0]);
    m_result = static_cast<SerialResult>(cResult);
  }
  ~CHolderProcess() { Release(); }
  CHolderProcess(const CHolderProcess&) = delete;
  CHolderProcess& operator=(const CHolderProcess&) = delete;

  SerialResult Result() const { return m_result; }
  pid_t Pid() const { return m_pid; }

  // Lets the port go and waits for the process to end.
  void Release() {
    if (m_nRelease >= 0) {
      close(m_nRelease);
      m_nRelease = -1;
    }
    if (m_pid > 0) {
      int nStatus = 0;
      waitpid(m_pid, &nStatus, 0);
      m_pid = -1;
    }
  }

 private:
  pid_t m_pid = -1;
  int m_nRelease = -1;
  SerialResult m_result = SERIAL_IO_ERROR;
};

}  // namespace grellow_test
