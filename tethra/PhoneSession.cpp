#include "tethra/PhoneSession.h"

#include "tethra/AtErrorCodes.h"
#include "tethra/AtResponse.h"
#include "tethra/PduHex.h"
#include "tethra/PhoneImpl.h"

CPhoneSession::CPhoneSession() : m_pImpl(std::make_unique<CPhoneInterface::Impl>()) {}

CPhoneSession::~CPhoneSession() = default;

int CPhoneSession::Open(const std::string& strDevice, int nBaudRate, int nTimeOutMs) {
  m_pending.clear();
  m_pImpl->strPin = m_strPin;
  int nCode = m_pImpl->Open(strDevice, nBaudRate, nTimeOutMs);
  m_pImpl->strPin.clear();
  if (nCode != PHONE_SUCCESS)
    m_pImpl->Close();  // a SIM that waits for its PIN too: the line is given back
  else
    TakeEvents(m_pending);
  return nCode;
}

void CPhoneSession::Close() {
  m_pImpl->Close();
  m_pending.clear();
}

bool CPhoneSession::IsOpen() const { return m_pImpl->bReady && m_pImpl->pChannel; }

const CPhoneDiagnostics& CPhoneSession::GetDiagnostics() const { return m_pImpl->diag; }

int CPhoneSession::Finish(AtStatus status, const CAtReply& reply, int nOnError) {
  TakeEvents(m_pending);
  return m_pImpl->CodeOf(status, reply, nOnError);
}

int CPhoneSession::Command(const std::string& strCommand, CAtReply& reply) {
  if (!IsOpen())
    return PHONE_WRITE_FAILED;
  m_pImpl->BeginOperation();
  return Finish(m_pImpl->Command(strCommand, reply), reply);
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

int CPhoneSession::Select(const std::string& strStorage) {
  if (!IsOpen())
    return PHONE_WRITE_FAILED;
  m_pImpl->BeginOperation();
  int nCode = m_pImpl->SelectStorage(strStorage, false);
  TakeEvents(m_pending);
  return nCode;
}

int CPhoneSession::ReadStored(const std::string& strStorage, int nIndex, CStoredPdu& message) {
  int nCode = Select(strStorage);
  if (nCode != PHONE_SUCCESS)
    return nCode;
  CAtReply reply;
  if (nCode = Command("AT+CMGR=" + std::to_string(nIndex), reply); nCode != PHONE_SUCCESS)
    return nCode;
  if (reply.lines.empty())
    return PHONE_NO_MESSAGES;  // an empty slot
  CAtListEntry entry;
  std::string strReason;
  if (!AtParseCmgrReply(reply.lines, entry, strReason))
    return PHONE_BAD_PDU;
  message = CStoredPdu{strStorage, nIndex, entry.header.nStat, std::move(entry.strPdu)};
  return PHONE_SUCCESS;
}

int CPhoneSession::DeleteStored(const std::string& strStorage, int nIndex) {
  if (int nCode = Select(strStorage); nCode != PHONE_SUCCESS)
    return nCode;
  CAtReply reply;
  return Command("AT+CMGD=" + std::to_string(nIndex), reply);
}

int CPhoneSession::ListStored(int nStat, std::vector<CStoredPdu>& messages) {
  if (!IsOpen())
    return PHONE_WRITE_FAILED;
  m_pImpl->BeginOperation();
  std::vector<CStoredPdu> listed;
  int nCode = m_pImpl->ListAll(listed);
  TakeEvents(m_pending);
  if (nCode != PHONE_SUCCESS)
    return nCode;
  for (CStoredPdu& m : listed)
    if (nStat == AT_STAT_ALL || m.nStat == nStat)
      messages.push_back(std::move(m));
  return PHONE_SUCCESS;
}

void CPhoneSession::TakeEvents(std::vector<CAtEvent>& events) {
  if (!m_pImpl->pChannel)
    return;
  for (const std::string& strUrc : m_pImpl->pChannel->TakeUrcs()) {
    CAtEvent event;
    if (AtParseEvent(strUrc, event))
      events.push_back(std::move(event));
  }
}

int CPhoneSession::WaitForEvents(int nTimeOutMs, std::vector<CAtEvent>& events) {
  if (!IsOpen())
    return PHONE_WRITE_FAILED;
  if (!m_pending.empty()) {
    // Announcements that came during a command are handed out first, without waiting.
    events.insert(events.end(), m_pending.begin(), m_pending.end());
    m_pending.clear();
    nTimeOutMs = 0;
  }
  AtStatus status = m_pImpl->pChannel->Listen(nTimeOutMs);
  TakeEvents(events);
  return m_pImpl->CodeOf(status, CAtReply());
}

int CPhoneSession::SendPdu(const std::string& strPdu, size_t nTpduLength, int& nReference) {
  if (!IsOpen())
    return PHONE_WRITE_FAILED;
  m_pImpl->BeginOperation();
  CAtReply reply;
  AtStatus status = m_pImpl->CommandWithData("AT+CMGS=" + std::to_string(nTpduLength), strPdu, reply);
  if (status != AT_STATUS_OK) {
    bool bNoCentre = status == AT_STATUS_ERROR && reply.eFinal == AT_FINAL_CMS &&
                     reply.nErrorCode == CMS_SMSC_ADDRESS_UNKNOWN;
    return Finish(status, reply, bNoCentre ? PHONE_SCA_UNKNOWN : PHONE_ERROR_REPLY);
  }
  TakeEvents(m_pending);
  nReference = -1;
  for (const std::string& line : reply.lines)
    if (nReference < 0)
      AtParseNumberAfter(line, "+CMGS", nReference);
  return nReference >= 0 ? PHONE_SUCCESS : PHONE_ERROR_REPLY;
}

int CPhoneSession::ReadPhonebook(const std::string& strStorage, bool bUcs2,
                                 std::vector<CPhonebookEntry>& entries) {
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
  if (nCode == PHONE_ERROR_REPLY && reply.eFinal == AT_FINAL_CME && reply.nErrorCode == CME_NOT_FOUND)
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
    std::vector<uint8_t> ucs2;
    for (unsigned char c : strOldCharset)
      ucs2.insert(ucs2.end(), {0, c});
    if (Command("AT+CSCS=\"" + strOldCharset + "\"", reply) != PHONE_SUCCESS)
      Command("AT+CSCS=\"" + CPduHex::Encode(ucs2) + "\"", reply);
  }
  return nCode;
}
