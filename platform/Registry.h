// The settings store: the per-user registry of the desktop, kept as a text file in
// the registry export format:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\SOFTWARE\Kelvane\Mireth\Options]
//   "Baud Rate"=dword:00002580
//   "COM Port"="COM3"
//
// The file is $MIRETH_REGISTRY when set, else $XDG_CONFIG_HOME/Kelvane/Mireth.reg
// (~/.config when XDG_CONFIG_HOME is unset). Key paths are given below
// HKEY_CURRENT_USER, with backslashes: "SOFTWARE\Kelvane\Mireth\Options".
//
// Values are numbers (32-bit, REG_DWORD) or texts (REG_SZ). Readers open an existing
// key and never create one; writers create the key. Every write is a locked
// read-modify-write of the whole file, written to a temporary file, flushed and
// renamed over the old one, so concurrent writers from several processes lose
// nothing. A malformed file is reported once, moved aside (never overwritten) and
// read as empty, so every setting takes its default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CRegKey {
 public:
  CRegKey() = default;
  ~CRegKey() = default;
  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;

  // Opens an existing key; false when it does not exist.
  bool Open(const std::string& strPath);
  // Opens the key, creating it (and the keys above it) when missing; false when the
  // store cannot be written.
  bool Create(const std::string& strPath);
  void Close();
  bool IsOpen() const { return m_bOpen; }
  const std::string& GetPath() const { return m_strPath; }

  // Reads a number value; false when the value is missing or not a number.
  bool QueryNumber(const std::string& strName, uint32_t& nValue) const;
  // Reads a text value into at most nMaxBytes bytes including the terminator (so a
  // longer text is cut to nMaxBytes - 1 bytes); false when missing or not a text.
  bool QueryText(const std::string& strName, std::string& strValue,
                 size_t nMaxBytes = 260) const;
  bool SetNumber(const std::string& strName, uint32_t nValue);
  bool SetText(const std::string& strName, const std::string& strValue);
  bool DeleteValue(const std::string& strName);
  // Names of the key's values in file order.
  std::vector<std::string> GetValueNames() const;

 private:
  bool m_bOpen = false;
  std::string m_strPath;
};

// The path of the store file in use.
std::string GetRegistryFilePath();
