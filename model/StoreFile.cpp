#include "model/StoreFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "model/PosixFile.h"
#include "platform/SafeFile.h"

namespace {

// Store files are read and written through a larger buffer than the archive's usual
// 4096 bytes: a list of many messages then takes a sixteenth of the system calls.
constexpr size_t kReadBufferSize = 65536;
// The records of a short list written in blocks move up a megabyte at a time.
constexpr size_t kWriteBufferSize = 1 << 20;

std::mutex g_hookMutex;
StoreFaultHook g_hook;
size_t g_stepCounts[7];
bool g_bFaultsOff = false;

// Holds injected faults back while the old contents are put back after a failure.
class ScopedFaultsOff {
 public:
  ScopedFaultsOff() {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_bFaultsOff = true;
  }
  ~ScopedFaultsOff() {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_bFaultsOff = false;
  }
};

// Closes a descriptor when it goes out of scope (which also drops its lock).
class CFdGuard {
 public:
  explicit CFdGuard(int fd) : m_fd(fd) {}
  ~CFdGuard() { Reset(); }
  CFdGuard(const CFdGuard&) = delete;
  CFdGuard& operator=(const CFdGuard&) = delete;
  int Get() const { return m_fd; }
  void Set(int fd) {
    Reset();
    m_fd = fd;
  }
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

// Opens a regular file without creating it and locks it exclusively. -1 when it
// does not exist, is not a regular file, cannot be opened or is locked by another.
// O_NONBLOCK keeps the open from hanging on a named pipe; it is cleared afterwards.
int OpenLocked(const std::string& strPath, int nFlags, struct stat& st) {
  int fd = open(strPath.c_str(), nFlags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    return -1;
  int nError = 0;
  if (fstat(fd, &st) != 0)
    nError = errno;
  else if (!S_ISREG(st.st_mode))
    nError = EISDIR;
  else if (flock(fd, LOCK_EX | LOCK_NB) != 0)
    nError = errno;
  if (nError != 0) {
    close(fd);
    errno = nError;
    return -1;
  }
  int nFileFlags = fcntl(fd, F_GETFL);
  if (nFileFlags >= 0)
    fcntl(fd, F_SETFL, nFileFlags & ~O_NONBLOCK);
  return fd;
}

// The spare copies of a store file whose folder takes no new file: in the user's
// spare folder, named by a hash of the file's path. "<hash>.new" is a complete new
// list still to be copied over the file; "<hash>.bak" the file as it was before the
// last such copy.
std::string SpareBase(const std::string& strPath, const std::string& strFolder) {
  uint64_t nHash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : strPath) {
    nHash ^= c;
    nHash *= 1099511628211ull;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string strName(16, '0');
  for (int i = 15; i >= 0; --i, nHash >>= 4)
    strName[static_cast<size_t>(i)] = kHex[nHash & 0xF];
  return strFolder + "/" + strName;
}

std::string PendingCopyOf(const std::string& strPath) {
  std::string strSpare = GetSpareFolder(false);
  if (strSpare.empty())
    return "";
  std::string strNew = SpareBase(strPath, strSpare) + ".new";
  struct stat st;
  return stat(strNew.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? strNew : "";
}

// Writes all nSize bytes at nOffset; throws on a failure.
void WriteAt(int fd, const char* p, size_t nSize, off_t nOffset) {
  for (size_t nDone = 0; nDone < nSize;) {
    ssize_t w = pwrite(fd, p + nDone, nSize - nDone, nOffset + static_cast<off_t>(nDone));
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      ThrowFileError(w < 0 ? errno : ENOSPC);
    nDone += static_cast<size_t>(w);
  }
}

// Reads up to nSize bytes at nOffset; fewer only at the end of the file. Throws on
// a failure.
size_t ReadAt(int fd, char* p, size_t nSize, off_t nOffset) {
  for (;;) {
    ssize_t n = pread(fd, p, nSize, nOffset);
    if (n >= 0)
      return static_cast<size_t>(n);
    if (errno != EINTR)
      ThrowFileError(errno);
  }
}

// Copies the whole of fdFrom over fdTo in place (fdTo ends as long as fdFrom) and
// flushes it; throws on a failure.
void CopyOver(int fdFrom, int fdTo) {
  char buffer[kReadBufferSize];
  off_t nOffset = 0;
  for (;;) {
    const size_t n = ReadAt(fdFrom, buffer, sizeof buffer, nOffset);
    if (n == 0)
      break;
    CheckStoreFault(StoreStep::copyBack);
    WriteAt(fdTo, buffer, n, nOffset);
    nOffset += static_cast<off_t>(n);
  }
  if (ftruncate(fdTo, nOffset) != 0)
    ThrowFileError(errno);
  CheckStoreFault(StoreStep::sync);
  if (fsync(fdTo) != 0)
    ThrowFileError(errno);
}

// Completes a copy over the file (locked, open for writing) that a save began and did
// not finish. False when there was none or it failed again (it is then kept).
bool FinishPendingCopy(const std::string& strPath, int fdStore) {
  std::string strNew = PendingCopyOf(strPath);
  if (strNew.empty())
    return false;
  CFdGuard fdNew(open(strNew.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (fdNew.Get() < 0)
    return false;
  if (!CatchStoreErrors([&] { CopyOver(fdNew.Get(), fdStore); }).IsOk())
    return false;
  unlink(strNew.c_str());
  return true;
}

// Writes a spare file complete and flushed, then gives it its final name.
void WriteSpare(const std::string& strFinal, const FileWriter& fnWrite) {
  RemoveStaleTemps(strFinal);
  std::string strTemp;
  CFdGuard fd(CreateLockedTemp(strFinal, strTemp, 0600));
  if (fd.Get() < 0)
    ThrowFileError(errno);
  try {
    fnWrite(fd.Get());
    if (rename(strTemp.c_str(), strFinal.c_str()) != 0)
      ThrowFileError(errno);
  } catch (...) {
    unlink(strTemp.c_str());
    throw;
  }
}

// The save of a file whose folder takes no new file while the file itself may be
// written. The file is never the only copy while it is rewritten: its old contents
// are kept in the spare folder first, and the complete new contents next to them,
// so that an interrupted copy is finished by the next read or save of the file, and
// a copy that fails is undone from the backup.
CStoreResult WriteThroughSpare(const std::string& strPath, int fdStore, const FileWriter& fnWrite) {
  const std::string strSpare = GetSpareFolder(true);
  if (strSpare.empty())  // nowhere to keep a copy: refused, the file untouched
    return CStoreResult{CStoreResult::notOpened, 0, EACCES};
  const std::string strBase = SpareBase(strPath, strSpare);
  const std::string strNew = strBase + ".new", strBackup = strBase + ".bak";
  CStoreResult result = CatchStoreErrors([&] {
    WriteSpare(strBackup, [&](int fd) { CopyOver(fdStore, fd); });
    WriteSpare(strNew, fnWrite);
    SyncFolder(strSpare);
  });
  if (!result.IsOk())
    return result;
  CFdGuard fdNew(open(strNew.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  result = CatchStoreErrors([&] {
    if (fdNew.Get() < 0)
      ThrowFileError(errno);
    CopyOver(fdNew.Get(), fdStore);
  });
  if (!result.IsOk()) {
    // Put the old contents back; if even that fails, the new copy stays pending.
    CFdGuard fdBackup(open(strBackup.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    ScopedFaultsOff off;
    if (fdBackup.Get() >= 0 && CatchStoreErrors([&] { CopyOver(fdBackup.Get(), fdStore); }).IsOk())
      unlink(strNew.c_str());
    return result;
  }
  unlink(strNew.c_str());
  return result;
}

template <class Reader>
CStoreResult ReadFile(const std::string& strPath, Reader&& fnRead) {
  ResetStoreFaultCounts();
  struct stat st;
  // An unfinished copy over this file is completed first, which needs it writable.
  const bool bPending = !PendingCopyOf(FollowLinks(strPath)).empty();
  CFdGuard fd(OpenLocked(strPath, bPending ? O_RDWR : O_RDONLY, st));
  if (fd.Get() < 0 && bPending)
    fd.Set(OpenLocked(strPath, O_RDONLY, st));
  if (fd.Get() < 0)
    return CStoreResult{CStoreResult::notOpened, 0, errno};
  if (bPending && FinishPendingCopy(FollowLinks(strPath), fd.Get())) {
    lseek(fd.Get(), 0, SEEK_SET);
    fstat(fd.Get(), &st);
  }
  return CatchStoreErrors([&] {
    CPosixFile file(fd.Get(), static_cast<size_t>(st.st_size));
    CArchive ar(&file, CArchive::load, kReadBufferSize);
    fnRead(ar);
    ar.Close();
  });
}

}  // namespace

// Opens and locks an existing store file for a save, and completes a copy over it
// that an earlier save left unfinished. -1 with errno set when there is none
// (ENOENT) or it cannot be had.
int LockForSave(const std::string& strPath, struct stat& st) {
  const int fd = OpenLocked(strPath, O_RDWR, st);
  if (fd >= 0)
    FinishPendingCopy(strPath, fd);
  return fd;
}

// Creates the locked temporary of a save beside the file; 0, or the error number
// that kept it from being made (an injected fault is taken for access denied).
int CreateSaveTemp(const std::string& strPath, mode_t nMode, CFdGuard& fdTemp, std::string& strTemp) {
  RemoveStaleTemps(strPath);
  fdTemp.Set(CreateLockedTemp(strPath, strTemp, nMode));
  if (fdTemp.Get() < 0)
    return errno;
  if (IsFaultInjected(StoreStep::createTemp)) {
    fdTemp.Reset();
    unlink(strTemp.c_str());
    return EACCES;
  }
  return 0;
}

bool IsAccessError(int nErrno) { return nErrno == EACCES || nErrno == EPERM || nErrno == EROFS; }

// Ends a save with the outcome of writing its temporary (still open and locked):
// a complete temporary is renamed over the file (which, before a first save, then
// appears complete) and the rename is made durable; a failed one is removed. A
// folder that cannot be flushed does not undo the save, which has already taken
// place.
CStoreResult RenameIntoPlace(CStoreResult result, const std::string& strTemp, const std::string& strPath) {
  if (result.IsOk())
    result = CatchStoreErrors([&] {
      CheckStoreFault(StoreStep::rename);
      if (rename(strTemp.c_str(), strPath.c_str()) != 0)
        ThrowFileError(errno);
    });
  if (!result.IsOk()) {
    unlink(strTemp.c_str());
    return result;
  }
  SyncFolder(FolderOf(strPath));
  return result;
}

CStoreResult ReplaceFileSafely(const std::string& strGivenPath, const FileWriter& fnWrite) {
  ResetStoreFaultCounts();
  const std::string strPath = FollowLinks(strGivenPath);

  // An existing file is held locked for the whole save, so that no other save or
  // program that locks it runs at the same time.
  struct stat st;
  CFdGuard fdStore(LockForSave(strPath, st));
  const bool bExisting = fdStore.Get() >= 0;
  if (!bExisting && errno != ENOENT)
    return CStoreResult{CStoreResult::notOpened, 0, errno};

  std::string strTemp;
  CFdGuard fdTemp(-1);
  const int nTempErrno = CreateSaveTemp(strPath, bExisting ? (st.st_mode & 07777) : 0666, fdTemp, strTemp);
  if (nTempErrno != 0) {
    if (!bExisting)  // no file and none can be made: not opened, as a missing folder
      return CStoreResult{CStoreResult::notOpened, 0, nTempErrno};
    if (IsAccessError(nTempErrno))
      return WriteThroughSpare(strPath, fdStore.Get(), fnWrite);
    return CStoreResult{CStoreResult::fileError, CFileException::CauseFromErrno(nTempErrno), nTempErrno};
  }
  if (bExisting)
    fchmod(fdTemp.Get(), st.st_mode & 07777);  // keep the file's permissions, whatever the umask

  // The new file is complete and on the disk before its name replaces the old one.
  // The temporary stays locked until then, so no sweep takes it for a stale one.
  return RenameIntoPlace(CatchStoreErrors([&] { fnWrite(fdTemp.Get()); }), strTemp, strPath);
}

namespace {

template <class List>
CStoreResult WriteFile(const std::string& strStorePath, const List& list) {
  return ReplaceFileSafely(strStorePath, [&](int fd) {
    CPosixFile file(fd, CPosixFile::startWriteback);
    CArchive ar(&file, CArchive::store, kReadBufferSize);
    WriteRecordList(ar, list);
    ar.Close();
    CheckStoreFault(StoreStep::sync);
    if (fsync(fd) != 0)
      ThrowFileError(errno);
  });
}

// The place kept for a list's count before its records: the count's long form
// (FFFF and a DWORD).
constexpr size_t kCountPlace = 6;

// Puts the count of a list in its place. A count below 0xFFFF takes the short
// form, two bytes, and the records move up four bytes to follow it. nEnd is the
// file's size.
void PutCount(int fd, size_t nCount, size_t nEnd) {
  std::string head;
  CMemFile file(&head);
  CArchive ar(&file, CArchive::store);
  ar.WriteCount(nCount);
  ar.Close();
  const size_t nShift = kCountPlace - head.size();
  if (nShift != 0) {
    std::unique_ptr<char[]> pBuffer(new char[kWriteBufferSize]);
    for (size_t nFrom = kCountPlace; nFrom < nEnd;) {
      const size_t n =
          ReadAt(fd, pBuffer.get(), std::min(kWriteBufferSize, nEnd - nFrom), static_cast<off_t>(nFrom));
      if (n == 0)
        ThrowFileError(EIO);  // the file is shorter than what was written to it
      WriteAt(fd, pBuffer.get(), n, static_cast<off_t>(nFrom - nShift));
      nFrom += n;
    }
    if (ftruncate(fd, static_cast<off_t>(nEnd - nShift)) != 0)
      ThrowFileError(errno);
  }
  WriteAt(fd, head.data(), head.size(), 0);
}

// Writes the blocks fnNext gives to fd, each as it comes, with the count of their
// records in front, and flushes the file. The header of the records' class takes the
// place of the first record's tag. False when fnNext gave the list up.
template <class R>
bool WriteBlocksTo(int fd, const std::function<NextBlock(CRecordBlock<R>*&)>& fnNext) {
  CPosixFile file(fd, CPosixFile::startWriteback);
  const char countPlace[kCountPlace] = {};
  file.Write(countPlace, kCountPlace);
  CRecordBlock<R>* pBlock = nullptr;
  size_t nCount = 0;
  for (NextBlock next; (next = fnNext(pBlock)) != NextBlock::end;) {
    if (next == NextBlock::abandon)
      return false;
    std::string_view bytes = pBlock->Bytes();
    if (nCount == 0 && pBlock->GetCount() != 0) {
      const std::string header = CRecordBlock<R>::ClassHeader();
      file.Write(header.data(), header.size());
      bytes.remove_prefix(CRecordBlock<R>::kTagSize);
    }
    file.Write(bytes.data(), bytes.size());
    nCount += pBlock->GetCount();
  }
  PutCount(fd, nCount, file.GetWritten());
  CheckStoreFault(StoreStep::sync);
  if (fsync(fd) != 0)
    ThrowFileError(errno);
  return true;
}

template <class R>
CStoreResult WriteBlocksFile(const std::string& strGivenPath,
                             const std::function<NextBlock(CRecordBlock<R>*&)>& fnNext) {
  ResetStoreFaultCounts();
  const std::string strPath = FollowLinks(strGivenPath);
  // The temporary is made with the file's permissions (checked again at the end),
  // so that no one else may read it while the list is written.
  struct stat st;
  const mode_t nMode = stat(strPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0666;
  std::string strTemp;
  CFdGuard fdTemp(-1);
  const int nTempErrno = CreateSaveTemp(strPath, nMode, fdTemp, strTemp);
  // A folder that takes no new file: the records go to the spare folder first.
  const bool bSpare = IsAccessError(nTempErrno);
  if (bSpare) {
    const std::string strSpare = GetSpareFolder(true);
    if (strSpare.empty())
      return CStoreResult{CStoreResult::notOpened, 0, nTempErrno};
    RemoveStaleTemps(strSpare + "/records");
    fdTemp.Set(CreateLockedTemp(strSpare + "/records", strTemp, 0600));
    if (fdTemp.Get() < 0)
      return CStoreResult{CStoreResult::notOpened, 0, errno};
  } else if (nTempErrno != 0) {
    if (stat(strPath.c_str(), &st) != 0)  // no file, and none can be made (a missing folder)
      return CStoreResult{CStoreResult::notOpened, 0, nTempErrno};
    return CStoreResult{CStoreResult::fileError, CFileException::CauseFromErrno(nTempErrno), nTempErrno};
  }

  bool bComplete = false;
  CStoreResult result = CatchStoreErrors([&] { bComplete = WriteBlocksTo(fdTemp.Get(), fnNext); });
  if (result.IsOk() && !bComplete)
    result.m_kind = CStoreResult::abandoned;
  if (bSpare) {
    if (result.IsOk())
      result = ReplaceFileSafely(strPath, [&](int fd) { CopyOver(fdTemp.Get(), fd); });
    unlink(strTemp.c_str());
    return result;
  }
  if (!result.IsOk()) {
    unlink(strTemp.c_str());
    return result;
  }
  // The store file is locked only now, for the rename; the new file keeps its
  // permissions.
  CFdGuard fdStore(LockForSave(strPath, st));
  if (fdStore.Get() < 0 && errno != ENOENT) {
    const int nErrno = errno;
    unlink(strTemp.c_str());
    return CStoreResult{CStoreResult::notOpened, 0, nErrno};
  }
  if (fdStore.Get() >= 0)
    fchmod(fdTemp.Get(), st.st_mode & 07777);
  return RenameIntoPlace(result, strTemp, strPath);
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
  if (!g_hook || g_bFaultsOff)
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
  return ReadFile(strPath, [&](CArchive& ar) { ReadRecordList(ar, list); });
}

CStoreResult ReadStoreFile(const std::string& strPath, CAddressArray& list) {
  return ReadFile(strPath, [&](CArchive& ar) { ReadRecordList(ar, list); });
}

CStoreResult ReadStoreFileRecords(const std::string& strPath,
                                  const std::function<void(const CMessage&)>& fn) {
  CMessage record;
  return ReadFile(strPath, [&](CArchive& ar) { ReadRecordStream(ar, record, fn); });
}

CStoreResult ReadStoreFileRecords(const std::string& strPath,
                                  const std::function<void(const CAddress&)>& fn) {
  CAddress record;
  return ReadFile(strPath, [&](CArchive& ar) { ReadRecordStream(ar, record, fn); });
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
    char buffer[kReadBufferSize];
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

CStoreResult WriteStoreFileBlocks(const std::string& strPath,
                                  const std::function<NextBlock(CRecordBlock<CMessage>*&)>& fnNext) {
  return WriteBlocksFile(strPath, fnNext);
}

CStoreResult WriteStoreFileBlocks(const std::string& strPath,
                                  const std::function<NextBlock(CRecordBlock<CAddress>*&)>& fnNext) {
  return WriteBlocksFile(strPath, fnNext);
}
