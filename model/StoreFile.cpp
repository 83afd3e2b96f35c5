#include "model/StoreFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

namespace {

// Store files are read through a larger buffer than the archive's usual 4096 bytes:
// a list of many messages then takes a sixteenth of the system calls.
constexpr size_t kReadBufferSize = 65536;

std::mutex g_hookMutex;
StoreFaultHook g_hook;
size_t g_stepCounts[6];

[[noreturn]] void ThrowFileError(int nErrno) {
  throw CFileException(CFileException::CauseFromErrno(nErrno), nErrno);
}

// Closes a descriptor when it goes out of scope (which also drops its lock).
class CFdGuard {
 public:
  explicit CFdGuard(int fd) : m_fd(fd) {}
  ~CFdGuard() { Reset(); }
  CFdGuard(const CFdGuard&) = delete;
  CFdGuard& operator=(const CFdGuard&) = delete;
  int Get() const { return m_fd; }
  // Closes now and reports the result.
  int Reset() {
    int r = 0;
    if (m_fd >= 0)
      r = close(m_fd);
    m_fd = -1;
    return r;
  }

 private:
  int m_fd;
};

// A store file on disk, read or written through its descriptor.
class CPosixFile final : public CFile {
 public:
  CPosixFile(int fd, size_t nSize) : m_fd(fd), m_nSize(nSize) {}

  size_t Read(void* pBuffer, size_t nCount) override {
    CheckStoreFault(StoreStep::read);
    for (;;) {
      ssize_t n = read(m_fd, pBuffer, nCount);
      if (n >= 0) {
        m_nPos += static_cast<size_t>(n);
        return static_cast<size_t>(n);
      }
      if (errno != EINTR)
        ThrowFileError(errno);
    }
  }

  void Write(const void* pBuffer, size_t nCount) override {
    CheckStoreFault(StoreStep::write);
    const char* p = static_cast<const char*>(pBuffer);
    while (nCount != 0) {
      ssize_t n = write(m_fd, p, nCount);
      if (n < 0) {
        if (errno == EINTR)
          continue;
        ThrowFileError(errno);
      }
      if (n == 0)
        ThrowFileError(ENOSPC);
      p += n;
      nCount -= static_cast<size_t>(n);
    }
  }

  size_t GetRemaining() const override { return m_nPos < m_nSize ? m_nSize - m_nPos : 0; }

 private:
  int m_fd;
  size_t m_nSize;
  size_t m_nPos = 0;
};

// Opens a regular file without creating it and locks it exclusively. -1 when it
// does not exist, is not a regular file, cannot be opened or is locked by another.
// O_NONBLOCK keeps the open from hanging on a named pipe; it is cleared afterwards.
int OpenLocked(const std::string& strPath, int nFlags, struct stat& st) {
  int fd = open(strPath.c_str(), nFlags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    return -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  int nFileFlags = fcntl(fd, F_GETFL);
  if (nFileFlags >= 0)
    fcntl(fd, F_SETFL, nFileFlags & ~O_NONBLOCK);
  return fd;
}

template <class List>
CStoreResult ReadFile(const std::string& strPath, List& list) {
  ResetStoreFaultCounts();
  struct stat st;
  CFdGuard fd(OpenLocked(strPath, O_RDONLY, st));
  if (fd.Get() < 0)
    return CStoreResult{CStoreResult::notOpened, 0, errno};
  return CatchStoreErrors([&] {
    CPosixFile file(fd.Get(), static_cast<size_t>(st.st_size));
    CArchive ar(&file, CArchive::load, kReadBufferSize);
    ReadRecordList(ar, list);
    ar.Close();
  });
}

// The path that a save replaces: a symbolic link is followed, so that the file it
// points to is replaced and the link stays.
std::string ResolveTarget(const std::string& strPath) {
  struct stat st;
  if (lstat(strPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char* pszReal = realpath(strPath.c_str(), nullptr);
    if (pszReal != nullptr) {
      std::string strReal(pszReal);
      std::free(pszReal);
      return strReal;
    }
  }
  return strPath;
}

std::string FolderOf(const std::string& strPath) {
  size_t nSlash = strPath.rfind('/');
  if (nSlash == std::string::npos)
    return ".";
  return nSlash == 0 ? "/" : strPath.substr(0, nSlash);
}

template <class List>
CStoreResult WriteFile(const std::string& strStorePath, const List& list) {
  ResetStoreFaultCounts();
  std::string strPath = ResolveTarget(strStorePath);

  // A missing file is created empty, so that it can be opened and locked like an
  // existing one; if that fails, opening it below fails too.
  bool bCreated = false;
  struct stat st;
  if (lstat(strPath.c_str(), &st) != 0 && errno == ENOENT) {
    int fdNew = open(strPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fdNew >= 0) {
      bCreated = true;
      close(fdNew);
    }
  }
  CFdGuard fdStore(OpenLocked(strPath, O_WRONLY, st));
  if (fdStore.Get() < 0) {
    int nErrno = errno;
    if (bCreated)
      unlink(strPath.c_str());
    return CStoreResult{CStoreResult::notOpened, 0, nErrno};
  }

  std::string strTemp = strPath + ".XXXXXX";
  CFdGuard fdTemp(mkostemp(strTemp.data(), O_CLOEXEC));
  int nTempErrno = fdTemp.Get() < 0 ? errno : 0;
  if (fdTemp.Get() >= 0 && IsFaultInjected(StoreStep::createTemp)) {
    fdTemp.Reset();
    unlink(strTemp.c_str());
    nTempErrno = EACCES;
  }
  if (nTempErrno == EACCES || nTempErrno == EPERM) {
    // A folder that takes no new file while the store file itself may be written:
    // the list is written over the file in place, as there is no other way.
    CStoreResult result = CatchStoreErrors([&] {
      if (ftruncate(fdStore.Get(), 0) != 0)
        ThrowFileError(errno);
      CPosixFile file(fdStore.Get(), 0);
      CArchive ar(&file, CArchive::store);
      WriteRecordList(ar, list);
      ar.Close();
      CheckStoreFault(StoreStep::sync);
      if (fsync(fdStore.Get()) != 0)
        ThrowFileError(errno);
    });
    if (!result.IsOk() && bCreated)
      unlink(strPath.c_str());
    return result;
  }
  if (nTempErrno != 0) {
    if (bCreated)
      unlink(strPath.c_str());
    return CStoreResult{CStoreResult::fileError, CFileException::CauseFromErrno(nTempErrno), nTempErrno};
  }
  fchmod(fdTemp.Get(), st.st_mode & 07777);  // keep the file's permissions

  bool bRenamed = false;
  CStoreResult result = CatchStoreErrors([&] {
    CPosixFile file(fdTemp.Get(), 0);
    CArchive ar(&file, CArchive::store);
    WriteRecordList(ar, list);
    ar.Close();
    CheckStoreFault(StoreStep::sync);
    if (fsync(fdTemp.Get()) != 0)
      ThrowFileError(errno);
    if (fdTemp.Reset() != 0)
      ThrowFileError(errno);
    CheckStoreFault(StoreStep::rename);
    if (rename(strTemp.c_str(), strPath.c_str()) != 0)
      ThrowFileError(errno);
    bRenamed = true;
  });
  if (!bRenamed) {
    fdTemp.Reset();
    unlink(strTemp.c_str());
    if (bCreated)
      unlink(strPath.c_str());
    return result;
  }
  // Make the rename itself durable. A folder that cannot be flushed does not undo
  // the save, which has already taken place.
  int fdFolder = open(FolderOf(strPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fdFolder >= 0) {
    fsync(fdFolder);
    close(fdFolder);
  }
  return result;
}

}  // namespace

StoreFaultHook SetStoreFaultHook(StoreFaultHook hook) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  StoreFaultHook old = std::move(g_hook);
  g_hook = std::move(hook);
  return old;
}

void ResetStoreFaultCounts() {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  for (size_t& n : g_stepCounts)
    n = 0;
}

namespace {
CStoreFault AskHook(StoreStep step) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  if (!g_hook)
    return CStoreFault();
  size_t& nCount = g_stepCounts[static_cast<size_t>(step)];
  return g_hook(step, nCount++);
}
}  // namespace

bool IsFaultInjected(StoreStep step) { return AskHook(step).m_kind != CStoreFault::none; }

void CheckStoreFault(StoreStep step) {
  CStoreFault fault = AskHook(step);
  switch (fault.m_kind) {
    case CStoreFault::none:
      return;
    case CStoreFault::fileError:
      throw CFileException(fault.m_nCause);
    case CStoreFault::archiveError:
      throw CArchiveException(fault.m_nCause);
    case CStoreFault::memory:
      throw std::bad_alloc();
  }
}

CStoreResult ReadStoreFile(const std::string& strPath, CMessageArray& list) {
  return ReadFile(strPath, list);
}

CStoreResult ReadStoreFile(const std::string& strPath, CAddressArray& list) {
  return ReadFile(strPath, list);
}

CStoreResult ReadStoreFileBytes(const std::string& strPath, std::string& bytes) {
  ResetStoreFaultCounts();
  bytes.clear();
  struct stat st;
  CFdGuard fd(OpenLocked(strPath, O_RDONLY, st));
  if (fd.Get() < 0)
    return CStoreResult{CStoreResult::notOpened, 0, errno};
  return CatchStoreErrors([&] {
    CPosixFile file(fd.Get(), static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (size_t n; (n = file.Read(buffer, sizeof buffer)) != 0;)
      bytes.append(buffer, n);
  });
}

CStoreResult WriteStoreFile(const std::string& strPath, const CMessageArray& list) {
  return WriteFile(strPath, list);
}

CStoreResult WriteStoreFile(const std::string& strPath, const CAddressArray& list) {
  return WriteFile(strPath, list);
}
