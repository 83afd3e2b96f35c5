// A phone held open for a long time by one program (the watcher, the contacts and
// report commands of mireth): the line, the AT channel over it, and the few commands
// those programs need beyond CPhoneInterface, each answered with a phone status code
// (1 success, PHONE_TIMEOUT, PHONE_WRITE_FAILED when the line is gone, ...).
//
// Open() takes the device exclusively (the same lock as everything else), wakes the
// phone and sets it up for PDU mode with the rows of one table (echo off, numeric
// errors, PDU mode, the storages). Nothing here sleeps: every wait is a read of the
// line with a time-out.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tethra/AtChannel.h"
#include "tethra/AtEvents.h"
#include "tethra/PhoneLine.h"
#include "tethra/Phonebook.h"

// One message as the phone stores it.
struct CStoredPdu {
  std::string strStorage;  // "SM", "ME", ...
  int nIndex = -1;
  int nStat = -1;          // 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
  std::string strPdu;      // upper-case hex, service-centre part first
};

class CPhoneSession {
 public:
  CPhoneSession() = default;
  CPhoneSession(const CPhoneSession&) = delete;
  CPhoneSession& operator=(const CPhoneSession&) = delete;

  int Open(const std::string& strDevice, int nBaudRate, int nTimeOutMs);
  void Close();
  bool IsOpen() const { return m_pChannel != nullptr; }

  // One command; 1 on OK, else the status code of what went wrong.
  int Command(const std::string& strCommand, CAtReply& reply);
  // The storages AT+CPMS=? offers for reading, as the phone names them.
  const std::vector<std::string>& GetStorages() const { return m_storages; }

  // Learns from AT+CNMI=? how the phone announces messages, and turns that on
  // (status reports too, when bReports). strChosen receives the command written.
  int EnableIndications(bool bReports, std::string& strChosen);
  // Reads one stored message (AT+CMGR) into message.
  int ReadStored(const std::string& strStorage, int nIndex, CStoredPdu& message);
  int DeleteStored(const std::string& strStorage, int nIndex);
  // The messages of every storage with status nStat (AT+CMGL=nStat), in order.
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

  CAtChannel* GetChannel() { return m_pChannel.get(); }

 private:
  bool Wake(int nTimeOutMs);
  int SelectStorage(const std::string& strStorage);
  void TakeEvents(std::vector<CAtEvent>& events);
  int ReadPhonebook(const std::string& strStorage, bool bUcs2, std::vector<CPhonebookEntry>& entries);

  std::unique_ptr<IPhoneLine> m_pLine;
  std::unique_ptr<CAtChannel> m_pChannel;
  std::vector<std::string> m_storages;
  std::string m_strMem1;  // the storage AT+CPMS last chose for reading
  std::vector<CAtEvent> m_pending;  // events seen while a command ran
};

// The status code of an AT command's outcome.
int PhoneCodeOf(AtStatus status);
