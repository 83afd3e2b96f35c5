#pragma once
// Status reports the virtual network sends back for messages sent with a report
// request (TP-SRR): each is due a set delay after the send and carries the outcome
// the phone is set to (delivered, or a permanent failure). The interpreter asks for
// the reports that are due and announces each as "+CDS: <length>" with the PDU on
// the next line. No clock of its own: callers pass the time.

#include <chrono>
#include <string>
#include <vector>

#include "vphone/SmsPdu.h"

namespace vphone {

class CNetworkReports {
 public:
  using Clock = std::chrono::steady_clock;

  // How reports turn out: the delay, and the TP-ST octet (0x00 received by the
  // recipient; 0x41 incompatible destination, a permanent failure; ...).
  void SetOutcome(int nDelayMs, int nStatus) {
    m_nDelayMs = nDelayMs < 0 ? 0 : nDelayMs;
    m_nStatus = nStatus & 0xFF;
  }
  int GetDelayMs() const { return m_nDelayMs; }
  int GetStatus() const { return m_nStatus; }

  // A SUBMIT went out with reference nReference: when it asked for a report, one is
  // scheduled. strSmsc is the service centre named in the report.
  void Sent(const Octets& submit, const CSmsPdu& pdu, int nReference, const std::string& strSmsc,
            Clock::time_point tNow);
  // The "+CDS: <length>\r\n<pdu>" URCs of the reports that are due, in order.
  std::vector<std::string> TakeDue(Clock::time_point tNow);
  // When the next report is due; Clock::time_point::max() when none is waiting.
  Clock::time_point NextDue() const;

 private:
  struct CPending {
    Clock::time_point m_tDue;
    std::string m_strUrc;
  };
  std::vector<CPending> m_vecPending;
  int m_nDelayMs = 200;
  int m_nStatus = 0x00;
};

}  // namespace vphone
