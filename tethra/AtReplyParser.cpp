#include "tethra/AtReplyParser.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/CharsetUtf.h"
#include "tethra/AtText.h"

namespace {

// The echo of what was written: the whole line, or its end when bytes of noise
// precede it on the same line.
bool IsEchoOf(const std::string& strLine, const std::string& strSent) {
  return !strSent.empty() && AtEndsWithNoCase(strLine, strSent);
}

// Result codes that arrive on their own, without a prefix. Calls and start-up
// notices of modems: none of them ever ends an SMS command.
const char* const kBareUrcs[] = {
    "RING",      "NO CARRIER", "BUSY",    "NO ANSWER",  "NO DIALTONE",       "RDY",
    "SMS READY", "SMS DONE",   "PB DONE", "CALL READY", "NORMAL POWER DOWN", "POWERED DOWN",
};

// A sentence of a GPS receiver ("$GPGGA,...", "$GNRMC,..."), as a modem's NMEA port
// sends them on its own: never part of a reply.
bool IsNmeaSentence(const std::string& s) {
  if (s.size() < 4 || s[0] != '$')
    return false;
  size_t i = 1;
  while (i < s.size() && i <= 6 && std::isupper(static_cast<unsigned char>(s[i])))
    ++i;
  return i >= 4 && i < s.size() && s[i] == ',';
}

bool HasAnyPrefix(const std::string& strLine, const std::vector<std::string>& prefixes) {
  for (const std::string& p : prefixes)
    if (AtStartsWithNoCase(strLine, p))
      return true;
  return false;
}

// The URCs that carry a PDU on the line after them.
const char* const kPduUrcs[] = {"+CMT:", "+CDS:", "+CBM:"};

// Vendor spellings of a plain error.
const char* const kPlainErrors[] = {"ERROR", "COMMAND NOT SUPPORT", "TOO MANY PARAMETERS"};

struct ErrorWord {
  const char* pszText;
  int nCode;
};

// Verbose error texts (a modem still in +CMEE=2 mode, or one that ignores +CMEE=1)
// mapped back to their numbers, so that "SIM busy" is retried like 14.
const ErrorWord kCmeWords[] = {
    {"PHONE FAILURE", 0},
    {"NO CONNECTION TO PHONE", 1},
    {"OPERATION NOT ALLOWED", 3},
    {"OPERATION NOT SUPPORTED", 4},
    {"SIM NOT INSERTED", 10},
    {"SIM PIN REQUIRED", 11},
    {"SIM PUK REQUIRED", 12},
    {"SIM FAILURE", 13},
    {"SIM BUSY", 14},
    {"SIM WRONG", 15},
    {"INCORRECT PASSWORD", 16},
    {"MEMORY FULL", 20},
    {"INVALID INDEX", 21},
    {"NOT FOUND", 22},
    {"MEMORY FAILURE", 23},
    {"NO NETWORK SERVICE", 30},
    {"NETWORK TIMEOUT", 31},
    {"UNKNOWN", 100},
};
const ErrorWord kCmsWords[] = {
    {"ME FAILURE", 300},
    {"SMS SERVICE OF ME RESERVED", 301},
    {"OPERATION NOT ALLOWED", 302},
    {"OPERATION NOT SUPPORTED", 303},
    {"INVALID PDU MODE PARAMETER", 304},
    {"INVALID TEXT MODE PARAMETER", 305},
    {"SIM NOT INSERTED", 310},
    {"SIM PIN REQUIRED", 311},
    {"SIM FAILURE", 313},
    {"SIM BUSY", 314},
    {"SIM WRONG", 315},
    {"MEMORY FAILURE", 320},
    {"INVALID MEMORY INDEX", 321},
    {"MEMORY FULL", 322},
    {"SMSC ADDRESS UNKNOWN", 330},
    {"NO NETWORK SERVICE", 331},
    {"NETWORK TIMEOUT", 332},
    {"UNKNOWN ERROR", 500},
};

int ErrorNumber(const std::string& strText, const ErrorWord* pWords, size_t nWords) {
  std::string t = AtTrim(strText);
  if (!t.empty() && t.size() <= 6 &&
      std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::stoi(t);
  for (size_t i = 0; i < nWords; ++i)
    if (AtEqualsNoCase(t, pWords[i].pszText))
      return pWords[i].nCode;
  return -1;
}

}  // namespace

void CAtReplyParser::Begin(const std::string& strCommand, bool bExpectPrompt) {
  m_eMode = MODE_COMMAND;
  m_strCommand = strCommand;
  m_strData.clear();
  m_prefixes = ExpectedPrefixes(strCommand);
  m_bExpectPrompt = bExpectPrompt;
  m_bEchoSeen = false;
  m_bDataEchoSeen = false;
  m_reply.Clear();
  m_nReplyBytes = 0;
}

void CAtReplyParser::BeginData(const std::string& strData) {
  m_eMode = MODE_DATA;
  m_strData = strData;
  m_bExpectPrompt = false;
  m_bDataEchoSeen = false;
}

void CAtReplyParser::Idle() {
  m_eMode = MODE_IDLE;
  m_strCommand.clear();
  m_strData.clear();
  m_prefixes.clear();
  m_bExpectPrompt = false;
}

size_t CAtReplyParser::Feed(const char* pData, size_t nSize) {
  size_t i = 0;
  while (i < nSize) {
    if (m_eMode != MODE_IDLE && IsDone())
      break;
    if (m_bExpectPrompt && m_reply.bPrompt)
      break;
    char c = pData[i++];
    if (c == '\r' || c == '\n') {
      EndLine();
      continue;
    }
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      if (c != '\t')
        continue;  // control bytes (NUL, Ctrl-Z of an echoed PDU, XON/XOFF) carry nothing
    }
    if (m_strLine.size() >= MAX_LINE) {
      m_bLineTooLong = true;
      continue;
    }
    m_strLine.push_back(c);
    // The prompt has no line end: "> " (often after "\r\n") waits for the data.
    if (m_bExpectPrompt && m_eMode == MODE_COMMAND && c == '>' && AtTrim(m_strLine) == ">") {
      m_strLine.clear();
      m_reply.bPrompt = true;
      ++m_nProgress;
    }
  }
  return i;
}

void CAtReplyParser::EndLine() {
  std::string strLine;
  strLine.swap(m_strLine);
  bool bTooLong = m_bLineTooLong;
  m_bLineTooLong = false;
  strLine = AtTrim(strLine);
  if (strLine.empty())
    return;
  if (bTooLong || !CCharsetUtf::IsUtf8(strLine) || IsNmeaSentence(strLine))
    return;  // noise: passed over
  ClassifyLine(std::move(strLine));
}

void CAtReplyParser::AddUrc(std::string strUrc) {
  if (m_urcs.size() >= MAX_URCS)
    m_urcs.erase(m_urcs.begin());
  m_urcs.push_back(std::move(strUrc));
}

void CAtReplyParser::ClassifyLine(std::string strLine) {
  // The PDU line of a +CMT/+CDS/+CBM that came just before.
  if (m_bUrcWantsPdu) {
    m_bUrcWantsPdu = false;
    if (AtIsHex(strLine) && !m_urcs.empty()) {
      m_urcs.back() += "\n" + strLine;
      return;
    }
  }

  if (m_eMode == MODE_IDLE) {
    // Between commands every line is unsolicited; a stray result code is noise.
    int nCode;
    std::string strText;
    if (ParseFinal(strLine, nCode, strText) != AT_FINAL_NONE)
      return;
    for (const char* psz : kPduUrcs)
      if (strLine.starts_with(psz))
        m_bUrcWantsPdu = true;
    AddUrc(std::move(strLine));
    return;
  }

  // Echo of the command: before anything else of the reply. Bytes of noise may
  // precede it on the same line.
  if (m_eMode == MODE_COMMAND && !m_bEchoSeen && !m_reply.bPrompt && m_reply.lines.empty() &&
      IsEchoOf(strLine, m_strCommand)) {
    m_bEchoSeen = true;
    ++m_nProgress;
    return;
  }
  // Echo of the data written after the prompt.
  if (m_eMode == MODE_DATA && !m_bDataEchoSeen && IsEchoOf(strLine, m_strData)) {
    m_bDataEchoSeen = true;
    ++m_nProgress;
    return;
  }

  int nCode = -1;
  std::string strText;
  AtFinal eFinal = ParseFinal(strLine, nCode, strText);
  if (eFinal != AT_FINAL_NONE) {
    m_reply.eFinal = eFinal;
    m_reply.nErrorCode = nCode;
    m_reply.strErrorText = strText;
    ++m_nProgress;
    return;
  }

  if (IsUrc(strLine, m_prefixes)) {
    for (const char* psz : kPduUrcs)
      if (strLine.starts_with(psz))
        m_bUrcWantsPdu = true;
    AddUrc(std::move(strLine));
    return;
  }

  if (m_reply.lines.size() >= MAX_REPLY_LINES || m_nReplyBytes + strLine.size() > MAX_REPLY_BYTES)
    return;  // what is kept of a reply is bounded
  if (HasAnyPrefix(strLine, m_prefixes) || AtIsHex(strLine))
    ++m_nProgress;
  m_nReplyBytes += strLine.size();
  m_reply.lines.push_back(std::move(strLine));
}

std::vector<std::string> CAtReplyParser::TakeUrcs() {
  std::vector<std::string> urcs;
  urcs.swap(m_urcs);
  return urcs;
}

std::vector<std::string> CAtReplyParser::ExpectedPrefixes(const std::string& strCommand) {
  std::vector<std::string> prefixes;
  for (size_t i = 0; i < strCommand.size(); ++i) {
    char c = strCommand[i];
    if (c != '+' && c != '^' && c != '*' && c != '$' && c != '%' && c != '#')
      continue;
    // Inside a quoted parameter a '+' is a number, not a command.
    size_t nQuotes = std::count(strCommand.begin(), strCommand.begin() + static_cast<long>(i), '"');
    if (nQuotes % 2 != 0)
      continue;
    std::string p(1, c);
    size_t j = i + 1;
    while (j < strCommand.size() && std::isalnum(static_cast<unsigned char>(strCommand[j])))
      p.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(strCommand[j++]))));
    if (p.size() > 1)
      prefixes.push_back(p);
    i = j - 1;
  }
  return prefixes;
}

bool CAtReplyParser::IsUrc(const std::string& strLine, const std::vector<std::string>& prefixes) {
  for (const char* psz : kBareUrcs)
    if (AtEqualsNoCase(strLine, psz))
      return true;
  if (strLine.empty())
    return false;
  char c = strLine[0];
  if (c != '+' && c != '^' && c != '*' && c != '$' && c != '%' && c != '#')
    return false;
  // The prefix: the marker and the name after it, up to ':' or a blank. A name
  // begins with a letter: "+447..." is a number.
  if (strLine.size() < 2 || !std::isalpha(static_cast<unsigned char>(strLine[1])))
    return false;
  size_t nEnd = 1;
  while (nEnd < strLine.size() && std::isalnum(static_cast<unsigned char>(strLine[nEnd])))
    ++nEnd;
  if (nEnd == 1)
    return false;  // "+", "+447..." and the like: data, not a result code
  if (nEnd < strLine.size() && strLine[nEnd] != ':' && strLine[nEnd] != ' ')
    return false;
  std::string strPrefix = strLine.substr(0, nEnd);
  for (const std::string& p : prefixes)
    if (AtEqualsNoCase(strPrefix, p))
      return false;
  return true;
}

AtFinal CAtReplyParser::ParseFinal(const std::string& strLine, int& nCode, std::string& strText) {
  nCode = -1;
  strText.clear();
  if (strLine == "OK")
    return AT_FINAL_OK;
  for (const char* psz : kPlainErrors)
    if (AtEqualsNoCase(strLine, psz))
      return AT_FINAL_ERROR;
  static const char kCme[] = "+CME ERROR";
  static const char kCms[] = "+CMS ERROR";
  bool bCme = AtStartsWithNoCase(strLine, kCme);
  bool bCms = AtStartsWithNoCase(strLine, kCms);
  if (!bCme && !bCms)
    return AT_FINAL_NONE;
  std::string rest = strLine.substr(10);
  rest = AtTrim(rest);
  if (!rest.empty() && rest[0] == ':')
    rest = AtTrim(rest.substr(1));
  else if (!rest.empty())
    return AT_FINAL_NONE;  // "+CME ERRORS..." is not a result code
  strText = rest;
  nCode = bCme ? ErrorNumber(rest, kCmeWords, std::size(kCmeWords))
               : ErrorNumber(rest, kCmsWords, std::size(kCmsWords));
  return bCme ? AT_FINAL_CME : AT_FINAL_CMS;
}
