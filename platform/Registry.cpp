// The settings store: a file in the registry export format (platform/RegistryFile)
// standing in for the per-user registry.
//
// Readers read the whole file without a lock: writers replace it by renaming a
// complete new file over it, so a reader always sees one whole version. Writers take
// an exclusive flock on a lock file beside the store (<store>.lock, never removed),
// read the current file, apply their change, write a temporary file in the same
// folder, flush it, rename it over the store and flush the folder. Two processes
// writing at the same time therefore lose nothing.
//
// The parsed file is kept for the process and read again only when the file on disk
// has changed (another inode, size or time), so a run of lookups reads and parses
// it once. A settings file that is a symbolic link is written through to the file it
// names. A path that is not a regular file (a folder, a named pipe, a device) is
// refused at once, never waited on; a file that cannot be read or written is
// reported once per process with its path and the system's reason, and
// GetRegistryFault then gives that text.
//
// A CRegistryBatch defers the writes made while it lives: the values go into the
// process's copy at once (later reads see them) and the file is written once, with
// every change in order, when the outermost batch ends.
//
// A damaged file is moved aside to <store>.bad-<date>-<time> (never overwritten or
// deleted) under the lock and reported once through the prompt service; reading then
// goes on as with an empty store, so every setting takes its default, and the next
// write starts a new file. When the damaged file cannot be moved, it is reported once,
// read as empty, and no write replaces it.
#include "platform/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

#include "platform/PromptService.h"
#include "platform/RegistryFile.h"
#include "platform/SafeFile.h"
#include "res/StringTable.h"

namespace {

// Identities (path, device, inode, time, size) of damaged files already reported
// that could not be moved aside, so each is reported once per process.
std::mutex g_reportedMutex;
std::set<std::string> g_reported;

std::string DirName(const std::string& strPath) {
  size_t n = strPath.rfind('/');
  if (n == std::string::npos)
    return ".";
  if (n == 0)
    return "/";
  return strPath.substr(0, n);
}

// Creates the folder and those above it (mode 0700 for new ones).
bool MakeDirs(const std::string& strDir) {
  struct stat st {};
  if (stat(strDir.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode);
  std::string strParent = DirName(strDir);
  if (strParent != strDir && !MakeDirs(strParent))
    return false;
  if (mkdir(strDir.c_str(), 0700) == 0 || errno == EEXIST)
    return true;
  return false;
}

class CFd {
 public:
  explicit CFd(int fd = -1) : m_fd(fd) {}
  ~CFd() {
    if (m_fd >= 0)
      close(m_fd);
  }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int Get() const { return m_fd; }
  int Release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

// An exclusive flock on the lock file beside the store, held while the object lives.
class CStoreLock {
 public:
  explicit CStoreLock(const std::string& strStore) {
    std::string strLock = strStore + ".lock";
    m_fd = open(strLock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
      return;
    if (!LockExclusive(m_fd)) {
      close(m_fd);
      m_fd = -1;
    }
  }
  ~CStoreLock() {
    if (m_fd >= 0) {
      flock(m_fd, LOCK_UN);
      close(m_fd);
    }
  }
  CStoreLock(const CStoreLock&) = delete;
  CStoreLock& operator=(const CStoreLock&) = delete;
  bool IsLocked() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

enum class EReadResult { Missing, Read, Unreadable };

// Reads the file; a named pipe or device is refused at once (O_NONBLOCK keeps the
// open from waiting on it). On Unreadable, errno tells why.
EReadResult ReadWholeFile(const std::string& strPath, std::string& strText, struct stat& st) {
  strText.clear();
  CFd fd(open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.Get() < 0)
    return errno == ENOENT ? EReadResult::Missing : EReadResult::Unreadable;
  if (fstat(fd.Get(), &st) != 0)
    return EReadResult::Unreadable;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return EReadResult::Unreadable;
  }
  char buf[16384];
  for (;;) {
    ssize_t n = read(fd.Get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return EReadResult::Unreadable;
    }
    if (n == 0)
      break;
    strText.append(buf, static_cast<size_t>(n));
  }
  return EReadResult::Read;
}

std::string ReplaceAll(std::string str, const std::string& strWhat, const std::string& strWith) {
  for (size_t n = str.find(strWhat); n != std::string::npos; n = str.find(strWhat, n + strWith.size()))
    str.replace(n, strWhat.size(), strWith);
  return str;
}

std::string DamageText(unsigned int nTextID, const std::string& strPath, const CRegistryFile::SError& err,
                       const std::string& strAside) {
  // %4 first, so that a path holding "%1" cannot be expanded again.
  std::string str = LoadString(nTextID);
  str = ReplaceAll(str, "%4", strAside);
  str = ReplaceAll(str, "%3", LoadString(err.nReasonID));
  str = ReplaceAll(str, "%2", std::to_string(err.nLine));
  return ReplaceAll(str, "%1", strPath);
}

// Renames the damaged store to a new <store>.bad-<date>-<time>[-n]; never replaces an
// existing file.
bool MoveAside(const std::string& strPath, std::string& strAside) {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  struct tm tmNow {};
  localtime_r(&now, &tmNow);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tmNow);
  for (int i = 0; i < 1000; ++i) {
    strAside = strPath + ".bad-" + stamp + (i ? "-" + std::to_string(i) : std::string());
    // link() fails when the name is taken, so nothing is ever overwritten.
    if (link(strPath.c_str(), strAside.c_str()) == 0) {
      if (unlink(strPath.c_str()) == 0)
        return true;
      unlink(strAside.c_str());
      return false;
    }
    if (errno == EEXIST)
      continue;
    // A file system without hard links: rename, after checking the name is free
    // (we hold the store's lock, and nothing else creates these names).
    struct stat st {};
    if (lstat(strAside.c_str(), &st) == 0)
      continue;
    return rename(strPath.c_str(), strAside.c_str()) == 0;
  }
  return false;
}

// Deals with a damaged store (the caller holds the lock when it can). Returns true
// when it was moved aside; strReport receives the text to show, or stays empty when
// this file was already reported.
bool HandleDamaged(const std::string& strPath, const CRegistryFile::SError& err, const struct stat& st,
                   std::string& strReport) {
  std::string strAside;
  if (MoveAside(strPath, strAside)) {
    strReport = DamageText(IDS_SETTINGS_DAMAGED, strPath, err, strAside);
    return true;
  }
  std::string strId = strPath + '\n' + std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' +
                      std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec) + ':' +
                      std::to_string(st.st_size);
  std::lock_guard<std::mutex> guard(g_reportedMutex);
  if (g_reported.insert(strId).second)
    strReport = DamageText(IDS_SETTINGS_DAMAGED_KEPT, strPath, err, "");
  return false;
}

void ShowReport(const std::string& strReport) {
  if (!strReport.empty())
    AfxMessageBox(strReport, MB_OK | MB_ICONWARNING);
}

std::string g_strFault;  // the last unreadable or unwritable report (under g_reportedMutex)

// Reports a settings file that cannot be read or written, once per path, kind and
// reason, with the system's reason in words.
void ReportFault(unsigned int nTextID, const std::string& strPath, int nErrno) {
  std::string strReason = nErrno == EINVAL ? LoadString(IDS_SETTINGS_NOT_A_FILE) : std::strerror(nErrno);
  std::string strText = ReplaceAll(ReplaceAll(LoadString(nTextID), "%2", strReason), "%1", strPath);
  {
    std::lock_guard<std::mutex> guard(g_reportedMutex);
    g_strFault = strText;
    if (!g_reported.insert(std::to_string(nTextID) + '\n' + strPath + '\n' + strReason).second)
      return;
  }
  ShowReport(strText);
}

// The process's copy of the file: what was read (or written) last and the file's
// identity then, so that an unchanged file is not read again.
struct SCache {
  std::string strPath;
  bool bExists = false;
  dev_t nDev = 0;
  ino_t nIno = 0;
  off_t nSize = 0;
  struct timespec mtime {
  }, ctime{};
  std::shared_ptr<const CRegistryFile> pData;
};
std::recursive_mutex g_cacheMutex;  // recursive: a report shown may read settings
SCache g_cache;
unsigned long g_nWrites = 0;

// Batched changes: the depth of CRegistryBatch objects, the changes made in them in
// order, and the process's view with them applied.
using FnChange = std::function<int(CRegistryFile&)>;
int g_nBatchDepth = 0;
std::vector<FnChange> g_pending;
std::shared_ptr<CRegistryFile> g_pBatchView;

bool SameIdentity(const SCache& c, const std::string& strPath, bool bExists, const struct stat& st) {
  if (!c.pData || c.strPath != strPath || c.bExists != bExists)
    return false;
  if (!bExists)
    return true;
  return c.nDev == st.st_dev && c.nIno == st.st_ino && c.nSize == st.st_size &&
         c.mtime.tv_sec == st.st_mtim.tv_sec && c.mtime.tv_nsec == st.st_mtim.tv_nsec &&
         c.ctime.tv_sec == st.st_ctim.tv_sec && c.ctime.tv_nsec == st.st_ctim.tv_nsec;
}

void Remember(const std::string& strPath, bool bExists, const struct stat& st,
              std::shared_ptr<const CRegistryFile> pData) {
  g_cache.strPath = strPath;
  g_cache.bExists = bExists;
  g_cache.nDev = st.st_dev;
  g_cache.nIno = st.st_ino;
  g_cache.nSize = st.st_size;
  g_cache.mtime = st.st_mtim;
  g_cache.ctime = st.st_ctim;
  g_cache.pData = std::move(pData);
}

// Reads and parses the file; a damaged one is dealt with under the lock.
std::shared_ptr<const CRegistryFile> ParseForReading(const std::string& strPath, struct stat& st,
                                                     bool& bExists) {
  auto pData = std::make_shared<CRegistryFile>();
  CRegistryFile::SError err;
  std::string strText;
  bExists = false;
  EReadResult eRead = ReadWholeFile(strPath, strText, st);
  if (eRead == EReadResult::Unreadable)
    ReportFault(IDS_SETTINGS_UNREADABLE, strPath, errno);
  if (eRead != EReadResult::Read)
    return pData;
  bExists = true;
  if (pData->Parse(strText, err))
    return pData;

  // Damaged. Look again under the lock, so that a file a writer has just put in
  // its place is never moved.
  std::string strReport;
  {
    CStoreLock lock(strPath);
    if (ReadWholeFile(strPath, strText, st) != EReadResult::Read)
      return pData;
    if (pData->Parse(strText, err))
      return pData;
    HandleDamaged(strPath, err, st, strReport);
  }
  ShowReport(strReport);
  bExists = false;
  return pData;
}

// The store as readers see it: empty when missing, unreadable or damaged. Read from
// the disk only when the file has changed since this process last read or wrote it.
std::shared_ptr<const CRegistryFile> LoadForReading() {
  const std::string strPath = FollowLinks(GetRegistryFilePath());
  std::lock_guard<std::recursive_mutex> guard(g_cacheMutex);
  if (g_pBatchView)
    return g_pBatchView;
  struct stat st {};
  bool bExists = stat(strPath.c_str(), &st) == 0;
  if (SameIdentity(g_cache, strPath, bExists, st))
    return g_cache.pData;
  auto pData = ParseForReading(strPath, st, bExists);
  // Only a file read whole (or one that is not there) is kept for later lookups.
  if (bExists || stat(strPath.c_str(), &st) != 0)
    Remember(strPath, bExists, st, pData);
  return pData;
}

// Writes the store's new text: a temporary file in the same folder (temporaries of
// killed writers are removed first), flushed, renamed over the store, and the folder
// flushed. errno tells why on a failure.
bool ReplaceStore(const std::string& strPath, const std::string& strText, const struct stat* pOld) {
  RemoveStaleTemps(strPath);
  std::string strTemp;
  CFd fd(CreateLockedTemp(strPath, strTemp, 0600));
  if (fd.Get() < 0)
    return false;
  bool bOk = WriteFully(fd.Get(), strText.data(), strText.size());
  if (bOk && pOld)
    fchmod(fd.Get(), pOld->st_mode & 07777);
  bOk = bOk && fsync(fd.Get()) == 0;
  bOk = bOk && rename(strTemp.c_str(), strPath.c_str()) == 0;
  if (!bOk) {
    int nErrno = errno;
    unlink(strTemp.c_str());
    errno = nErrno;
    return false;
  }
  SyncFolder(DirName(strPath));
  return true;
}

// A change of the store, made under the lock. fnChange returns -1 when it fails, 0
// when it succeeds without changing anything, 1 when the store must be written.
bool ModifyLocked(const std::string& strPath, const FnChange& fnChange, std::string& strReport) {
  if (!MakeDirs(DirName(strPath))) {
    ReportFault(IDS_SETTINGS_UNWRITABLE, strPath, errno);
    return false;
  }
  CStoreLock lock(strPath);
  if (!lock.IsLocked()) {
    ReportFault(IDS_SETTINGS_UNWRITABLE, strPath, errno);
    return false;
  }

  auto pData = std::make_shared<CRegistryFile>();
  CRegistryFile::SError err;
  std::string strText;
  struct stat st {};
  EReadResult eRead = ReadWholeFile(strPath, strText, st);
  if (eRead == EReadResult::Unreadable) {
    ReportFault(IDS_SETTINGS_UNWRITABLE, strPath, errno);
    return false;
  }
  bool bExists = eRead == EReadResult::Read;
  if (bExists && !pData->Parse(strText, err)) {
    // Never write over a damaged file that could not be kept aside.
    if (!HandleDamaged(strPath, err, st, strReport))
      return false;
    bExists = false;
  }
  int nChange = fnChange(*pData);
  if (nChange <= 0)
    return nChange == 0;
  if (!ReplaceStore(strPath, pData->Write(), bExists ? &st : nullptr)) {
    ReportFault(IDS_SETTINGS_UNWRITABLE, strPath, errno);
    return false;
  }
  ++g_nWrites;
  if (stat(strPath.c_str(), &st) == 0)
    Remember(strPath, true, st, std::move(pData));
  return true;
}

// Runs a change: in a batch, on the process's view and recorded for the batch's end;
// otherwise as one locked read-modify-write of the file.
bool ModifyStore(FnChange fnChange) {
  std::string strReport;
  bool bResult;
  {
    std::lock_guard<std::recursive_mutex> guard(g_cacheMutex);
    if (g_nBatchDepth > 0) {
      if (!g_pBatchView)
        g_pBatchView = std::make_shared<CRegistryFile>(*LoadForReading());
      int nChange = fnChange(*g_pBatchView);
      if (nChange > 0)
        g_pending.push_back(std::move(fnChange));
      return nChange >= 0;
    }
    bResult = ModifyLocked(FollowLinks(GetRegistryFilePath()), fnChange, strReport);
  }
  ShowReport(strReport);  // after the lock is released
  return bResult;
}

// Sets one value of the key, creating the key when it is missing; no write when the
// value is already so.
bool SetStoreValue(const std::string& strPath, const CRegistryFile::SValue& value) {
  return ModifyStore([strPath, value](CRegistryFile& data) {
    const size_t nKeys = data.GetKeys().size();
    CRegistryFile::SKey* pKey = data.CreateKey(strPath);
    if (!pKey)
      return -1;
    const CRegistryFile::SValue* pOld = CRegistryFile::FindValue(*pKey, value.strName);
    if (nKeys == data.GetKeys().size() && pOld && pOld->eType == value.eType &&
        pOld->strText == value.strText && pOld->nNumber == value.nNumber)
      return 0;
    CRegistryFile::SetValue(*pKey, value);
    return 1;
  });
}

}  // namespace

std::string GetRegistryFilePath() {
  const char* p = std::getenv("MIRETH_REGISTRY");
  if (p && *p)
    return p;
  std::string strConfig;
  p = std::getenv("XDG_CONFIG_HOME");
  if (p && *p == '/') {
    strConfig = p;
  } else {
    const char* pHome = std::getenv("HOME");
    if (!pHome || !*pHome) {
      const struct passwd* pw = getpwuid(getuid());
      pHome = pw ? pw->pw_dir : nullptr;
    }
    strConfig = std::string(pHome && *pHome ? pHome : ".") + "/.config";
  }
  return strConfig + "/Kelvane/Mireth.reg";
}

bool CRegKey::Open(const std::string& strPath) {
  Close();
  if (!CRegistryFile::IsValidKeyPath(strPath))
    return false;
  if (!LoadForReading()->KeyExists(strPath))
    return false;
  m_bOpen = true;
  m_strPath = strPath;
  return true;
}

bool CRegKey::Create(const std::string& strPath) {
  Close();
  if (!CRegistryFile::IsValidKeyPath(strPath))
    return false;
  bool bOk = ModifyStore([strPath](CRegistryFile& data) {
    if (data.KeyExists(strPath))
      return 0;
    return data.CreateKey(strPath) ? 1 : -1;
  });
  if (!bOk)
    return false;
  m_bOpen = true;
  m_strPath = strPath;
  return true;
}

void CRegKey::Close() {
  m_bOpen = false;
  m_strPath.clear();
}

bool CRegKey::QueryNumber(const std::string& strName, uint32_t& nValue) const {
  if (!m_bOpen)
    return false;
  std::shared_ptr<const CRegistryFile> pData = LoadForReading();
  const CRegistryFile::SKey* pKey = pData->FindKey(m_strPath);
  const CRegistryFile::SValue* pValue = pKey ? CRegistryFile::FindValue(*pKey, strName) : nullptr;
  if (!pValue || pValue->eType != CRegistryFile::EType::Number)
    return false;
  nValue = pValue->nNumber;
  return true;
}

bool CRegKey::QueryText(const std::string& strName, std::string& strValue, size_t nMaxBytes) const {
  if (!m_bOpen || nMaxBytes == 0)
    return false;
  std::shared_ptr<const CRegistryFile> pData = LoadForReading();
  const CRegistryFile::SKey* pKey = pData->FindKey(m_strPath);
  const CRegistryFile::SValue* pValue = pKey ? CRegistryFile::FindValue(*pKey, strName) : nullptr;
  if (!pValue || pValue->eType != CRegistryFile::EType::Text)
    return false;
  const std::string& str = pValue->strText;
  size_t nLen = str.size();
  if (nLen > nMaxBytes - 1) {
    // Cut to the buffer, and not inside a UTF-8 sequence.
    nLen = nMaxBytes - 1;
    while (nLen > 0 && (static_cast<unsigned char>(str[nLen]) & 0xC0) == 0x80)
      --nLen;
  }
  strValue.assign(str, 0, nLen);
  return true;
}

bool CRegKey::SetNumber(const std::string& strName, uint32_t nValue) {
  if (!m_bOpen || !CRegistryFile::IsValidText(strName))
    return false;
  CRegistryFile::SValue value;
  value.strName = strName;
  value.eType = CRegistryFile::EType::Number;
  value.nNumber = nValue;
  return SetStoreValue(m_strPath, value);
}

bool CRegKey::SetText(const std::string& strName, const std::string& strValue) {
  if (!m_bOpen || !CRegistryFile::IsValidText(strName) || !CRegistryFile::IsValidText(strValue))
    return false;
  CRegistryFile::SValue value;
  value.strName = strName;
  value.eType = CRegistryFile::EType::Text;
  value.strText = strValue;
  return SetStoreValue(m_strPath, value);
}

bool CRegKey::DeleteValue(const std::string& strName) {
  if (!m_bOpen)
    return false;
  return ModifyStore([strPath = m_strPath, strName](CRegistryFile& data) {
    CRegistryFile::SKey* pKey = data.FindKey(strPath);
    return (pKey && CRegistryFile::DeleteValue(*pKey, strName)) ? 1 : -1;
  });
}

std::vector<std::string> CRegKey::GetValueNames() const {
  std::vector<std::string> names;
  if (!m_bOpen)
    return names;
  std::shared_ptr<const CRegistryFile> pData = LoadForReading();
  if (const CRegistryFile::SKey* pKey = pData->FindKey(m_strPath))
    for (const CRegistryFile::SValue& v : pKey->values)
      names.push_back(v.strName);
  return names;
}

std::string GetRegistryFault() {
  std::lock_guard<std::mutex> guard(g_reportedMutex);
  return g_strFault;
}

unsigned long GetRegistryWriteCount() {
  std::lock_guard<std::recursive_mutex> guard(g_cacheMutex);
  return g_nWrites;
}

CRegistryBatch::CRegistryBatch() {
  std::lock_guard<std::recursive_mutex> guard(g_cacheMutex);
  ++g_nBatchDepth;
}

CRegistryBatch::~CRegistryBatch() {
  std::vector<FnChange> pending;
  {
    std::lock_guard<std::recursive_mutex> guard(g_cacheMutex);
    if (--g_nBatchDepth > 0)
      return;
    pending.swap(g_pending);
    g_pBatchView.reset();
  }
  if (pending.empty())
    return;
  // Every change again on the file as it is now, in the order they were made.
  ModifyStore([&pending](CRegistryFile& data) {
    int nResult = 0;
    for (const FnChange& fn : pending)
      nResult = std::max(nResult, fn(data));
    return nResult;
  });
}
