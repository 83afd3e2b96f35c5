#include "model/AddressBookRules.h"

#include <memory>

#include "model/StoreLists.h"

int FindAddress(const CAddressArray& book, const std::string& strName, const std::string& strNumber) {
  for (size_t i = 0; i < book.size(); ++i)
    if (book[i]->m_strName == strName && book[i]->m_strNumber == strNumber)
      return static_cast<int>(i);
  return -1;
}

int FindAddressByNumber(const CAddressArray& book, const std::string& strNumber) {
  if (strNumber.empty())
    return -1;
  for (size_t i = 0; i < book.size(); ++i)
    if (book[i]->m_strNumber == strNumber)
      return static_cast<int>(i);
  return -1;
}

bool AddAddressEntry(CAddressArray& book, const std::string& strName, const std::string& strNumber,
                     const std::string& strNoName) {
  if (strName.empty() && strNumber.empty())
    return false;
  if (!strName.empty()) {
    if (FindAddress(book, strName, strNumber) >= 0)
      return false;
  } else if (FindAddressByNumber(book, strNumber) >= 0) {
    // The number is in the book already, under a name or as an earlier bare number.
    return false;
  }
  auto pEntry = std::make_unique<CAddress>();
  pEntry->SetName(strName.empty() ? strNoName : strName);
  pEntry->SetNumber(strNumber);
  book.push_back(std::move(pEntry));
  return true;
}

int MergeAddressEntries(CAddressArray& book, const std::vector<std::pair<std::string, std::string>>& pairs,
                        const std::string& strNoName) {
  int nAdded = 0;
  for (const auto& [strName, strNumber] : pairs)
    if (AddAddressEntry(book, strName, strNumber, strNoName))
      ++nAdded;
  if (nAdded > 0)
    SortAndNameAddressBook(book);
  return nAdded;
}
