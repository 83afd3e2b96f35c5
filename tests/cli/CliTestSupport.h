// Running the command-line program against the in-process virtual phone: a sandbox
// (settings file, lock folder, data folder) per test, the program started as a child
// with its output read line by line as it comes, and messages to inject.
#pragma once

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shell/TestSandbox.h"
#include "tests/support/DeliverPdus.h"
#include "tests/support/SmsVectors.h"
#include "tests/support/TestIo.h"
#include "vphone/Dialects.h"
#include "vphone/VirtualPhone.h"

extern char** environ;

namespace cli_test {

using Clock = std::chrono::steady_clock;

// The program as a child process: standard output through a pipe, standard error to
// a file.
class CChild {
 public:
  CChild(const std::vector<std::string>& args, const std::string& strErrFile) {
    int fds[2];
    if (pipe(fds) != 0)
      return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, strErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all = {MIRETH_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : all)
      argv.push_back(s.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, MIRETH_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0)
      m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    m_fd = fds[0];
    fcntl(m_fd, F_SETFL, O_NONBLOCK);
  }
  ~CChild() {
    if (m_pid > 0 && m_nExit == kRunning) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    if (m_fd >= 0)
      close(m_fd);
  }
  bool IsStarted() const { return m_pid > 0; }

  // The next line of output within nTimeoutMs; false when none came.
  bool ReadLine(std::string& strLine, int nTimeoutMs) {
    bool bEnded = false;
    if (!test_io::ReadFdUntil(
            m_fd, m_strBuffer, nTimeoutMs, [&] { return m_strBuffer.find('\n') != std::string::npos; },
            bEnded))
      return false;
    const size_t nEnd = m_strBuffer.find('\n');
    strLine = m_strBuffer.substr(0, nEnd);
    m_strBuffer.erase(0, nEnd + 1);
    return true;
  }
  // Sends the signal, then gives the exit status as Wait does.
  int Stop(int nSignal = SIGTERM, int nTimeoutMs = 3000) {
    kill(m_pid, nSignal);
    return Wait(nTimeoutMs);
  }
  // The exit status once it ends within nTimeoutMs; -1 when it does not, -2 when it
  // was killed by a signal.
  int Wait(int nTimeoutMs) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (m_nExit == kRunning) {
      int nStatus = 0;
      pid_t p = waitpid(m_pid, &nStatus, WNOHANG);
      if (p == m_pid) {
        m_nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -2;
        break;
      }
      if (Clock::now() >= deadline)
        return -1;
      poll(nullptr, 0, 10);  // a child's end has no descriptor to wait on
    }
    return m_nExit;
  }

 private:
  static constexpr int kRunning = -100;
  pid_t m_pid = -1;
  int m_fd = -1;
  std::string m_strBuffer;
  int m_nExit = kRunning;
};

// A test's own settings, lock folder and data folder, and a virtual phone.
class CCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_sandbox.SetEnv("MIRETH_REGISTRY", (m_root / "settings.reg").string());
    m_sandbox.SetEnv("MIRETH_LOCK_DIR", (m_root / "locks").string());
    std::filesystem::create_directories(m_root / "locks");
    std::filesystem::create_directories(m_root / "data");
  }
  void TearDown() override {
    if (m_pPhone)
      m_pPhone->Stop();
  }

  // Starts a phone at the test's link path (the device the program is given), with
  // these messages-file lines, playing a dialect when one is named.
  void StartPhone(const std::vector<std::string>& lines = {}, const char* pszDialect = nullptr) {
    CVirtualPhoneConfig config;
    if (pszDialect) {
      ASSERT_TRUE(ApplyVirtualPhoneDialect(pszDialect, config)) << pszDialect;
    }
    config.m_strLinkPath = Device();
    if (!lines.empty()) {
      std::string strFile = (m_root / "messages.txt").string();
      std::ofstream out(strFile, std::ios::trunc);
      for (const std::string& line : lines)
        out << line << "\n";
      config.m_strMessagesFile = strFile;
    }
    m_pPhone = std::make_unique<CVirtualPhone>(config);
    std::string strError;
    ASSERT_TRUE(m_pPhone->Start(&strError)) << strError;
  }

  // The phone's log, for the message of a failed check.
  std::string PhoneLog() const {
    std::string strLog;
    for (const std::string& line : m_pPhone->GetLog())
      strLog += line + "\n";
    return strLog;
  }
  // Whether the phone has logged a line starting with strStart, waiting up to nTimeoutMs.
  bool LogHas(const std::string& strStart, int nTimeoutMs = 0) const {
    return m_pPhone->WaitForLog(
        [&](const std::vector<std::string>& log) {
          return std::any_of(log.begin(), log.end(),
                             [&](const std::string& l) { return l.rfind(strStart, 0) == 0; });
        },
        nTimeoutMs);
  }

  std::string Device() const { return (m_root / "modem").string(); }
  std::string DataFolder() const { return (m_root / "data").string() + "/"; }
  std::string ErrFile() const { return (m_root / "stderr.txt").string(); }
  std::string ErrText() const { return CTestSandbox::ReadFile(ErrFile()); }

  // The connection and data options for the program.
  std::vector<std::string> With(std::vector<std::string> args) const {
    args.insert(args.end(), {"--device", Device(), "--data", DataFolder(), "--timeout", "3000"});
    return args;
  }

  // Runs the program to its end: exit status, and its output.
  int Run(const std::vector<std::string>& args, std::string& strOut) {
    CChild child(args, ErrFile());
    EXPECT_TRUE(child.IsStarted());
    strOut.clear();
    for (std::string line; child.ReadLine(line, 20000);)
      strOut += line + "\n";
    return child.Wait(20000);
  }

  CTestSandbox m_sandbox{"mireth-cli"};
  std::filesystem::path m_root = m_sandbox.Root();
  std::unique_ptr<CVirtualPhone> m_pPhone;
};

}  // namespace cli_test
