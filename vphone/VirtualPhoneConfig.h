#pragma once
// Settings of the virtual phone: what it is, what it holds at start and how it
// misbehaves. The program fills this from its command line; tests fill it directly.

#include <string>
#include <vector>

// A command that gets a canned final result instead of its real answer.
struct CVirtualPhoneCommandFault {
  // Start of the command line, compared without regard to case ("AT+CMGL", "AT+CMGS=").
  std::string m_strPrefix;
  // The final result sent instead, verbatim ("ERROR", "+CMS ERROR: 500").
  std::string m_strReply;
  // How many times the fault fires; -1 = every time.
  int m_nTimes = -1;
};

// Faults. Command counts start when the faults are set (at start, or by SetFaults).
struct CVirtualPhoneFaults {
  // Answer this many command lines, then fall silent for good: no echo, no reply.
  // -1 = never.
  int m_nSilentAfter = -1;
  // Answer this many command lines, then hang up (close the line). 0 hangs up on the
  // first command without answering it. -1 = never.
  int m_nHangUpAfter = -1;
  // Hang up in the middle of a +CMGL listing, after this many entries (0 = right
  // after the echo), when the listing holds more than that. -1 = never.
  int m_nHangUpInListing = -1;
  // Send a burst of garbage bytes before the reply of every n-th command line.
  // 0 = never.
  int m_nGarbageEvery = 0;
  // Send this many unsolicited result codes in every gap: before a reply, between the
  // entries of a listing, before the final result and after it. 0 = none.
  int m_nUrcFlood = 0;
  // Answer ATE0 with ERROR and keep echoing.
  bool m_bRefuseEchoOff = false;
  // The first n command lines that need the SIM get "SIM busy".
  int m_nSimBusyFor = 0;
  // Canned answers for given commands. For AT+CMGS and AT+CMGW the prompt is still
  // given and the canned result replaces the answer after the PDU.
  std::vector<CVirtualPhoneCommandFault> m_vecCommandFaults;
};

struct CVirtualPhoneConfig {
  // Where to create a symbolic link to the pseudo-terminal ("" = none). An existing
  // symbolic link there is replaced; anything else at that path stops the start.
  std::string m_strLinkPath;
  // Messages to load at start ("" = none); the format is described in VirtualPhone.h.
  std::string m_strMessagesFile;
  // Storages the phone offers, in the order AT+CPMS=? lists them ("ME", "SM").
  std::vector<std::string> m_vecStorages{"ME", "SM"};
  int m_nPhoneCapacity = 100;  // "ME"
  int m_nSimCapacity = 30;     // "SM"
  // How many storage parameters AT+CPMS takes (mem1 only, mem1+mem2, or all three).
  int m_nCpmsParameters = 3;
  // The phone's own number: a message sent to it comes back as a received message.
  std::string m_strOwnNumber = "+447700900123";
  // Service-centre address answered to AT+CSCA? ("" = none set).
  std::string m_strSmsc = "+447958879879";
  std::string m_strManufacturer = "Kelvane";
  std::string m_strModel = "VP-1";
  std::string m_strRevision = "V1.0 2024-05-02";
  std::string m_strImei = "356938035643809";
  std::string m_strImsi = "234150999999999";
  // Answer +CGMI/+CGMM/+CGMR/+CGSN with the command's name in front
  // ("+CGMI: Kelvane"), as some phones do, instead of the bare text.
  bool m_bPrefixedInfo = false;
  // Log file: one line per command received and per PDU handled ("" = none).
  std::string m_strLogFile;
  // Pace the phone's output at this many bits per second (10 bits per byte);
  // 0 = as fast as the line takes it. AT+IPR=n changes the rate after its OK.
  int m_nBaudRate = 0;
  // PIN the SIM asks for ("" = none; AT+CPIN? answers READY).
  std::string m_strPin;
  // +CMEE mode at start and after ATZ: 0 plain ERROR, 1 numeric, 2 verbose.
  int m_nCmee = 0;

  // The dialect of a real device (see Dialects.h).
  // What ends every line the phone sends ("\r\n"; some send "\r" alone).
  std::string m_strLineEnd = "\r\n";
  // The phone's word for a plain error ("COMMAND NOT SUPPORT" on some).
  std::string m_strErrorWord = "ERROR";
  // AT+CMEE=1 is taken, but errors keep the mode the phone started with.
  bool m_bCmeeFixed = false;
  // The answer line to AT+CPMS=? and to AT+CPMS?, as given ("" = built from the
  // storages).
  std::string m_strCpmsTestReply;
  std::string m_strCpmsReadReply;
  // Fewer storage names than this in AT+CPMS=... are refused.
  int m_nCpmsMinParameters = 1;
  // Other names for storages, "NAME=STORAGE" ("SM_P=SM").
  std::vector<std::string> m_vecStorageAliases;
  // Offers "MT": the phone memory and the SIM as one storage (ME's indexes first,
  // then SM's after ME's capacity); messages written there go to the SIM.
  bool m_bMtStorage = false;
  // Storages AT+CPMS=... refuses to choose (a SIM read only through MT).
  std::vector<std::string> m_vecUnselectable;
  // Answers AT+CPIN? with its +CPIN line and no OK after it.
  bool m_bCpinWithoutOk = false;
  // Never answers AT+CMGL (other commands are answered).
  bool m_bCmglHangs = false;
  // The n-th entry (1 = first) of every listing has a PDU that is not hexadecimal.
  int m_nCorruptEntry = 0;
  CVirtualPhoneFaults m_faults;
};
