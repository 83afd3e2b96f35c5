#include "vphone/AtInterpreter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "vphone/CommandText.h"
#include "vphone/MessagesFile.h"

namespace vphone {
namespace {

const std::size_t kMaxLine = 1024;    // longer command lines are refused
const std::size_t kMaxPduText = 400;  // hex digits after the prompt (176 octets fit in 352)

// Upper case outside double quotes, so quoted parameters keep their case.
std::string UpperOutsideQuotes(const std::string& str) {
  std::string out = str;
  bool bQuoted = false;
  for (char& c : out) {
    if (c == '"')
      bQuoted = !bQuoted;
    else if (!bQuoted)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

const char* CmeText(int nCode) {
  switch (nCode) {
    case 0:
      return "phone failure";
    case 3:
      return "operation not allowed";
    case 4:
      return "operation not supported";
    case 10:
      return "SIM not inserted";
    case 11:
      return "SIM PIN required";
    case 13:
      return "SIM failure";
    case 14:
      return "SIM busy";
    case 16:
      return "incorrect password";
    case 20:
      return "memory full";
    case 21:
      return "invalid index";
    case 22:
      return "not found";
    default:
      return "unknown";
  }
}

const char* CmsText(int nCode) {
  switch (nCode) {
    case 300:
      return "ME failure";
    case 302:
      return "operation not allowed";
    case 303:
      return "operation not supported";
    case 304:
      return "invalid PDU mode parameter";
    case 305:
      return "invalid text mode parameter";
    case 310:
      return "SIM not inserted";
    case 311:
      return "SIM PIN required";
    case 313:
      return "SIM failure";
    case 314:
      return "SIM busy";
    case 320:
      return "memory failure";
    case 321:
      return "invalid memory index";
    case 322:
      return "memory full";
    case 330:
      return "SMSC address unknown";
    case 331:
      return "no network service";
    case 332:
      return "network timeout";
    default:
      return "unknown error";
  }
}

}  // namespace

CAtInterpreter::CAtInterpreter(const CVirtualPhoneConfig& config) : m_config(config) {}

bool CAtInterpreter::Init(std::string& strError) {
  if (m_config.m_vecStorages.empty()) {
    strError = "the phone needs at least one storage";
    return false;
  }
  for (const std::string& strRaw : m_config.m_vecStorages) {
    std::string strName = Upper(strRaw);
    int nCapacity;
    if (strName == "ME")
      nCapacity = m_config.m_nPhoneCapacity;
    else if (strName == "SM")
      nCapacity = m_config.m_nSimCapacity;
    else {
      strError = "unknown storage \"" + strRaw + "\" (use ME and/or SM)";
      return false;
    }
    if (nCapacity < 1 || nCapacity > 9999) {
      strError = "the capacity of " + strName + " must be 1 to 9999";
      return false;
    }
    if (!m_store.AddStorage(strName, nCapacity)) {
      strError = "storage " + strName + " given twice";
      return false;
    }
  }
  if (m_config.m_nCpmsMinParameters < 1 || m_config.m_nCpmsMinParameters > m_config.m_nCpmsParameters) {
    strError = "AT+CPMS cannot want more storage names than it takes";
    return false;
  }
  if (m_config.m_strLineEnd.empty()) {
    strError = "the phone needs a line end";
    return false;
  }
  if (m_config.m_nCpmsParameters < 1 || m_config.m_nCpmsParameters > 3) {
    strError = "AT+CPMS takes 1, 2 or 3 storage parameters";
    return false;
  }
  if (m_config.m_nBaudRate < 0) {
    strError = "the baud rate must not be negative";
    return false;
  }
  if (m_config.m_nCmee < 0 || m_config.m_nCmee > 2) {
    strError = "the +CMEE mode must be 0, 1 or 2";
    return false;
  }
  Octets field;
  if (!m_config.m_strSmsc.empty() && !CSmsPdu::EncodeSmscAddress(m_config.m_strSmsc, -1, field)) {
    strError = "bad service-centre number \"" + m_config.m_strSmsc + "\"";
    return false;
  }
  if (!CSmsPdu::EncodeAddress(m_config.m_strOwnNumber, -1, field)) {
    strError = "bad own number \"" + m_config.m_strOwnNumber + "\"";
    return false;
  }
  std::string strFirst = m_store.HasStorage("SM") ? "SM" : m_store.GetStorageNames().front();
  for (std::string& strMem : m_strMem)
    strMem = strFirst;
  m_strSmsc = m_config.m_strSmsc;
  m_nSmscType = (!m_strSmsc.empty() && m_strSmsc[0] == '+') ? 145 : 129;
  m_bPinLocked = !m_config.m_strPin.empty();
  m_nRate = m_config.m_nBaudRate;
  if (m_nRate > 0)
    m_nIpr = m_nRate;
  ResetSettings();
  SetFaults(m_config.m_faults);
  if (!m_config.m_strLogFile.empty()) {
    m_logFile.open(m_config.m_strLogFile, std::ios::out | std::ios::trunc);
    if (!m_logFile) {
      strError = m_config.m_strLogFile + ": cannot be written";
      return false;
    }
  }
  return true;
}

void CAtInterpreter::ResetSettings() {
  m_bEcho = true;
  m_nCmee = m_config.m_nCmee;
  m_strCharset = "GSM";
  const int anCnmi[5] = {2, 1, 0, 0, 0};
  std::copy(anCnmi, anCnmi + 5, m_anCnmi);
}

std::vector<COutputItem> CAtInterpreter::TakeOutput() {
  std::vector<COutputItem> items;
  items.swap(m_vecOutput);
  return items;
}

// ---------------------------------------------------------------------------------
// Input

void CAtInterpreter::Feed(const char* pData, std::size_t nSize) {
  for (std::size_t i = 0; i < nSize; ++i) {
    if (m_bHungUp)
      return;
    if (m_bInPdu)
      FeedPduByte(pData[i]);
    else
      FeedCommandByte(pData[i]);
  }
}

void CAtInterpreter::FeedCommandByte(char c) {
  if (c == '\n' && m_bLastWasCr) {  // CR LF ends one line, not two
    m_bLastWasCr = false;
    return;
  }
  m_bLastWasCr = c == '\r';
  if (m_bEcho)
    Emit(std::string(1, c));
  if (c == '\r' || c == '\n') {
    std::string strLine;
    strLine.swap(m_strLine);
    bool bOverflow = m_bLineOverflow;
    m_bLineOverflow = false;
    if (bOverflow) {
      WriteLog("CMD " + Printable(strLine) + "...");
      EmitReply(Error());
      return;
    }
    ExecuteLine(strLine);
    return;
  }
  if (c == '\b') {
    if (!m_strLine.empty())
      m_strLine.pop_back();
    return;
  }
  if (c == 0x1A || c == 0x1B)
    return;  // stray end or cancel of a PDU
  if (m_strLine.size() < kMaxLine)
    m_strLine += c;
  else
    m_bLineOverflow = true;
}

void CAtInterpreter::FeedPduByte(char c) {
  if (c == 0x1A) {
    FinishPdu();
    return;
  }
  if (c == 0x1B) {  // cancelled: nothing sent or stored
    m_bInPdu = false;
    WriteLog("PDU-CANCELLED " + Printable(m_strPduText));
    m_strPduText.clear();
    m_strPduFault.clear();
    EmitReply(Ok());
    return;
  }
  if (c == '\r' || c == '\n' || c == ' ')
    return;
  if (m_bEcho)
    Emit(std::string(1, c));
  if (m_strPduText.size() < kMaxPduText)
    m_strPduText += c;
  else
    m_bPduOverflow = true;
}

void CAtInterpreter::ExecuteLine(const std::string& strLine) {
  std::size_t nAt = std::string::npos;
  for (std::size_t i = 0; i + 1 < strLine.size(); ++i) {
    if ((strLine[i] == 'A' && strLine[i + 1] == 'T') || (strLine[i] == 'a' && strLine[i + 1] == 't')) {
      nAt = i;
      break;
    }
  }
  if (nAt == std::string::npos) {  // no command: a modem ignores the line
    if (strLine.find_first_not_of(" \t") != std::string::npos)
      WriteLog("NOISE " + Printable(strLine));
    return;
  }
  WriteLog("CMD " + Printable(strLine.substr(nAt)));
  ++m_nCommands;
  if (HangUpBeforeCommand())
    return;
  if (m_bSilent)
    return;  // a phone that stopped answering does nothing at all
  m_vecInfo.clear();
  m_bHangUpAfterInfo = false;
  m_nPendingRate = 0;
  m_bReplyOpen = true;
  EmitLineNoise();

  std::string strUpper = UpperOutsideQuotes(strLine.substr(nAt));
  if (AnswerByCommandFault(strUpper))
    return;

  CResult result;
  ExecuteCommands(strUpper, 2, result);
  if (result.m_eKind == CResult::ePrompt) {
    m_bReplyOpen = false;
    EmitInfo();
    Emit(Eol() + "> ");
    m_bInPdu = true;
    m_strPduText.clear();
    m_bPduOverflow = false;
  } else {
    m_strPduFault.clear();
    EmitReply(result);
    if (m_nPendingRate > 0 && !m_bHungUp) {
      COutputItem item;
      item.m_eKind = COutputItem::eSetRate;
      item.m_nRate = m_nPendingRate;
      m_vecOutput.push_back(item);
      m_nRate = m_nPendingRate;
    }
  }
  AfterCommandLine();
}

// Runs the commands of one line after "AT": basic ones (E1, &F, S7=60) back to back,
// extended ones (+CMGL=4) separated by semicolons. Stops at the first failure.
bool CAtInterpreter::ExecuteCommands(const std::string& strUpper, std::size_t nPos, CResult& result) {
  const std::size_t n = strUpper.size();
  result = Ok();
  while (nPos < n) {
    char c = strUpper[nPos];
    if (c == ' ' || c == ';') {
      ++nPos;
      continue;
    }
    if (c == '+' || c == '^' || c == '$' || c == '%') {
      std::size_t nStart = nPos++;
      while (nPos < n && (std::isalnum(static_cast<unsigned char>(strUpper[nPos])) ||
                          (strUpper[nPos] != '\0' && std::strchr("!%-./:_", strUpper[nPos]))))
        ++nPos;
      std::string strName = strUpper.substr(nStart, nPos - nStart);
      ECommandKind eKind = eExec;
      std::string strArgs;
      if (nPos + 1 < n && strUpper[nPos] == '=' && strUpper[nPos + 1] == '?') {
        eKind = eTest;
        nPos += 2;
      } else if (nPos < n && strUpper[nPos] == '?') {
        eKind = eRead;
        ++nPos;
      } else if (nPos < n && strUpper[nPos] == '=') {
        eKind = eSet;
        std::size_t nArgs = ++nPos;
        bool bQuoted = false;
        while (nPos < n && (bQuoted || strUpper[nPos] != ';')) {
          if (strUpper[nPos] == '"')
            bQuoted = !bQuoted;
          ++nPos;
        }
        strArgs = strUpper.substr(nArgs, nPos - nArgs);
      }
      result = RunExtended(strName, eKind, strArgs);
    } else if (c == '&' || std::isalpha(static_cast<unsigned char>(c))) {
      result = RunBasic(c, strUpper, ++nPos);
    } else {
      result = Error();
    }
    if (result.m_eKind != CResult::eOk)
      return false;
  }
  return true;
}

CAtInterpreter::CResult CAtInterpreter::RunBasic(char cName, const std::string& strUpper, std::size_t& nPos) {
  const std::size_t n = strUpper.size();
  if (cName == '&') {
    if (nPos >= n || !std::isalpha(static_cast<unsigned char>(strUpper[nPos])))
      return Error();
    char cSub = strUpper[nPos++];
    while (nPos < n && std::isdigit(static_cast<unsigned char>(strUpper[nPos])))
      ++nPos;
    if (cSub == 'F') {
      ResetSettings();
      return Ok();
    }
    return std::strchr("CDKSVW", cSub) ? Ok() : Error();
  }
  if (cName == 'S') {
    std::size_t nStart = nPos;
    while (nPos < n && std::isdigit(static_cast<unsigned char>(strUpper[nPos])))
      ++nPos;
    if (nPos == nStart || nPos - nStart > 3)
      return Error();
    int nRegister = std::stoi(strUpper.substr(nStart, nPos - nStart));
    if (nRegister >= static_cast<int>(sizeof m_anSRegisters / sizeof m_anSRegisters[0]))
      return Error();
    if (nPos < n && strUpper[nPos] == '?') {
      ++nPos;
      char szValue[8];
      std::snprintf(szValue, sizeof szValue, "%03d", m_anSRegisters[nRegister]);
      AddInfo(szValue);
      return Ok();
    }
    if (nPos < n && strUpper[nPos] == '=') {
      std::size_t nValue = ++nPos;
      while (nPos < n && std::isdigit(static_cast<unsigned char>(strUpper[nPos])))
        ++nPos;
      if (nPos == nValue || nPos - nValue > 3)
        return Error();
      int nNew = std::stoi(strUpper.substr(nValue, nPos - nValue));
      if (nNew > 255)
        return Error();
      m_anSRegisters[nRegister] = nNew;
      return Ok();
    }
    return Error();
  }
  std::size_t nStart = nPos;
  while (nPos < n && std::isdigit(static_cast<unsigned char>(strUpper[nPos])))
    ++nPos;
  std::string strNumber = strUpper.substr(nStart, nPos - nStart);
  int nValue = strNumber.empty() ? 0 : (strNumber.size() > 3 ? 999 : std::stoi(strNumber));
  switch (cName) {
    case 'E':
      if (nValue > 1)
        return Error();
      if (nValue == 0 && m_faults.m_bRefuseEchoOff)
        return Error();
      m_bEcho = nValue == 1;
      return Ok();
    case 'V':  // only verbose result codes
      return nValue == 1 ? Ok() : Error();
    case 'Q':
      return nValue == 0 ? Ok() : Error();
    case 'Z':
      ResetSettings();
      return Ok();
    case 'I':
      if (nValue == 0) {
        AddInfo(m_config.m_strManufacturer + " " + m_config.m_strModel);
        AddInfo("Revision: " + m_config.m_strRevision);
      } else if (nValue == 1) {
        AddInfo(m_config.m_strRevision);
      }
      return Ok();
    case 'X':
      return nValue <= 4 ? Ok() : Error();
    case 'L':
    case 'M':
    case 'H':
      return Ok();
    default:
      return Error();  // no voice or data calls
  }
}

const CAtInterpreter::CCommandEntry* CAtInterpreter::FindCommand(const std::string& strName) {
  static const CCommandEntry kCommands[] = {
      {"+CMEE", &CAtInterpreter::OnCmee, false, false}, {"+CPIN", &CAtInterpreter::OnCpin, true, false},
      {"+CSCS", &CAtInterpreter::OnCscs, false, false}, {"+CNMI", &CAtInterpreter::OnCnmi, false, true},
      {"+IPR", &CAtInterpreter::OnIpr, false, false},   {"+CMGF", &CAtInterpreter::OnCmgf, false, true},
      {"+CSMS", &CAtInterpreter::OnCsms, false, true},  {"+CPMS", &CAtInterpreter::OnCpms, true, true},
      {"+CSCA", &CAtInterpreter::OnCsca, true, true},   {"+CGMI", &CAtInterpreter::OnCgmi, false, false},
      {"+GMI", &CAtInterpreter::OnCgmi, false, false},  {"+CGMM", &CAtInterpreter::OnCgmm, false, false},
      {"+GMM", &CAtInterpreter::OnCgmm, false, false},  {"+CGMR", &CAtInterpreter::OnCgmr, false, false},
      {"+GMR", &CAtInterpreter::OnCgmr, false, false},  {"+CGSN", &CAtInterpreter::OnCgsn, false, false},
      {"+GSN", &CAtInterpreter::OnCgsn, false, false},  {"+CIMI", &CAtInterpreter::OnCimi, true, false},
      {"+CMGL", &CAtInterpreter::OnCmgl, true, true},   {"+CMGR", &CAtInterpreter::OnCmgr, true, true},
      {"+CMGD", &CAtInterpreter::OnCmgd, true, true},   {"+CMGS", &CAtInterpreter::OnCmgs, true, true},
      {"+CMGW", &CAtInterpreter::OnCmgw, true, true},   {"+CMSS", &CAtInterpreter::OnCmss, true, true},
      {"+CSQ", &CAtInterpreter::OnCsq, false, false},   {"+CREG", &CAtInterpreter::OnCreg, false, false},
      {"+COPS", &CAtInterpreter::OnCops, false, false}, {"+CFUN", &CAtInterpreter::OnCfun, false, false},
      {"+CBC", &CAtInterpreter::OnCbc, false, false},   {"+CPBS", &CAtInterpreter::OnCpbs, true, false},
      {"+CPBR", &CAtInterpreter::OnCpbr, true, false},
  };
  for (const CCommandEntry& entry : kCommands)
    if (strName == entry.m_pszName)
      return &entry;
  return nullptr;
}

CAtInterpreter::CResult CAtInterpreter::RunExtended(const std::string& strName, ECommandKind eKind,
                                                    const std::string& strArgs) {
  const CCommandEntry* pEntry = FindCommand(strName);
  if (!pEntry)
    return Error();
  if (pEntry->m_bSim) {
    if (m_nCommands <= m_faults.m_nSimBusyFor)
      return pEntry->m_bSms ? Cms(314) : Cme(14);
    if (m_bPinLocked && strName != "+CPIN")
      return pEntry->m_bSms ? Cms(311) : Cme(11);
  }
  return (this->*pEntry->m_pfnHandler)(eKind, strArgs);
}

bool CAtInterpreter::SplitArgs(const std::string& strArgs, std::vector<CArg>& args) {
  args.clear();
  const std::size_t n = strArgs.size();
  std::size_t i = 0;
  for (;;) {
    CArg arg;
    while (i < n && strArgs[i] == ' ')
      ++i;
    if (i < n && strArgs[i] == '"') {
      std::size_t nClose = strArgs.find('"', i + 1);
      if (nClose == std::string::npos)
        return false;
      arg.m_strText = strArgs.substr(i + 1, nClose - i - 1);
      arg.m_bQuoted = true;
      i = nClose + 1;
      while (i < n && strArgs[i] == ' ')
        ++i;
    } else {
      std::size_t nEnd = strArgs.find(',', i);
      if (nEnd == std::string::npos)
        nEnd = n;
      arg.m_strText = strArgs.substr(i, nEnd - i);
      while (!arg.m_strText.empty() && arg.m_strText.back() == ' ')
        arg.m_strText.pop_back();
      i = nEnd;
    }
    args.push_back(arg);
    if (i >= n)
      return true;
    if (strArgs[i] != ',')
      return false;
    ++i;
  }
}

bool CAtInterpreter::ToInt(const CArg& arg, int& nValue) {
  const std::string& s = arg.m_strText;
  if (arg.m_bQuoted || s.empty() || s.size() > 9)
    return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c)))
      return false;
  nValue = std::stoi(s);
  return true;
}

// ---------------------------------------------------------------------------------
// Output

void CAtInterpreter::Emit(const std::string& strBytes) {
  if (m_bHungUp || m_bSilent || strBytes.empty())
    return;
  if (!m_vecOutput.empty() && m_vecOutput.back().m_eKind == COutputItem::eBytes) {
    m_vecOutput.back().m_strBytes += strBytes;
    return;
  }
  COutputItem item;
  item.m_strBytes = strBytes;
  m_vecOutput.push_back(std::move(item));
}

void CAtInterpreter::AddInfo(const std::string& strLine, bool bGlued) {
  m_vecInfo.emplace_back(strLine, bGlued);
}

void CAtInterpreter::EmitInfo() {
  for (std::size_t i = 0; i < m_vecInfo.size(); ++i) {
    if (i == 0) {
      Emit(Eol());
    } else if (!m_vecInfo[i].second) {
      EmitUrcFlood();
    }
    Emit(m_vecInfo[i].first + Eol());
  }
  bool bHadInfo = !m_vecInfo.empty();
  m_vecInfo.clear();
  if (bHadInfo)
    EmitUrcFlood();
}

std::string CAtInterpreter::FinalText(const CResult& result) const {
  switch (result.m_eKind) {
    case CResult::eOk:
      return "OK";
    case CResult::eRaw:
      return result.m_strText;
    case CResult::eCme:
      if (m_nCmee == 0)
        return m_config.m_strErrorWord;
      if (m_nCmee == 1)
        return "+CME ERROR: " + std::to_string(result.m_nCode);
      return std::string("+CME ERROR: ") + CmeText(result.m_nCode);
    case CResult::eCms:
      if (m_nCmee == 0)
        return m_config.m_strErrorWord;
      if (m_nCmee == 1)
        return "+CMS ERROR: " + std::to_string(result.m_nCode);
      return std::string("+CMS ERROR: ") + CmsText(result.m_nCode);
    default:
      return m_config.m_strErrorWord;
  }
}

void CAtInterpreter::EmitReply(const CResult& result) {
  EmitInfo();
  if (result.m_eKind == CResult::eNoAnswer) {
    m_bReplyOpen = false;
    if (m_bHangUpAfterInfo)
      HangUp();
    m_bHangUpAfterInfo = false;
    return;
  }
  Emit(Eol() + FinalText(result) + Eol());
  EmitUrcFlood();
  m_bReplyOpen = false;
  if (!m_bInPdu) {
    std::vector<std::string> urcs;
    urcs.swap(m_vecDeferredUrcs);
    for (const std::string& strUrc : urcs)
      Emit(Eol() + strUrc + Eol());
  }
}

void CAtInterpreter::Unsolicited(const std::string& strLine) {
  if (m_bInPdu || m_bReplyOpen)
    m_vecDeferredUrcs.push_back(strLine);  // not inside an answer
  else
    Emit(Eol() + strLine + Eol());
}

void CAtInterpreter::HangUp() {
  if (m_bHungUp)
    return;
  WriteLog("HANGUP");
  COutputItem item;
  item.m_eKind = COutputItem::eHangUp;
  m_vecOutput.push_back(item);
  m_bHungUp = true;
}

void CAtInterpreter::WriteLog(const std::string& strLine) {
  m_vecLog.push_back(strLine);
  if (m_logFile.is_open())
    m_logFile << strLine << std::endl;
}

void CAtInterpreter::SendDueReports(CNetworkReports::Clock::time_point tNow) {
  for (const std::string& strUrc : m_reports.TakeDue(tNow)) {
    if (m_anCnmi[0] == 0 || m_anCnmi[3] != 1)
      continue;  // reports not routed to us
    WriteLog("REPORT " + strUrc.substr(strUrc.find('\n') + 1));
    Unsolicited(strUrc);
  }
}

void CAtInterpreter::AnnounceNewMessage(const std::string& strStorage, int nIndex) {
  if (m_anCnmi[0] == 0 || m_anCnmi[1] != 1)
    return;  // indications switched off
  Unsolicited("+CMTI: \"" + strStorage + "\"," + std::to_string(nIndex));
}

int CAtInterpreter::Receive(const std::string& strStorage, const std::string& strHex, std::string& strError) {
  std::string strName = WriteTarget(strStorage.empty() ? m_strMem[2] : Upper(strStorage));
  if (!m_store.HasStorage(strName)) {
    strError = "no storage \"" + strStorage + "\"";
    return 0;
  }
  CStoredMessage message;
  if (!CMessagesFile::MakeStored(eRecUnread, strHex, message, strError))
    return 0;
  int nIndex = m_store.Add(strName, message);
  if (nIndex == 0) {
    strError = "storage " + strName + " is full";
    WriteLog("LOST " + message.m_strPdu);
    return 0;
  }
  WriteLog("RECV " + strName + " " + std::to_string(nIndex) + " " + message.m_strPdu);
  AnnounceNewMessage(strName, nIndex);
  return nIndex;
}

}  // namespace vphone
