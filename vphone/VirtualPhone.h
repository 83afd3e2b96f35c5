#pragma once
// CVirtualPhone: a GSM phone in PDU mode on a pseudo-terminal, for running the phone
// library, the command-line program and the window without hardware, and for tests.
//
// Start() opens a pseudo-terminal and answers AT commands on its own thread; a client
// opens GetSlavePath() (or the symbolic link made at m_strLinkPath) as it would open a
// serial port. The phone echoes by default, frames its answers as V.250 verbose result
// codes ("\r\nOK\r\n"), keeps messages in phone ("ME") and SIM ("SM") storages,
// sends with AT+CMGS/AT+CMSS (a message to its own number comes back as a received
// one, announced by +CMTI), can pace its output at a baud rate and can misbehave in
// the ways CVirtualPhoneFaults lists. Everything here is thread-safe.
//
//   CVirtualPhoneConfig config;
//   config.m_strMessagesFile = "vphone/demo-messages.txt";
//   CVirtualPhone phone(config);
//   std::string strError;
//   if (!phone.Start(&strError)) ...;             // strError says why
//   int fd = open(phone.GetSlavePath().c_str(), O_RDWR | O_NOCTTY);
//   ...                                            // talk AT on fd
//   phone.GetMessages("SM"); phone.GetLog();       // look at what happened
//   phone.Stop();
//
// How it answers
// --------------
// Information lines are framed "\r\n<line>\r\n" (a +CMGL/+CMGR header is followed
// directly by its PDU line), final results "\r\n<result>\r\n". +CGMI, +CGMM, +CGMR
// and +CGSN give the bare text unless m_bPrefixedInfo is set. Errors follow +CMEE:
// 0 (at start and after ATZ) plain ERROR, 1 "+CME ERROR: n" / "+CMS ERROR: n",
// 2 the verbose texts; a bad syntax or parameter is always plain ERROR. PDU mode only
// (AT+CMGF=1 gives +CMS ERROR: 303). AT+CMGS/AT+CMGW prompt with "\r\n> ", take the
// PDU (CR, LF and blanks ignored) up to Ctrl-Z, or cancel with Esc and answer OK.
// Unsolicited codes never split an answer: a +CMTI that arises while a command runs
// or a prompt is open follows its final result.
//
// Messages file
// -------------
// Text, one message per line:   STORAGE STATUS PDU
//   STORAGE  ME (phone memory) or SM (SIM card)
//   STATUS   0 REC UNREAD or 1 REC READ: PDU is an SMS-DELIVER;
//            2 STO UNSENT or 3 STO SENT: PDU is an SMS-SUBMIT
//   PDU      hexadecimal, service-centre address field first, exactly as +CMGL
//            shows it (a lone 00 means "no service centre given")
// Blank lines are skipped and '#' starts a comment that runs to the end of the line.
// Each storage fills from index 1 in the order of the file. A line that does not
// parse, a PDU that is not well formed, or more messages than a storage holds stop
// the load with the file name and line number. Example:
//   # "How are you?" from +31641600986
//   SM 1 07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07
//
// Log
// ---
// One line per event, in m_strLogFile and in GetLog(): "CMD <command line>",
// "PDU <hex typed after the prompt>", "SENT <reference> <pdu>", "RECV <storage>
// <index> <pdu>", "STORED <storage> <index> <pdu>", "DELETED <storage> <index>",
// "REJECTED <reason>", "FAULT <canned reply>", "SILENT", "HANGUP". Control bytes in
// a command line are written as \xHH.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vphone/VirtualPhoneConfig.h"

namespace vphone {
class CAtInterpreter;
}

// A stored message as the phone holds it.
struct CVirtualPhoneMessage {
  int m_nIndex = 0;
  int m_nStatus = 0;     // 0 REC UNREAD, 1 REC READ, 2 STO UNSENT, 3 STO SENT
  std::string m_strPdu;  // upper-case hex, service-centre part first
};

class CVirtualPhone {
 public:
  explicit CVirtualPhone(const CVirtualPhoneConfig& config = CVirtualPhoneConfig());
  ~CVirtualPhone();
  CVirtualPhone(const CVirtualPhone&) = delete;
  CVirtualPhone& operator=(const CVirtualPhone&) = delete;

  // Loads the messages, opens the log and the pseudo-terminal, makes the link and
  // starts answering. False, with the reason in *pError, when any of it fails.
  bool Start(std::string* pError = nullptr);
  // Stops answering, closes the pseudo-terminal and removes the link. Returns at
  // once, whatever the line is doing. Safe to call more than once.
  void Stop();
  // Waits until the phone has stopped or hung up; nTimeoutMs < 0 waits for ever.
  // True when it has ended.
  bool WaitUntilEnded(int nTimeoutMs);
  bool IsHungUp() const { return m_bHungUp; }

  // The terminal a client opens ("/dev/pts/3").
  const std::string& GetSlavePath() const { return m_strSlavePath; }

  // Inspection: copies taken under the phone's lock.
  std::vector<std::string> GetLog() const;
  // Waits until the log satisfies the test (checked after every batch of input the
  // phone handles); nTimeoutMs < 0 waits for ever. True when it did.
  bool WaitForLog(const std::function<bool(const std::vector<std::string>&)>& test, int nTimeoutMs) const;
  // Every PDU that went out to the network (AT+CMGS, AT+CMSS), in order.
  std::vector<std::string> GetSentPdus() const;
  // The messages of a storage ("ME", "SM"), by ascending index.
  std::vector<CVirtualPhoneMessage> GetMessages(const std::string& strStorage) const;
  // Preferred storage: 0 read/list/delete, 1 write/send, 2 receive.
  std::string GetPreferredStorage(int nWhich) const;
  // The rate the output is paced at now (0 = unpaced).
  int GetBaudRate() const;

  // A message arrives from the network: an SMS-DELIVER (hex, service-centre part
  // first) stored as REC UNREAD in strStorage ("" = the receive storage set by
  // AT+CPMS) and announced with +CMTI. Returns its index, or 0 with the reason.
  int InjectReceivedMessage(const std::string& strPduHex, const std::string& strStorage = "",
                            std::string* pError = nullptr);
  // Status reports for messages sent with a report request: sent nDelayMs after the
  // message with TP-ST nStatus (0 delivered, 0x41 failed, ...). Default 200 ms, 0.
  void SetReportOutcome(int nDelayMs, int nStatus);
  // Sends an unsolicited result code line ("RING", "+CREG: 1") now.
  void InjectUnsolicited(const std::string& strLine);
  // Replaces the faults; command counts start from here.
  void SetFaults(const CVirtualPhoneFaults& faults);
  // Hangs up once what was already sent has been read.
  void HangUp();

 private:
  void Run();
  void Wake();
  void CloseAll();
  void RemoveLink();
  void MarkEnded();

  CVirtualPhoneConfig m_config;
  std::unique_ptr<vphone::CAtInterpreter> m_pInterpreter;
  mutable std::mutex m_mutex;  // guards the interpreter and m_bEnded
  std::condition_variable m_cvEnded;
  mutable std::condition_variable m_cvLog;
  bool m_bEnded = false;
  std::thread m_thread;
  std::atomic<bool> m_bStop{false};
  std::atomic<bool> m_bHungUp{false};
  std::atomic<int> m_nPacedRate{0};
  int m_fdMaster = -1;
  int m_fdSlave = -1;   // held open so the terminal survives clients closing it
  int m_fdWake = -1;    // eventfd: new output or Stop
  int m_fdNotify = -1;  // inotify on the slave: clients opening and closing it
  std::string m_strSlavePath;
  bool m_bLinked = false;
};
