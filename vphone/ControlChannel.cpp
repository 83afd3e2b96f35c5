#include "vphone/ControlChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sstream>

#include "vphone/VirtualPhone.h"

namespace vphone {

namespace {

bool ReadInt(const std::string& strWord, int& nValue) {
  if (strWord.empty() || strWord.size() > 9)
    return false;
  for (char c : strWord)
    if (c < '0' || c > '9')
      return false;
  nValue = std::stoi(strWord);
  return true;
}

}  // namespace

std::string RunControlLine(CVirtualPhone& phone, const std::string& strLine) {
  std::istringstream in(strLine);
  std::string strVerb;
  if (!(in >> strVerb) || strVerb[0] == '#')
    return "";
  std::vector<std::string> words;
  for (std::string w; in >> w;)
    words.push_back(w);
  if (strVerb == "receive" && (words.size() == 1 || words.size() == 2)) {
    std::string strError;
    int nIndex = phone.InjectReceivedMessage(words.back(), words.size() == 2 ? words[0] : "", &strError);
    return nIndex > 0 ? "" : "receive: " + strError;
  }
  if (strVerb == "reports" && words.size() == 2) {
    int nDelay = 0, nStatus = 0;
    if (!ReadInt(words[0], nDelay) || !ReadInt(words[1], nStatus) || nStatus > 255)
      return "reports takes DELAY_MS STATUS (0-255)";
    phone.SetReportOutcome(nDelay, nStatus);
    return "";
  }
  if (strVerb == "urc" && !words.empty()) {
    phone.InjectUnsolicited(strLine.substr(strLine.find("urc") + 4));
    return "";
  }
  if (strVerb == "hangup" && words.empty()) {
    phone.HangUp();
    return "";
  }
  return "unknown control command: " + strLine;
}

bool CControlFifo::Start(const std::string& strPath, std::string& strError) {
  struct stat st {};
  if (lstat(strPath.c_str(), &st) == 0 ? !S_ISFIFO(st.st_mode) : mkfifo(strPath.c_str(), 0600) != 0) {
    strError = strPath + ": cannot be made a FIFO";
    return false;
  }
  // Opened for writing too, so that the pipe does not read as ended between writers.
  m_fd = open(strPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  m_fdStop = eventfd(0, EFD_CLOEXEC);
  if (m_fd < 0 || m_fdStop < 0) {
    strError = strPath + ": " + std::strerror(errno);
    Stop();
    return false;
  }
  m_strPath = strPath;
  m_thread = std::thread([this] { Run(); });
  return true;
}

void CControlFifo::Stop() {
  if (m_thread.joinable()) {
    uint64_t nOne = 1;
    ssize_t n = write(m_fdStop, &nOne, sizeof nOne);
    (void)n;
    m_thread.join();
  }
  for (int* pfd : {&m_fd, &m_fdStop}) {
    if (*pfd >= 0)
      close(*pfd);
    *pfd = -1;
  }
  if (!m_strPath.empty())
    unlink(m_strPath.c_str());
  m_strPath.clear();
}

void CControlFifo::Run() {
  std::string strPending;
  char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{m_fdStop, POLLIN, 0}, {m_fd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      return;
    }
    if (fds[0].revents & POLLIN)
      return;
    ssize_t n = read(m_fd, buffer, sizeof buffer);
    if (n <= 0)
      continue;
    strPending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t nEnd; (nEnd = strPending.find('\n')) != std::string::npos;) {
      std::string strLine = strPending.substr(0, nEnd);
      strPending.erase(0, nEnd + 1);
      if (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();
      std::string strError = RunControlLine(m_phone, strLine);
      if (!strError.empty())
        std::cerr << "mireth-vphone: " << strError << std::endl;
    }
    if (strPending.size() > 65536)
      strPending.clear();  // no line end in sight: noise
  }
}

}  // namespace vphone
