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
// nothing. The file is read and parsed once per process (again only when it changed
// on disk), a symbolic link is written through to its file, a path that is not a
// regular file is refused, and a file that cannot be read or written is reported
// once with its path. A malformed file is reported once, moved aside (never overwritten) and
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
  bool QueryText(const std::string& strName, std::string& strValue, size_t nMaxBytes = 260) const;
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

// The text of the last report of a settings file that could not be read or written
// ("" when there was none in this process): for programs that must fail then.
std::string GetRegistryFault();
// How many times this process has written the settings file.
unsigned long GetRegistryWriteCount();

// Defers the writes made while it lives to one write of the file when the outermost
// batch ends (one locked read-modify-write applying every change in order). Reads in
// the meantime see the changes.
class CRegistryBatch {
 public:
  CRegistryBatch();
  ~CRegistryBatch();
  CRegistryBatch(const CRegistryBatch&) = delete;
  CRegistryBatch& operator=(const CRegistryBatch&) = delete;
};
