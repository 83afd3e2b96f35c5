#include "tethra/Phonebook.h"

#include <cctype>

#include "platform/CharsetUtf.h"
#include "tethra/AtResponse.h"
#include "tethra/AtText.h"

namespace {

// Keeps valid UTF-8 sequences and turns every other byte into '?'.
std::string CleanUtf8(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    const size_t n = CCharsetUtf::Utf8SequenceLength(s, i);
    if (n == 0) {
      out += '?';
      ++i;
      continue;
    }
    out.append(s, i, n);
    i += n;
  }
  return out;
}

bool IsDialString(const std::string& s) {
  if (s.empty())
    return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '*' && c != '#')
      return false;
  return true;
}

}  // namespace

bool DecodeUcs2Hex(const std::string& strHex, std::string& strUtf8) {
  if (strHex.size() % 4 != 0)
    return false;
  std::string out;
  unsigned nHigh = 0;
  for (size_t i = 0; i < strHex.size(); i += 4) {
    unsigned unit = 0;
    for (size_t k = 0; k < 4; ++k) {
      const int nDigit = AtHexValue(strHex[i + k]);
      if (nDigit < 0)
        return false;
      unit = unit * 16 + static_cast<unsigned>(nDigit);
    }
    if (unit >= 0xD800 && unit < 0xDC00) {
      if (nHigh)
        CCharsetUtf::AppendUtf8(out, 0xFFFD);
      nHigh = unit;
      continue;
    }
    if (unit >= 0xDC00 && unit < 0xE000) {
      CCharsetUtf::AppendUtf8(out, nHigh ? 0x10000 + ((nHigh - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
      nHigh = 0;
      continue;
    }
    if (nHigh)
      CCharsetUtf::AppendUtf8(out, 0xFFFD);
    nHigh = 0;
    CCharsetUtf::AppendUtf8(out, unit);
  }
  if (nHigh)
    CCharsetUtf::AppendUtf8(out, 0xFFFD);
  strUtf8 = std::move(out);
  return true;
}

bool AtParseCpbsSupport(const std::string& strLine, std::vector<std::string>& storages) {
  if (!AtStartsWithNoCase(strLine, "+CPBS:"))
    return false;
  std::string strValue = AtInfoValue(strLine, "+CPBS");
  if (strValue.size() >= 2 && strValue.front() == '(' && strValue.back() == ')')
    strValue = strValue.substr(1, strValue.size() - 2);
  std::vector<std::string> result;
  for (const std::string& p : AtSplitParameters(strValue)) {
    std::string strName = AtUpper(AtUnquote(p));
    if (strName.empty() || strName.size() > 4)
      return false;
    result.push_back(strName);
  }
  if (result.empty())
    return false;
  storages = std::move(result);
  return true;
}

bool AtParseCpbrRange(const std::string& strLine, int& nFirst, int& nLast) {
  if (!AtStartsWithNoCase(strLine, "+CPBR:"))
    return false;
  std::vector<std::string> params = AtSplitParameters(AtInfoValue(strLine, "+CPBR"));
  if (params.empty() || params[0].size() < 3 || params[0].front() != '(' || params[0].back() != ')')
    return false;
  std::string strRange = params[0].substr(1, params[0].size() - 2);
  size_t nDash = strRange.find('-');
  int a = 0, b = 0;
  if (nDash == std::string::npos) {
    if (!AtParseInt(strRange, a))
      return false;
    b = a;
  } else if (!AtParseInt(strRange.substr(0, nDash), a) || !AtParseInt(strRange.substr(nDash + 1), b)) {
    return false;
  }
  if (a < 0 || b < a || b > 100000)
    return false;
  nFirst = a;
  nLast = b;
  return true;
}

bool AtParseCpbrEntry(const std::string& strLine, bool bUcs2, CPhonebookEntry& entry) {
  if (!AtStartsWithNoCase(strLine, "+CPBR:"))
    return false;
  std::vector<std::string> params = AtSplitParameters(AtInfoValue(strLine, "+CPBR"));
  if (params.size() < 4)
    return false;
  CPhonebookEntry e;
  e.strStorage = entry.strStorage;
  if (!AtParseInt(params[0], e.nIndex) || e.nIndex < 0 || !AtParseInt(params[2], e.nType) || e.nType < 0 ||
      e.nType > 255)
    return false;
  std::string strNumber = AtUnquote(params[1]);
  std::string strDecoded;
  if (bUcs2 && !IsDialString(strNumber) && DecodeUcs2Hex(strNumber, strDecoded) && IsDialString(strDecoded))
    strNumber = strDecoded;
  if (!strNumber.empty() && !IsDialString(strNumber))
    return false;
  if (e.nType == 145 && !strNumber.empty() && strNumber[0] != '+')
    strNumber = "+" + strNumber;
  e.strNumber = strNumber;
  std::string strName = AtUnquote(params[3]);
  if (bUcs2) {
    if (!DecodeUcs2Hex(strName, e.strName))
      return false;
  } else {
    e.strName = CleanUtf8(strName);
  }
  entry = std::move(e);
  return true;
}
