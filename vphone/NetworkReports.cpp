#include "vphone/NetworkReports.h"

#include <algorithm>
#include <ctime>

namespace vphone {

void CNetworkReports::Sent(const Octets& submit, const CSmsPdu& pdu, int nReference,
                           const std::string& strSmsc, Clock::time_point tNow) {
  if (!(pdu.m_nFirstOctet & 0x20))
    return;  // no report requested
  Octets report;
  if (!CSmsPdu::EncodeSmscAddress(strSmsc, -1, report))
    report.assign(1, 0);
  const std::size_t nTpdu = report.size();
  report.push_back(0x06);  // SMS-STATUS-REPORT, no more messages waiting
  report.push_back(static_cast<unsigned char>(nReference & 0xFF));
  // The recipient address: the destination field of the SUBMIT as it was.
  report.insert(report.end(), submit.begin() + static_cast<std::ptrdiff_t>(pdu.m_nAddressOffset),
                submit.begin() + static_cast<std::ptrdiff_t>(pdu.m_nAddressOffset + pdu.m_nAddressSize));
  const std::time_t tNowWall = std::time(nullptr);
  Octets sent = CSmsPdu::MakeTimeStamp(tNowWall);
  Octets done = CSmsPdu::MakeTimeStamp(tNowWall + m_nDelayMs / 1000);
  report.insert(report.end(), sent.begin(), sent.end());
  report.insert(report.end(), done.begin(), done.end());
  report.push_back(static_cast<unsigned char>(m_nStatus));
  std::string strUrc = "+CDS: " + std::to_string(report.size() - nTpdu) + "\r\n" + CSmsPdu::ToHex(report);
  m_vecPending.push_back(CPending{tNow + std::chrono::milliseconds(m_nDelayMs), strUrc});
}

std::vector<std::string> CNetworkReports::TakeDue(Clock::time_point tNow) {
  std::vector<std::string> due;
  auto it = std::stable_partition(m_vecPending.begin(), m_vecPending.end(),
                                  [&](const CPending& p) { return p.m_tDue <= tNow; });
  for (auto p = m_vecPending.begin(); p != it; ++p)
    due.push_back(p->m_strUrc);
  m_vecPending.erase(m_vecPending.begin(), it);
  return due;
}

CNetworkReports::Clock::time_point CNetworkReports::NextDue() const {
  Clock::time_point tNext = Clock::time_point::max();
  for (const CPending& p : m_vecPending)
    tNext = std::min(tNext, p.m_tDue);
  return tNext;
}

}  // namespace vphone
