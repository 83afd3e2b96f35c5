#pragma once
// The phone's phonebooks: "SM" on the SIM and "ME" in the phone, numbered entries of
// a number, its type of address and a name (UTF-8 here; AT+CPBR writes it in the
// character set AT+CSCS chose: UCS2 as hex of UTF-16, the others as text with '?'
// for what they cannot show). Filled at start with Latin and non-Latin names.

#include <map>
#include <string>
#include <vector>

namespace vphone {

struct CPhonebookEntry {
  std::string m_strNumber;
  int m_nType = 129;
  std::string m_strName;  // UTF-8
};

class CPhonebook {
 public:
  CPhonebook();

  std::vector<std::string> GetStorageNames() const { return {"SM", "ME"}; }
  bool HasStorage(const std::string& strName) const { return m_mapBooks.count(strName) != 0; }
  int GetCapacity(const std::string& strName) const;
  // Entries of a storage by index (ascending).
  const std::map<int, CPhonebookEntry>& GetEntries(const std::string& strName) const;

  // The name as the character set writes it ("GSM", "IRA", "8859-1", "UCS2").
  static std::string EncodeName(const std::string& strUtf8, const std::string& strCharset);

 private:
  std::map<std::string, std::map<int, CPhonebookEntry>> m_mapBooks;
};

}  // namespace vphone
