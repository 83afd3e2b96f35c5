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

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>

#include "platform/PromptService.h"
#include "platform/RegistryFile.h"
#include "res/StringTable.h"

namespace {

// Identities (path, device, inode, time, size) of damaged files already reported
// that could not be moved aside, so each is reported once per process.
std::mutex g_reportedMutex;
std::set<std::string> g_reported;

std::string DirName(const std::string& strPath) {
  size_t n = strPath.rfind('/');
  if (n == std::string::npos) return ".";
  if (n == 0) return "/";
  return strPath.substr(0, n);
}

// Creates the folder and those above it (mode 0700 for new ones).
bool MakeDirs(const std::string& strDir) {
  struct stat st {};
  if (stat(strDir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string strParent = DirName(strDir);
  if (strParent != strDir && !MakeDirs(strParent)) return false;
  if (mkdir(strDir.c_str(), 0700) == 0 || errno == EEXIST) return true;
  return false;
}

class CFd {
 public:
  explicit CFd(int fd = -1) : m_fd(fd) {}
  ~CFd() {
    if (m_fd >= 0) close(m_fd);
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
    if (m_fd < 0) return;
    int r;
    do {
      r = flock(m_fd, LOCK_EX);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
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

EReadResult ReadWholeFile(const std::string& strPath, std::string& strText, struct stat& st) {
  strText.clear();
  CFd fd(open(strPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) return errno == ENOENT ? EReadResult::Missing : EReadResult::Unreadable;
  if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return EReadResult::Unreadable;
  char buf[16384];
  for (;;) {
    ssize_t n = read(fd.Get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return EReadResult::Unreadable;
    }
    if (n == 0) break;
    strText.append(buf, static_cast<size_t>(n));
  }
  return EReadResult::Read;
}

bool WriteAll(int fd, const std::string& strText) {
  size_t nDone = 0;
  while (nDone < strText.size()) {
    ssize_t n = write(fd, strText.data() + nDone, strText.size() - nDone);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    nDone += static_cast<size_t>(n);
  }
  return true;
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
      if (unlink(strPath.c_str()) == 0) return true;
      unlink(strAside.c_str());
      return false;
    }
    if (errno == EEXIST) continue;
    // A file system without hard links: rename, after checking the name is free
    // (we hold the store's lock, and nothing else creates these names).
    struct stat st {};
    if (lstat(strAside.c_str(), &st) == 0) continue;
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
  if (g_reported.insert(strId).second) strReport = DamageText(IDS_SETTINGS_DAMAGED_KEPT, strPath, err, "");
  return false;
}

void ShowReport(const std::string& strReport) {
  if (!strReport.empty()) AfxMessageBox(strReport, MB_OK | MB_ICONWARNING);
}

// The store as readers see it: empty when missing, unreadable or damaged.
CRegistryFile LoadForReading() {
  const std::string strPath = GetRegistryFilePath();
  CRegistryFile data;
  CRegistryFile::SError err;
  std::string strText;
  struct stat st {};
  if (ReadWholeFile(strPath, strText, st) != EReadResult::Read) return data;
  if (data.Parse(strText, err)) return data;

  // Damaged. Look again under the lock, so that a file a writer has just put in
  // its place is never moved.
  std::string strReport;
  {
    CStoreLock lock(strPath);
    if (ReadWholeFile(strPath, strText, st) != EReadResult::Read) return data;
    if (data.Parse(strText, err)) return data;
    HandleDamaged(strPath, err, st, strReport);
  }
  ShowReport(strReport);
  return data;
}

// Writes the store's new text: a temporary file in the same folder, flushed, renamed
// over the store, and the folder flushed.
bool ReplaceStore(const std::string& strPath, const std::string& strText, const struct stat* pOld) {
  std::string strTemp = strPath + ".tmp-XXXXXX";
  CFd fd(mkostemp(strTemp.data(), O_CLOEXEC));
  if (fd.Get() < 0) return false;
  bool bOk = WriteAll(fd.Get(), strText);
  if (bOk && pOld) fchmod(fd.Get(), pOld->st_mode & 07777);
  bOk = bOk && fsync(fd.Get()) == 0;
  bOk = close(fd.Release()) == 0 && bOk;
  bOk = bOk && rename(strTemp.c_str(), strPath.c_str()) == 0;
  if (!bOk) {
    unlink(strTemp.c_str());
    return false;
  }
  CFd dirFd(open(DirName(strPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.Get() >= 0) fsync(dirFd.Get());
  return true;
}

// A change of the store, made under the lock. fnChange returns -1 when it fails, 0
// when it succeeds without changing anything, 1 when the store must be written.
template <class TChange>
bool ModifyLocked(const std::string& strPath, TChange& fnChange, std::string& strReport) {
  if (!MakeDirs(DirName(strPath))) return false;
  CStoreLock lock(strPath);
  if (!lock.IsLocked()) return false;

  CRegistryFile data;
  CRegistryFile::SError err;
  std::string strText;
  struct stat st {};
  EReadResult eRead = ReadWholeFile(strPath, strText, st);
  if (eRead == EReadResult::Unreadable) return false;
  bool bExists = eRead == EReadResult::Read;
  if (bExists && !data.Parse(strText, err)) {
    // Never write over a damaged file that could not be kept aside.
    if (!HandleDamaged(strPath, err, st, strReport)) return false;
    bExists = false;
  }
  int nChange = fnChange(data);
  if (nChange <= 0) return nChange == 0;
  return ReplaceStore(strPath, data.Write(), bExists ? &st : nullptr);
}

template <class TChange>
bool ModifyStore(TChange&& fnChange) {
  std::string strReport;
  bool bResult = ModifyLocked(GetRegistryFilePath(), fnChange, strReport);
  ShowReport(strReport);  // after the lock is released
  return bResult;
}

// Sets one value of the key, creating the key when it is missing; no write when the
// value is already so.
bool SetStoreValue(const std::string& strPath, const CRegistryFile::SValue& value) {
  return ModifyStore([&](CRegistryFile& data) {
    const size_t nKeys = data.GetKeys().size();
    CRegistryFile::SKey* pKey = data.CreateKey(strPath);
    if (!pKey) return -1;
    const CRegistryFile::SValue* pOld = CRegistryFile::FindValue(*pKey, value.strName);
    if (nKeys == data.GetKeys().size() && pOld && pOld->eType == value.eType && pOld->strText == value.strText &&
        pOld->nNumber == value.nNumber)
      return 0;
    CRegistryFile::SetValue(*pKey, value);
    return 1;
  });
}

}  // namespace

std::string GetRegistryFilePath() {
  const char* p = std::getenv("MIRETH_REGISTRY");
  if (p && *p) return p;
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
  if (!CRegistryFile::IsValidKeyPath(strPath)) return false;
  if (!LoadForReading().KeyExists(strPath)) return false;
  m_bOpen = true;
  m_strPath = strPath;
  return true;
}

bool CRegKey::Create(const std::string& strPath) {
  Close();
  if (!CRegistryFile::IsValidKeyPath(strPath)) return false;
  bool bOk = ModifyStore([&](CRegistryFile& data) {
    if (data.KeyExists(strPath)) return 0;
    return data.CreateKey(strPath) ? 1 : -1;
  });
  if (!bOk) return false;
  m_bOpen = true;
  m_strPath = strPath;
  return true;
}

void CRegKey::Close() {
  m_bOpen = false;
  m_strPath.clear();
}

bool CRegKey::QueryNumber(const std::string& strName, uint32_t& nValue) const {
  if (!m_bOpen) return false;
  CRegistryFile data = LoadForReading();
  const CRegistryFile::SKey* pKey = data.FindKey(m_strPath);
  const CRegistryFile::SValue* pValue = pKey ? CRegistryFile::FindValue(*pKey, strName) : nullptr;
  if (!pValue || pValue->eType != CRegistryFile::EType::Number) return false;
  nValue = pValue->nNumber;
  return true;
}

bool CRegKey::QueryText(const std::string& strName, std::string& strValue, size_t nMaxBytes) const {
  if (!m_bOpen || nMaxBytes == 0) return false;
  CRegistryFile data = LoadForReading();
  const CRegistryFile::SKey* pKey = data.FindKey(m_strPath);
  const CRegistryFile::SValue* pValue = pKey ? CRegistryFile::FindValue(*pKey, strName) : nullptr;
  if (!pValue || pValue->eType != CRegistryFile::EType::Text) return false;
  const std::string& str = pValue->strText;
  size_t nLen = str.size();
  if (nLen > nMaxBytes - 1) {
    // Cut to the buffer, and not inside a UTF-8 sequence.
    nLen = nMaxBytes - 1;
    while (nLen > 0 && (static_cast<unsigned char>(str[nLen]) & 0xC0) == 0x80) --nLen;
  }
  strValue.assign(str, 0, nLen);
  return true;
}

bool CRegKey::SetNumber(const std::string& strName, uint32_t nValue) {
  if (!m_bOpen || !CRegistryFile::IsValidText(strName)) return false;
  CRegistryFile::SValue value;
  value.strName = strName;
  value.eType = CRegistryFile::EType::Number;
  value.nNumber = nValue;
  return SetStoreValue(m_strPath, value);
}

bool CRegKey::SetText(const std::string& strName, const std::string& strValue) {
  if (!m_bOpen || !CRegistryFile::IsValidText(strName) || !CRegistryFile::IsValidText(strValue)) return false;
  CRegistryFile::SValue value;
  value.strName = strName;
  value.eType = CRegistryFile::EType::Text;
  value.strText = strValue;
  return SetStoreValue(m_strPath, value);
}

bool CRegKey::DeleteValue(const std::string& strName) {
  if (!m_bOpen) return false;
  return ModifyStore([&](CRegistryFile& data) {
    CRegistryFile::SKey* pKey = data.FindKey(m_strPath);
    return (pKey && CRegistryFile::DeleteValue(*pKey, strName)) ? 1 : -1;
  });
}

std::vector<std::string> CRegKey::GetValueNames() const {
  std::vector<std::string> names;
  if (!m_bOpen) return names;
  CRegistryFile data = LoadForReading();
  if (const CRegistryFile::SKey* pKey = data.FindKey(m_strPath))
    for (const CRegistryFile::SValue& v : pKey->values) names.push_back(v.strName);
  return names;
}
