// mireth send --report: sends a message with a status-report request and waits for
// the report (see ReportCommand.h).
#include "cli/ReportCommand.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>

#include "cli/SessionOptions.h"
#include "cli/TableCell.h"
#include "model/DateTime.h"
#include "model/PhoneStatus.h"
#include "model/RecordJson.h"
#include "platform/Deadline.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"
#include "tethra/PhoneSession.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultReportTimeout = 120;   // seconds
constexpr uint8_t kSubmitWithReport = 0x35;  // SUBMIT, reject duplicates, relative validity, report request

struct CReportOptions {
  std::string strTo;
  std::string strText;
  bool bTextGiven = false;
  std::string strServiceCenter;
  int nValidity = 167;  // one day
  int nTimeoutSeconds = kDefaultReportTimeout;
  bool bJson = false;
};

bool ParseReportOptions(const std::vector<std::string>& args, CReportOptions& r, std::string& strError) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--report")
      continue;
    if (a == "--json") {
      r.bJson = true;
      continue;
    }
    if (a != "--to" && a != "--text" && a != "--smsc" && a != "--validity" && a != "--report-timeout") {
      strError = "unknown option '" + a + "' (with --report)";
      return false;
    }
    if (i + 1 >= args.size()) {
      strError = a + " needs a value";
      return false;
    }
    const std::string& v = args[++i];
    if (a == "--to") {
      r.strTo = v;
    } else if (a == "--text") {
      r.strText = v;
      r.bTextGiven = true;
    } else if (a == "--smsc") {
      r.strServiceCenter = v;
    } else if (a == "--validity") {
      if (!ParseCount(v, r.nValidity) || r.nValidity > 255) {
        strError = "--validity takes a relative validity value from 0 to 255";
        return false;
      }
    } else if (!ParseCount(v, r.nTimeoutSeconds)) {
      strError = "--report-timeout takes a number of seconds";
      return false;
    }
  }
  if (!r.bTextGiven || r.strTo.empty()) {
    strError = "--report needs --to NUMBER and --text TEXT";
    return false;
  }
  return true;
}

// Waits for the reports on every part; the state of the message is the worst of
// its parts' (failed, then pending, then delivered).
class CReportWaiter {
 public:
  CReportWaiter(CPhoneSession& session, std::vector<int> references, std::string strNumber)
      : m_session(session),
        m_references(std::move(references)),
        m_strNumber(std::move(strNumber)),
        m_reports(m_references.size()) {}

  // False when the line went away.
  bool Wait(Clock::time_point deadline) {
    while (!IsSettled()) {
      const int nLeft = MillisecondsUntil(deadline);
      if (nLeft == 0)
        return true;
      std::vector<CAtEvent> events;
      int nCode = m_session.WaitForEvents(std::min(nLeft, 1000), events);
      for (const CAtEvent& event : events)
        Take(event);
      if (nCode == PHONE_WRITE_FAILED)
        return false;
    }
    return true;
  }

  // The report that decides the message's state; nullptr when none came.
  const CPduMessage* GetDeciding() const {
    const CPduMessage* pWorst = nullptr;
    for (const auto& p : m_reports) {
      if (!p)
        return pWorst && GetDeliveryState(pWorst->m_nStatus) == DeliveryState::FAILED ? pWorst : nullptr;
      if (!pWorst || Rank(*p) > Rank(*pWorst))
        pWorst = &*p;
    }
    return pWorst;
  }

 private:
  static int Rank(const CPduMessage& r) {
    switch (GetDeliveryState(r.m_nStatus)) {
      case DeliveryState::DELIVERED:
        return 0;
      case DeliveryState::PENDING:
        return 1;
      case DeliveryState::FAILED:
        break;
    }
    return 2;
  }
  bool IsSettled() const {
    const CPduMessage* p = GetDeciding();
    if (p && GetDeliveryState(p->m_nStatus) == DeliveryState::FAILED)
      return true;
    for (const auto& r : m_reports)
      if (!r || GetDeliveryState(r->m_nStatus) == DeliveryState::PENDING)
        return false;
    return true;
  }
  void Take(const CAtEvent& event) {
    std::string strPdu = event.strPdu;
    if (event.eKind == CAtEvent::STORED_REPORT) {
      CStoredPdu stored;
      if (m_session.ReadStored(event.strStorage, event.nIndex, stored) != PHONE_SUCCESS)
        return;
      strPdu = stored.strPdu;
    } else if (event.eKind != CAtEvent::DIRECT_REPORT) {
      return;
    }
    CPduResult<CPduMessage> decoded = CPduDecoder::Decode(strPdu);
    if (!decoded || decoded->m_type != PduType::STATUS_REPORT)
      return;
    // A stored report has been read: it would only fill the phone's memory.
    if (event.eKind == CAtEvent::STORED_REPORT)
      m_session.DeleteStored(event.strStorage, event.nIndex);
    for (size_t i = 0; i < m_references.size(); ++i) {
      CSentReference sent{m_references[i], m_strNumber, "", ""};
      if (ReportMatches(decoded.Value(), sent))
        m_reports[i] = decoded.Value();
    }
  }

  CPhoneSession& m_session;
  std::vector<int> m_references;
  std::string m_strNumber;
  std::vector<std::optional<CPduMessage>> m_reports;
};

}  // namespace

std::string GetSentJournalPath(const std::string& strDataFolder) { return strDataFolder + "SMSSent.txt"; }

bool AppendSentJournal(const std::string& strDataFolder, const CSentReference& sent) {
  if (strDataFolder.empty())
    return false;
  std::ofstream out(GetSentJournalPath(strDataFolder), std::ios::app);
  out << FormatSentReference(sent) << "\n";
  out.flush();
  return static_cast<bool>(out);
}

std::vector<CSentReference> ReadSentJournal(const std::string& strDataFolder) {
  std::vector<CSentReference> journal;
  if (strDataFolder.empty())
    return journal;
  std::ifstream in(GetSentJournalPath(strDataFolder));
  std::string strLine;
  while (std::getline(in, strLine)) {
    CSentReference sent;
    if (ParseSentReference(strLine, sent))
      journal.push_back(std::move(sent));
  }
  return journal;
}

std::string FormatReportLine(const CPduMessage& report, const CSentReference* pSent, bool bJson) {
  const char* pszState = GetDeliveryStateName(GetDeliveryState(report.m_nStatus));
  std::string strWhen = report.m_dischargeTime.IsValid() ? report.m_dischargeTime.ToDateTime().Format() : "";
  std::string strNumber = report.m_address.GetText();
  std::string strStatus = CPduMessage::StatusText(report.m_nStatus);
  if (bJson) {
    return std::string("{\"kind\":\"report\",\"state\":\"") + pszState +
           "\",\"to\":" + JsonString(strNumber) +
           ",\"reference\":" + std::to_string(report.m_nMessageReference) +
           ",\"status\":" + std::to_string(report.m_nStatus) + ",\"status_text\":" + JsonString(strStatus) +
           ",\"time\":" + JsonString(strWhen) +
           ",\"sent_text\":" + (pSent ? JsonString(pSent->strText) : "null") +
           ",\"sent_time\":" + (pSent ? JsonString(pSent->strTime) : "null") + "}";
  }
  std::string strLine = std::string("report  ") + pszState + "  " + TableCell(strNumber, 20) + "  ref " +
                        std::to_string(report.m_nMessageReference) + "  " + strStatus + "  " + strWhen;
  if (pSent)
    strLine += "  \"" + TableCell(pSent->strText, 60) + "\" sent " + pSent->strTime;
  return strLine;
}

int RunSendWithReport(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  CSessionOptions o;
  CReportOptions r;
  std::string strError, strDevice;
  if (!TakeSessionOptions(args, o, strError) || !ParseReportOptions(args, r, strError) ||
      !ResolveSessionOptions(o, strDevice, strError)) {
    std::fprintf(stderr, "mireth send: %s\n", strError.c_str());
    return 2;
  }
  CPduSubmitRequest request;
  request.m_strServiceCenter = r.strServiceCenter;
  request.m_strDestination = r.strTo;
  request.m_strText = r.strText;
  request.m_nFirstOctet = kSubmitWithReport;
  request.m_nValidity = static_cast<uint8_t>(r.nValidity);
  request.m_nConcatReference = static_cast<uint16_t>(Clock::now().time_since_epoch().count() >> 10);
  CPduResult<std::vector<CPduEncoded>> encoded = CPduEncoder::EncodeSubmit(request);
  if (!encoded || encoded->empty())
    return ReportPhoneFailure("send", PHONE_BAD_PDU);

  CPhoneSession session;
  session.SetSimPin(o.strPin);
  int nCode = session.Open(strDevice, o.nBaudRate, o.nTimeOut);
  std::string strCnmi;
  if (nCode == PHONE_SUCCESS)
    nCode = session.EnableIndications(true, strCnmi);
  if (nCode != PHONE_SUCCESS)
    return ReportPhoneFailure("send", nCode, session.GetDiagnostics());
  std::vector<int> references;
  for (const CPduEncoded& part : encoded.Value()) {
    int nReference = -1;
    nCode = session.SendPdu(part.m_strPdu, part.m_nTpduLength, nReference);
    if (nCode != PHONE_SUCCESS)
      return ReportPhoneFailure("send", nCode, session.GetDiagnostics());
    references.push_back(nReference);
  }
  std::string strSentTime = CDateTime::GetCurrentTime().Format();
  std::string strDataFolder = SessionDataFolder(o);
  for (int nReference : references)
    AppendSentJournal(strDataFolder, CSentReference{nReference, r.strTo, strSentTime, r.strText});
  if (!r.bJson) {
    std::printf("Sent (reference %d); waiting up to %d s for the report.\n", references.front(),
                r.nTimeoutSeconds);
    std::fflush(stdout);
  }

  CReportWaiter waiter(session, references, r.strTo);
  if (!waiter.Wait(Clock::now() + std::chrono::seconds(r.nTimeoutSeconds)))
    return ReportPhoneFailure("send", PHONE_WRITE_FAILED);
  const CPduMessage* pReport = waiter.GetDeciding();
  if (!pReport) {
    std::printf(r.bJson ? "{\"kind\":\"report\",\"state\":\"pending\",\"to\":%s,\"reference\":%d}\n"
                        : "report  pending  %s  ref %d  no report in time\n",
                r.bJson ? JsonString(r.strTo).c_str() : r.strTo.c_str(), references.front());
    return 3;
  }
  CSentReference sent{references.front(), r.strTo, strSentTime, r.strText};
  std::printf("%s\n", FormatReportLine(*pReport, &sent, r.bJson).c_str());
  switch (GetDeliveryState(pReport->m_nStatus)) {
    case DeliveryState::DELIVERED:
      return 0;
    case DeliveryState::PENDING:
      return 3;
    case DeliveryState::FAILED:
      break;
  }
  return 1;
}
