// CPhoneInterface over the AT channel: GSM 07.05/07.07 in PDU mode.
//
// Set-up takes seven commands: AT (repeated until the phone wakes), ATE0+CMEE=1 (or
// each alone when the phone refuses the pair), AT+CPIN?, AT+CMGF=0, AT+CSMS?,
// AT+CPMS=? and AT+CSCA?. Reading lists each storage with one AT+CMGL=4 after
// choosing it with AT+CPMS, and decodes everything from the listing; a message is
// never read one by one.
#include "model/PhoneInterface.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iterator>
#include <new>
#include <sstream>

#include "grellow/ComPorts.h"
#include "model/PhoneStatus.h"
#include "tethra/AtChannel.h"
#include "tethra/AtResponse.h"
#include "tethra/PduConcatenation.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduRecord.h"
#include "tethra/PhoneLine.h"

namespace {

using Clock = std::chrono::steady_clock;

// The storages messages are read from and written to, and their Msg_Storage values.
const char kPhoneMemory[] = "ME";
const char kSimCard[] = "SM";

int StorageNumber(const std::string& strName) {
  if (strName == kPhoneMemory)
    return MSG_STORAGE_PHONE;
  if (strName == kSimCard)
    return MSG_STORAGE_SIM;
  return MSG_STORAGE_UNKNOWN;
}

const char* StorageName(int nStorage) {
  if (nStorage == MSG_STORAGE_PHONE)
    return kPhoneMemory;
  if (nStorage == MSG_STORAGE_SIM)
    return kSimCard;
  return nullptr;
}

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
    ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
    --e;
  return s.substr(b, e - b);
}

// Equipment errors that mean the SIM cannot be used yet: not inserted, a PIN or PUK
// wanted, failure, wrong SIM, a second PIN wanted.
bool IsSimNotReady(const CAtReply& reply) {
  if (reply.eFinal == AT_FINAL_CME) {
    static const int kCodes[] = {5, 10, 11, 12, 13, 15, 16, 17, 18};
    return std::find(std::begin(kCodes), std::end(kCodes), reply.nErrorCode) != std::end(kCodes);
  }
  if (reply.eFinal == AT_FINAL_CMS)
    return reply.nErrorCode == 310 || reply.nErrorCode == 311 || reply.nErrorCode == 312 ||
           reply.nErrorCode == 313 || reply.nErrorCode == 315 || reply.nErrorCode == 316 ||
           reply.nErrorCode == 317 || reply.nErrorCode == 318;
  return false;
}

// One message of the phone's listing, as ListAllMessages writes it: the storage, the
// index, the 27.005 status and the PDU, separated by tabs, one message a line.
struct CListedMessage {
  std::string strStorage;
  int nIndex = -1;
  int nStat = -1;
  std::string strPdu;
};

std::string FormatListing(const std::vector<CListedMessage>& listed) {
  std::string strText;
  for (const CListedMessage& m : listed)
    strText += m.strStorage + "\t" + std::to_string(m.nIndex) + "\t" + std::to_string(m.nStat) + "\t" + m.strPdu + "\n";
  return strText;
}

// Reads the lines of the listing text that make sense and skips the others.
std::vector<CListedMessage> ParseListing(const std::string& strText) {
  std::vector<CListedMessage> listed;
  std::istringstream in(strText);
  std::string strLine;
  while (std::getline(in, strLine)) {
    std::vector<std::string> fields;
    std::istringstream fieldsIn(strLine);
    std::string strField;
    while (std::getline(fieldsIn, strField, '\t'))
      fields.push_back(Trim(strField));
    if (fields.size() != 4)
      continue;
    CListedMessage m;
    m.strStorage = Upper(fields[0]);
    if (StorageNumber(m.strStorage) == MSG_STORAGE_UNKNOWN || !AtParseInt(fields[1], m.nIndex) ||
        !AtParseInt(fields[2], m.nStat) || m.nIndex < 0 || fields[3].size() < 2 || fields[3].size() % 2 != 0)
      continue;
    m.strPdu = Upper(fields[3]);
    if (!std::all_of(m.strPdu.begin(), m.strPdu.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
      continue;
    listed.push_back(std::move(m));
  }
  return listed;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// True when a PDU the phone holds is (one part of) the record: its text appears in
// the record's PDU text as it is, or it matches the way GetPduKey compares, that is
// without the service-centre part and without the octet after the first octet (the
// message reference the phone may have set itself).
bool PduBelongsTo(const std::string& strListed, const std::string& strRecord) {
  if (strListed.empty() || strRecord.empty())
    return false;
  size_t nFound = strRecord.find(strListed);
  while (nFound != std::string::npos) {
    if (nFound % 2 == 0)
      return true;
    nFound = strRecord.find(strListed, nFound + 1);
  }
  int hi = HexValue(strListed[0]), lo = HexValue(strListed[1]);
  if (hi < 0 || lo < 0)
    return false;
  size_t n = static_cast<size_t>(hi * 16 + lo);
  if (strListed.size() < 2 * n + 8)
    return false;
  std::string strFirst = strListed.substr(2 * n + 2, 2);
  std::string strRest = strListed.substr(2 * n + 6);
  for (size_t p = strRecord.find(strRest); p != std::string::npos; p = strRecord.find(strRest, p + 1))
    if (p % 2 == 0 && p >= 4 && strRecord.compare(p - 4, 2, strFirst) == 0)
      return true;
  return false;
}

}  // namespace

struct CPhoneInterface::Impl {
  std::unique_ptr<IPhoneLine> pLine;
  std::unique_ptr<CAtChannel> pChannel;
  bool bReady = false;
  int nError = PHONE_SUCCESS;
  int nSetupError = PHONE_SETUP_FAILED;  // what operations report before a good set-up
  int nTimeOut = 10000;
  int nBaudRate = 9600;

  // AT+CPMS=?: the storages of each parameter the phone takes; the ones read.
  std::vector<std::vector<std::string>> storageLists;
  std::vector<std::string> readStorages;
  int nAvailable = MSG_STORAGE_UNKNOWN;
  // The storages last chosen for reading and for writing (empty: not known).
  std::string strMem1;
  std::string strMem2;

  std::string strServiceCenter;
  bool bServiceCenterAnswered = false;
  std::string strManufacturer;
  std::string strModel;
  std::string strVersion;
  uint16_t nConcatReference = 0;
  PhoneProgress progress;  // may be empty

  Impl() {
    // Parts of long messages from different runs should not share a reference.
    nConcatReference = static_cast<uint16_t>(Clock::now().time_since_epoch().count() >> 10);
  }

  int Fail(int nCode) {
    nError = nCode;
    return nCode;
  }
  int Succeed() {
    nError = PHONE_SUCCESS;
    return PHONE_SUCCESS;
  }
  int FailSetup(int nCode) {
    Close();
    nSetupError = nCode;
    return Fail(nCode);
  }
  int CheckReady() {
    if (!bReady || !pChannel)
      return Fail(nSetupError);
    return PHONE_SUCCESS;
  }
  void Close() {
    bReady = false;
    pChannel.reset();
    pLine.reset();
    storageLists.clear();
    readStorages.clear();
    nAvailable = MSG_STORAGE_UNKNOWN;
    strMem1.clear();
    strMem2.clear();
    strServiceCenter.clear();
    bServiceCenterAnswered = false;
  }

  // The code of a command that did not end in OK, once the phone is set up.
  static int CodeOf(AtStatus status) {
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
  // During set-up a phone that stops answering is a phone that is not ready.
  static int SetupCodeOf(AtStatus status, int nOnError) {
    switch (status) {
      case AT_STATUS_OK:
        return PHONE_SUCCESS;
      case AT_STATUS_TIMEOUT:
        return PHONE_NOT_READY;
      case AT_STATUS_LINE_GONE:
        return PHONE_WRITE_FAILED;
      case AT_STATUS_ERROR:
        break;
    }
    return nOnError;
  }

  int Setup(int nPort, int nBaud, int nTimeOutMs);
  bool Wake();
  int SelectReadStorage(const std::string& strStorage);
  int SelectWriteStorage(const std::string& strStorage);
  int ListStorage(const std::string& strStorage, std::vector<CAtListEntry>& entries);
  int ListAll(std::vector<CListedMessage>& listed);
  int Fetch(bool bOutgoing, CMessageArray* pArray);
  int Send(CMessage* pMessage, const std::string& strCommand);
  int Delete(std::string& strList, const CMessage* pMessage);
  int DeleteAll();
  int PreferredStorage();
  int SetPreferredStorage(Msg_Storage storage);
  int ChangeBaud(int nBaud);
  int Information();
};

bool CPhoneInterface::Impl::Wake() {
  // A phone asleep, or still starting, may let the first commands go unanswered:
  // ask again until the time-out is spent.
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeOut);
  int nTry = std::min(1000, std::max(50, nTimeOut / 3));
  for (;;) {
    int nLeft = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    if (nLeft <= 0)
      return false;
    CAtReply reply;
    AtStatus status = pChannel->CommandOnce("AT", reply, std::min(nTry, nLeft));
    if (status == AT_STATUS_OK || status == AT_STATUS_ERROR)
      return true;
    if (status == AT_STATUS_LINE_GONE)
      return false;
  }
}

int CPhoneInterface::Impl::Setup(int nPort, int nBaud, int nTimeOutMs) {
  Close();
  nTimeOut = nTimeOutMs > 0 ? nTimeOutMs : 1;
  nBaudRate = nBaud;
  if (nPort < 0 || nPort >= COM_PORT_COUNT)
    return FailSetup(PHONE_PORT_OPEN_FAILED);
  std::string strDevice = ResolveComPort(g_szComPortNames[nPort]);
  if (strDevice.empty())
    return FailSetup(PHONE_PORT_OPEN_FAILED);
  int nStatus = PHONE_PORT_OPEN_FAILED;
  pLine = OpenPhoneLine(strDevice, nBaud, nStatus);
  if (!pLine)
    return FailSetup(nStatus == PHONE_SUCCESS ? PHONE_PORT_OPEN_FAILED : nStatus);
  pChannel = std::make_unique<CAtChannel>(*pLine, nTimeOut);

  if (!Wake())
    return FailSetup(PHONE_NOT_READY);

  // Echo off and numeric errors in one go; a phone that refuses the pair gets each
  // alone, and one that keeps its echo or its wording is used as it is.
  CAtReply reply;
  AtStatus status = pChannel->Command("ATE0+CMEE=1", reply);
  if (status == AT_STATUS_ERROR) {
    status = pChannel->Command("ATE0", reply);
    if (status == AT_STATUS_OK || status == AT_STATUS_ERROR)
      status = pChannel->Command("AT+CMEE=1", reply);
    if (status == AT_STATUS_ERROR)
      status = AT_STATUS_OK;
  }
  if (status != AT_STATUS_OK)
    return FailSetup(SetupCodeOf(status, PHONE_SETUP_FAILED));

  // The SIM: a PIN still to be entered means the phone is not ready. A phone that
  // does not know the command is taken as ready.
  status = pChannel->Command("AT+CPIN?", reply);
  if (status == AT_STATUS_OK) {
    std::string strCode;
    for (const std::string& line : reply.lines)
      if (AtParseCpin(line, strCode) && strCode != "READY")
        return FailSetup(PHONE_NOT_READY);
  } else if (status != AT_STATUS_ERROR || IsSimNotReady(reply)) {
    return FailSetup(SetupCodeOf(status, PHONE_NOT_READY));
  }

  status = pChannel->Command("AT+CMGF=0", reply);
  if (status != AT_STATUS_OK)
    return FailSetup(IsSimNotReady(reply) ? PHONE_NOT_READY : SetupCodeOf(status, PHONE_SETUP_FAILED));

  status = pChannel->Command("AT+CSMS?", reply);
  if (status != AT_STATUS_OK)
    return FailSetup(IsSimNotReady(reply) ? PHONE_NOT_READY : SetupCodeOf(status, PHONE_NO_SMS_SERVICE));
  {
    int nService = 0, nMt = -1, nMo = -1;
    bool bRead = false;
    for (const std::string& line : reply.lines)
      bRead = bRead || AtParseCsms(line, nService, nMt, nMo);
    if (!bRead)
      return FailSetup(PHONE_SETUP_FAILED);
    if (nMt == 0 || nMo == 0)
      return FailSetup(PHONE_NO_SMS_SERVICE);
  }

  status = pChannel->Command("AT+CPMS=?", reply);
  if (status != AT_STATUS_OK)
    return FailSetup(IsSimNotReady(reply) ? PHONE_NOT_READY : SetupCodeOf(status, PHONE_STORAGE_UNKNOWN));
  for (const std::string& line : reply.lines)
    if (storageLists.empty())
      AtParseCpmsSupport(line, storageLists);
  if (storageLists.empty())
    return FailSetup(PHONE_STORAGE_UNKNOWN);
  for (const std::string& strName : storageLists[0]) {
    int n = StorageNumber(strName);
    if (n != MSG_STORAGE_UNKNOWN && !(nAvailable & n)) {
      nAvailable |= n;
      readStorages.push_back(strName);
    }
  }
  if (nAvailable == MSG_STORAGE_UNKNOWN)
    return FailSetup(PHONE_STORAGE_UNKNOWN);

  // The service centre: kept to tell, when a message goes without one of its own,
  // that the phone has none either. A phone that cannot say is not held against.
  status = pChannel->Command("AT+CSCA?", reply);
  if (status == AT_STATUS_OK) {
    for (const std::string& line : reply.lines)
      if (AtParseCsca(line, strServiceCenter))
        bServiceCenterAnswered = true;
  } else if (status != AT_STATUS_ERROR) {
    return FailSetup(SetupCodeOf(status, PHONE_SETUP_FAILED));
  }

  bReady = true;
  nSetupError = PHONE_SETUP_FAILED;
  return Succeed();
}

int CPhoneInterface::Impl::SelectReadStorage(const std::string& strStorage) {
  if (strMem1 == strStorage)
    return PHONE_SUCCESS;
  CAtReply reply;
  AtStatus status = pChannel->Command("AT+CPMS=\"" + strStorage + "\"", reply);
  if (status != AT_STATUS_OK) {
    strMem1.clear();
    return status == AT_STATUS_ERROR ? PHONE_STORAGE_NOT_SET : CodeOf(status);
  }
  strMem1 = strStorage;
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::SelectWriteStorage(const std::string& strStorage) {
  if (storageLists.size() < 2) {
    // The phone takes one storage for everything.
    return SelectReadStorage(strStorage);
  }
  if (std::find(storageLists[1].begin(), storageLists[1].end(), strStorage) == storageLists[1].end())
    return PHONE_STORAGE_UNKNOWN;
  if (strMem1 == strStorage && strMem2 == strStorage)
    return PHONE_SUCCESS;
  CAtReply reply;
  AtStatus status = pChannel->Command("AT+CPMS=\"" + strStorage + "\",\"" + strStorage + "\"", reply);
  if (status != AT_STATUS_OK) {
    strMem1.clear();
    strMem2.clear();
    return status == AT_STATUS_ERROR ? PHONE_STORAGE_NOT_SET : CodeOf(status);
  }
  strMem1 = strMem2 = strStorage;
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::ListStorage(const std::string& strStorage, std::vector<CAtListEntry>& entries) {
  int nCode = SelectReadStorage(strStorage);
  if (nCode != PHONE_SUCCESS)
    return nCode;
  CAtReply reply;
  AtStatus status = pChannel->Command("AT+CMGL=4", reply);
  if (status == AT_STATUS_ERROR && reply.eFinal == AT_FINAL_CMS && reply.nErrorCode == 321) {
    entries.clear();  // "invalid memory index": some phones say so of an empty storage
    return PHONE_SUCCESS;
  }
  if (status != AT_STATUS_OK)
    return CodeOf(status);
  if (!AtParseCmglListing(reply.lines, entries))
    return PHONE_BAD_PDU;
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::ListAll(std::vector<CListedMessage>& listed) {
  std::vector<CListedMessage> result;
  for (const std::string& strStorage : readStorages) {
    std::vector<CAtListEntry> entries;
    int nCode = ListStorage(strStorage, entries);
    if (nCode != PHONE_SUCCESS)
      return nCode;
    for (CAtListEntry& e : entries)
      result.push_back({strStorage, e.header.nIndex, e.header.nStat, std::move(e.strPdu)});
  }
  listed = std::move(result);
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::Fetch(bool bOutgoing, CMessageArray* pArray) {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  if (pArray == nullptr)
    return Fail(PHONE_EXEC_FAILED);

  std::vector<CListedMessage> listed;
  if (int nCode = ListAll(listed); nCode != PHONE_SUCCESS)
    return Fail(nCode);

  // Decode what belongs to the list asked for: received (status 0, 1) deliveries, or
  // stored (2 unsent, 3 sent) submits. Status reports are not messages.
  std::vector<CPduMessage> pdus;
  std::vector<const CListedMessage*> origins;
  size_t nUnreadable = 0;
  for (const CListedMessage& m : listed) {
    bool bStored = m.nStat == 2 || m.nStat == 3;
    if (bStored != bOutgoing)
      continue;
    CPduResult<CPduMessage> decoded = CPduDecoder::Decode(m.strPdu);
    if (!decoded) {
      ++nUnreadable;
      continue;
    }
    PduType wanted = bOutgoing ? PduType::SUBMIT : PduType::DELIVER;
    if (decoded->m_type != wanted)
      continue;
    pdus.push_back(std::move(decoded).Value());
    origins.push_back(&m);
  }

  CMessageArray result;
  for (const CPduConcatGroup& group : CPduConcatenation::Group(pdus)) {
    std::vector<int> parts;
    for (int n : group.m_parts)
      if (n >= 0)
        parts.push_back(n);
    if (parts.empty())
      continue;
    const CPduMessage& first = pdus[static_cast<size_t>(parts[0])];
    const CListedMessage& where = *origins[static_cast<size_t>(parts[0])];
    auto pMessage = std::make_unique<CMessage>();
    CPduRecord::FillMessage(first, *pMessage);
    if (parts.size() > 1 || group.m_bConcatenated) {
      std::string strText, strPdu;
      for (int n : parts) {
        strText += pdus[static_cast<size_t>(n)].m_strText;
        strPdu += pdus[static_cast<size_t>(n)].m_strPdu;
      }
      pMessage->m_strMessage = group.IsComplete() ? group.m_strText : strText;
      pMessage->m_strPdu = strPdu;
    }
    std::string strPlaces;
    for (int n : parts) {
      const CListedMessage& m = *origins[static_cast<size_t>(n)];
      strPlaces += (strPlaces.empty() ? "" : ",") + m.strStorage + ":" + std::to_string(m.nIndex);
    }
    pMessage->m_strExtra = strPlaces;
    pMessage->m_nStorage = StorageNumber(where.strStorage);
    pMessage->m_strDateTime = pMessage->m_dtDateTime.IsValid() ? pMessage->m_dtDateTime.Format() : std::string();
    if (bOutgoing) {
      pMessage->m_nType = 1;
      pMessage->m_nStatus = where.nStat == 3 ? 1 : 2;  // "Sent", "Unsent"
    } else {
      pMessage->m_nType = 0;
    }
    result.push_back(std::move(pMessage));
  }

  if (result.empty())
    return Fail(nUnreadable > 0 ? PHONE_BAD_PDU : PHONE_NO_MESSAGES);
  for (auto& p : result)
    pArray->push_back(std::move(p));
  return Succeed();
}

int CPhoneInterface::Impl::Send(CMessage* pMessage, const std::string& strCommand) {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  if (pMessage == nullptr)
    return Fail(PHONE_EXEC_FAILED);
  std::string strVerb = Upper(Trim(strCommand));
  if (!strVerb.empty() && strVerb.back() == '=')
    strVerb.pop_back();
  if (strVerb != "AT+CMGS" && strVerb != "AT+CMGW")
    return Fail(PHONE_BAD_COMMAND);
  bool bStore = strVerb == "AT+CMGW";
  if (!bStore && Trim(pMessage->m_strNumber).empty())
    return Fail(PHONE_BAD_PDU);
  if (!bStore && pMessage->m_strServiceCenter.empty() && bServiceCenterAnswered && strServiceCenter.empty())
    return Fail(PHONE_SCA_UNKNOWN);

  CPduResult<std::vector<CPduEncoded>> encoded = CPduRecord::EncodeMessage(*pMessage, 0, nConcatReference++);
  if (!encoded || encoded->empty())
    return Fail(PHONE_BAD_PDU);

  if (bStore) {
    if (const char* pszStorage = StorageName(pMessage->m_nStorage)) {
      if (!(nAvailable & pMessage->m_nStorage))
        return Fail(PHONE_STORAGE_UNKNOWN);
      if (int nCode = SelectWriteStorage(pszStorage); nCode != PHONE_SUCCESS)
        return Fail(nCode);
    }
  }

  std::string strWritten;
  for (const CPduEncoded& part : encoded.Value()) {
    CAtReply reply;
    AtStatus status = pChannel->CommandWithData(strVerb + "=" + std::to_string(part.m_nTpduLength), part.m_strPdu, reply);
    if (status != AT_STATUS_OK) {
      if (status == AT_STATUS_ERROR && reply.eFinal == AT_FINAL_CMS && reply.nErrorCode == 330)
        return Fail(PHONE_SCA_UNKNOWN);
      return Fail(CodeOf(status));
    }
    strWritten += part.m_strPdu;
  }
  pMessage->m_strPdu = strWritten;
  return Succeed();
}

int CPhoneInterface::Impl::Delete(std::string& strList, const CMessage* pMessage) {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  if (pMessage == nullptr)
    return Fail(PHONE_EXEC_FAILED);
  std::vector<CListedMessage> listed = ParseListing(strList);
  if (listed.empty()) {
    if (int nCode = ListAll(listed); nCode != PHONE_SUCCESS)
      return Fail(nCode);
    strList = FormatListing(listed);
  }
  std::string strRecord = Upper(pMessage->m_strPdu);
  std::vector<CListedMessage> keep, gone;
  for (CListedMessage& m : listed)
    (PduBelongsTo(m.strPdu, strRecord) ? gone : keep).push_back(std::move(m));
  if (gone.empty())
    return Fail(PHONE_NO_MESSAGES);
  for (size_t i = 0; i < gone.size(); ++i) {
    if (int nCode = SelectReadStorage(gone[i].strStorage); nCode != PHONE_SUCCESS) {
      keep.insert(keep.end(), gone.begin() + static_cast<long>(i), gone.end());
      strList = FormatListing(keep);
      return Fail(nCode);
    }
    CAtReply reply;
    AtStatus status = pChannel->Command("AT+CMGD=" + std::to_string(gone[i].nIndex), reply);
    if (status != AT_STATUS_OK) {
      keep.insert(keep.end(), gone.begin() + static_cast<long>(i), gone.end());
      strList = FormatListing(keep);
      return Fail(CodeOf(status));
    }
  }
  strList = FormatListing(keep);
  return Succeed();
}

int CPhoneInterface::Impl::DeleteAll() {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  for (const std::string& strStorage : readStorages) {
    if (int nCode = SelectReadStorage(strStorage); nCode != PHONE_SUCCESS)
      return Fail(nCode);
    // Delete flag 4 empties the storage at once; a phone that does not know it has
    // each message deleted by its index.
    CAtReply reply;
    AtStatus status = pChannel->Command("AT+CMGD=1,4", reply);
    if (status == AT_STATUS_OK)
      continue;
    if (status != AT_STATUS_ERROR)
      return Fail(CodeOf(status));
    std::vector<CAtListEntry> entries;
    if (int nCode = ListStorage(strStorage, entries); nCode != PHONE_SUCCESS)
      return Fail(nCode);
    for (const CAtListEntry& e : entries) {
      status = pChannel->Command("AT+CMGD=" + std::to_string(e.header.nIndex), reply);
      if (status != AT_STATUS_OK)
        return Fail(CodeOf(status));
    }
  }
  return Succeed();
}

int CPhoneInterface::Impl::PreferredStorage() {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  CAtReply reply;
  AtStatus status = pChannel->Command("AT+CPMS?", reply);
  if (status != AT_STATUS_OK)
    return Fail(CodeOf(status));
  std::vector<std::string> current;
  for (const std::string& line : reply.lines)
    if (current.empty())
      AtParseCpmsCurrent(line, current);
  if (current.empty())
    return Fail(PHONE_STORAGE_UNKNOWN);
  strMem1 = current[0];
  if (current.size() >= 2)
    strMem2 = current[1];
  // Where new messages are written is the storage the user prefers.
  int nStorage = StorageNumber(current.size() >= 2 ? current[1] : current[0]);
  if (nStorage == MSG_STORAGE_UNKNOWN)
    return Fail(PHONE_STORAGE_UNKNOWN);
  Succeed();
  return nStorage;
}

int CPhoneInterface::Impl::SetPreferredStorage(Msg_Storage storage) {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  const char* pszStorage = StorageName(storage);
  if (pszStorage == nullptr || !(nAvailable & storage))
    return Fail(PHONE_STORAGE_UNKNOWN);
  std::string strName = pszStorage;
  // Every parameter the phone takes that offers the storage: reading, writing and,
  // where the phone lets it be chosen, receiving.
  std::string strCommand = "AT+CPMS=\"" + strName + "\"";
  size_t nSet = 1;
  for (size_t i = 1; i < storageLists.size(); ++i) {
    if (std::find(storageLists[i].begin(), storageLists[i].end(), strName) == storageLists[i].end())
      break;
    strCommand += ",\"" + strName + "\"";
    ++nSet;
  }
  CAtReply reply;
  AtStatus status = pChannel->Command(strCommand, reply);
  if (status != AT_STATUS_OK) {
    strMem1.clear();
    strMem2.clear();
    return Fail(status == AT_STATUS_ERROR ? PHONE_STORAGE_NOT_SET : CodeOf(status));
  }
  strMem1 = strName;
  if (nSet >= 2)
    strMem2 = strName;
  return Succeed();
}

int CPhoneInterface::Impl::ChangeBaud(int nBaud) {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  if (nBaud <= 0)
    return Fail(PHONE_BAUD_REFUSED);
  int nOld = nBaudRate;
  CAtReply reply;
  AtStatus status = pChannel->Command("AT+IPR=" + std::to_string(nBaud), reply);
  if (status == AT_STATUS_ERROR)
    return Fail(PHONE_BAUD_REFUSED);
  if (status != AT_STATUS_OK)
    return Fail(CodeOf(status));
  if (!pLine->SetBaudRate(nBaud)) {
    // The phone moved and the line cannot follow: ask the phone back.
    pChannel->CommandOnce("AT+IPR=" + std::to_string(nOld), reply, nTimeOut);
    return Fail(PHONE_BAUD_REFUSED);
  }
  if (Wake()) {
    nBaudRate = nBaud;
    return Succeed();
  }
  // No answer at the new rate: the phone may not have moved at all.
  if (pLine->SetBaudRate(nOld) && Wake())
    return Fail(PHONE_BAUD_REFUSED);
  pLine->SetBaudRate(nBaud);
  return Fail(PHONE_BAUD_REFUSED);
}

int CPhoneInterface::Impl::Information() {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  struct Query {
    const char* pszCommand;
    const char* pszPrefix;
    std::string* pText;
  };
  const Query queries[] = {
      {"AT+CGMI", "+CGMI", &strManufacturer},
      {"AT+CGMM", "+CGMM", &strModel},
      {"AT+CGMR", "+CGMR", &strVersion},
  };
  int nResult = PHONE_SUCCESS;
  for (const Query& q : queries) {
    q.pText->clear();
    CAtReply reply;
    AtStatus status = pChannel->Command(q.pszCommand, reply);
    if (status != AT_STATUS_OK) {
      if (nResult == PHONE_SUCCESS)
        nResult = CodeOf(status);
      if (status != AT_STATUS_ERROR)
        break;  // a phone that stopped answering will not answer the next either
      continue;
    }
    for (const std::string& line : reply.lines) {
      std::string strValue = AtUnquote(AtInfoValue(line, q.pszPrefix));
      if (strValue.empty())
        continue;
      if (!q.pText->empty())
        *q.pText += " ";
      *q.pText += strValue;
    }
  }
  return nResult == PHONE_SUCCESS ? Succeed() : Fail(nResult);
}

// Every operation runs inside this guard: nothing may leave the library as an
// exception, and running out of memory has a code of its own.
template <class F>
static int Guarded(CPhoneInterface::Impl& impl, F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return impl.Fail(PHONE_OUT_OF_MEMORY);
  } catch (...) {
    return impl.Fail(PHONE_EXEC_FAILED);
  }
}

CPhoneInterface::CPhoneInterface() : m_pImpl(std::make_unique<Impl>()) {}

CPhoneInterface::~CPhoneInterface() = default;

int CPhoneInterface::SetupCommPort(int nPort, int nBaudRate, int nTimeOut) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Setup(nPort, nBaudRate, nTimeOut); });
}

int CPhoneInterface::GetPhoneErrorCode() const {
  return m_pImpl->nError;
}

int CPhoneInterface::SendMessageToPhone(CMessage* pMessage, const std::string& strCommand) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Send(pMessage, strCommand); });
}

int CPhoneInterface::GetIncomingMessagesFromPhone(CMessageArray* pArray) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Fetch(false, pArray); });
}

int CPhoneInterface::GetOutgoingMessagesFromPhone(CMessageArray* pArray) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Fetch(true, pArray); });
}

int CPhoneInterface::ListAllMessages(std::string& strList) {
  return Guarded(*m_pImpl, [&] {
    if (int nCode = m_pImpl->CheckReady(); nCode != PHONE_SUCCESS)
      return nCode;
    std::vector<CListedMessage> listed;
    if (int nCode = m_pImpl->ListAll(listed); nCode != PHONE_SUCCESS)
      return m_pImpl->Fail(nCode);
    strList = FormatListing(listed);
    return m_pImpl->Succeed();
  });
}

int CPhoneInterface::DeletePhoneMessage(std::string& strList, const CMessage* pMessage) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Delete(strList, pMessage); });
}

int CPhoneInterface::DeleteAllPhoneMessages() {
  return Guarded(*m_pImpl, [&] { return m_pImpl->DeleteAll(); });
}

int CPhoneInterface::GetAvailableStorage() const {
  return m_pImpl->bReady ? m_pImpl->nAvailable : MSG_STORAGE_UNKNOWN;
}

int CPhoneInterface::GetPreferredMessageStorage() {
  return Guarded(*m_pImpl, [&] { return m_pImpl->PreferredStorage(); });
}

int CPhoneInterface::SetPreferredMessageStorage(Msg_Storage storage) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->SetPreferredStorage(storage); });
}

int CPhoneInterface::ChangeBaudRate(int nBaudRate) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->ChangeBaud(nBaudRate); });
}

void CPhoneInterface::ChangeTimeOut(int nTimeOut) {
  m_pImpl->nTimeOut = nTimeOut > 0 ? nTimeOut : 1;
  if (m_pImpl->pChannel)
    m_pImpl->pChannel->SetTimeOut(m_pImpl->nTimeOut);
}

void CPhoneInterface::SetProgressCallback(PhoneProgress progress) {
  m_pImpl->progress = std::move(progress);
}

int CPhoneInterface::GetPhoneInformation() {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Information(); });
}

std::string CPhoneInterface::GetPhoneManufacturer() const {
  return m_pImpl->strManufacturer;
}

std::string CPhoneInterface::GetPhoneModel() const {
  return m_pImpl->strModel;
}

std::string CPhoneInterface::GetPhoneVersion() const {
  return m_pImpl->strVersion;
}
