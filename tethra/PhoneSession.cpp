#include "tethra/PhoneSession.h"

#include <chrono>

#include "model/PhoneStatus.h"
#include "tethra/AtResponse.h"

namespace {

using Clock = std::chrono::steady_clock;

// One step of the set-up: the command, whether an ERROR is acceptable (the phone
// keeps its echo or its wording), and the code to fail with otherwise.
struct CSetupRow {
  const char* pszCommand;
  bool bErrorTolerated;
  int nFailure;
};

const CSetupRow kSetupRows[] = {
    {"ATE0", true, PHONE_SETUP_FAILED},
    {"AT+CMEE=1", true, PHONE_SETUP_FAILED},
    {"AT+CMGF=0", false, PHONE_SETUP_FAILED},
    {"AT+CPMS=?", false, PHONE_STORAGE_UNKNOWN},
};

}  // namespace

int PhoneCodeOf(AtStatus status) {
  switch (status) {
    case AT_STATUS_OK:
      return PHONE_SUCCESS;
    case AT_STATUS_TIMEOUT:
      return PHONE_TIMEOUT;
    case AT_STATUS_LINE_GONE:
      return PHONE_WRITE_FAILED;
    case AT_STATUS_ERROR:
      break;
  }
  return PHONE_ERROR_REPLY;
}

int CPhoneSession::Open(const std::string& strDevice, int nBaudRate, int nTimeOutMs) {
  Close();
  int nStatus = PHONE_PORT_OPEN_FAILED;
  m_pLine = OpenPhoneLine(strDevice, nBaudRate, nStatus);
  if (!m_pLine)
    return nStatus == PHONE_SUCCESS ? PHONE_PORT_OPEN_FAILED : nStatus;
  m_pChannel = std::make_unique<CAtChannel>(*m_pLine, nTimeOutMs);
  if (!Wake(nTimeOutMs)) {
    Close();
    return PHONE_NOT_READY;
  }
  for (const CSetupRow& row : kSetupRows) {
    CAtReply reply;
    AtStatus status = m_pChannel->Command(row.pszCommand, reply);
    if (status == AT_STATUS_ERROR && row.bErrorTolerated)
      continue;
    if (status != AT_STATUS_OK) {
      Close();
      return status == AT_STATUS_ERROR ? row.nFailure : PhoneCodeOf(status);
    }
    std::vector<std::vector<std::string>> lists;
    for (const std::string& line : reply.lines)
      if (lists.empty())
        AtParseCpmsSupport(line, lists);
    if (!lists.empty())
      m_storages = lists[0];
  }
  if (m_storages.empty()) {
    Close();
    return PHONE_STORAGE_UNKNOWN;
  }
  return PHONE_SUCCESS;
}

void CPhoneSession::Close() {
  m_pChannel.reset();
  m_pLine.reset();
  m_storages.clear();
  m_strMem1.clear();
  m_pending.clear();
}

bool CPhoneSession::Wake(int nTimeOutMs) {
  // A phone still starting may let the first commands go unanswered: ask again until
  // the time-out is spent.
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeOutMs);
  int nTry = std::min(1000, std::max(50, nTimeOutMs / 3));
  for (;;) {
    auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (nLeft <= 0)
      return false;
    CAtReply reply;
    AtStatus status = m_pChannel->CommandOnce("AT", reply, std::min<int>(nTry, static_cast<int>(nLeft)));
    if (status == AT_STATUS_OK || status == AT_STATUS_ERROR)
      return true;
    if (status == AT_STATUS_LINE_GONE)
      return false;
  }
}

int CPhoneSession::Command(const std::string& strCommand, CAtReply& reply) {
  if (!m_pChannel)
    return PHONE_WRITE_FAILED;
  AtStatus status = m_pChannel->Command(strCommand, reply);
  TakeEvents(m_pending);
  return PhoneCodeOf(status);
}

int CPhoneSession::EnableIndications(bool bReports, std::string& strChosen) {
  CAtReply reply;
  int nCode = Command("AT+CNMI=?", reply);
  if (nCode != PHONE_SUCCESS)
    return nCode;
  std::vector<std::vector<int>> values;
  for (const std::string& line : reply.lines)
    if (values.empty())
      AtParseCnmiSupport(line, values);
  strChosen = AtChooseCnmi(values, bReports);
  if (strChosen.empty())
    return PHONE_NOT_IMPLEMENTED;
  nCode = Command(strChosen, reply);
  if (nCode == PHONE_ERROR_REPLY && bReports) {
    // Some phones offer status reports they then refuse (no SMS service phase for
    // them): messages alone are better than nothing.
    strChosen = AtChooseCnmi(values, false);
    nCode = Command(strChosen, reply);
  }
  return nCode;
}

int CPhoneSession::SelectStorage(const std::string& strStorage) {
  if (m_strMem1 == strStorage)
    return PHONE_SUCCESS;
  CAtReply reply;
  int nCode = Command("AT+CPMS=\"" + strStorage + "\"", reply);
  if (nCode != PHONE_SUCCESS) {
    m_strMem1.clear();
    return nCode == PHONE_ERROR_REPLY ? PHONE_STORAGE_NOT_SET : nCode;
  }
  m_strMem1 = strStorage;
  return PHONE_SUCCESS;
}

int CPhoneSession::ReadStored(const std::string& strStorage, int nIndex, CStoredPdu& message) {
  if (int nCode = SelectStorage(strStorage); nCode != PHONE_SUCCESS)
    return nCode;
  CAtReply reply;
  if (int nCode = Command("AT+CMGR=" + std::to_string(nIndex), reply); nCode != PHONE_SUCCESS)
    return nCode;
  for (size_t i = 0; i + 1 < reply.lines.size(); ++i) {
    int nStat = -1, nLength = -1;
    if (AtParseCmgrHeader(reply.lines[i], nStat, nLength)) {
      CAtEvent probe;
      // The PDU line is checked as a +CMT would be: hex digits, an even count.
      if (!AtParseEvent("+CMT: ," + std::to_string(nLength) + "\n" + reply.lines[i + 1], probe))
        return PHONE_BAD_PDU;
      message = CStoredPdu{strStorage, nIndex, nStat, probe.strPdu};
      return PHONE_SUCCESS;
    }
  }
  return PHONE_NO_MESSAGES;  // an empty slot
}

int CPhoneSession::DeleteStored(const std::string& strStorage, int nIndex) {
  if (int nCode = SelectStorage(strStorage); nCode != PHONE_SUCCESS)
    return nCode;
  CAtReply reply;
  return Command("AT+CMGD=" + std::to_string(nIndex), reply);
}

int CPhoneSession::ListStored(int nStat, std::vector<CStoredPdu>& messages) {
  for (const std::string& strStorage : std::vector<std::string>(m_storages)) {
    if (int nCode = SelectStorage(strStorage); nCode != PHONE_SUCCESS)
      return nCode;
    CAtReply reply;
    int nCode = Command("AT+CMGL=" + std::to_string(nStat), reply);
    if (nCode == PHONE_ERROR_REPLY && reply.eFinal == AT_FINAL_CMS && reply.nErrorCode == 321)
      continue;  // "invalid memory index": some phones say so of an empty storage
    if (nCode != PHONE_SUCCESS)
      return nCode;
    // An entry that cannot be read is left on the phone; the rest is still taken.
    std::vector<CAtListEntry> entries;
    std::vector<CAtBadEntry> bad;
    AtParseCmglListing(reply.lines, entries, bad);
    for (CAtListEntry& e : entries)
      messages.push_back(CStoredPdu{strStorage, e.header.nIndex, e.header.nStat, std::move(e.strPdu)});
  }
  return PHONE_SUCCESS;
}

void CPhoneSession::TakeEvents(std::vector<CAtEvent>& events) {
  if (!m_pChannel)
    return;
  for (const std::string& strUrc : m_pChannel->TakeUrcs()) {
    CAtEvent event;
    if (AtParseEvent(strUrc, event))
      events.push_back(std::move(event));
  }
}

int CPhoneSession::WaitForEvents(int nTimeOutMs, std::vector<CAtEvent>& events) {
  if (!m_pChannel)
    return PHONE_WRITE_FAILED;
  if (!m_pending.empty()) {
    // Announcements that came during a command are handed out first, without waiting.
    events.insert(events.end(), m_pending.begin(), m_pending.end());
    m_pending.clear();
    nTimeOutMs = 0;
  }
  AtStatus status = m_pChannel->Listen(nTimeOutMs);
  TakeEvents(events);
  return PhoneCodeOf(status);
}

int CPhoneSession::SendPdu(const std::string& strPdu, size_t nTpduLength, int& nReference) {
  if (!m_pChannel)
    return PHONE_WRITE_FAILED;
  CAtReply reply;
  AtStatus status = m_pChannel->CommandWithData("AT+CMGS=" + std::to_string(nTpduLength), strPdu, reply);
  TakeEvents(m_pending);
  if (status != AT_STATUS_OK) {
    if (status == AT_STATUS_ERROR && reply.eFinal == AT_FINAL_CMS && reply.nErrorCode == 330)
      return PHONE_SCA_UNKNOWN;
    return PhoneCodeOf(status);
  }
  nReference = -1;
  for (const std::string& line : reply.lines)
    if (nReference < 0)
      AtParseNumberAfter(line, "+CMGS", nReference);
  return nReference >= 0 ? PHONE_SUCCESS : PHONE_ERROR_REPLY;
}

int CPhoneSession::ReadPhonebook(const std::string& strStorage, bool bUcs2, std::vector<CPhonebookEntry>& entries) {
  CAtReply reply;
  if (int nCode = Command("AT+CPBS=\"" + strStorage + "\"", reply); nCode != PHONE_SUCCESS)
    return nCode == PHONE_ERROR_REPLY ? PHONE_SUCCESS : nCode;  // a phonebook the phone will not open: none
  if (int nCode = Command("AT+CPBR=?", reply); nCode != PHONE_SUCCESS)
    return nCode;
  int nFirst = -1, nLast = -1;
  for (const std::string& line : reply.lines)
    if (nFirst < 0)
      AtParseCpbrRange(line, nFirst, nLast);
  if (nFirst < 0)
    return PHONE_ERROR_REPLY;
  int nCode = Command("AT+CPBR=" + std::to_string(nFirst) + "," + std::to_string(nLast), reply);
  // "not found" (+CME ERROR: 22): an empty phonebook.
  if (nCode == PHONE_ERROR_REPLY && reply.eFinal == AT_FINAL_CME && reply.nErrorCode == 22)
    return PHONE_SUCCESS;
  if (nCode != PHONE_SUCCESS)
    return nCode;
  for (const std::string& line : reply.lines) {
    CPhonebookEntry entry;
    entry.strStorage = strStorage;
    if (AtParseCpbrEntry(line, bUcs2, entry))
      entries.push_back(std::move(entry));
  }
  return PHONE_SUCCESS;
}

int CPhoneSession::ReadPhonebooks(std::vector<CPhonebookEntry>& entries) {
  CAtReply reply;
  std::string strOldCharset;
  if (Command("AT+CSCS?", reply) == PHONE_SUCCESS)
    for (const std::string& line : reply.lines)
      if (strOldCharset.empty())
        strOldCharset = AtUnquote(AtInfoValue(line, "+CSCS"));
  bool bUcs2 = Command("AT+CSCS=\"UCS2\"", reply) == PHONE_SUCCESS;
  std::vector<std::string> offered;
  int nCode = Command("AT+CPBS=?", reply);
  for (const std::string& line : reply.lines)
    if (offered.empty())
      AtParseCpbsSupport(line, offered);
  if (nCode == PHONE_SUCCESS && offered.empty())
    nCode = PHONE_ERROR_REPLY;
  for (const char* pszBook : {"SM", "ME"}) {
    if (nCode != PHONE_SUCCESS)
      break;
    for (const std::string& strName : offered)
      if (strName == pszBook)
        nCode = ReadPhonebook(strName, bUcs2, entries);
  }
  // In UCS2 the name of the set is itself written in UCS2 on some phones.
  if (bUcs2 && !strOldCharset.empty() && nCode != PHONE_WRITE_FAILED) {
    std::string strHex;
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : strOldCharset)
      strHex += std::string("00") + kHex[c >> 4] + kHex[c & 15];
    if (Command("AT+CSCS=\"" + strOldCharset + "\"", reply) != PHONE_SUCCESS)
      Command("AT+CSCS=\"" + strHex + "\"", reply);
  }
  return nCode;
}
