// Set-up of the phone, its storages and its information.
//
// Set-up is a table of steps run by one loop (RunSetupSteps): on a plain phone it
// takes seven commands (AT, repeated until the phone wakes; ATE0+CMEE=1; AT+CPIN?;
// AT+CMGF=0; AT+CSMS?; AT+CPMS=?; AT+CSCA?), one more when the SIM wants its PIN.
// Only PDU mode is required: a phone that refuses or garbles anything else is used
// as it is, and what it would not say about its storages is found out at listing
// time.
#include <algorithm>
#include <chrono>
#include <iterator>

#include "grellow/ComPorts.h"
#include "platform/Deadline.h"
#include "tethra/AtErrorCodes.h"
#include "tethra/PhoneImpl.h"

namespace {

using Clock = std::chrono::steady_clock;

// One step of the set-up.
struct CSetupStep {
  const char* pszCommand;
  // An answer line the phone may send without a final result (nullptr: none).
  const char* pszAnswer;
  // A refusal (ERROR) passes the step over; else it fails set-up with nOnError.
  bool bOptional;
  int nOnError;
  // Steps to skip when this one succeeds: the split forms of a command pair.
  int nSkipOnOk;
  // Reads the answer: PHONE_SUCCESS, or the status that ends set-up.
  int (CPhoneInterface::Impl::*pfnCheck)(const CAtReply&);
};

using Impl = CPhoneInterface::Impl;

const CSetupStep kSetupSteps[] = {
    // Echo off and numeric errors in one go; a phone that refuses the pair gets each
    // alone, and one that keeps its echo or its wording is used as it is.
    {"ATE0+CMEE=1", nullptr, true, PHONE_SETUP_FAILED, 2, nullptr},
    {"ATE0", nullptr, true, PHONE_SETUP_FAILED, 0, nullptr},
    {"AT+CMEE=1", nullptr, true, PHONE_SETUP_FAILED, 0, nullptr},
    // The SIM: READY (with or without OK after it), or the PIN it waits for. A phone
    // that does not know the command is taken as ready.
    {"AT+CPIN?", "+CPIN:", true, PHONE_NOT_READY, 0, &Impl::CheckPin},
    {"AT+CMGF=0", nullptr, false, PHONE_SETUP_FAILED, 0, nullptr},
    // Services: only an answer that says there is no SMS at all stops set-up.
    {"AT+CSMS?", nullptr, true, PHONE_NO_SMS_SERVICE, 0, &Impl::CheckSmsService},
    {"AT+CPMS=?", nullptr, true, PHONE_STORAGE_UNKNOWN, 0, &Impl::CheckStorages},
    // The service centre: kept to tell, when a message goes without one of its own,
    // that the phone has none either.
    {"AT+CSCA?", nullptr, true, PHONE_SETUP_FAILED, 0, &Impl::CheckServiceCentre},
};

struct CStorageName {
  const char* pszName;
  int nNumber;
};
// The names phones give their storages, in the order they are preferred.
const CStorageName kStorageNames[] = {
    {"ME", MSG_STORAGE_PHONE},
    {"ME_P", MSG_STORAGE_PHONE},
    {"SM", MSG_STORAGE_SIM},
    {"SM_P", MSG_STORAGE_SIM},
};
// Storages that hold no messages of the lists: cell broadcasts and status reports.
const char* const kNotMessageStorages[] = {"BM", "SR"};

bool Offers(const std::vector<std::string>& list, const std::string& strName) {
  return std::find(list.begin(), list.end(), strName) != list.end();
}

bool IsSimNotReady(const CAtReply& reply) {
  return (reply.eFinal == AT_FINAL_CME && AtCmeMeansSimNotReady(reply.nErrorCode)) ||
         (reply.eFinal == AT_FINAL_CMS && AtCmsMeansSimNotReady(reply.nErrorCode));
}

// The +CPIN code an error stands for.
std::string LockOf(const CAtReply& reply) {
  int n = reply.nErrorCode;
  if (n == CME_SIM_PUK_REQUIRED || (reply.eFinal == AT_FINAL_CMS && n == CMS_SIM_PUK_REQUIRED))
    return "SIM PUK";
  if (n == CME_PH_SIM_PIN_REQUIRED || (reply.eFinal == AT_FINAL_CMS && n == CMS_PH_SIM_PIN_REQUIRED))
    return "PH-SIM PIN";
  return "SIM PIN";
}

bool IsPinWanted(const CAtReply& reply) {
  return (reply.eFinal == AT_FINAL_CME && AtCmeMeansPinWanted(reply.nErrorCode)) ||
         (reply.eFinal == AT_FINAL_CMS && AtCmsMeansPinWanted(reply.nErrorCode));
}

}  // namespace

std::string FormatListing(const std::vector<CListedMessage>& listed) {
  std::string strText;
  for (const CListedMessage& m : listed)
    strText += m.strStorage + "\t" + std::to_string(m.nIndex) + "\t" + std::to_string(m.nStat) + "\t" +
               m.strPdu + "\n";
  return strText;
}

CPhoneInterface::Impl::Impl() {
  // Parts of long messages from different runs should not share a reference.
  nConcatReference = static_cast<uint16_t>(Clock::now().time_since_epoch().count() >> 10);
}

void CPhoneInterface::Impl::Close() {
  bReady = false;
  bSimLocked = false;
  pChannel.reset();
  pLine.reset();
  storageLists.clear();
  bStoragesGuessed = false;
  readStorages.clear();
  bMtOffered = bMtForSim = false;
  nAvailable = MSG_STORAGE_UNKNOWN;
  nCpmsForm = 0;
  strMem1.clear();
  strMem2.clear();
  nMem1Used = nMem1Total = -1;
  bReadByIndex = false;
  bStalled = false;
  strStalledList.clear();
  strServiceCenter.clear();
  bServiceCenterAnswered = false;
}

int CPhoneInterface::Impl::FailSetup(int nCode) {
  // A SIM that waits for its PIN leaves the line open: the phone can still say
  // what it is.
  bool bKeep = nCode == PHONE_NOT_READY && !diag.strSimLock.empty() && pChannel;
  if (bKeep) {
    bReady = false;
    bSimLocked = true;
  } else {
    Close();
  }
  nSetupError = nCode;
  return Fail(nCode);
}

void CPhoneInterface::Impl::NoteReply(const CAtReply& reply) {
  if (reply.eFinal == AT_FINAL_CME)
    diag.nCmeError = reply.nErrorCode;
  else if (reply.eFinal == AT_FINAL_CMS)
    diag.nCmsError = reply.nErrorCode;
}

AtStatus CPhoneInterface::Impl::Command(const std::string& strCommand, CAtReply& reply) {
  AtStatus status = pChannel->Command(strCommand, reply);
  NoteReply(reply);
  return status;
}

AtStatus CPhoneInterface::Impl::CommandWithData(const std::string& strCommand, const std::string& strData,
                                                CAtReply& reply) {
  AtStatus status = pChannel->CommandWithData(strCommand, strData, reply);
  NoteReply(reply);
  return status;
}

int CPhoneInterface::Impl::CodeOf(AtStatus status, const CAtReply& reply, int nOnError, bool bSetup) const {
  switch (status) {
    case AT_STATUS_OK:
      return PHONE_SUCCESS;
    case AT_STATUS_TIMEOUT:
      return bSetup ? PHONE_NOT_READY : PHONE_TIMEOUT;
    case AT_STATUS_LINE_GONE:
      return PHONE_WRITE_FAILED;
    case AT_STATUS_ERROR:
      break;
  }
  if (bSetup && IsSimNotReady(reply))
    return PHONE_NOT_READY;
  return nOnError;
}

bool CPhoneInterface::Impl::Wake() {
  // A phone asleep, or still starting, may let the first commands go unanswered:
  // ask again until the time-out is spent.
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeOut);
  int nTry = std::min(1000, std::max(50, nTimeOut / 3));
  for (;;) {
    int nLeft = MillisecondsUntil(deadline);
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
  std::string strDevice;
  if (nPort >= 0 && nPort < COM_PORT_COUNT)
    strDevice = ResolveComPort(g_szComPortNames[nPort]);
  return Open(strDevice, nBaud, nTimeOutMs);
}

int CPhoneInterface::Impl::Open(const std::string& strDevice, int nBaud, int nTimeOutMs) {
  Close();
  diag = CPhoneDiagnostics();
  nTimeOut = nTimeOutMs > 0 ? nTimeOutMs : 1;
  nBaudRate = nBaud;
  if (strDevice.empty())
    return FailSetup(PHONE_PORT_OPEN_FAILED);
  int nStatus = PHONE_PORT_OPEN_FAILED;
  pLine = OpenPhoneLine(strDevice, nBaud, nStatus);
  if (!pLine)
    return FailSetup(nStatus == PHONE_SUCCESS ? PHONE_PORT_OPEN_FAILED : nStatus);
  pChannel = std::make_unique<CAtChannel>(*pLine, nTimeOut);
  if (!Wake())
    return FailSetup(PHONE_NOT_READY);
  if (int nCode = RunSetupSteps(); nCode != PHONE_SUCCESS)
    return FailSetup(nCode);
  ChooseStorages();
  bReady = true;
  nSetupError = PHONE_SETUP_FAILED;
  return Succeed();
}

int CPhoneInterface::Impl::RunSetupSteps() {
  for (size_t i = 0; i < std::size(kSetupSteps); ++i) {
    const CSetupStep& step = kSetupSteps[i];
    CAtReply reply;
    AtStatus status = step.pszAnswer ? pChannel->CommandAnswered(step.pszCommand, step.pszAnswer, reply)
                                     : pChannel->Command(step.pszCommand, reply);
    NoteReply(reply);
    if (status == AT_STATUS_ERROR && IsPinWanted(reply)) {
      // The SIM says so in an error: the same as "+CPIN: SIM PIN".
      if (int nCode = EnterPin(reply); nCode != PHONE_SUCCESS)
        return nCode;
      --i;  // the step again, now that the SIM is open
      continue;
    }
    if (status == AT_STATUS_ERROR && step.bOptional && !IsSimNotReady(reply))
      continue;
    if (status != AT_STATUS_OK)
      return CodeOf(status, reply, step.nOnError, true);
    if (step.pfnCheck)
      if (int nCode = (this->*step.pfnCheck)(reply); nCode != PHONE_SUCCESS)
        return nCode;
    i += static_cast<size_t>(step.nSkipOnOk);
  }
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::EnterPin(const CAtReply& pinReply) {
  if (diag.strSimLock.empty())
    diag.strSimLock = LockOf(pinReply);
  // Only a PIN can be given, and only once: a wrong one must not use up the tries.
  if (strPin.empty() || diag.strSimLock != "SIM PIN")
    return PHONE_NOT_READY;
  std::string strTry;
  strTry.swap(strPin);
  CAtReply reply;
  AtStatus status = Command("AT+CPIN=\"" + strTry + "\"", reply);
  if (status != AT_STATUS_OK)
    return CodeOf(status, reply, PHONE_NOT_READY, true);
  diag.strSimLock.clear();
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::CheckPin(const CAtReply& reply) {
  std::string strCode;
  for (const std::string& line : reply.lines) {
    if (!AtParseCpin(line, strCode) || strCode == "READY")
      continue;
    diag.strSimLock = strCode;
    return EnterPin(reply);
  }
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::CheckSmsService(const CAtReply& reply) {
  int nService = 0, nMt = -1, nMo = -1;
  for (const std::string& line : reply.lines)
    if (AtParseCsms(line, nService, nMt, nMo))
      break;
  return nMt == 0 && nMo == 0 ? PHONE_NO_SMS_SERVICE : PHONE_SUCCESS;
}

int CPhoneInterface::Impl::CheckStorages(const CAtReply& reply) {
  for (const std::string& line : reply.lines)
    if (AtParseCpmsSupport(line, storageLists))
      break;
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::CheckServiceCentre(const CAtReply& reply) {
  for (const std::string& line : reply.lines)
    if (AtParseCsca(line, strServiceCenter))
      bServiceCenterAnswered = true;
  return PHONE_SUCCESS;
}

void CPhoneInterface::Impl::ChooseStorages() {
  readStorages.clear();
  nAvailable = MSG_STORAGE_UNKNOWN;
  std::vector<std::string> offered = storageLists.empty() ? std::vector<std::string>() : storageLists[0];
  bMtOffered = Offers(offered, "MT");
  for (const CStorageName& s : kStorageNames)
    if (Offers(offered, s.pszName) && !(nAvailable & s.nNumber)) {
      nAvailable |= s.nNumber;
      readStorages.push_back(s.pszName);
    }
  bMtForSim = bMtOffered && !(nAvailable & MSG_STORAGE_SIM);
  if (bMtForSim) {
    // MT is phone memory and SIM together: read in place of the SIM, or alone.
    readStorages.push_back("MT");
    nAvailable = MSG_STORAGE_BOTH;
  }
  for (const std::string& strName : offered) {
    bool bKnown = strName == "MT" || std::any_of(std::begin(kStorageNames), std::end(kStorageNames),
                                                 [&](const CStorageName& s) { return strName == s.pszName; });
    bool bNoMessages = std::find(std::begin(kNotMessageStorages), std::end(kNotMessageStorages), strName) !=
                       std::end(kNotMessageStorages);
    if (!bKnown && !bNoMessages)
      readStorages.push_back(strName);
  }
  if (readStorages.empty()) {
    // Nothing usable offered: assume phone memory and SIM, as most phones have,
    // and learn at listing time which of them answer.
    bStoragesGuessed = true;
    readStorages = {"ME", "SM"};
    nAvailable = MSG_STORAGE_BOTH;
  }
}

int CPhoneInterface::Impl::StorageNumber(const std::string& strName) const {
  for (const CStorageName& s : kStorageNames)
    if (strName == s.pszName)
      return s.nNumber;
  if (strName == "MT") {
    // Beside a phone memory of its own, MT stands for the SIM that cannot be chosen.
    bool bPhoneNamed = std::any_of(readStorages.begin(), readStorages.end(),
                                   [&](const std::string& n) { return n == "ME" || n == "ME_P"; });
    return bPhoneNamed ? MSG_STORAGE_SIM : MSG_STORAGE_BOTH;
  }
  return MSG_STORAGE_UNKNOWN;
}

std::string CPhoneInterface::Impl::StorageName(int nStorage) const {
  for (const std::string& strName : readStorages)
    for (const CStorageName& s : kStorageNames)
      if (strName == s.pszName && s.nNumber == nStorage)
        return strName;
  if (nStorage == MSG_STORAGE_SIM && bMtForSim)
    return "MT";
  return std::string();
}

int CPhoneInterface::Impl::SelectStorage(const std::string& strStorage, bool bWrite) {
  if (strMem1 == strStorage && (!bWrite || strMem2 == strStorage))
    return PHONE_SUCCESS;
  // How many names the phone takes: the count it needed before; else one (reading)
  // or two (writing), then the count AT+CPMS=? gave, then the others.
  const int nParams = storageLists.empty() ? 0 : static_cast<int>(storageLists.size());
  if (bWrite && nParams >= 2 && !storageLists[1].empty() && !Offers(storageLists[1], strStorage))
    return PHONE_STORAGE_UNKNOWN;
  std::vector<int> forms;
  auto add = [&forms](int n) {
    if (n >= 1 && n <= 3 && std::find(forms.begin(), forms.end(), n) == forms.end())
      forms.push_back(n);
  };
  if (nCpmsForm > 0) {
    add(nCpmsForm);
  } else {
    add(bWrite && nParams != 1 ? 2 : 1);
    add(nParams > 0 ? nParams : 3);
    for (int n : {3, 2, 1})
      add(n);
  }
  CAtReply reply;
  for (int nNames : forms) {
    std::string strCommand = "AT+CPMS=";
    for (int i = 0; i < nNames; ++i)
      strCommand += (i ? ",\"" : "\"") + strStorage + "\"";
    AtStatus status = Command(strCommand, reply);
    if (status == AT_STATUS_OK) {
      if (nNames != forms.front())
        nCpmsForm = nNames;  // the phone wants this many names: keep to it
      strMem1 = strStorage;
      if (nNames >= 2 || nParams == 1)
        strMem2 = strStorage;
      nMem1Used = nMem1Total = -1;
      std::vector<CAtStorageUse> uses;
      for (const std::string& line : reply.lines)
        if (AtParseCpmsUse(line, uses)) {
          nMem1Used = uses[0].nUsed;
          nMem1Total = uses[0].nTotal;
        }
      return PHONE_SUCCESS;
    }
    strMem1.clear();
    strMem2.clear();
    if (status != AT_STATUS_ERROR || IsSimNotReady(reply))
      return CodeOf(status, reply, PHONE_STORAGE_NOT_SET);
    if (nCpmsForm > 0)
      break;  // the form that works: the storage itself is refused
  }
  return PHONE_STORAGE_NOT_SET;
}

int CPhoneInterface::Impl::PreferredStorage() {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  CAtReply reply;
  AtStatus status = Command("AT+CPMS?", reply);
  if (status != AT_STATUS_OK)
    return Fail(CodeOf(status, reply));
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
  if (nStorage != MSG_STORAGE_PHONE && nStorage != MSG_STORAGE_SIM)
    return Fail(PHONE_STORAGE_UNKNOWN);
  Succeed();
  return nStorage;
}

int CPhoneInterface::Impl::SetPreferredStorage(Msg_Storage storage) {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  std::string strName = StorageName(storage);
  if (strName.empty() || (storage != MSG_STORAGE_PHONE && storage != MSG_STORAGE_SIM))
    return Fail(PHONE_STORAGE_UNKNOWN);
  // Every parameter the phone takes that offers the storage: reading, writing and,
  // where the phone lets it be chosen, receiving.
  std::string strCommand = "AT+CPMS=\"" + strName + "\"";
  size_t nSet = 1;
  for (size_t i = 1; i < storageLists.size(); ++i) {
    if (!Offers(storageLists[i], strName))
      break;
    strCommand += ",\"" + strName + "\"";
    ++nSet;
  }
  if (storageLists.empty() && nCpmsForm > 1)
    for (; nSet < static_cast<size_t>(nCpmsForm); ++nSet)
      strCommand += ",\"" + strName + "\"";
  CAtReply reply;
  AtStatus status = Command(strCommand, reply);
  if (status != AT_STATUS_OK) {
    strMem1.clear();
    strMem2.clear();
    return Fail(CodeOf(status, reply, PHONE_STORAGE_NOT_SET));
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
  AtStatus status = Command("AT+IPR=" + std::to_string(nBaud), reply);
  if (status == AT_STATUS_ERROR)
    return Fail(PHONE_BAUD_REFUSED);
  if (status != AT_STATUS_OK)
    return Fail(CodeOf(status, reply));
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
  // A phone whose SIM waits for its PIN still says what it is.
  if (!pChannel || (!bReady && !bSimLocked))
    return Fail(nSetupError);
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
    AtStatus status = Command(q.pszCommand, reply);
    if (status != AT_STATUS_OK) {
      if (status != AT_STATUS_ERROR) {
        nResult = CodeOf(status, reply);
        break;  // a phone that stopped answering will not answer the next either
      }
      continue;  // a phone that will not say one of them still says the others
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
