// Loads plug-in libraries with dlopen and lets each register itself through its
// exported factory CreateQVPlugin (see host/QVPlugin.h).
#pragma once

#include <set>
#include <string>
#include <vector>

class CPluginLoader {
 public:
  CPluginLoader() = default;
  CPluginLoader(const CPluginLoader&) = delete;
  CPluginLoader& operator=(const CPluginLoader&) = delete;
  // Loaded libraries stay loaded: their code and icons may be in use until the process
  // ends.
  ~CPluginLoader() = default;

  // Loads the library at strPath and calls its CreateQVPlugin. Returns the handles of
  // the registrations the factory made (normally one). A library that was loaded before
  // (the same file, by any path) is not loaded again and yields no handle. On failure
  // (no such file, not a library, no CreateQVPlugin, nothing registered) returns no
  // handle and adds a line to the errors.
  std::vector<void*> Load(const std::string& strPath);

  // Loads every "*.so" file of a folder, in name order. A missing folder is no error.
  // A file that bears the name of a library loaded before (from an earlier folder or
  // by Load) is passed over, so the first folder that holds a plug-in wins.
  std::vector<void*> LoadFolder(const std::string& strFolder);

  // The folders the host scans when no plug-in is named on its command line, in order:
  // the user's own ($XDG_DATA_HOME/Kelvane/plugins, $HOME/.local/share when
  // XDG_DATA_HOME is unset or relative; left out when neither gives an absolute path),
  // plugins/ beside the program, and the installed plug-in folder strInstalled
  // (relative to the program's folder; left out when empty). The variables' values
  // are given, null when unset.
  static std::vector<std::string> DefaultFolders(const std::string& strExeFolder,
                                                 const std::string& strInstalled, const char* pszXdgDataHome,
                                                 const char* pszHome);

  // The "*.so" files of a folder, sorted by name.
  static std::vector<std::string> FindLibraries(const std::string& strFolder);

  // One line per failure, "<path>: <reason>".
  const std::vector<std::string>& GetErrors() const { return m_errors; }

 private:
  std::set<std::string> m_loaded;  // canonical paths of the libraries loaded
  std::set<std::string> m_names;   // file names of the libraries loaded
  std::vector<std::string> m_errors;
};
