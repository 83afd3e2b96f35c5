#include "lists/SenderNames.h"

namespace {
constexpr size_t kCompareDigits = 9;
}

CSenderNames::CSenderNames(const CAddressArray* pBook) {
  if (pBook == nullptr)
    return;
  m_names.reserve(pBook->size());
  for (const auto& pEntry : *pBook) {
    const std::string strKey = MatchKey(pEntry->m_strNumber);
    if (!strKey.empty())
      m_names.emplace(strKey, pEntry->m_strName);  // keeps the first entry's name
  }
}

std::string CSenderNames::Lookup(const std::string& strNumber) const {
  const std::string strKey = MatchKey(strNumber);
  if (strKey.empty())
    return std::string();
  const auto it = m_names.find(strKey);
  return it != m_names.end() ? it->second : std::string();
}

std::string CSenderNames::MatchKey(const std::string& strNumber) {
  std::string strDigits;
  for (const char c : strNumber)
    if (c >= '0' && c <= '9')
      strDigits += c;
  if (strDigits.size() > kCompareDigits)
    strDigits.erase(0, strDigits.size() - kCompareDigits);
  return strDigits;
}
