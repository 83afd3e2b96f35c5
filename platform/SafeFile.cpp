#include "platform/SafeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

namespace {

constexpr char kTempInfix[] = ".tmp-";
constexpr size_t kSuffixLength = 6;
constexpr char kSuffixChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string RandomSuffix() {
  thread_local std::mt19937_64 rng(std::random_device{}() ^ static_cast<uint64_t>(getpid()) << 32);
  std::string s(kSuffixLength, 'x');
  for (char& c : s)
    c = kSuffixChars[rng() % (sizeof kSuffixChars - 1)];
  return s;
}

bool IsSuffix(const char* psz) {
  size_t n = 0;
  for (; psz[n] != '\0'; ++n) {
    char c = psz[n];
    bool bAlnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!bAlnum)
      return false;
  }
  return n == kSuffixLength;
}

std::string BaseName(const std::string& strPath) {
  size_t n = strPath.rfind('/');
  return n == std::string::npos ? strPath : strPath.substr(n + 1);
}

bool MakeFolder(const std::string& strFolder, bool bCreate) {
  struct stat st {};
  if (stat(strFolder.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode) && access(strFolder.c_str(), W_OK | X_OK) == 0;
  if (!bCreate)
    return false;
  std::string strParent = FolderOf(strFolder);
  if (strParent != strFolder && !MakeFolder(strParent, bCreate))
    return false;
  return mkdir(strFolder.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string HomeFolder() {
  const char* p = std::getenv("HOME");
  if (p && *p)
    return p;
  const struct passwd* pw = getpwuid(getuid());
  return pw && pw->pw_dir ? pw->pw_dir : "";
}

}  // namespace

std::string FolderOf(const std::string& strPath) {
  size_t n = strPath.rfind('/');
  if (n == std::string::npos)
    return ".";
  return n == 0 ? "/" : strPath.substr(0, n);
}

std::string FollowLinks(const std::string& strPath) {
  std::string strCurrent = strPath;
  // As many steps as the system allows in one path lookup; a longer chain is a loop.
  for (int nStep = 0; nStep < 40; ++nStep) {
    struct stat st {};
    if (lstat(strCurrent.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
      return strCurrent;
    std::string strLink(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    ssize_t n = readlink(strCurrent.c_str(), strLink.data(), strLink.size());
    if (n <= 0 || static_cast<size_t>(n) >= strLink.size())
      return strCurrent;
    strLink.resize(static_cast<size_t>(n));
    strCurrent = strLink.front() == '/' ? strLink : FolderOf(strCurrent) + "/" + strLink;
  }
  return strCurrent;
}

int CreateLockedTemp(const std::string& strPath, std::string& strTemp, mode_t nMode) {
  for (int nTry = 0; nTry < 100; ++nTry) {
    strTemp = strPath + kTempInfix + RandomSuffix();
    int fd = open(strTemp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, nMode);
    if (fd < 0) {
      if (errno == EEXIST)
        continue;
      return -1;
    }
    const bool bLocked = LockExclusive(fd);
    // A sweep by another save may have taken the new file for a stale one between
    // its creation and the lock; then it is gone and another name is tried.
    struct stat st {};
    if (bLocked && fstat(fd, &st) == 0 && st.st_nlink > 0)
      return fd;
    close(fd);
  }
  errno = EEXIST;
  return -1;
}

int RemoveStaleTemps(const std::string& strPath) {
  const std::string strFolder = FolderOf(strPath);
  const std::string strPrefix = BaseName(strPath) + kTempInfix;
  DIR* pDir = opendir(strFolder.c_str());
  if (!pDir)
    return 0;
  int nRemoved = 0;
  while (const struct dirent* pEntry = readdir(pDir)) {
    const char* pszName = pEntry->d_name;
    if (strPrefix.compare(0, strPrefix.size(), pszName, 0, strPrefix.size()) != 0)
      continue;
    if (std::char_traits<char>::length(pszName) < strPrefix.size() || !IsSuffix(pszName + strPrefix.size()))
      continue;
    const std::string strTemp = strFolder + "/" + pszName;
    int fd = open(strTemp.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
      continue;
    struct stat st {
    }, stNow{};
    // Removed only while locked here, and only when the name still leads to this file.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        lstat(strTemp.c_str(), &stNow) == 0 && stNow.st_ino == st.st_ino && stNow.st_dev == st.st_dev &&
        unlink(strTemp.c_str()) == 0)
      ++nRemoved;
    close(fd);
  }
  closedir(pDir);
  return nRemoved;
}

bool SyncFolder(const std::string& strFolder) {
  int fd = open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return false;
  bool bOk = fsync(fd) == 0;
  close(fd);
  return bOk;
}

bool WriteFully(int fd, const void* pData, size_t nSize) {
  const char* p = static_cast<const char*>(pData);
  while (nSize != 0) {
    ssize_t n = write(fd, p, nSize);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    p += n;
    nSize -= static_cast<size_t>(n);
  }
  return true;
}

std::string GetSpareFolder(bool bCreate) {
  std::string strCache;
  const char* p = std::getenv("XDG_CACHE_HOME");
  if (p && *p == '/')
    strCache = p;
  else if (std::string strHome = HomeFolder(); !strHome.empty())
    strCache = strHome + "/.cache";
  if (!strCache.empty() && MakeFolder(strCache + "/mireth", bCreate))
    return strCache + "/mireth";
  p = std::getenv("XDG_RUNTIME_DIR");
  if (p && *p == '/' && MakeFolder(std::string(p) + "/mireth", bCreate))
    return std::string(p) + "/mireth";
  return "";
}

bool LockExclusive(int fd) {
  int r;
  do {
    r = flock(fd, LOCK_EX);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}
