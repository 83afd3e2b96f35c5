#include "vphone/VirtualPhone.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "vphone/AtInterpreter.h"
#include "vphone/MessagesFile.h"

using Clock = std::chrono::steady_clock;
using vphone::COutputItem;

namespace {

bool Fail(std::string* pError, const std::string& strWhy) {
  if (pError)
    *pError = strWhy;
  return false;
}

std::string ErrnoText(const std::string& strWhat) { return strWhat + ": " + std::strerror(errno); }

// Raw, 8 bits, no echo, no translation: bytes pass through untouched both ways.
bool MakeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0)
    return false;
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// How long to wait, after the last unread byte was seen, before taking the line as
// drained: bytes written to the master reach the slave's queue a moment later.
const auto kDrainQuiet = std::chrono::milliseconds(20);
// A hang-up waits at most this long for the client to read what came before it.
const auto kDrainLimit = std::chrono::seconds(3);
const auto kDrainCheck = std::chrono::milliseconds(2);
// A paced line that fell behind by more than this was idle: start afresh.
const auto kPaceSlack = std::chrono::milliseconds(5);

}  // namespace

CVirtualPhone::CVirtualPhone(const CVirtualPhoneConfig& config) : m_config(config) {}

CVirtualPhone::~CVirtualPhone() { Stop(); }

bool CVirtualPhone::Start(std::string* pError) {
  if (m_thread.joinable() || m_fdMaster >= 0)
    return Fail(pError, "the phone is already running");
  auto pInterpreter = std::make_unique<vphone::CAtInterpreter>(m_config);
  std::string strError;
  if (!pInterpreter->Init(strError))
    return Fail(pError, strError);
  if (!m_config.m_strMessagesFile.empty() &&
      !vphone::CMessagesFile::Load(m_config.m_strMessagesFile, pInterpreter->Store(), strError))
    return Fail(pError, strError);

  m_fdMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_fdMaster < 0)
    return Fail(pError, ErrnoText("posix_openpt"));
  char szName[PATH_MAX];
  if (grantpt(m_fdMaster) != 0 || unlockpt(m_fdMaster) != 0 ||
      ptsname_r(m_fdMaster, szName, sizeof szName) != 0) {
    strError = ErrnoText("pseudo-terminal");
    CloseAll();
    return Fail(pError, strError);
  }
  m_strSlavePath = szName;
  m_fdSlave = open(szName, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_fdSlave < 0 || !MakeRaw(m_fdSlave) || !MakeRaw(m_fdMaster)) {
    strError = ErrnoText(m_strSlavePath);
    CloseAll();
    return Fail(pError, strError);
  }
  m_fdWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m_fdWake < 0) {
    strError = ErrnoText("eventfd");
    CloseAll();
    return Fail(pError, strError);
  }
  // Watching opens and closes lets the phone clear a client's exclusive-use flag
  // when it closes; the terminal outlives its clients here, unlike a real port.
  // Without the watch everything else still works.
  m_fdNotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (m_fdNotify >= 0 && inotify_add_watch(m_fdNotify, szName, IN_OPEN | IN_CLOSE) < 0) {
    close(m_fdNotify);
    m_fdNotify = -1;
  }
  if (!m_config.m_strLinkPath.empty()) {
    const std::string& strLink = m_config.m_strLinkPath;
    struct stat st {};
    if (lstat(strLink.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
      CloseAll();
      return Fail(pError, strLink + ": exists and is not a symbolic link");
    }
    std::string strTemp = strLink + ".new";
    unlink(strTemp.c_str());
    if (symlink(szName, strTemp.c_str()) != 0 || rename(strTemp.c_str(), strLink.c_str()) != 0) {
      strError = ErrnoText(strLink);
      unlink(strTemp.c_str());
      CloseAll();
      return Fail(pError, strError);
    }
    m_bLinked = true;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pInterpreter = std::move(pInterpreter);
    m_bEnded = false;
  }
  m_bStop = false;
  m_bHungUp = false;
  m_nPacedRate = m_config.m_nBaudRate;
  m_thread = std::thread(&CVirtualPhone::Run, this);
  return true;
}

void CVirtualPhone::Stop() {
  if (m_thread.joinable()) {
    m_bStop = true;
    Wake();
    m_thread.join();
  }
  CloseAll();
  MarkEnded();
}

bool CVirtualPhone::WaitUntilEnded(int nTimeoutMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (nTimeoutMs < 0) {
    m_cvEnded.wait(lock, [this] { return m_bEnded; });
    return true;
  }
  return m_cvEnded.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [this] { return m_bEnded; });
}

void CVirtualPhone::MarkEnded() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bEnded = true;
  }
  m_cvEnded.notify_all();
  m_cvLog.notify_all();
}

void CVirtualPhone::CloseAll() {
  for (int* pfd : {&m_fdMaster, &m_fdSlave, &m_fdWake, &m_fdNotify}) {
    if (*pfd >= 0)
      close(*pfd);
    *pfd = -1;
  }
  RemoveLink();
}

void CVirtualPhone::RemoveLink() {
  if (!m_bLinked)
    return;
  m_bLinked = false;
  // Only our own link: another phone may have taken the path over since.
  char szTarget[PATH_MAX];
  ssize_t n = readlink(m_config.m_strLinkPath.c_str(), szTarget, sizeof szTarget - 1);
  if (n > 0) {
    szTarget[n] = '\0';
    if (m_strSlavePath == szTarget)
      unlink(m_config.m_strLinkPath.c_str());
  }
}

void CVirtualPhone::Wake() {
  if (m_fdWake < 0)
    return;
  uint64_t nOne = 1;
  ssize_t n = write(m_fdWake, &nOne, sizeof nOne);
  (void)n;  // a full counter still wakes the loop
}

std::vector<std::string> CVirtualPhone::GetLog() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_pInterpreter ? m_pInterpreter->GetLog() : std::vector<std::string>();
}

bool CVirtualPhone::WaitForLog(const std::function<bool(const std::vector<std::string>&)>& test,
                               int nTimeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  auto ready = [&] { return m_pInterpreter && test(m_pInterpreter->GetLog()); };
  if (nTimeoutMs < 0) {
    m_cvLog.wait(lock, ready);
    return true;
  }
  return m_cvLog.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), ready);
}

std::vector<std::string> CVirtualPhone::GetSentPdus() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_pInterpreter ? m_pInterpreter->GetSentPdus() : std::vector<std::string>();
}

std::vector<CVirtualPhoneMessage> CVirtualPhone::GetMessages(const std::string& strStorage) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<CVirtualPhoneMessage> messages;
  if (!m_pInterpreter)
    return messages;
  const vphone::CMessageStore& store = m_pInterpreter->Store();
  for (int nIndex : store.GetIndexes(strStorage)) {
    const vphone::CStoredMessage* pStored = store.Get(strStorage, nIndex);
    messages.push_back(CVirtualPhoneMessage{nIndex, pStored->m_nStatus, pStored->m_strPdu});
  }
  return messages;
}

std::string CVirtualPhone::GetPreferredStorage(int nWhich) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_pInterpreter || nWhich < 0 || nWhich > 2)
    return std::string();
  return m_pInterpreter->GetPreferredStorage(nWhich);
}

int CVirtualPhone::GetBaudRate() const { return m_nPacedRate; }

int CVirtualPhone::InjectReceivedMessage(const std::string& strPduHex, const std::string& strStorage,
                                         std::string* pError) {
  int nIndex = 0;
  std::string strError;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pInterpreter) {
      strError = "the phone is not started";
    } else {
      nIndex = m_pInterpreter->Receive(strStorage, strPduHex, strError);
    }
  }
  if (nIndex == 0 && pError)
    *pError = strError;
  m_cvLog.notify_all();
  Wake();
  return nIndex;
}

void CVirtualPhone::SetReportOutcome(int nDelayMs, int nStatus) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pInterpreter)
      m_pInterpreter->Reports().SetOutcome(nDelayMs, nStatus);
  }
  Wake();
}

void CVirtualPhone::InjectUnsolicited(const std::string& strLine) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pInterpreter)
      m_pInterpreter->Unsolicited(strLine);
  }
  Wake();
}

void CVirtualPhone::SetFaults(const CVirtualPhoneFaults& faults) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_pInterpreter)
    m_pInterpreter->SetFaults(faults);
}

void CVirtualPhone::HangUp() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pInterpreter)
      m_pInterpreter->HangUp();
  }
  Wake();
}

// The line: reads what the client writes and feeds it to the interpreter, sends what
// the interpreter queues (at the paced rate, when there is one), and hangs up when
// told. Waits only in ppoll, which the wake eventfd interrupts for Stop and injections.
void CVirtualPhone::Run() {
  std::deque<COutputItem> queue;
  std::size_t nSent = 0;  // bytes of the head item already written
  int nRate = m_config.m_nBaudRate;
  Clock::time_point tNextByte = Clock::now();
  bool bDraining = false;
  Clock::time_point tDrainQuiet{}, tDrainLimit{};
  int nClients = 0;
  char buffer[4096];

  while (!m_bStop) {
    Clock::time_point tReportDue;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_pInterpreter->SendDueReports(Clock::now());
      tReportDue = m_pInterpreter->Reports().NextDue();
      for (COutputItem& item : m_pInterpreter->TakeOutput())
        queue.push_back(std::move(item));
    }

    bool bWantWrite = false;
    bool bHangUpNow = false;
    Clock::duration timeout = Clock::duration::max();
    if (tReportDue != Clock::time_point::max())
      timeout = std::max(tReportDue - Clock::now(), Clock::duration(0));
    while (!queue.empty()) {
      COutputItem& head = queue.front();
      if (head.m_eKind == COutputItem::eSetRate) {
        nRate = head.m_nRate;
        m_nPacedRate = nRate;
        queue.pop_front();
        continue;
      }
      Clock::time_point tNow = Clock::now();
      if (head.m_eKind == COutputItem::eHangUp) {
        // Let the client read what came before: a modem that drops the line
        // loses only what it had not sent yet.
        int nUnread = 0;
        if (ioctl(m_fdSlave, FIONREAD, &nUnread) != 0)
          nUnread = 0;
        if (!bDraining) {
          bDraining = true;
          tDrainQuiet = tNow;
          tDrainLimit = tNow + kDrainLimit;
        }
        if (nUnread > 0)
          tDrainQuiet = tNow;
        if (tNow - tDrainQuiet >= kDrainQuiet || tNow >= tDrainLimit)
          bHangUpNow = true;
        else
          timeout = kDrainCheck;
        break;
      }
      std::size_t nLeft = head.m_strBytes.size() - nSent;
      std::size_t nAllowed = nLeft;
      std::chrono::nanoseconds byteTime(0);
      if (nRate > 0) {
        byteTime = std::chrono::nanoseconds(10'000'000'000LL / nRate);  // 10 bits a byte
        if (tNow - tNextByte > kPaceSlack)
          tNextByte = tNow;
        if (tNow < tNextByte) {
          timeout = tNextByte - tNow;
          break;
        }
        std::size_t nDue = 1 + static_cast<std::size_t>((tNow - tNextByte) / byteTime);
        nAllowed = std::min(nLeft, nDue);
      }
      ssize_t nWritten = write(m_fdMaster, head.m_strBytes.data() + nSent, nAllowed);
      if (nWritten < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
          bWantWrite = true;
        else
          bHangUpNow = true;  // the terminal is gone
        break;
      }
      nSent += static_cast<std::size_t>(nWritten);
      tNextByte += byteTime * nWritten;
      if (nSent == head.m_strBytes.size()) {
        queue.pop_front();
        nSent = 0;
      }
      if (static_cast<std::size_t>(nWritten) < nAllowed) {
        bWantWrite = true;
        break;
      }
    }
    if (bHangUpNow) {
      m_bHungUp = true;
      break;
    }

    pollfd fds[3];
    int nFds = 0;
    fds[nFds++] = pollfd{m_fdWake, POLLIN, 0};
    fds[nFds++] = pollfd{m_fdMaster, static_cast<short>(POLLIN | (bWantWrite ? POLLOUT : 0)), 0};
    if (m_fdNotify >= 0)
      fds[nFds++] = pollfd{m_fdNotify, POLLIN, 0};
    timespec ts{};
    timespec* pts = nullptr;
    if (timeout != Clock::duration::max()) {
      auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
      if (ns < 0)
        ns = 0;
      ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      pts = &ts;
    }
    int nReady = ppoll(fds, static_cast<nfds_t>(nFds), pts, nullptr);
    if (nReady < 0) {
      if (errno == EINTR)
        continue;
      m_bHungUp = true;
      break;
    }
    if (fds[0].revents & POLLIN) {
      uint64_t nCount;
      ssize_t n = read(m_fdWake, &nCount, sizeof nCount);
      (void)n;
    }
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t n = read(m_fdMaster, buffer, sizeof buffer);
      if (n > 0) {
        {
          std::lock_guard<std::mutex> lock(m_mutex);
          m_pInterpreter->Feed(buffer, static_cast<std::size_t>(n));
        }
        m_cvLog.notify_all();
        continue;  // send the answer before waiting again
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        m_bHungUp = true;  // the slave was hung up under us
        break;
      }
    }
    if (nFds > 2 && (fds[2].revents & POLLIN)) {
      alignas(inotify_event) char events[1024];
      ssize_t n;
      while ((n = read(m_fdNotify, events, sizeof events)) > 0) {
        for (char* p = events; p < events + n;) {
          const inotify_event* pEvent = reinterpret_cast<const inotify_event*>(p);
          if (pEvent->mask & IN_OPEN)
            ++nClients;
          if (pEvent->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE))
            --nClients;
          p += sizeof(inotify_event) + pEvent->len;
        }
      }
      // The last client is gone: the next one must be able to open the line.
      if (nClients <= 0) {
        nClients = 0;
        ioctl(m_fdSlave, TIOCNXCL);
      }
    }
  }

  if (m_bHungUp) {
    // Closing the master hangs up every open slave: clients read end-of-file or EIO.
    close(m_fdMaster);
    m_fdMaster = -1;
    close(m_fdSlave);
    m_fdSlave = -1;
    RemoveLink();
    MarkEnded();
  }
}
