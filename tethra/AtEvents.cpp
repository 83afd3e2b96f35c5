#include "tethra/AtEvents.h"

#include <algorithm>
#include <cctype>

#include "tethra/AtResponse.h"
#include "tethra/AtText.h"

namespace {

// "+CMTI: \"SM\",3": a storage name and an index.
bool ParseStored(const std::string& strValue, std::string& strStorage, int& nIndex) {
  std::vector<std::string> params = AtSplitParameters(strValue);
  if (params.size() != 2)
    return false;
  std::string strName = AtUpper(AtUnquote(params[0]));
  int n = -1;
  if (strName.empty() || strName.size() > 8 || !AtParseInt(params[1], n) || n < 0)
    return false;
  strStorage = strName;
  nIndex = n;
  return true;
}

// The PDU line after a +CMT/+CDS header line.
bool ParseDirect(const std::string& strUrc, std::string& strPdu) {
  size_t nBreak = strUrc.find('\n');
  if (nBreak == std::string::npos)
    return false;
  std::string strLine = AtUpper(strUrc.substr(nBreak + 1));
  while (!strLine.empty() && AtIsBlank(strLine.back()))
    strLine.pop_back();
  if (!AtIsHex(strLine))
    return false;
  strPdu = strLine;
  return true;
}

// One bracketed list of values: "(0-2)", "(0,2)", "(1)" or a bare "1".
bool ParseValueList(const std::string& strParam, std::vector<int>& values) {
  std::string s = strParam;
  if (!s.empty() && s.front() == '(') {
    if (s.back() != ')')
      return false;
    s = s.substr(1, s.size() - 2);
  }
  values.clear();
  size_t nStart = 0;
  while (nStart <= s.size()) {
    size_t nComma = s.find(',', nStart);
    std::string strItem = s.substr(nStart, nComma == std::string::npos ? std::string::npos : nComma - nStart);
    size_t nDash = strItem.find('-');
    int nLow = 0, nHigh = 0;
    if (nDash == std::string::npos) {
      if (!AtParseInt(strItem, nLow))
        return false;
      nHigh = nLow;
    } else if (!AtParseInt(strItem.substr(0, nDash), nLow) || !AtParseInt(strItem.substr(nDash + 1), nHigh)) {
      return false;
    }
    if (nLow < 0 || nHigh < nLow || nHigh > 255)
      return false;
    for (int v = nLow; v <= nHigh; ++v)
      if (std::find(values.begin(), values.end(), v) == values.end())
        values.push_back(v);
    if (nComma == std::string::npos)
      break;
    nStart = nComma + 1;
  }
  return !values.empty();
}

bool Offers(const std::vector<std::vector<int>>& values, size_t nParam, int nValue) {
  return nParam < values.size() &&
         std::find(values[nParam].begin(), values[nParam].end(), nValue) != values[nParam].end();
}

}  // namespace

bool AtParseEvent(const std::string& strUrc, CAtEvent& event) {
  std::string strHead = strUrc.substr(0, strUrc.find('\n'));
  std::string strUpper = AtUpper(strHead);
  CAtEvent e;
  if (strUpper.starts_with("+CMTI:")) {
    e.eKind = CAtEvent::STORED_MESSAGE;
    if (!ParseStored(AtInfoValue(strHead, "+CMTI"), e.strStorage, e.nIndex))
      return false;
  } else if (strUpper.starts_with("+CDSI:")) {
    e.eKind = CAtEvent::STORED_REPORT;
    if (!ParseStored(AtInfoValue(strHead, "+CDSI"), e.strStorage, e.nIndex))
      return false;
  } else if (strUpper.starts_with("+CMT:")) {
    e.eKind = CAtEvent::DIRECT_MESSAGE;
    if (!ParseDirect(strUrc, e.strPdu))
      return false;
  } else if (strUpper.starts_with("+CDS:")) {
    e.eKind = CAtEvent::DIRECT_REPORT;
    if (!ParseDirect(strUrc, e.strPdu))
      return false;
  } else {
    return false;
  }
  event = e;
  return true;
}

bool AtParseCnmiSupport(const std::string& strLine, std::vector<std::vector<int>>& values) {
  if (!AtUpper(strLine).starts_with("+CNMI:"))
    return false;
  std::vector<std::vector<int>> result;
  for (const std::string& strParam : AtSplitParameters(AtInfoValue(strLine, "+CNMI"))) {
    std::vector<int> list;
    if (!ParseValueList(strParam, list))
      return false;
    result.push_back(std::move(list));
  }
  if (result.size() < 2)
    return false;
  values = std::move(result);
  return true;
}

std::string AtChooseCnmi(const std::vector<std::vector<int>>& values, bool bReports) {
  int nMode = -1;
  for (int n : {2, 1, 3})
    if (nMode < 0 && Offers(values, 0, n))
      nMode = n;
  int nMt = Offers(values, 1, 1) ? 1 : Offers(values, 1, 2) ? 2 : -1;
  if (nMode < 0 || nMt < 0)
    return std::string();
  std::string strCommand = "AT+CNMI=" + std::to_string(nMode) + "," + std::to_string(nMt);
  if (values.size() < 3)
    return strCommand;
  strCommand += ",0";
  if (values.size() < 4)
    return strCommand;
  int nDs = 0;
  if (bReports)
    nDs = Offers(values, 3, 1) ? 1 : Offers(values, 3, 2) ? 2 : 0;
  strCommand += "," + std::to_string(nDs);
  if (values.size() >= 5 && Offers(values, 4, 0))
    strCommand += ",0";
  return strCommand;
}

bool AtParseCmgrHeader(const std::string& strLine, int& nStat, int& nLength) {
  if (!AtUpper(strLine).starts_with("+CMGR:"))
    return false;
  std::vector<std::string> params = AtSplitParameters(AtInfoValue(strLine, "+CMGR"));
  if (params.size() < 2)
    return false;
  int s = -1, n = -1;
  if (!AtParseInt(params[0], s) || !AtParseInt(params.back(), n) || s < AT_STAT_REC_UNREAD ||
      s > AT_STAT_STO_SENT || n < 0)
    return false;
  nStat = s;
  nLength = n;
  return true;
}
