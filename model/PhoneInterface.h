// The phone-access object: talks to a GSM phone or modem on a serial line with the
// AT commands of GSM 07.05/07.07 in PDU mode. Declared here, with the records it
// reads and fills; implemented by the phone library (tethra/).
//
// Every int operation returns 1 on success; otherwise GetPhoneErrorCode() gives the
// status code that the error dialog explains. Calls never overlap: they come from
// one thread at a time (not always the same one).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/Lists.h"

// What a long phone operation is doing when it reports progress.
enum PhoneStage {
  PHONE_STAGE_SETUP = 1,
  PHONE_STAGE_READING = 2,
  PHONE_STAGE_SENDING = 3,
  PHONE_STAGE_DELETING = 4
};

// Progress of a long operation, called on the thread that runs it, between two
// commands: the stage, the storage it concerns (MSG_STORAGE_UNKNOWN when none), how
// many steps are done and how many there are (0 when not known yet). Returning false
// stops the operation at that command boundary; it then returns PHONE_CANCELLED.
using PhoneProgress = std::function<bool(PhoneStage stage, Msg_Storage storage, int nDone, int nTotal)>;

// A message the phone holds that could not be read: the storage ("SM", "ME", "MT"
// ...), its index there (-1 when the phone did not say) and why.
struct CPhoneUnreadable {
  std::string strStorage;
  int nIndex = -1;
  std::string strReason;
};

// What the last operation learnt beside its status code.
struct CPhoneDiagnostics {
  // The number of the phone's last "+CME ERROR: n" / "+CMS ERROR: n" (-1: none).
  int nCmeError = -1;
  int nCmsError = -1;
  // The SIM waits for a PIN (or PUK): its +CPIN code ("SIM PIN"), empty when not.
  std::string strSimLock;
  // The entries of the last listing that could not be read.
  std::vector<CPhoneUnreadable> unreadable;
};

class CPhoneInterface {
 public:
  CPhoneInterface();
  virtual ~CPhoneInterface();  // releases the port
  CPhoneInterface(const CPhoneInterface&) = delete;
  CPhoneInterface& operator=(const CPhoneInterface&) = delete;

  // Opens port nPort (0 = "COM1") at nBaudRate and sets up the phone for SMS in PDU
  // mode; nTimeOut is the reply time-out in milliseconds.
  int SetupCommPort(int nPort, int nBaudRate, int nTimeOut);
  int GetPhoneErrorCode() const;

  // strCommand is "AT+CMGS=" (send) or "AT+CMGW=" (store on the phone). Sets the
  // record's m_strPdu to what was written.
  int SendMessageToPhone(CMessage* pMessage, const std::string& strCommand);
  // Fill an empty array with new records that the caller owns; -976 when the phone
  // holds none.
  int GetIncomingMessagesFromPhone(CMessageArray* pArray);
  int GetOutgoingMessagesFromPhone(CMessageArray* pArray);
  int ListAllMessages(std::string& strList);
  int DeletePhoneMessage(std::string& strList, const CMessage* pMessage);
  int DeleteAllPhoneMessages();
  int GetAvailableStorage() const;
  int GetPreferredMessageStorage();
  int SetPreferredMessageStorage(Msg_Storage storage);
  int ChangeBaudRate(int nBaudRate);
  void ChangeTimeOut(int nTimeOut);
  // Installs (or, with an empty function, removes) the progress report of listings,
  // multi-part sends and deletes.
  void SetProgressCallback(PhoneProgress progress);
  // The PIN that set-up gives the SIM when it asks for one (AT+CPIN="NNNN"); it is
  // never logged or shown. Empty: none.
  void SetSimPin(const std::string& strPin);
  const CPhoneDiagnostics& GetDiagnostics() const;
  // Works after a set-up that stopped at a SIM that waits for its PIN, too.
  int GetPhoneInformation();
  std::string GetPhoneManufacturer() const;
  std::string GetPhoneModel() const;
  std::string GetPhoneVersion() const;

  // Implementation state of the phone library.
  struct Impl;

 private:
  std::unique_ptr<Impl> m_pImpl;
};
