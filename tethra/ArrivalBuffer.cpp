#include "tethra/ArrivalBuffer.h"

#include <algorithm>

#include "model/PhoneInterface.h"
#include "tethra/PduConcatenation.h"
#include "tethra/PduRecord.h"

namespace {

int StorageNumber(const std::string& strName) {
  if (strName == "ME")
    return MSG_STORAGE_PHONE;
  if (strName == "SM")
    return MSG_STORAGE_SIM;
  return MSG_STORAGE_UNKNOWN;
}

}  // namespace

bool CArrivalBuffer::SameMessage(const CPduMessage& a, const CPduMessage& b) {
  CPduConcatInfo ia, ib;
  if (!a.GetConcatenation(ia) || !b.GetConcatenation(ib))
    return false;
  return ia.m_nReference == ib.m_nReference && ia.m_nTotal == ib.m_nTotal &&
         a.m_address.GetText() == b.m_address.GetText();
}

void CArrivalBuffer::Add(const CStoredPdu& part, const CPduMessage& decoded, Clock::time_point now,
                         std::vector<CArrival>& ready) {
  CPduConcatInfo info;
  if (!decoded.GetConcatenation(info) || info.m_nTotal <= 1) {
    CHeld single{{part}, {decoded}, now};
    ready.push_back(MakeArrival(single));
    return;
  }
  auto it = std::find_if(m_groups.begin(), m_groups.end(),
                         [&](const CHeld& h) { return SameMessage(h.parts.front(), decoded); });
  if (it == m_groups.end()) {
    m_groups.push_back(CHeld{{}, {}, now});
    it = m_groups.end() - 1;
  }
  for (const CPduMessage& held : it->parts)
    if (held.m_strPdu == decoded.m_strPdu)
      return;
  it->places.push_back(part);
  it->parts.push_back(decoded);
  it->last = now;
  std::vector<CPduConcatGroup> groups = CPduConcatenation::Group(it->parts);
  if (groups.size() == 1 && groups[0].IsComplete()) {
    ready.push_back(MakeArrival(*it));
    m_groups.erase(it);
  }
}

void CArrivalBuffer::Expire(Clock::time_point now, std::vector<CArrival>& ready) {
  for (auto it = m_groups.begin(); it != m_groups.end();) {
    if (now - it->last >= m_hold) {
      ready.push_back(MakeArrival(*it));
      it = m_groups.erase(it);
    } else {
      ++it;
    }
  }
}

long long CArrivalBuffer::MillisecondsToNextExpiry(Clock::time_point now) const {
  long long nBest = -1;
  for (const CHeld& h : m_groups) {
    long long n = std::chrono::duration_cast<std::chrono::milliseconds>(h.last + m_hold - now).count();
    n = std::max(0LL, n);
    if (nBest < 0 || n < nBest)
      nBest = n;
  }
  return nBest;
}

CArrival CArrivalBuffer::MakeArrival(CHeld& held) {
  CArrival arrival;
  arrival.pMessage = std::make_unique<CMessage>();
  CMessage& message = *arrival.pMessage;
  std::vector<CPduConcatGroup> groups = CPduConcatenation::Group(held.parts);
  const CPduConcatGroup& group = groups.front();
  std::vector<int> order;
  for (int n : group.m_parts)
    if (n >= 0)
      order.push_back(n);
  CPduRecord::FillMessage(held.parts[static_cast<size_t>(order.front())], message);
  if (group.m_bConcatenated) {
    std::string strText, strPdu;
    for (int n : order) {
      strText += held.parts[static_cast<size_t>(n)].m_strText;
      strPdu += held.parts[static_cast<size_t>(n)].m_strPdu;
    }
    message.m_strMessage = group.IsComplete() ? group.m_strText : strText;
    message.m_strPdu = strPdu;
  }
  arrival.bComplete = group.IsComplete();
  std::string strPlaces;
  for (int n : order) {
    const CStoredPdu& place = held.places[static_cast<size_t>(n)];
    arrival.places.push_back(place);
    if (!place.strStorage.empty())
      strPlaces += (strPlaces.empty() ? "" : ",") + place.strStorage + ":" + std::to_string(place.nIndex);
  }
  message.m_strExtra = strPlaces;
  message.m_nStorage = StorageNumber(held.places[static_cast<size_t>(order.front())].strStorage);
  message.m_nType = MSG_TYPE_RECEIVED;
  message.m_strDateTime = message.m_dtDateTime.IsValid() ? message.m_dtDateTime.Format() : std::string();
  return arrival;
}
