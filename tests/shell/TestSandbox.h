// A private folder and environment for a test that opens the window: a temporary
// folder of its own, and environment variables (the settings file, XDG folders, the
// lock folder ...) pointed into it; both are put back when the sandbox ends.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

class CTestSandbox {
 public:
  explicit CTestSandbox(const std::string& strPrefix) {
    static std::atomic<int> s_nCount{0};
    m_root = std::filesystem::temp_directory_path() /
             (strPrefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(s_nCount++));
    std::filesystem::remove_all(m_root);
    std::filesystem::create_directories(m_root);
  }
  ~CTestSandbox() {
    for (auto it = m_oldEnv.rbegin(); it != m_oldEnv.rend(); ++it) {
      if (it->second)
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        ::unsetenv(it->first.c_str());
    }
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }
  CTestSandbox(const CTestSandbox&) = delete;
  CTestSandbox& operator=(const CTestSandbox&) = delete;

  const std::filesystem::path& Root() const { return m_root; }

  // Sets a variable for the life of the sandbox.
  void SetEnv(const char* pszName, const std::string& strValue) {
    const char* pszOld = std::getenv(pszName);
    m_oldEnv.emplace_back(pszName, pszOld != nullptr ? std::optional<std::string>(pszOld) : std::nullopt);
    ::setenv(pszName, strValue.c_str(), 1);
  }

  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path m_root;
  std::vector<std::pair<std::string, std::optional<std::string>>> m_oldEnv;
};

// A settings file for a window on COM3: the Options lines, the data folder and
// the export flag, COM3 mapped to strPortPath, then any extra lines.
inline void WriteWindowSettings(const std::filesystem::path& file,
                                const std::vector<std::string>& optionsLines,
                                const std::string& strDataFolder, bool bExportToCsv,
                                const std::string& strPortPath, const std::vector<std::string>& extraLines) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << "Windows Registry Editor Version 5.00\r\n\r\n"
      << "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n";
  for (const std::string& line : optionsLines)
    out << line << "\r\n";
  out << "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]\r\n"
      << "\"Data Folder\"=\"" << strDataFolder << "\"\r\n"
      << "\"Export To CSV\"=dword:0000000" << (bExportToCsv ? 1 : 0) << "\r\n"
      << "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Ports]\r\n"
      << "\"COM3\"=\"" << strPortPath << "\"\r\n";
  for (const std::string& line : extraLines)
    out << line << "\r\n";
}
