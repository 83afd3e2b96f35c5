// One address-book or service-centre entry.
#pragma once

#include <string>

class CArchive;

class CAddress {
 public:
  CAddress() = default;
  ~CAddress() = default;
  CAddress(const CAddress&) = delete;
  CAddress& operator=(const CAddress& other);  // copies every field

  void Serialize(CArchive& ar);  // number, then name; the index is not stored

  std::string GetNumber() const { return m_strNumber; }
  void SetNumber(const std::string& s) { m_strNumber = s; }
  std::string GetName() const { return m_strName; }
  void SetName(const std::string& s) { m_strName = s; }
  int GetIndex() const { return m_nIndex; }
  void SetIndex(const int& n) { m_nIndex = n; }

  std::string m_strNumber;
  std::string m_strName;
  int m_nIndex = -1;  // position of the name in the Compose page's name list
};
