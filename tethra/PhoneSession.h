// A phone held open for a long time by one program (the watcher, the contacts and
// report commands of mireth): the line, the AT channel over it, and the few commands
// those programs need beyond CPhoneInterface, each answered with a phone status code
// (1 success, PHONE_TIMEOUT, PHONE_WRITE_FAILED when the line is gone, ...).
//
// Open() takes the device exclusively (the same lock as everything else) and sets
// the phone up exactly as CPhoneInterface does (the same steps, PIN entry included);
// storages are chosen and listed by the phone library's own code, so every phone it
// copes with is coped with here too. Nothing here sleeps: every wait is a read of
// the line with a time-out.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/PhoneInterface.h"
#include "tethra/AtResponse.h"
#include "model/PhoneStatus.h"
#include "tethra/AtChannel.h"
#include "tethra/AtEvents.h"
#include "tethra/Phonebook.h"

// One message as the phone stores it, as a listing or a read gives it.
struct CStoredPdu {
  std::string strStorage;  // "SM", "ME", ...
  int nIndex = -1;
  int nStat = -1;      // 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
  std::string strPdu;  // upper-case hex, service-centre part first
};

class CPhoneSession {
 public:
  CPhoneSession();
  ~CPhoneSession();
  CPhoneSession(const CPhoneSession&) = delete;
  CPhoneSession& operator=(const CPhoneSession&) = delete;

  // The PIN given to a SIM that asks for one, at most once per Open (a wrong one
  // must not use up the SIM's tries by being given again and again).
  void SetSimPin(const std::string& strPin) { m_strPin = strPin; }
  int Open(const std::string& strDevice, int nBaudRate, int nTimeOutMs);
  void Close();
  bool IsOpen() const;
  // What the phone said of the last failure: its +CME/+CMS ERROR number, the SIM
  // lock that stopped set-up; and the entries of the last listing it could not read.
  const CPhoneDiagnostics& GetDiagnostics() const;

  // One command; 1 on OK, else the status code of what went wrong.
  int Command(const std::string& strCommand, CAtReply& reply);

  // Learns from AT+CNMI=? how the phone announces messages, and turns that on
  // (status reports too, when bReports). strChosen receives the command written.
  int EnableIndications(bool bReports, std::string& strChosen);
  // Reads one stored message (AT+CMGR) into message.
  int ReadStored(const std::string& strStorage, int nIndex, CStoredPdu& message);
  int DeleteStored(const std::string& strStorage, int nIndex);
  // The messages of every storage with status nStat (an AtMessageStat; AT_STAT_ALL:
  // all of them), in order.
  int ListStored(int nStat, std::vector<CStoredPdu>& messages);
  // Waits up to nTimeOutMs for the phone to announce something; the announcements
  // that came are appended to events (URCs that are not events are dropped).
  int WaitForEvents(int nTimeOutMs, std::vector<CAtEvent>& events);
  // Sends one SMS-SUBMIT (hex, service-centre part first) with AT+CMGS and returns
  // the message reference the network gave it.
  int SendPdu(const std::string& strPdu, size_t nTpduLength, int& nReference);

  // Reads the SIM ("SM") and phone ("ME") phonebooks, those of them the phone has,
  // with names in UCS2 when the phone takes AT+CSCS="UCS2" (the character set it
  // had is chosen again afterwards).
  int ReadPhonebooks(std::vector<CPhonebookEntry>& entries);

 private:
  // The status code of a command's outcome, and the events that came with it.
  int Finish(AtStatus status, const CAtReply& reply, int nOnError = PHONE_ERROR_REPLY);
  void TakeEvents(std::vector<CAtEvent>& events);
  // Chooses the storage to read or delete in with the library's storage selection.
  int Select(const std::string& strStorage);
  int ReadPhonebook(const std::string& strStorage, bool bUcs2, std::vector<CPhonebookEntry>& entries);

  std::unique_ptr<CPhoneInterface::Impl> m_pImpl;
  std::string m_strPin;
  std::vector<CAtEvent> m_pending;  // events seen while a command ran
};
