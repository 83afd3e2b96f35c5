// The settings store's contents in memory, with the reader and writer of its text
// form, the registry export format:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\SOFTWARE\Kelvane\Mireth\Options]
//   "Baud Rate"=dword:00002580
//   "COM Port"="COM3"
//   @="the key's default value"
//
// Accepted on reading: the header "Windows Registry Editor Version 5.00" (or the
// older "REGEDIT4") on the first line; a UTF-8 byte-order mark, or a UTF-16LE text
// with its byte-order mark (as the desktop's own export writes it); CRLF or LF line
// ends; blank lines; ';' comment lines; keys of HKEY_CURRENT_USER; text values with
// the \\ and \" escapes; dword values of 1 to 8 hexadecimal digits; binary values
// ("hex:" and "hex(n):", continued over lines ending in a backslash), which are kept
// as written but cannot be read as numbers or texts. A key line repeated later adds
// to the same key; a value given twice takes the later data. Key paths and value
// names compare without regard to ASCII letter case, and keep the spelling of their
// first appearance.
//
// The writer produces the same format (UTF-8, CRLF), which the reader reads back to
// the same contents.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CRegistryFile {
 public:
  enum class EType { Text, Number, Raw };

  struct SValue {
    std::string strName;  // "" is the key's default value, written as @
    EType eType = EType::Text;
    std::string strText;   // Text: the text; Raw: the data after '=', lines joined by '\n'
    uint32_t nNumber = 0;  // Number
    bool operator==(const SValue&) const = default;
  };

  struct SKey {
    std::string strPath;  // below HKEY_CURRENT_USER, e.g. "SOFTWARE\Kelvane\Mireth"; "" the hive
    std::vector<SValue> values;
    bool operator==(const SKey&) const = default;
  };

  // Where and why reading stopped: the 1-based line and the string-table number of
  // the reason (IDS_REGERR_...).
  struct SError {
    int nLine = 0;
    unsigned int nReasonID = 0;
  };

  // Replaces the contents with what the text holds. On a malformed text the contents
  // are left empty, err tells where, and the result is false. An empty text (or one
  // of blanks only) is an empty store.
  bool Parse(std::string_view text, SError& err);
  // The text form of the contents.
  std::string Write() const;

  // Keys in file order.
  const std::vector<SKey>& GetKeys() const { return m_keys; }

  // The key with that path, or null. A key that only exists as the parent of
  // another (implied by a deeper key line) is not found here; see KeyExists.
  const SKey* FindKey(std::string_view strPath) const;
  SKey* FindKey(std::string_view strPath);
  // True when the key is listed or is a parent of a listed key.
  bool KeyExists(std::string_view strPath) const;
  // The key, created with any missing parents when absent (all appended in order
  // from the top). Returns null for a path that is not a valid key path.
  SKey* CreateKey(std::string_view strPath);

  static const SValue* FindValue(const SKey& key, std::string_view strName);
  static SValue* FindValue(SKey& key, std::string_view strName);
  // Sets a value (keeping its place when it exists, else appending it).
  static void SetValue(SKey& key, const SValue& value);
  static bool DeleteValue(SKey& key, std::string_view strName);

  // A key path is valid when its parts between backslashes are not empty and hold no
  // line break or NUL ("" is the hive itself). A name or text may hold anything but
  // a line feed or NUL.
  static bool IsValidKeyPath(std::string_view strPath);
  static bool IsValidText(std::string_view str);
  // ASCII case-insensitive comparison, as the registry compares names.
  static bool EqualNoCase(std::string_view a, std::string_view b);

  bool operator==(const CRegistryFile& other) const { return m_keys == other.m_keys; }

 private:
  // Appends a key and indexes it and the keys its path implies.
  SKey& AddKey(std::string_view strPath);
  void ClearKeys();

  std::vector<SKey> m_keys;
  // Lower-cased paths: of each listed key (to its place in m_keys), and of every key
  // above a listed one, so that lookups do not scan the keys.
  std::unordered_map<std::string, size_t> m_index;
  std::unordered_set<std::string> m_implied;
};
