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
  std::vector<void*> LoadFolder(const std::string& strFolder);

  // The "*.so" files of a folder, sorted by name.
  static std::vector<std::string> FindLibraries(const std::string& strFolder);

  // One line per failure, "<path>: <reason>".
  const std::vector<std::string>& GetErrors() const { return m_errors; }

 private:
  std::set<std::string> m_loaded;  // canonical paths of the libraries loaded
  std::vector<std::string> m_errors;
};
