// The state of CPhoneInterface and the steps its operations are made of, shared by
// the files of the phone library that implement it (PhoneInterface.cpp: the public
// operations; PhoneSetup.cpp: set-up, storages, information; PhoneMessages.cpp:
// listings, fetching, sending, deleting) and by CPhoneSession, which holds a phone
// open with the same set-up. Nothing outside tethra/ includes this.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "tethra/AtChannel.h"
#include "tethra/AtResponse.h"
#include "tethra/PhoneLine.h"
#include "tethra/PhoneSession.h"

// One message of the phone's listing, as ListAllMessages writes it: the storage, the
// index, the 27.005 status and the PDU, separated by tabs, one message a line.
using CListedMessage = CStoredPdu;

std::string FormatListing(const std::vector<CListedMessage>& listed);
// Reads the lines of a listing text that make sense and skips the others.
std::vector<CListedMessage> ParseListing(const std::string& strText);

struct CPhoneInterface::Impl {
  std::unique_ptr<IPhoneLine> pLine;
  std::unique_ptr<CAtChannel> pChannel;
  bool bReady = false;
  bool bSimLocked = false;  // set-up stopped at the SIM's PIN: the line stays open
  int nError = PHONE_SUCCESS;
  int nSetupError = PHONE_SETUP_FAILED;  // what operations report before a good set-up
  int nTimeOut = 10000;
  int nBaudRate = 9600;
  std::string strPin;
  CPhoneDiagnostics diag;

  // AT+CPMS=?: the storages of each parameter the phone takes (empty when it did not
  // say); the storages read, in order; MT read in place of a SIM it cannot select.
  std::vector<std::vector<std::string>> storageLists;
  bool bStoragesGuessed = false;
  std::vector<std::string> readStorages;
  bool bMtOffered = false;
  bool bMtForSim = false;
  int nAvailable = MSG_STORAGE_UNKNOWN;
  // How many names a storage selection takes on this phone: 0 until one worked.
  int nCpmsForm = 0;
  // The storages last chosen for reading and for writing (empty: not known), and
  // the use of the one for reading as the phone last told it (-1: not known).
  std::string strMem1;
  std::string strMem2;
  int nMem1Used = -1;
  int nMem1Total = -1;
  // AT+CMGL hung or was refused once: messages are read one by one with AT+CMGR.
  bool bReadByIndex = false;
  // The listing text a delete (or the listing before it) left after the phone
  // stopped answering: a delete that comes with it again fails at once instead of
  // waiting out another time-out. Cleared by a listing or delete that works.
  bool bStalled = false;
  std::string strStalledList;

  std::string strServiceCenter;
  bool bServiceCenterAnswered = false;
  std::string strManufacturer;
  std::string strModel;
  std::string strVersion;
  uint16_t nConcatReference = 0;
  PhoneProgress progress;  // may be empty

  Impl();

  int Fail(int nCode) {
    nError = nCode;
    return nCode;
  }
  int Succeed() {
    nError = PHONE_SUCCESS;
    return PHONE_SUCCESS;
  }
  int FailSetup(int nCode);
  int CheckReady() {
    if (!bReady || !pChannel)
      return Fail(nSetupError);
    return PHONE_SUCCESS;
  }
  void Close();
  void BeginOperation() {
    diag.nCmeError = -1;
    diag.nCmsError = -1;
  }

  // Runs a command and notes the phone's error number.
  AtStatus Command(const std::string& strCommand, CAtReply& reply);
  AtStatus CommandWithData(const std::string& strCommand, const std::string& strData, CAtReply& reply);
  void NoteReply(const CAtReply& reply);
  // The one error mapper: the status of a command that did not end in OK. A phone
  // that stops answering during set-up is a phone that is not ready; a refusal is
  // nOnError unless the SIM is the reason (then, during set-up, PHONE_NOT_READY).
  int CodeOf(AtStatus status, const CAtReply& reply, int nOnError = PHONE_ERROR_REPLY,
             bool bSetup = false) const;
  // The progress hook; false when the user wants the operation stopped.
  bool Report(PhoneStage stage, int nStorage, int nDone, int nTotal) const {
    return !progress || progress(stage, static_cast<Msg_Storage>(nStorage), nDone, nTotal);
  }

  // Set-up (PhoneSetup.cpp): of the device a COM name is mapped to, or (Open) of a
  // device named by its path.
  int Setup(int nPort, int nBaud, int nTimeOutMs);
  int Open(const std::string& strDevice, int nBaud, int nTimeOutMs);
  bool Wake();
  int RunSetupSteps();
  int EnterPin(const CAtReply& pinReply);
  int CheckPin(const CAtReply& reply);
  int CheckSmsService(const CAtReply& reply);
  int CheckStorages(const CAtReply& reply);
  int CheckServiceCentre(const CAtReply& reply);
  void ChooseStorages();
  int StorageNumber(const std::string& strName) const;
  std::string StorageName(int nStorage) const;
  int SelectStorage(const std::string& strStorage, bool bWrite);
  int PreferredStorage();
  int SetPreferredStorage(Msg_Storage storage);
  int ChangeBaud(int nBaud);
  int Information();

  // Messages (PhoneMessages.cpp).
  int ListStorage(const std::string& strStorage, std::vector<CAtListEntry>& entries,
                  std::vector<CAtBadEntry>& bad);
  int ReadByIndex(const std::string& strStorage, std::vector<CAtListEntry>& entries,
                  std::vector<CAtBadEntry>& bad);
  int ListAll(std::vector<CListedMessage>& listed);
  int Fetch(bool bOutgoing, CMessageArray* pArray);
  int Send(CMessage* pMessage, const std::string& strCommand);
  int Delete(std::string& strList, const CMessage* pMessage);
  int DeleteAll();
};
