#include "tethra/AtResponse.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "tethra/AtText.h"

namespace {

bool HasPrefix(const std::string& strLine, const char* pszPrefix) {
  const size_t n = std::strlen(pszPrefix);
  // The name must end here: "+CMGL" is no prefix of "+CMGLX: 1".
  return AtStartsWithNoCase(strLine, pszPrefix) &&
         (strLine.size() == n || strLine[n] == ':' || strLine[n] == ' ');
}

// The storage names of one parameter of "AT+CPMS=?": a bracketed list or a single
// quoted name.
std::vector<std::string> StorageList(const std::string& strParameter) {
  std::string p = AtTrim(strParameter);
  if (!p.empty() && p.front() == '(') {
    if (p.back() != ')')
      return {};
    p = p.substr(1, p.size() - 2);
  }
  std::vector<std::string> names;
  for (const std::string& item : AtSplitParameters(p)) {
    std::string name = AtUpper(AtUnquote(item));
    if (!name.empty())
      names.push_back(name);
  }
  return names;
}

}  // namespace

std::string AtInfoValue(const std::string& strLine, const char* pszPrefix) {
  if (HasPrefix(strLine, pszPrefix)) {
    std::string rest = strLine.substr(std::strlen(pszPrefix));
    if (!rest.empty() && rest[0] == ':')
      rest.erase(0, 1);
    return AtTrim(rest);
  }
  return AtTrim(strLine);
}

std::vector<std::string> AtSplitParameters(const std::string& strValue) {
  std::vector<std::string> parts;
  std::string current;
  bool bQuoted = false;
  int nDepth = 0;
  for (char c : strValue) {
    if (c == '"')
      bQuoted = !bQuoted;
    else if (!bQuoted && c == '(')
      ++nDepth;
    else if (!bQuoted && c == ')' && nDepth > 0)
      --nDepth;
    if (c == ',' && !bQuoted && nDepth == 0) {
      parts.push_back(AtTrim(current));
      current.clear();
      continue;
    }
    current.push_back(c);
  }
  if (!AtTrim(current).empty() || !parts.empty())
    parts.push_back(AtTrim(current));
  return parts;
}

std::string AtUnquote(const std::string& strParameter) {
  std::string p = AtTrim(strParameter);
  if (p.size() >= 2 && p.front() == '"' && p.back() == '"')
    return p.substr(1, p.size() - 2);
  return p;
}

bool AtParseInt(const std::string& strParameter, int& nValue) {
  std::string p = AtTrim(strParameter);
  size_t i = 0;
  bool bNegative = false;
  if (i < p.size() && (p[i] == '-' || p[i] == '+'))
    bNegative = p[i++] == '-';
  if (i == p.size() || p.size() - i > 9)
    return false;
  int n = 0;
  for (; i < p.size(); ++i) {
    if (p[i] < '0' || p[i] > '9')
      return false;
    n = n * 10 + (p[i] - '0');
  }
  nValue = bNegative ? -n : n;
  return true;
}

bool AtParseCmglHeader(const std::string& strLine, CAtListEntryHeader& header) {
  if (!HasPrefix(strLine, "+CMGL"))
    return false;
  std::vector<std::string> p = AtSplitParameters(AtInfoValue(strLine, "+CMGL"));
  // <index>,<stat>,[<alpha>],<length>; some phones leave the alpha field out.
  if (p.size() < 3)
    return false;
  CAtListEntryHeader h;
  if (!AtParseInt(p[0], h.nIndex) || !AtParseInt(p[1], h.nStat) || !AtParseInt(p.back(), h.nLength))
    return false;
  if (h.nIndex < 0 || h.nStat < AT_STAT_REC_UNREAD || h.nStat > AT_STAT_STO_SENT || h.nLength < 0 ||
      h.nLength > 255)
    return false;
  header = h;
  return true;
}

namespace {

// The PDU line of an entry against the length its header announces: the
// service-centre part (its length octet and that many octets) and the transfer unit.
bool CheckPduLine(const std::string& strHex, int nLength, std::string& strReason) {
  if (!AtIsHex(strHex)) {
    strReason = "the PDU line is not hexadecimal";
    return false;
  }
  size_t nOctets = strHex.size() / 2;
  size_t nScaOctets = static_cast<size_t>(AtHexOctet(strHex, 0));
  if (nOctets != 1 + nScaOctets + static_cast<size_t>(nLength)) {
    strReason = "the header announces " + std::to_string(nLength) + " octets, the PDU holds " +
                std::to_string(nOctets > nScaOctets ? nOctets - 1 - nScaOctets : 0);
    return false;
  }
  return true;
}

// A line that should be the PDU of an entry: anything but another header or a
// result of the listing's own kind.
bool LooksLikePduLine(const std::string& strLine) { return !strLine.empty() && strLine[0] != '+'; }

// The storage names of a bracketed list or a single name, each once.
std::vector<std::string> UniqueStorageList(const std::string& strParameter) {
  std::vector<std::string> names;
  for (std::string& name : StorageList(strParameter))
    if (std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(std::move(name));
  return names;
}

// "((a),(b))" is "(a),(b)" in one more pair of brackets.
std::string Unnest(std::string value) {
  while (value.size() >= 2 && value.front() == '(' && value.back() == ')') {
    std::string inner = AtTrim(value.substr(1, value.size() - 2));
    if (inner.empty() || inner.front() != '(')
      break;
    // The outer pair must enclose everything: its match is the last character.
    int nDepth = 0;
    size_t nMatch = std::string::npos;
    bool bQuoted = false;
    for (size_t i = 0; i < value.size() && nMatch == std::string::npos; ++i) {
      if (value[i] == '"')
        bQuoted = !bQuoted;
      else if (!bQuoted && value[i] == '(')
        ++nDepth;
      else if (!bQuoted && value[i] == ')' && --nDepth == 0)
        nMatch = i;
    }
    if (nMatch != value.size() - 1)
      break;
    value = inner;
  }
  return value;
}

}  // namespace

void AtParseCmglListing(const std::vector<std::string>& lines, std::vector<CAtListEntry>& entries,
                        std::vector<CAtBadEntry>& bad) {
  entries.clear();
  bad.clear();
  for (size_t i = 0; i < lines.size(); ++i) {
    CAtListEntryHeader header;
    if (!AtParseCmglHeader(lines[i], header)) {
      if (HasPrefix(lines[i], "+CMGL")) {
        CAtBadEntry e;
        std::vector<std::string> p = AtSplitParameters(AtInfoValue(lines[i], "+CMGL"));
        if (p.empty() || !AtParseInt(p[0], e.nIndex) || e.nIndex < 0)
          e.nIndex = -1;
        e.strReason = "the entry's header cannot be read";
        bad.push_back(e);
        if (i + 1 < lines.size() && LooksLikePduLine(lines[i + 1]))
          ++i;
      } else if (AtIsHex(lines[i])) {
        bad.push_back({-1, "a PDU line without its header"});
      }
      continue;
    }
    if (i + 1 >= lines.size() || !LooksLikePduLine(lines[i + 1])) {
      bad.push_back({header.nIndex, "the header is not followed by its PDU"});
      continue;
    }
    std::string strReason;
    if (!CheckPduLine(lines[i + 1], header.nLength, strReason)) {
      bad.push_back({header.nIndex, strReason});
    } else {
      CAtListEntry entry;
      entry.header = header;
      entry.strPdu = AtUpper(lines[i + 1]);
      entries.push_back(std::move(entry));
    }
    ++i;
  }
}

bool AtParseCmgrReply(const std::vector<std::string>& lines, CAtListEntry& entry, std::string& strReason) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!HasPrefix(lines[i], "+CMGR"))
      continue;
    // <stat>,[<alpha>],<length>
    std::vector<std::string> p = AtSplitParameters(AtInfoValue(lines[i], "+CMGR"));
    CAtListEntryHeader h;
    if (p.size() < 2 || !AtParseInt(p[0], h.nStat) || !AtParseInt(p.back(), h.nLength) ||
        h.nStat < AT_STAT_REC_UNREAD || h.nStat > AT_STAT_STO_SENT || h.nLength < 0 || h.nLength > 255) {
      strReason = "the message's header cannot be read";
      return false;
    }
    if (i + 1 >= lines.size() || !LooksLikePduLine(lines[i + 1])) {
      strReason = "the header is not followed by its PDU";
      return false;
    }
    if (!CheckPduLine(lines[i + 1], h.nLength, strReason))
      return false;
    h.nIndex = entry.header.nIndex;
    entry.header = h;
    entry.strPdu = AtUpper(lines[i + 1]);
    return true;
  }
  strReason = "no +CMGR line in the reply";
  return false;
}

bool AtParseCpmsSupport(const std::string& strLine, std::vector<std::vector<std::string>>& lists) {
  if (!HasPrefix(strLine, "+CPMS"))
    return false;
  std::string value = Unnest(AtInfoValue(strLine, "+CPMS"));
  std::vector<std::vector<std::string>> result;
  std::vector<std::string> params = AtSplitParameters(value);
  bool bBracketed = std::any_of(params.begin(), params.end(),
                                [](const std::string& p) { return !p.empty() && p.front() == '('; });
  if (!bBracketed) {
    // Without brackets "\"ME\",\"SM\"" is one list of two rather than two lists.
    std::vector<std::string> names = UniqueStorageList(value);
    if (!names.empty())
      result.push_back(std::move(names));
  } else {
    for (const std::string& p : params)
      if (result.size() < 3)
        result.push_back(UniqueStorageList(p));
  }
  lists = std::move(result);
  return true;
}

bool AtParseCpmsUse(const std::string& strLine, std::vector<CAtStorageUse>& uses) {
  if (!HasPrefix(strLine, "+CPMS"))
    return false;
  std::vector<std::string> params = AtSplitParameters(AtInfoValue(strLine, "+CPMS"));
  std::vector<CAtStorageUse> result;
  size_t i = 0;
  while (i < params.size()) {
    CAtStorageUse use;
    const std::string& p = params[i];
    if (p.size() >= 2 && p.front() == '"') {
      use.strName = AtUpper(AtUnquote(p));
      ++i;
    }
    if (i + 1 >= params.size() || !AtParseInt(params[i], use.nUsed) ||
        !AtParseInt(params[i + 1], use.nTotal) || use.nUsed < 0 || use.nTotal < 0)
      break;
    result.push_back(use);
    i += 2;
  }
  if (result.empty())
    return false;
  uses = std::move(result);
  return true;
}

bool AtParseCpmsCurrent(const std::string& strLine, std::vector<std::string>& storages) {
  if (!HasPrefix(strLine, "+CPMS"))
    return false;
  std::vector<std::string> params = AtSplitParameters(AtInfoValue(strLine, "+CPMS"));
  std::vector<std::string> names;
  for (const std::string& p : params)
    if (p.size() >= 2 && p.front() == '"' && p.back() == '"')
      names.push_back(AtUpper(AtUnquote(p)));
  if (names.empty())
    return false;
  storages = names;
  return true;
}

bool AtParseCsms(const std::string& strLine, int& nService, int& nMt, int& nMo) {
  if (!HasPrefix(strLine, "+CSMS"))
    return false;
  std::vector<std::string> p = AtSplitParameters(AtInfoValue(strLine, "+CSMS"));
  int s, mt, mo;
  if (p.size() < 3 || !AtParseInt(p[0], s) || !AtParseInt(p[1], mt) || !AtParseInt(p[2], mo))
    return false;
  nService = s;
  nMt = mt;
  nMo = mo;
  return true;
}

bool AtParseCsca(const std::string& strLine, std::string& strNumber) {
  if (!HasPrefix(strLine, "+CSCA"))
    return false;
  std::vector<std::string> p = AtSplitParameters(AtInfoValue(strLine, "+CSCA"));
  if (p.empty())
    return false;
  std::string number = AtUnquote(p[0]);
  // A number holds digits, '+', '*', '#' and nothing else.
  if (!std::all_of(number.begin(), number.end(),
                   [](char c) { return (c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#'; }))
    return false;
  strNumber = number;
  return true;
}

bool AtParseCpin(const std::string& strLine, std::string& strCode) {
  if (!HasPrefix(strLine, "+CPIN"))
    return false;
  std::string code = AtUpper(AtUnquote(AtInfoValue(strLine, "+CPIN")));
  if (code.empty())
    return false;
  strCode = code;
  return true;
}

bool AtParseNumberAfter(const std::string& strLine, const char* pszPrefix, int& nValue) {
  if (!HasPrefix(strLine, pszPrefix))
    return false;
  std::vector<std::string> p = AtSplitParameters(AtInfoValue(strLine, pszPrefix));
  return !p.empty() && AtParseInt(p[0], nValue);
}
