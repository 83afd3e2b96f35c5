#include "shell/DataFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/Registry.h"
#include "res/StringTable.h"

namespace {

std::string ToUpper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWithSlash(const std::string& s) { return !s.empty() && s.back() == '/'; }

// What "can be made the current directory" means: an existing folder that may be
// entered. (The process's own current directory is never changed.)
bool CanEnter(const std::string& strFolder) {
  if (strFolder.empty())
    return false;
  struct stat st {};
  return ::stat(strFolder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(strFolder.c_str(), X_OK) == 0;
}

bool CanWriteIn(const std::string& strFolder) {
  return CanEnter(strFolder) && ::access(strFolder.c_str(), W_OK | X_OK) == 0;
}

std::string WithoutFinalSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/')
    s.pop_back();
  return s;
}

// Creates the folder and every missing one above it.
void MakeFolders(const std::string& strFolder) {
  std::string strPath;
  size_t nPos = 0;
  while (nPos <= strFolder.size()) {
    size_t nNext = strFolder.find('/', nPos);
    if (nNext == std::string::npos)
      nNext = strFolder.size();
    strPath = strFolder.substr(0, nNext);
    if (!strPath.empty())
      ::mkdir(strPath.c_str(), 0777);
    nPos = nNext + 1;
  }
}

std::string GetHomeFolder() {
  const char* pszHome = std::getenv("HOME");
  if (pszHome != nullptr && *pszHome != '\0')
    return pszHome;
  std::vector<char> buffer(16384);
  struct passwd pw {};
  struct passwd* pResult = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &pResult) == 0 && pResult != nullptr &&
      pResult->pw_dir != nullptr)
    return pResult->pw_dir;
  return "/tmp";
}

std::string DataKeyPath() { return LoadString(IDS_KEY_DATA); }

}  // namespace

void CDataFolder::Resolve(const std::string& strHostExePath, std::string& strDataFolder, bool& bExportToCsv) {
  std::string strStored;
  bool bStored = false;
  {
    CRegKey key;
    if (key.Open(DataKeyPath())) {
      uint32_t nExport = 0;
      if (key.QueryNumber(LoadString(IDS_VAL_EXPORT_TO_CSV), nExport))
        bExportToCsv = nExport != 0;
      bStored = key.QueryText(LoadString(IDS_VAL_DATA_FOLDER), strStored, 260);
      key.Close();
    }
  }

  if (bStored && !strStored.empty()) {
    strDataFolder = strStored;
    if (!EndsWithSlash(strDataFolder))
      strDataFolder += '/';
    if (!CanEnter(strDataFolder))
      ::mkdir(WithoutFinalSlash(strDataFolder).c_str(), 0777);  // one level only
    return;
  }

  strDataFolder = Derive(strHostExePath);
  Save(strDataFolder);
}

std::string CDataFolder::Derive(const std::string& strHostExePath) {
  // Folder part of the path, ending in '/' (no drive letters here).
  const size_t nSlash = strHostExePath.rfind('/');
  const std::string strDirectory =
      nSlash == std::string::npos ? std::string() : strHostExePath.substr(0, nSlash + 1);

  std::string strBase;
  // The host's program is "HVDesktop.Exe" where programs carry an extension and
  // plain "HVDesktop" here; either name, in any letter case, marks the suite layout.
  const std::string strHostExe = ToUpper(LoadString(IDS_HOST_EXE));
  const std::string strHostName = strHostExe.substr(0, strHostExe.rfind('.'));
  const std::string strUpperPath = ToUpper(strHostExePath);
  if (strUpperPath.find(strHostExe) != std::string::npos ||
      ToUpper(strHostExePath.substr(nSlash == std::string::npos ? 0 : nSlash + 1)) == strHostName) {
    // The host lies in the suite's "Program" folder: drop that last level. A host
    // in any other folder is an installed program (/usr/bin, ~/.local/bin): dropping
    // a level there would put the data at the root of the system, so the user's own
    // data folder is used instead.
    const size_t nDrop = LoadString(IDS_PROGRAM_FOLDER).size() + 1;
    if (ToUpper(strDirectory.substr(strDirectory.size() >= nDrop ? strDirectory.size() - nDrop : 0)) !=
        ToUpper(LoadString(IDS_PROGRAM_FOLDER) + '/'))
      return GetFallbackFolder();
    strBase =
        strDirectory.size() > nDrop ? strDirectory.substr(0, strDirectory.size() - nDrop) : std::string();
  } else {
    strBase = strDirectory;
  }
  const std::string strDataName = LoadString(IDS_DATA_FOLDER_NAME);
  if (strBase.empty())
    strBase = strDataName;

  if (CanEnter(strBase)) {
    const std::string strInside = (EndsWithSlash(strBase) ? strBase : strBase + '/') + strDataName;
    ::mkdir(strInside.c_str(), 0777);  // fails harmlessly when it exists
    strBase += strDataName;
  }
  std::string strFolder = strBase + '/';

  // A folder that cannot be used (no such folder, or not ours to write, as in a
  // system-wide install): the user's own data folder instead.
  if (!CanWriteIn(strFolder))
    strFolder = GetFallbackFolder();
  return strFolder;
}

bool CDataFolder::Save(const std::string& strDataFolder) {
  CRegKey key;
  if (!key.Create(DataKeyPath()))
    return false;
  const size_t nPos = strDataFolder.find(LoadString(IDS_DATA_FOLDER_NAME));
  const std::string strInstallDir = nPos == std::string::npos ? std::string() : strDataFolder.substr(0, nPos);
  bool bOk = key.SetText(LoadString(IDS_VAL_DATA_FOLDER), strDataFolder);
  bOk = key.SetText(LoadString(IDS_VAL_INSTALL_DIR), strInstallDir) && bOk;
  key.Close();
  return bOk;
}

bool CDataFolder::SaveExportFlag(bool bExportToCsv) {
  CRegKey key;
  if (!key.Create(DataKeyPath()))
    return false;
  const bool bOk = key.SetNumber(LoadString(IDS_VAL_EXPORT_TO_CSV), bExportToCsv ? 1u : 0u);
  key.Close();
  return bOk;
}

std::string CDataFolder::GetFallbackFolder() {
  std::string strDataHome;
  const char* pszXdg = std::getenv("XDG_DATA_HOME");
  if (pszXdg != nullptr && pszXdg[0] == '/')  // relative values are to be ignored
    strDataHome = pszXdg;
  else
    strDataHome = GetHomeFolder() + "/.local/share";
  const std::string strFolder =
      WithoutFinalSlash(strDataHome) + "/Kelvane/" + LoadString(IDS_DATA_FOLDER_NAME);
  MakeFolders(strFolder);
  return strFolder + '/';
}

std::string CDataFolder::GetHostExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0)
      return {};
    if (static_cast<size_t>(n) < buffer.size())
      return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}
