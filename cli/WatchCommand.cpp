// mireth watch: holds the phone and shows each message the moment it arrives.
//
//   mireth watch [--json] [--store] [--delete] [--exec CMD] [--hold SECONDS]
//                [--retry SECONDS] [connection options, see SessionOptions.h]
//
// At start, and again whenever the phone comes back, the unread messages already on
// the phone are read; then the phone's new-message indications (+CMTI, +CMT) and
// status reports (+CDS, +CDSI) are turned on and each is read and printed as it
// comes: a table line, or one JSON object a line with --json. The parts of a long
// message are printed once, joined, when the last arrives, or after --hold seconds
// (default 60) marked incomplete.
//
//   --store    appends each message to the Inbox store file of the data folder,
//              unless a message with the same key is there already
//   --delete   deletes each message from the phone once it is stored (needs --store)
//   --exec CMD runs CMD with /bin/sh for each message and report, the fields in
//              environment variables (MIRETH_KIND, MIRETH_FROM, MIRETH_TIME,
//              MIRETH_TEXT, MIRETH_COMPLETE, MIRETH_PLACES, MIRETH_SMSC; for reports
//              MIRETH_STATE, MIRETH_STATUS, MIRETH_REFERENCE, MIRETH_SENT_TEXT); the
//              message's text never becomes part of a command line
//
// When the phone goes away, watch says so, tries again every --retry seconds
// (default 5) and carries on. SIGINT and SIGTERM end it cleanly (exit status 0). A
// SIM that waits for its PIN ends it at once with the reason (exit status 1): the PIN
// of --pin is tried once per set-up, never again after a refusal.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/ReportCommand.h"
#include "cli/SessionOptions.h"
#include "cli/TableCell.h"
#include "model/PhoneStatus.h"
#include "model/RecordJson.h"
#include "model/StoreFile.h"
#include "model/StoreLists.h"
#include "platform/Deadline.h"
#include "tethra/ArrivalBuffer.h"
#include "tethra/PduDecoder.h"
#include "tethra/PhoneSession.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t g_bStop = 0;

void OnStopSignal(int) { g_bStop = 1; }

// The longest the watcher blocks in one read: how soon it sees a stop signal.
constexpr int kListenSlice = 500;

struct CWatchOptions {
  bool bJson = false;
  bool bStore = false;
  bool bDelete = false;
  std::string strExec;
  int nHoldSeconds = 60;
  int nRetrySeconds = 5;
};

bool ParseWatchOptions(const std::vector<std::string>& args, CWatchOptions& w, std::string& strError) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      w.bJson = true;
    } else if (a == "--store") {
      w.bStore = true;
    } else if (a == "--delete") {
      w.bDelete = true;
    } else if (a == "--exec" || a == "--hold" || a == "--retry") {
      if (i + 1 >= args.size()) {
        strError = a + " needs a value";
        return false;
      }
      const std::string& v = args[++i];
      if (a == "--exec") {
        w.strExec = v;
      } else if (!ParseCount(v, a == "--hold" ? w.nHoldSeconds : w.nRetrySeconds) ||
                 (a == "--retry" && w.nRetrySeconds == 0)) {
        strError = a + " takes a number of seconds";
        return false;
      }
    } else {
      strError = "unknown option '" + a + "'";
      return false;
    }
  }
  if (w.bDelete && !w.bStore) {
    strError = "--delete deletes what --store has stored: give both";
    return false;
  }
  return true;
}

// Environment variables for --exec: the process's own plus the fields.
class CExecEnvironment {
 public:
  void Set(const std::string& strName, const std::string& strValue) {
    std::string v;
    for (char c : strValue)
      if (c != '\0')
        v += c;
    m_vars.push_back(strName + "=" + v);
  }
  // Runs strCommand with /bin/sh -c and waits for it; its exit status, or -1.
  int Run(const std::string& strCommand) {
    std::vector<char*> envp;
    for (char** p = environ; *p != nullptr; ++p)
      if (std::strncmp(*p, "MIRETH_", 7) != 0)
        envp.push_back(*p);
    for (std::string& s : m_vars)
      envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string strShell = "/bin/sh", strDashC = "-c", strCmd = strCommand;
    char* argv[] = {strShell.data(), strDashC.data(), strCmd.data(), nullptr};
    std::fflush(stdout);
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, envp.data()) != 0)
      return -1;
    int nStatus = 0;
    while (waitpid(pid, &nStatus, 0) < 0)
      if (errno != EINTR)
        return -1;
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
  }

 private:
  std::vector<std::string> m_vars;
};

class CWatcher {
 public:
  CWatcher(const CWatchOptions& w, const CSessionOptions& o, std::string strDevice)
      : m_w(w), m_o(o), m_strDevice(std::move(strDevice)), m_buffer(std::chrono::seconds(w.nHoldSeconds)) {
    m_strDataFolder = SessionDataFolder(o);
    m_session.SetSimPin(o.strPin);
  }

  int Run();

 private:
  bool Connect();
  bool WaitToRetry();
  // Reads what an event announces; false when the line is gone.
  bool Handle(const CAtEvent& event);
  // Takes the unread messages of every storage the phone lists.
  void ReadUnread();
  void TakePdu(const CStoredPdu& place);
  void Emit(CArrival& arrival);
  void EmitReport(const CPduMessage& report, const CStoredPdu& place);
  bool StoreInInbox(const CMessage& message);
  void DeleteFromPhone(const CArrival& arrival);
  void Flush(std::vector<CArrival>& ready);

  CWatchOptions m_w;
  CSessionOptions m_o;
  std::string m_strDevice;
  std::string m_strDataFolder;
  CPhoneSession m_session;
  CArrivalBuffer m_buffer;
  bool m_bLineGone = false;
  bool m_bSaidWaiting = false;
  int m_nExit = 0;  // 1 once the watch has ended on a failure waiting cannot mend
  // The stored messages taken ("SM:3:<pdu>"): one listed at start and announced too
  // (it arrived while the listing ran) is taken once.
  std::set<std::string> m_taken;
};

bool CWatcher::WaitToRetry() {
  Clock::time_point until = Clock::now() + std::chrono::seconds(m_w.nRetrySeconds);
  while (!g_bStop && Clock::now() < until) {
    const int nLeft = MillisecondsUntil(until);
    struct timespec ts {
      0, static_cast<long>(std::min<int>(nLeft, kListenSlice)) * 1000000L
    };
    nanosleep(&ts, nullptr);  // waiting for a device to come back, not for a reply
  }
  return !g_bStop;
}

bool CWatcher::Connect() {
  while (!g_bStop) {
    int nCode = m_session.Open(m_strDevice, m_o.nBaudRate, m_o.nTimeOut);
    std::string strCnmi;
    if (nCode == PHONE_SUCCESS)
      nCode = m_session.EnableIndications(true, strCnmi);
    if (nCode == PHONE_SUCCESS) {
      std::fprintf(stderr, "mireth watch: watching %s (%s)\n", m_strDevice.c_str(), strCnmi.c_str());
      m_bSaidWaiting = false;
      m_bLineGone = false;
      // What arrived while nobody watched.
      ReadUnread();
      std::vector<CArrival> ready;
      Flush(ready);
      return true;
    }
    m_session.Close();
    if (!m_session.GetDiagnostics().strSimLock.empty()) {
      // A SIM that waits for its PIN (or took a wrong one) will not open by waiting,
      // and a PIN given again and again would use up its tries.
      m_nExit = ReportPhoneFailure("watch", nCode, m_session.GetDiagnostics());
      return false;
    }
    if (!m_bSaidWaiting) {
      std::fprintf(stderr, "mireth watch: no phone on %s yet (status %d); trying again every %d s\n",
                   m_strDevice.c_str(), nCode, m_w.nRetrySeconds);
      m_bSaidWaiting = true;
    }
    if (!WaitToRetry())
      return false;
  }
  return false;
}

void CWatcher::ReadUnread() {
  std::vector<CStoredPdu> unread;
  if (m_session.ListStored(AT_STAT_REC_UNREAD, unread) == PHONE_SUCCESS)
    for (const CStoredPdu& place : unread)
      TakePdu(place);
}

void CWatcher::TakePdu(const CStoredPdu& place) {
  if (!place.strStorage.empty()) {
    std::string strKey = place.strStorage + ":" + std::to_string(place.nIndex) + ":" + place.strPdu;
    if (!m_taken.insert(strKey).second)
      return;
    if (m_taken.size() > 10000)
      m_taken = {strKey};
  }
  CPduResult<CPduMessage> decoded = CPduDecoder::Decode(place.strPdu);
  if (!decoded) {
    std::fprintf(stderr, "mireth watch: an unreadable message at %s:%d is left on the phone\n",
                 place.strStorage.c_str(), place.nIndex);
    return;
  }
  if (decoded->m_type == PduType::STATUS_REPORT) {
    EmitReport(decoded.Value(), place);
    return;
  }
  if (decoded->m_type != PduType::DELIVER)
    return;
  std::vector<CArrival> ready;
  m_buffer.Add(place, decoded.Value(), Clock::now(), ready);
  Flush(ready);
}

bool CWatcher::Handle(const CAtEvent& event) {
  if (event.eKind == CAtEvent::DIRECT_MESSAGE || event.eKind == CAtEvent::DIRECT_REPORT) {
    TakePdu(CStoredPdu{"", -1, 0, event.strPdu});
    if (event.eKind == CAtEvent::DIRECT_MESSAGE) {
      // The phone waits for the acknowledgement of a message it handed over directly
      // when AT+CSMS=1 is in force; elsewhere the command is refused, which is fine.
      CAtReply reply;
      m_session.Command("AT+CNMA", reply);
    }
    return true;
  }
  CStoredPdu place;
  int nCode = m_session.ReadStored(event.strStorage, event.nIndex, place);
  if (nCode == PHONE_WRITE_FAILED || nCode == PHONE_TIMEOUT)
    return false;  // set up again; the message is still unread and is read then
  if (nCode == PHONE_STORAGE_NOT_SET) {
    // A storage the phone announces but will not let be chosen (a SIM read only
    // through MT): the message is among the unread ones of the listing.
    ReadUnread();
    return true;
  }
  if (nCode != PHONE_SUCCESS) {
    std::fprintf(stderr, "mireth watch: cannot read %s:%d (status %d)\n", event.strStorage.c_str(),
                 event.nIndex, nCode);
    return true;
  }
  TakePdu(place);
  return true;
}

void CWatcher::Flush(std::vector<CArrival>& ready) {
  m_buffer.Expire(Clock::now(), ready);
  for (CArrival& arrival : ready)
    Emit(arrival);
  ready.clear();
}

bool CWatcher::StoreInInbox(const CMessage& message) {
  if (m_strDataFolder.empty()) {
    std::fprintf(stderr, "mireth watch: no data folder (give --data DIR); the message is not stored\n");
    return false;
  }
  // The same rule as Get messages: a message whose key the Inbox holds is not added.
  std::string strPath = GetStorePath(m_strDataFolder, StoreList::inbox);
  CMessageArray inbox;
  CStoreResult read = ReadStoreFile(strPath, inbox);
  if (!read.IsOk() && read.m_kind != CStoreResult::notOpened) {
    std::fprintf(stderr, "mireth watch: %s cannot be read; the message is not stored\n", strPath.c_str());
    return false;
  }
  if (read.m_kind == CStoreResult::notOpened && access(strPath.c_str(), F_OK) == 0) {
    std::fprintf(stderr, "mireth watch: %s is in use; the message is not stored\n", strPath.c_str());
    return false;
  }
  const std::string strKey = message.GetPduKey();
  for (const auto& p : inbox)
    if (p->GetPduKey() == strKey)
      return true;  // already there: stored once
  auto pCopy = std::make_unique<CMessage>();
  *pCopy = message;
  if (!pCopy->m_dtDateTime.IsValid())
    pCopy->m_dtDateTime = CDateTime::GetCurrentTime();
  pCopy->m_strDateTime = pCopy->m_dtDateTime.Format();
  inbox.push_back(std::move(pCopy));
  if (!WriteStoreFile(strPath, inbox).IsOk()) {
    std::fprintf(stderr, "mireth watch: %s cannot be written; the message is not stored\n", strPath.c_str());
    return false;
  }
  return true;
}

void CWatcher::DeleteFromPhone(const CArrival& arrival) {
  for (const CStoredPdu& place : arrival.places) {
    if (place.strStorage.empty())
      continue;
    if (m_session.DeleteStored(place.strStorage, place.nIndex) != PHONE_SUCCESS) {
      std::fprintf(stderr, "mireth watch: %s:%d could not be deleted from the phone\n",
                   place.strStorage.c_str(), place.nIndex);
      continue;
    }
    // The slot is free again: the next message put there is a new one.
    m_taken.erase(place.strStorage + ":" + std::to_string(place.nIndex) + ":" + place.strPdu);
  }
}

void CWatcher::Emit(CArrival& arrival) {
  const CMessage& m = *arrival.pMessage;
  std::string strTime = m.m_dtDateTime.IsValid() ? m.m_dtDateTime.Format() : std::string();
  if (m_w.bJson) {
    std::printf(
        "{\"kind\":\"message\",\"from\":%s,\"time\":%s,\"text\":%s,\"complete\":%s,\"places\":%s,"
        "\"smsc\":%s}\n",
        JsonString(m.m_strNumber).c_str(), JsonString(strTime).c_str(), JsonString(m.m_strMessage).c_str(),
        arrival.bComplete ? "true" : "false", JsonString(m.m_strExtra).c_str(),
        JsonString(m.m_strServiceCenter).c_str());
  } else {
    std::printf("%-20s %-16s %s%s\n", TableCell(strTime, 20).c_str(), TableCell(m.m_strNumber, 16).c_str(),
                arrival.bComplete ? "" : "[incomplete] ", TableCell(m.m_strMessage, 200).c_str());
  }
  std::fflush(stdout);
  bool bStored = m_w.bStore && StoreInInbox(m);
  if (!m_w.strExec.empty()) {
    CExecEnvironment env;
    env.Set("MIRETH_KIND", "message");
    env.Set("MIRETH_FROM", m.m_strNumber);
    env.Set("MIRETH_TIME", strTime);
    env.Set("MIRETH_TEXT", m.m_strMessage);
    env.Set("MIRETH_COMPLETE", arrival.bComplete ? "1" : "0");
    env.Set("MIRETH_PLACES", m.m_strExtra);
    env.Set("MIRETH_SMSC", m.m_strServiceCenter);
    int nExit = env.Run(m_w.strExec);
    if (nExit != 0)
      std::fprintf(stderr, "mireth watch: --exec command ended with status %d\n", nExit);
  }
  if (m_w.bDelete && bStored)
    DeleteFromPhone(arrival);
}

void CWatcher::EmitReport(const CPduMessage& report, const CStoredPdu& place) {
  std::vector<CSentReference> journal = ReadSentJournal(m_strDataFolder);
  const CSentReference* pSent = FindSentReference(journal, report);
  std::printf("%s\n", FormatReportLine(report, pSent, m_w.bJson).c_str());
  std::fflush(stdout);
  if (!m_w.strExec.empty()) {
    CExecEnvironment env;
    env.Set("MIRETH_KIND", "report");
    env.Set("MIRETH_FROM", report.m_address.GetText());
    env.Set("MIRETH_TIME",
            report.m_dischargeTime.IsValid() ? report.m_dischargeTime.ToDateTime().Format() : "");
    env.Set("MIRETH_STATE", GetDeliveryStateName(GetDeliveryState(report.m_nStatus)));
    env.Set("MIRETH_STATUS", CPduMessage::StatusText(report.m_nStatus));
    env.Set("MIRETH_REFERENCE", std::to_string(report.m_nMessageReference));
    env.Set("MIRETH_SENT_TEXT", pSent ? pSent->strText : "");
    env.Run(m_w.strExec);
  }
  // A stored report has been shown: it is not a message for the Inbox.
  if (m_w.bDelete && !place.strStorage.empty())
    m_session.DeleteStored(place.strStorage, place.nIndex);
}

int CWatcher::Run() {
  while (!g_bStop) {
    if (!Connect())
      break;
    while (!g_bStop && !m_bLineGone) {
      long long nNext = m_buffer.MillisecondsToNextExpiry(Clock::now());
      int nWait = nNext < 0 ? kListenSlice : static_cast<int>(std::min<long long>(nNext, kListenSlice));
      std::vector<CAtEvent> events;
      int nCode = m_session.WaitForEvents(nWait, events);
      for (const CAtEvent& event : events)
        if (!Handle(event))
          m_bLineGone = true;
      std::vector<CArrival> ready;
      Flush(ready);
      if (nCode == PHONE_WRITE_FAILED)
        m_bLineGone = true;
    }
    if (m_bLineGone && !g_bStop) {
      std::fprintf(stderr, "mireth watch: the phone went away; waiting for it to come back\n");
      m_session.Close();
      m_bSaidWaiting = true;
      if (!WaitToRetry())
        break;
    }
  }
  // Parts still waiting for the rest are shown as they are rather than lost.
  std::vector<CArrival> ready;
  m_buffer.Expire(Clock::time_point::max(), ready);
  for (CArrival& arrival : ready)
    Emit(arrival);
  m_session.Close();
  std::fprintf(stderr, "mireth watch: stopped\n");
  return m_nExit;
}

int RunWatch(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  CSessionOptions o;
  CWatchOptions w;
  std::string strError, strDevice;
  if (!TakeSessionOptions(args, o, strError) || !ParseWatchOptions(args, w, strError)) {
    std::fprintf(stderr, "mireth watch: %s\n", strError.c_str());
    return 2;
  }
  if (!ResolveSessionOptions(o, strDevice, strError)) {
    std::fprintf(stderr, "mireth watch: %s\n", strError.c_str());
    return 2;
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  CWatcher watcher(w, o, strDevice);
  return watcher.Run();
}

CCommandRegistrar g_watch("watch", "show (and store) each message the moment it arrives", RunWatch);

}  // namespace
