#include "lists/SenderNames.h"

namespace {
constexpr size_t kCompareDigits = 9;
constexpr uint64_t kDigitsFactor = 1000000000;  // 10^kCompareDigits
}  // namespace

CSenderNames::CSenderNames(const CAddressArray* pBook) {
  if (pBook == nullptr)
    return;
  m_names.reserve(pBook->size());
  for (const auto& pEntry : *pBook) {
    const uint64_t nKey = MatchKey(pEntry->m_strNumber);
    if (nKey != 0)
      m_names.emplace(nKey, pEntry->m_strName);  // keeps the first entry's name
  }
}

std::string_view CSenderNames::Lookup(std::string_view strNumber) const {
  const uint64_t nKey = MatchKey(strNumber);
  if (nKey == 0)
    return {};
  const auto it = m_names.find(nKey);
  return it != m_names.end() ? std::string_view(it->second) : std::string_view();
}

uint64_t CSenderNames::MatchKey(std::string_view strNumber) {
  // The digits from the last back, until nine are found.
  uint64_t nValue = 0;
  uint64_t nPlace = 1;
  size_t nDigits = 0;
  for (auto it = strNumber.rbegin(); it != strNumber.rend() && nDigits < kCompareDigits; ++it) {
    if (*it < '0' || *it > '9')
      continue;
    nValue += static_cast<uint64_t>(*it - '0') * nPlace;
    nPlace *= 10;
    ++nDigits;
  }
  return nDigits == 0 ? 0 : nDigits * kDigitsFactor + nValue;
}
