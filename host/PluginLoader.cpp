#include "host/PluginLoader.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "host/QVPlugin.h"

namespace fs = std::filesystem;

std::vector<void*> CPluginLoader::Load(const std::string& strPath) {
  std::error_code ec;
  const fs::path canonical = fs::canonical(strPath, ec);
  if (ec) {
    m_errors.push_back(strPath + ": " + ec.message());
    return {};
  }
  if (!fs::is_regular_file(canonical, ec)) {
    m_errors.push_back(strPath + ": not a file");
    return {};
  }
  if (m_loaded.count(canonical.string()) != 0)
    return {};

  // A path with a slash makes dlopen take the file itself, not search the library path.
  void* pLib = dlopen(canonical.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (pLib == nullptr) {
    const char* why = dlerror();
    m_errors.push_back(strPath + ": " + (why ? why : "cannot be loaded"));
    return {};
  }
  auto pfnCreate = reinterpret_cast<QVPluginFactory>(dlsym(pLib, "CreateQVPlugin"));
  if (pfnCreate == nullptr) {
    m_errors.push_back(strPath + ": not a plug-in (no CreateQVPlugin)");
    dlclose(pLib);
    return {};
  }
  m_loaded.insert(canonical.string());
  m_names.insert(fs::path(strPath).filename().string());

  // The factory's result is the plug-in's business; what counts is what it registered.
  const int32_t nBefore = QVPlugin_GetCount();
  pfnCreate();
  const int32_t nAfter = QVPlugin_GetCount();
  std::vector<void*> handles;
  for (int32_t i = nBefore; i < nAfter; ++i)
    handles.push_back(QVPlugin_GetHandle(i));
  if (handles.empty())
    m_errors.push_back(strPath + ": the plug-in did not register");
  return handles;
}

std::vector<std::string> CPluginLoader::FindLibraries(const std::string& strFolder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(strFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    std::error_code ecFile;
    if (p.extension() == ".so" && fs::is_regular_file(p, ecFile))
      files.push_back(p.string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<void*> CPluginLoader::LoadFolder(const std::string& strFolder) {
  std::vector<void*> handles;
  for (const std::string& file : FindLibraries(strFolder)) {
    if (m_names.count(fs::path(file).filename().string()) != 0)
      continue;
    std::vector<void*> more = Load(file);
    handles.insert(handles.end(), more.begin(), more.end());
  }
  return handles;
}

std::vector<std::string> CPluginLoader::DefaultFolders(const std::string& strExeFolder,
                                                       const std::string& strInstalled,
                                                       const char* pszXdgDataHome, const char* pszHome) {
  std::vector<std::string> folders;
  fs::path dataHome;
  if (pszXdgDataHome != nullptr && pszXdgDataHome[0] == '/')  // a relative value is ignored
    dataHome = pszXdgDataHome;
  else if (pszHome != nullptr && pszHome[0] == '/')
    dataHome = fs::path(pszHome) / ".local" / "share";
  if (!dataHome.empty())
    folders.push_back((dataHome / "Kelvane" / "plugins").lexically_normal().string());
  folders.push_back((fs::path(strExeFolder) / "plugins").lexically_normal().string());
  if (!strInstalled.empty())
    folders.push_back((fs::path(strExeFolder) / strInstalled).lexically_normal().string());
  return folders;
}
