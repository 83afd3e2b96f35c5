#pragma once
// A bare terminal client for the virtual phone's tests: plain open, raw termios,
// write, and reads that wait in poll() for expected bytes up to a generous limit.

#include <cerrno>
#include <regex>
#include <utility>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "tests/support/TestIo.h"

class CPtyClient {
 public:
  static constexpr int kTimeoutMs = 15000;

  ~CPtyClient() { Close(); }

  bool Open(const std::string& strPath) {
    m_bHungUp = false;
    m_strReceived.clear();
    m_fd = open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0)
      return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(m_fd, TCSANOW, &tio) == 0;
  }
  void Close() {
    if (m_fd >= 0)
      close(m_fd);
    m_fd = -1;
  }
  int Fd() const { return m_fd; }

  bool Send(const std::string& strBytes) {
    for (std::size_t nDone = 0; nDone < strBytes.size();) {
      ssize_t n = write(m_fd, strBytes.data() + nDone, strBytes.size() - nDone);
      pollfd pfd{m_fd, POLLOUT, 0};
      if (n > 0)
        nDone += static_cast<std::size_t>(n);
      else if (n < 0 && errno == EAGAIN && poll(&pfd, 1, kTimeoutMs) <= 0)
        return false;
      else if (n < 0 && errno != EAGAIN && errno != EINTR)
        return false;
    }
    return true;
  }

  // Reads until the received text contains strExpect; true when it does.
  bool WaitFor(const std::string& strExpect) {
    return ReadUntil([&] { return m_strReceived.find(strExpect) != std::string::npos; });
  }
  // Reads until the text ends with a final result code on a line of its own.
  bool WaitForFinal() {
    static const std::regex final("(^|\r\n)(OK|ERROR|\\+CM[ES] ERROR: [^\r\n]*)\r\n$");
    return ReadUntil([&] { return std::regex_search(m_strReceived, final); });
  }

  // Sends a command line and returns everything received up to its final result.
  std::string Command(const std::string& strCommand) {
    m_strReceived.clear();
    if (!Send(strCommand + "\r") || !WaitForFinal())
      return "<no final result> " + m_strReceived;
    return Take();
  }
  std::string Take() { return std::exchange(m_strReceived, std::string()); }

 private:
  template <typename Done>
  bool ReadUntil(Done done) {
    return test_io::ReadFdUntil(m_fd, m_strReceived, kTimeoutMs, done, m_bHungUp);
  }

  int m_fd = -1;
  std::string m_strReceived;
  bool m_bHungUp = false;
};
