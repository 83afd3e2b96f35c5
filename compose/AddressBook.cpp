#include "compose/AddressBook.h"

#include <memory>

#include "shell/PageControls.h"

int FindPreset(const CMessageArray& presets, const std::string& strText) {
  for (size_t i = 0; i < presets.size(); ++i) {
    if (presets[i]->m_strMessage == strText)
      return static_cast<int>(i);
  }
  return -1;
}

bool AddPresetText(CMessageArray& presets, const std::string& strText) {
  if (FindPreset(presets, strText) >= 0)
    return false;
  auto pPreset = std::make_unique<CMessage>();
  pPreset->SetMessage(strText);
  presets.push_back(std::move(pPreset));
  return true;
}

std::string GetPresetListText(const std::string& strPreset, const std::string& strEllipsis) {
  // A line ends at a carriage return; a bare line feed (a text written elsewhere)
  // ends it too, since the list shows one line per item.
  const size_t nBreak = strPreset.find_first_of("\r\n");
  if (nBreak == std::string::npos)
    return strPreset;
  return strPreset.substr(0, nBreak) + strEllipsis;
}

std::vector<std::string> SplitHostNumbers(const std::string& strNumbers, int nCount) {
  std::vector<std::string> numbers;
  std::string strRest = strNumbers;
  for (int i = 0; i < nCount; ++i) {
    const size_t nBreak = strRest.find('\r');
    if (nBreak == std::string::npos) {
      // Every later round would take this same text again: one is enough, however
      // large the count the host gave.
      numbers.push_back(strRest);
      break;
    }
    numbers.push_back(strRest.substr(0, nBreak));
    strRest = TrimBlanks(strRest.substr(nBreak));
  }
  return numbers;
}

int GetValidityForLifetime(int nLifetime) {
  if (nLifetime >= 1 && nLifetime <= 6)
    return 12 * nLifetime;
  if (nLifetime == 7)
    return 167;
  if (nLifetime == 8)
    return 193;
  return 0;
}

int CountMessageCharacters(const std::string& strMessage) {
  // UTF-8: every byte that does not continue a character starts one.
  int nCount = 0;
  for (unsigned char c : strMessage) {
    if ((c & 0xC0) != 0x80)
      ++nCount;
  }
  return nCount;
}
