#include "grellow/SerialPort.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/Deadline.h"
#include "platform/SafeFile.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BaudEntry {
  int nRate;
  speed_t speed;
};

const BaudEntry g_baudTable[] = {
    {300, B300},       {600, B600},     {1200, B1200},   {1800, B1800},   {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
};

bool LookUpSpeed(int nRate, speed_t& speed) {
  for (const BaudEntry& entry : g_baudTable) {
    if (entry.nRate == nRate) {
      speed = entry.speed;
      return true;
    }
  }
  return false;
}

std::mutex g_lockDirMutex;
std::string g_strLockDirOverride;
std::atomic<unsigned> g_nTempCounter{0};
std::atomic<int> g_nTakeoverPauseUs{0};

// A small text file's contents ("" when it cannot be read).
std::string ReadFileText(const std::string& strPath) {
  std::string strText;
  int fd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return strText;
  char buf[256];
  ssize_t n = read(fd, buf, sizeof buf);
  if (n > 0)
    strText.assign(buf, static_cast<size_t>(n));
  close(fd);
  return strText;
}

bool IsDirectory(const std::string& strPath) {
  struct stat st {};
  return stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What a UUCP lock file says about its owner.
enum LockOwner {
  OWNER_GONE,   // the file vanished meanwhile
  OWNER_ALIVE,  // a running process holds it (or it cannot be read)
  OWNER_STALE,  // a dead process, or a file that holds no process id
  OWNER_TAKEN   // it was stale and our lock has replaced it
};

// An empty lock file younger than this is taken as one being written right now.
constexpr time_t EMPTY_LOCK_GRACE_SECONDS = 10;

bool ReadLockPid(const std::string& strPath, pid_t& pid, bool& bEmpty, bool& bMissing, time_t& mtime) {
  bEmpty = false;
  bMissing = false;
  pid = 0;
  int fd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    bMissing = (errno == ENOENT);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) == 0)
    mtime = st.st_mtime;
  char buf[64];
  ssize_t n;
  do {
    n = read(fd, buf, sizeof buf - 1);
  } while (n < 0 && errno == EINTR);
  close(fd);
  if (n < 0)
    return false;
  if (n == 0) {
    bEmpty = true;
    return true;
  }
  buf[n] = '\0';
  // The usual form: the decimal process id, padded to ten characters, and a newline.
  const char* p = buf;
  while (*p == ' ' || *p == '\t')
    ++p;
  if (*p >= '0' && *p <= '9') {
    char* pEnd = nullptr;
    long value = std::strtol(p, &pEnd, 10);
    while (*pEnd == ' ' || *pEnd == '\t' || *pEnd == '\n' || *pEnd == '\r')
      ++pEnd;
    if (pEnd == buf + n && value > 0 && value <= INT_MAX) {
      pid = static_cast<pid_t>(value);
      return true;
    }
  }
  // The old binary form: the process id as a four-byte integer.
  if (n == 4) {
    int32_t value;
    std::memcpy(&value, buf, sizeof value);
    if (value > 0) {
      pid = static_cast<pid_t>(value);
      return true;
    }
  }
  return true;  // readable, but no process id in it: pid stays 0
}

LockOwner CheckLockOwner(const std::string& strPath, pid_t& pid) {
  pid = 0;
  bool bEmpty = false, bMissing = false;
  time_t mtime = 0;
  if (!ReadLockPid(strPath, pid, bEmpty, bMissing, mtime))
    return bMissing ? OWNER_GONE : OWNER_ALIVE;
  if (bEmpty)
    return (std::time(nullptr) - mtime > EMPTY_LOCK_GRACE_SECONDS) ? OWNER_STALE : OWNER_ALIVE;
  if (pid <= 0)
    return OWNER_STALE;
  if (kill(pid, 0) == 0 || errno == EPERM)
    return OWNER_ALIVE;
  return OWNER_STALE;
}

enum LockResult { LOCK_HELD, LOCK_BUSY, LOCK_NONE };

// Holds an exclusive flock on the lock folder while it lives: the takeovers of stale
// locks by this program's processes happen one at a time.
class CFolderGuard {
 public:
  explicit CFolderGuard(const std::string& strFolder)
      : m_fd(open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (m_fd >= 0)
      LockExclusive(m_fd);
  }
  ~CFolderGuard() {
    if (m_fd >= 0)
      close(m_fd);
  }
  CFolderGuard(const CFolderGuard&) = delete;
  CFolderGuard& operator=(const CFolderGuard&) = delete;

 private:
  int m_fd;
};

// Replaces a stale lock with ours (strTemp, complete) by one atomic rename, so that
// there is no moment without a lock file that a second taker could fill. The owner is
// checked again under the folder's guard, right before the rename: a lock another
// taker has just put in place is seen as alive and left alone.
LockOwner TakeOverIfStale(const std::string& strFolder, const std::string& strPath,
                          const std::string& strTemp, pid_t& nHolderPid) {
  CFolderGuard guard(strFolder);
  LockOwner owner = CheckLockOwner(strPath, nHolderPid);
  if (owner != OWNER_STALE)
    return owner;
  if (int nPause = g_nTakeoverPauseUs.load(); nPause > 0)
    usleep(static_cast<useconds_t>(nPause));
  // Our own name for the lock must stay for a retry, so a copy is renamed.
  std::string strFresh = strTemp + ".new";
  if (link(strTemp.c_str(), strFresh.c_str()) != 0)
    return OWNER_ALIVE;
  if (rename(strFresh.c_str(), strPath.c_str()) != 0) {
    unlink(strFresh.c_str());
    return OWNER_ALIVE;
  }
  return OWNER_TAKEN;
}

// Takes the UUCP lock file for the device. The file is written under a temporary
// name and linked into place, so it never exists half-written; a lock left by a
// process that has died is removed and taken over. LOCK_NONE means the folder cannot
// be used (missing, not writable): the caller carries on without a lock file.
LockResult AcquireLockFile(const std::string& strDevice, std::string& strLockPath, pid_t& nHolderPid) {
  strLockPath.clear();
  nHolderPid = 0;
  std::string strFolder = CSerialPort::GetLockDirectory();
  if (strFolder.empty() || !IsDirectory(strFolder))
    return LOCK_NONE;
  std::string strPath = strFolder + "/" + CSerialPort::GetLockFileName(strDevice);
  std::string strTemp =
      strFolder + "/LTMP." + std::to_string(getpid()) + "." + std::to_string(g_nTempCounter.fetch_add(1));

  char content[32];
  int nLen = std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(getpid()));
  unlink(strTemp.c_str());
  int fd = open(strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    return LOCK_NONE;
  bool bWritten = write(fd, content, static_cast<size_t>(nLen)) == nLen;
  // The lock file must be readable by every program, whatever our umask.
  fchmod(fd, 0644);
  if (close(fd) != 0)
    bWritten = false;
  if (!bWritten) {
    unlink(strTemp.c_str());
    return LOCK_NONE;
  }

  LockResult result = LOCK_BUSY;
  for (int nAttempt = 0; nAttempt < 5; ++nAttempt) {
    if (link(strTemp.c_str(), strPath.c_str()) == 0) {
      result = LOCK_HELD;
      break;
    }
    if (errno != EEXIST) {
      result = LOCK_NONE;
      break;
    }
    LockOwner owner = TakeOverIfStale(strFolder, strPath, strTemp, nHolderPid);
    if (owner == OWNER_ALIVE) {
      result = LOCK_BUSY;
      break;
    }
    if (owner == OWNER_TAKEN) {
      result = LOCK_HELD;
      break;
    }
    // OWNER_GONE: the file vanished meanwhile; try again.
  }
  unlink(strTemp.c_str());
  if (result == LOCK_HELD)
    strLockPath = strPath;
  return result;
}

// Removes the lock file if it still names this process.
void ReleaseLockFile(const std::string& strLockPath) {
  if (strLockPath.empty())
    return;
  pid_t pid = 0;
  bool bEmpty = false, bMissing = false;
  time_t mtime = 0;
  if (ReadLockPid(strLockPath, pid, bEmpty, bMissing, mtime) && pid == getpid())
    unlink(strLockPath.c_str());
}

SerialResult ResultFromOpenErrno(int nError) {
  switch (nError) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case ELOOP:
      return SERIAL_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return SERIAL_ACCESS_DENIED;
    case EBUSY:
      return SERIAL_IN_USE;
    default:
      return SERIAL_IO_ERROR;
  }
}

}  // namespace

const char* SerialResultText(SerialResult result) {
  switch (result) {
    case SERIAL_OK:
      return "ok";
    case SERIAL_NOT_FOUND:
      return "no such serial device";
    case SERIAL_IN_USE:
      return "in use by another program";
    case SERIAL_ACCESS_DENIED:
      return "access denied";
    case SERIAL_BAD_BAUD:
      return "baud rate not supported";
    case SERIAL_IO_ERROR:
      return "input/output error";
  }
  return "unknown result";
}

CSerialPort::~CSerialPort() { Close(); }

bool CSerialPort::IsSupportedBaudRate(int nBaudRate) {
  speed_t speed;
  return LookUpSpeed(nBaudRate, speed);
}

void CSerialPort::SetLockDirectory(const std::string& strFolder) {
  std::lock_guard<std::mutex> guard(g_lockDirMutex);
  g_strLockDirOverride = strFolder;
}

std::string CSerialPort::GetLockDirectory() {
  {
    std::lock_guard<std::mutex> guard(g_lockDirMutex);
    if (!g_strLockDirOverride.empty())
      return g_strLockDirOverride;
  }
  if (const char* pszEnv = std::getenv("MIRETH_LOCK_DIR"); pszEnv && *pszEnv)
    return pszEnv;
  if (IsDirectory("/var/lock"))
    return "/var/lock";
  if (IsDirectory("/run/lock"))
    return "/run/lock";
  return "/var/lock";
}

std::string CSerialPort::GetLockFileName(const std::string& strDevice) {
  std::string strPath = strDevice;
  if (char* pszReal = realpath(strDevice.c_str(), nullptr)) {
    strPath = pszReal;
    std::free(pszReal);
  }
  std::string strName;
  if (strPath.compare(0, 5, "/dev/") == 0) {
    strName = strPath.substr(5);
  } else {
    size_t nSlash = strPath.find_last_of('/');
    strName = (nSlash == std::string::npos) ? strPath : strPath.substr(nSlash + 1);
  }
  for (char& c : strName) {
    if (c == '/')
      c = '_';
  }
  return "LCK.." + strName;
}

namespace {

std::mutex g_failureMutex;
std::string g_strFailure;  // under g_failureMutex

// The name a running process gives itself, or "".
std::string ProcessName(pid_t pid) {
  std::string strName = ReadFileText("/proc/" + std::to_string(pid) + "/comm");
  while (!strName.empty() && (strName.back() == '\n' || strName.back() == '\r'))
    strName.pop_back();
  return strName;
}

// Words for a device that cannot be opened, from what is at its path.
std::string NotFoundText(const std::string& strDevice, int nErrno) {
  struct stat st {};
  if (nErrno == ENOENT) {
    std::string strFolder = strDevice.substr(0, strDevice.find_last_of('/') + 1);
    if (!strFolder.empty() && stat(strFolder.c_str(), &st) != 0)
      return "the folder of " + strDevice + " does not exist";
    return strDevice + " does not exist";
  }
  if (nErrno == ENOTDIR)
    return "a part of the path " + strDevice + " is not a folder";
  if (stat(strDevice.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return strDevice + " is a folder, not a serial device";
  return strDevice + " is not a serial device";
}

// Keeps the words for a failed open and returns its result.
SerialResult Failed(SerialResult result, const std::string& strDevice, int nErrno, pid_t nHolder = 0) {
  std::lock_guard<std::mutex> guard(g_failureMutex);
  switch (result) {
    case SERIAL_IN_USE:
      g_strFailure = strDevice + " is in use by another program";
      if (nHolder > 0) {
        std::string strName = ProcessName(nHolder);
        g_strFailure +=
            " (process " + std::to_string(nHolder) + (strName.empty() ? "" : ", " + strName) + ")";
      }
      break;
    case SERIAL_NOT_FOUND:
      g_strFailure = NotFoundText(strDevice, nErrno);
      break;
    case SERIAL_ACCESS_DENIED:
      g_strFailure =
          "no permission to open " + strDevice + " (the user must be in the device's group, often dialout)";
      break;
    case SERIAL_BAD_BAUD:
      g_strFailure = "the baud rate is not supported by " + strDevice;
      break;
    default:
      g_strFailure =
          strDevice + " cannot be opened" + (nErrno ? std::string(": ") + std::strerror(nErrno) : "");
      break;
  }
  return result;
}

}  // namespace

std::string GetSerialFailureText() {
  std::lock_guard<std::mutex> guard(g_failureMutex);
  return g_strFailure;
}

void CSerialPort::SetLockTakeoverPause(int nMicroseconds) { g_nTakeoverPauseUs = nMicroseconds; }

SerialResult CSerialPort::OpenExclusive(const std::string& strDevice) {
  {
    std::lock_guard<std::mutex> guard(g_failureMutex);
    g_strFailure.clear();
  }
  struct stat st {};
  if (stat(strDevice.c_str(), &st) != 0)
    return Failed(ResultFromOpenErrno(errno), strDevice, errno);
  if (!S_ISCHR(st.st_mode))
    return Failed(SERIAL_NOT_FOUND, strDevice, 0);

  std::string strLockPath;
  pid_t nHolder = 0;
  if (AcquireLockFile(strDevice, strLockPath, nHolder) == LOCK_BUSY)
    return Failed(SERIAL_IN_USE, strDevice, 0, nHolder);

  int fd = open(strDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int nError = errno;
    ReleaseLockFile(strLockPath);
    return Failed(ResultFromOpenErrno(nError), strDevice, nError);
  }
  SerialResult result = SERIAL_OK;
  if (!isatty(fd)) {
    result = SERIAL_NOT_FOUND;
  } else {
#ifdef TIOCGEXCL
    // A program that marked the line exclusive holds it, even when our privileges
    // would let us open it anyway.
    int nExclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &nExclusive) == 0 && nExclusive != 0)
      result = SERIAL_IN_USE;
#endif
    if (result == SERIAL_OK && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
      result = SERIAL_IN_USE;
  }
  if (result != SERIAL_OK) {
    close(fd);
    ReleaseLockFile(strLockPath);
    return Failed(result, strDevice, 0);
  }
  // Further opens of the line fail until Close().
  ioctl(fd, TIOCEXCL);
  m_nFd = fd;
  m_nOwnerPid = getpid();
  m_strDevice = strDevice;
  m_strLockFile = strLockPath;
  return SERIAL_OK;
}

void CSerialPort::Release() {
  if (m_nFd >= 0) {
    // A child process that inherited the object only drops its copy of the
    // descriptor: the exclusive mark, the flock and the lock file are the parent's.
    if (m_nOwnerPid == getpid()) {
      ioctl(m_nFd, TIOCNXCL);
      flock(m_nFd, LOCK_UN);
    }
    close(m_nFd);
    m_nFd = -1;
  }
  ReleaseLockFile(m_strLockFile);
  m_strLockFile.clear();
  m_strDevice.clear();
  m_nBaudRate = 0;
}

SerialResult CSerialPort::Probe(const std::string& strDevice) {
  CSerialPort port;
  return port.OpenExclusive(strDevice);
}

SerialResult CSerialPort::Open(const std::string& strDevice, int nBaudRate) {
  Close();
  if (!IsSupportedBaudRate(nBaudRate))
    return Failed(SERIAL_BAD_BAUD, strDevice, 0);
  SerialResult result = OpenExclusive(strDevice);
  if (result != SERIAL_OK)
    return result;

  struct termios tio {};
  if (tcgetattr(m_nFd, &tio) != 0) {
    Release();
    return SERIAL_IO_ERROR;
  }
  // Raw 8N1: no character processing either way, no echo, no signals, no flow
  // control; the modem lines are ignored and the receiver is on. A read returns what
  // is there at once; the waiting is done with poll().
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
  tio.c_cflag &= ~CMSPAR;
#endif
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(m_nFd, TCSANOW, &tio) != 0) {
    Release();
    return SERIAL_IO_ERROR;
  }
  result = ApplyBaudRate(nBaudRate);
  if (result != SERIAL_OK) {
    Release();
    return result;
  }
  tcflush(m_nFd, TCIFLUSH);
  return SERIAL_OK;
}

SerialResult CSerialPort::ApplyBaudRate(int nBaudRate) {
  speed_t speed;
  if (!LookUpSpeed(nBaudRate, speed))
    return SERIAL_BAD_BAUD;
  struct termios old {};
  if (tcgetattr(m_nFd, &old) != 0)
    return SERIAL_IO_ERROR;
  struct termios tio = old;
  if (cfsetospeed(&tio, speed) != 0 || cfsetispeed(&tio, speed) != 0)
    return SERIAL_BAD_BAUD;
  if (tcsetattr(m_nFd, TCSANOW, &tio) != 0) {
    int nError = errno;
    tcsetattr(m_nFd, TCSANOW, &old);
    return nError == EINVAL ? SERIAL_BAD_BAUD : SERIAL_IO_ERROR;
  }
  // tcsetattr() succeeds when any part of the change was taken; read back whether
  // the driver took the rate.
  struct termios now {};
  if (tcgetattr(m_nFd, &now) != 0)
    return SERIAL_IO_ERROR;
  if (cfgetospeed(&now) != speed || (cfgetispeed(&now) != speed && cfgetispeed(&now) != B0)) {
    tcsetattr(m_nFd, TCSANOW, &old);
    return SERIAL_BAD_BAUD;
  }
  m_nBaudRate = nBaudRate;
  return SERIAL_OK;
}

SerialResult CSerialPort::SetBaudRate(int nBaudRate) {
  if (m_nFd < 0)
    return SERIAL_IO_ERROR;
  return ApplyBaudRate(nBaudRate);
}

int CSerialPort::Read(void* pBuffer, size_t nSize, int nTimeoutMs) {
  if (m_nFd < 0)
    return -1;
  if (nSize == 0)
    return 0;
  if (nSize > static_cast<size_t>(INT_MAX))
    nSize = static_cast<size_t>(INT_MAX);
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs > 0 ? nTimeoutMs : 0);
  for (;;) {
    struct pollfd pfd {
      m_nFd, POLLIN, 0
    };
    int nReady = poll(&pfd, 1, MillisecondsUntil(deadline));
    if (nReady < 0) {
      if (errno == EINTR)
        continue;
      return -1;
    }
    if (nReady == 0)
      return 0;  // time-out
    if (pfd.revents & POLLNVAL)
      return -1;
    bool bHangUp = (pfd.revents & (POLLHUP | POLLERR)) != 0;
    ssize_t n = read(m_nFd, pBuffer, nSize);
    if (n > 0)
      return static_cast<int>(n);
    if (n < 0 && errno != EAGAIN && errno != EINTR)
      return -1;  // EIO: the device is gone, or the other end of a pty closed
    // Nothing read: a hung-up line reads as end of file; otherwise the wake-up was
    // spurious and we wait on for the rest of the time.
    if (bHangUp)
      return -1;
    if (MillisecondsUntil(deadline) == 0)
      return 0;
  }
}

bool CSerialPort::Write(const void* pData, size_t nSize, int nTimeoutMs) {
  if (m_nFd < 0)
    return false;
  if (nTimeoutMs < 0) {
    // The wire time at the current rate (ten bits a byte), doubled, plus a margin.
    long long nBaud = m_nBaudRate > 0 ? m_nBaudRate : 9600;
    long long nWireMs = static_cast<long long>(nSize) * 10 * 1000 / nBaud;
    long long nTotal = 2000 + 2 * nWireMs;
    nTimeoutMs = nTotal > INT_MAX ? INT_MAX : static_cast<int>(nTotal);
  }
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
  const char* p = static_cast<const char*>(pData);
  size_t nLeft = nSize;
  while (nLeft > 0) {
    ssize_t n = write(m_nFd, p, nLeft);
    if (n > 0) {
      p += n;
      nLeft -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno != EAGAIN)
      return false;  // EIO and the like: the line is gone
    // No room: wait for it.
    for (;;) {
      int nWait = MillisecondsUntil(deadline);
      if (nWait == 0)
        return false;
      struct pollfd pfd {
        m_nFd, POLLOUT, 0
      };
      int nReady = poll(&pfd, 1, nWait);
      if (nReady < 0 && errno == EINTR)
        continue;
      if (nReady < 0)
        return false;
      if (nReady == 0)
        return false;
      if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))
        return false;
      break;
    }
  }
  return true;
}

void CSerialPort::Close() { Release(); }
