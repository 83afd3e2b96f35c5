#pragma once
// The phone's command processor: takes the bytes the client writes, answers as a GSM
// phone in PDU mode does (V.250 framing, 27.007 and 27.005 commands) and queues the
// bytes to send back. It knows nothing of the line: CVirtualPhone feeds it and sends
// what it queues, pacing it and acting on the hang-up and rate-change items.
// Not thread-safe; CVirtualPhone serialises every call.

#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

#include "vphone/MessageStore.h"
#include "vphone/NetworkReports.h"
#include "vphone/Phonebook.h"
#include "vphone/SmsPdu.h"
#include "vphone/VirtualPhoneConfig.h"

namespace vphone {

// One thing for the line to do, in order.
struct COutputItem {
  enum EKind {
    eBytes,    // send m_strBytes
    eHangUp,   // close the line once everything before it has been read
    eSetRate,  // pace what follows at m_nRate bits per second
  };
  EKind m_eKind = eBytes;
  std::string m_strBytes;
  int m_nRate = 0;
};

class CAtInterpreter {
 public:
  explicit CAtInterpreter(const CVirtualPhoneConfig& config);

  // Sets up the storages and opens the log file; false with a reason on a bad setting.
  bool Init(std::string& strError);

  // Bytes from the client.
  void Feed(const char* pData, std::size_t nSize);
  // Everything queued since the last call.
  std::vector<COutputItem> TakeOutput();

  // Stores a received message (an SMS-DELIVER in hex, service-centre part first) as
  // REC UNREAD in the given storage ("" = the storage for received messages) and
  // announces it with +CMTI as +CNMI asks. Returns the index, or 0 with a reason.
  int Receive(const std::string& strStorage, const std::string& strHex, std::string& strError);
  // Sends an unsolicited result code now (or right after a pending PDU prompt).
  void Unsolicited(const std::string& strLine);
  // Status reports: how they turn out, and sending those that are due (as +CDS when
  // +CNMI asks for them; otherwise they are dropped).
  CNetworkReports& Reports() { return m_reports; }
  void SendDueReports(CNetworkReports::Clock::time_point tNow);
  // Replaces the faults; command counts start again from zero.
  void SetFaults(const CVirtualPhoneFaults& faults);
  // Closes the line once what was sent before has been read.
  void HangUp();

  CMessageStore& Store() { return m_store; }
  const CMessageStore& Store() const { return m_store; }
  const std::vector<std::string>& GetLog() const { return m_vecLog; }
  const std::vector<std::string>& GetSentPdus() const { return m_vecSent; }
  bool IsEchoOn() const { return m_bEcho; }
  int GetRate() const { return m_nRate; }
  bool IsHungUp() const { return m_bHungUp; }
  // Preferred storages as AT+CPMS set them: 0 read/list/delete, 1 write/send, 2 receive.
  const std::string& GetPreferredStorage(int nWhich) const { return m_strMem[nWhich]; }

 private:
  enum ECommandKind { eExec, eSet, eRead, eTest };

  // Outcome of one command of a command line.
  struct CResult {
    enum EKind { eOk, eError, eCme, eCms, eRaw, ePrompt, eNoAnswer };
    EKind m_eKind = eOk;
    int m_nCode = 0;
    std::string m_strText;  // eRaw
  };
  using Handler = CResult (CAtInterpreter::*)(ECommandKind, const std::string&);
  struct CCommandEntry {
    const char* m_pszName;
    Handler m_pfnHandler;
    bool m_bSim;  // needs the SIM: fails while it is busy or locked
    bool m_bSms;  // an SMS command: errors come as +CMS ERROR
  };

  // One argument of a set command.
  struct CArg {
    std::string m_strText;
    bool m_bQuoted = false;
    bool IsEmpty() const { return !m_bQuoted && m_strText.empty(); }
  };

  // Input.
  void FeedCommandByte(char c);
  void FeedPduByte(char c);
  void ExecuteLine(const std::string& strLine);
  bool ExecuteCommands(const std::string& strUpper, std::size_t nPos, CResult& result);
  CResult RunExtended(const std::string& strName, ECommandKind eKind, const std::string& strArgs);
  CResult RunBasic(char cName, const std::string& strUpper, std::size_t& nPos);
  void FinishPdu();
  void ResetSettings();

  // Output.
  void Emit(const std::string& strBytes);
  void EmitUrcFlood();
  void AddInfo(const std::string& strLine, bool bGlued = false);
  void EmitReply(const CResult& result);
  void EmitInfo();
  std::string FinalText(const CResult& result) const;
  void AnnounceNewMessage(const std::string& strStorage, int nIndex);
  void WriteLog(const std::string& strLine);

  // Faults (AtFaults.cpp).
  bool HangUpBeforeCommand();
  void EmitLineNoise();
  bool AnswerByCommandFault(const std::string& strUpper);
  void AfterCommandLine();

  static bool SplitArgs(const std::string& strArgs, std::vector<CArg>& args);
  static bool ToInt(const CArg& arg, int& nValue);
  CResult Ok() const { return CResult{}; }
  CResult Error() const { return CResult{CResult::eError, 0, {}}; }
  CResult Cme(int nCode) const { return CResult{CResult::eCme, nCode, {}}; }
  CResult Cms(int nCode) const { return CResult{CResult::eCms, nCode, {}}; }

  // Commands (AtCommands.cpp, message commands in AtMessages.cpp).
  CResult OnCmee(ECommandKind, const std::string&);
  CResult OnCpin(ECommandKind, const std::string&);
  CResult OnCscs(ECommandKind, const std::string&);
  CResult OnCnmi(ECommandKind, const std::string&);
  CResult OnIpr(ECommandKind, const std::string&);
  CResult OnCmgf(ECommandKind, const std::string&);
  CResult OnCsms(ECommandKind, const std::string&);
  CResult OnCpms(ECommandKind, const std::string&);
  CResult OnCsca(ECommandKind, const std::string&);
  CResult OnCgmi(ECommandKind, const std::string&);
  CResult OnCgmm(ECommandKind, const std::string&);
  CResult OnCgmr(ECommandKind, const std::string&);
  CResult OnCgsn(ECommandKind, const std::string&);
  CResult OnCimi(ECommandKind, const std::string&);
  CResult OnCmgl(ECommandKind, const std::string&);
  CResult OnCmgr(ECommandKind, const std::string&);
  CResult OnCmgd(ECommandKind, const std::string&);
  CResult OnCmgs(ECommandKind, const std::string&);
  CResult OnCmgw(ECommandKind, const std::string&);
  CResult OnCmss(ECommandKind, const std::string&);
  CResult OnCsq(ECommandKind, const std::string&);
  CResult OnCreg(ECommandKind, const std::string&);
  CResult OnCops(ECommandKind, const std::string&);
  CResult OnCfun(ECommandKind, const std::string&);
  CResult OnCbc(ECommandKind, const std::string&);
  CResult OnCpbs(ECommandKind, const std::string&);  // AtPhonebook.cpp
  CResult OnCpbr(ECommandKind, const std::string&);
  CResult InfoText(ECommandKind eKind, const char* pszName, const std::string& strValue);

  // Storages as the client names them: aliases, and MT as ME and SM together
  // (AtMessages.cpp).
  struct CPlace {
    std::string m_strStorage;
    int m_nIndex = 0;
    int m_nView = 0;  // the index the client sees
  };
  std::string RealName(const std::string& strName) const;
  bool IsSelectable(const std::string& strName) const;
  std::vector<CPlace> Places(const std::string& strMem) const;
  bool Resolve(const std::string& strMem, int nView, CPlace& place) const;
  int ViewUsed(const std::string& strMem) const;
  int ViewCapacity(const std::string& strMem) const;
  std::string WriteTarget(const std::string& strMem) const;
  const std::string& Eol() const { return m_config.m_strLineEnd; }

  // Sending: the message reference given, the message delivered back if it was for us.
  int SendToNetwork(const Octets& octets, const CSmsPdu& pdu);
  static const CCommandEntry* FindCommand(const std::string& strName);

  CVirtualPhoneConfig m_config;
  CMessageStore m_store;
  std::ofstream m_logFile;
  std::vector<std::string> m_vecLog;
  std::vector<std::string> m_vecSent;
  std::vector<COutputItem> m_vecOutput;

  // Line state.
  std::string m_strLine;
  bool m_bLineOverflow = false;
  bool m_bLastWasCr = false;
  bool m_bInPdu = false;
  std::string m_strPduText;
  bool m_bPduOverflow = false;
  bool m_bPduForSend = false;  // AT+CMGS, else AT+CMGW
  int m_nPduLength = 0;
  int m_nPduStatus = eStoUnsent;
  std::string m_strPduFault;  // canned result for the answer after the PDU
  std::vector<std::string> m_vecDeferredUrcs;

  // Reply under construction: info lines; a glued line may not be parted from the
  // one before (a PDU from its +CMGL header) by unsolicited codes.
  std::vector<std::pair<std::string, bool>> m_vecInfo;
  bool m_bHangUpAfterInfo = false;  // a listing cut short by the hang-up fault
  bool m_bReplyOpen = false;        // a command is running: +CMTI waits for its answer
  int m_nPendingRate = 0;           // AT+IPR: new pacing rate after the OK

  // Settings.
  bool m_bEcho = true;
  int m_nCmee = 0;
  std::string m_strCharset = "GSM";
  int m_anCnmi[5] = {2, 1, 0, 0, 0};
  int m_nCsms = 0;
  int m_nRate = 0;  // pacing rate; 0 = unpaced
  int m_nIpr = 115200;
  std::string m_strSmsc;
  int m_nSmscType = 145;
  std::string m_strMem[3];
  bool m_bPinLocked = false;
  int m_nNextReference = 1;
  int m_nCreg = 0;
  int m_anSRegisters[13] = {0, 0, 43, 13, 10, 8, 2, 50, 2, 6, 14, 95, 50};

  // Phonebooks and the network's status reports.
  CPhonebook m_phonebook;
  std::string m_strPhonebook = "SM";
  CNetworkReports m_reports;

  // Faults.
  CVirtualPhoneFaults m_faults;
  int m_nCommands = 0;
  int m_nUrcTurn = 0;
  bool m_bSilent = false;
  bool m_bHungUp = false;
};

}  // namespace vphone
