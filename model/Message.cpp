#include "model/Message.h"

#include <algorithm>

#include "model/Archive.h"

namespace {

constexpr uint16_t kTypeMask = 0x0003;
constexpr uint16_t kTypeReceived = 0x0000;
constexpr uint16_t kTypeSubmit = 0x0001;

inline void SetBit(uint16_t& w, int nBit, bool bFlag) {
  if (bFlag)
    w = static_cast<uint16_t>(w | (1u << nBit));
  else
    w = static_cast<uint16_t>(w & ~(1u << nBit));
}

// Part of a text as the string class of the records cuts it: a start before the
// beginning counts from the beginning, one past the end gives an empty text, and the
// count is cut to what is there.
std::string Mid(const std::string& str, long nFirst, long nCount) {
  long nLength = static_cast<long>(str.size());
  nFirst = std::clamp(nFirst, 0L, nLength);
  nCount = std::clamp(nCount, 0L, nLength - nFirst);
  return str.substr(static_cast<size_t>(nFirst), static_cast<size_t>(nCount));
}

// Position of a character in "0123456789ABCDEF", -1 when it is not there.
long HexDigitPosition(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

}  // namespace

CMessage& CMessage::operator=(const CMessage& other) {
  if (this == &other)
    return *this;
  m_strSenderName = other.m_strSenderName;
  m_strName = other.m_strName;
  m_strNumber = other.m_strNumber;
  m_nStatus = other.m_nStatus;
  m_nStorage = other.m_nStorage;
  m_nType = other.m_nType;
  m_strDateTime = other.m_strDateTime;
  m_dtDateTime = other.m_dtDateTime;
  m_strExtra = other.m_strExtra;
  m_strMessage = other.m_strMessage;
  m_strPdu = other.m_strPdu;
  m_strServiceCenter = other.m_strServiceCenter;
  m_bFlag = other.m_bFlag;
  m_bReplyCharges = other.m_bReplyCharges;
  m_wFirstOctet = other.m_wFirstOctet;
  m_nValidity = other.m_nValidity;
  return *this;
}

void CMessage::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << m_strSenderName << m_strName << m_strNumber;
    ar << m_nStatus << m_nStorage << m_nType;
    ar << m_bFlag;
    ar << m_strDateTime;
    ar << m_dtDateTime;
    ar << m_strExtra << m_strServiceCenter;
    ar << m_bReplyCharges << m_wFirstOctet << m_nValidity;
    ar << m_strMessage << m_strPdu;
  } else {
    ar >> m_strSenderName >> m_strName >> m_strNumber;
    ar >> m_nStatus >> m_nStorage >> m_nType;
    ar >> m_bFlag;
    ar >> m_strDateTime;
    ar >> m_dtDateTime;
    ar >> m_strExtra >> m_strServiceCenter;
    ar >> m_bReplyCharges >> m_wFirstOctet >> m_nValidity;
    ar >> m_strMessage >> m_strPdu;
  }
}

bool CMessage::IsReceivedType() const { return (m_wFirstOctet & kTypeMask) == kTypeReceived; }

bool CMessage::IsSubmitType() const { return (m_wFirstOctet & kTypeMask) == kTypeSubmit; }

bool CMessage::IsReplyCharges() const {
  if (IsReceivedType())
    return (m_wFirstOctet & (1u << 3)) != 0;
  if (IsSubmitType())
    return (m_wFirstOctet & (1u << 5)) != 0;
  return false;
}

void CMessage::SetSubmitType() {
  m_wFirstOctet = static_cast<uint16_t>((m_wFirstOctet & ~kTypeMask) | kTypeSubmit);
}

void CMessage::SetRejectDuplicates(bool bFlag) { SetBit(m_wFirstOctet, 2, bFlag); }

void CMessage::SetRelativeValidity(bool bFlag) {
  SetBit(m_wFirstOctet, 3, false);
  SetBit(m_wFirstOctet, 4, bFlag);
}

void CMessage::SetReplyCharges(bool bFlag) { SetBit(m_wFirstOctet, 5, bFlag); }

void CMessage::SetHeaderIndicator(bool bFlag) {
  if (IsReceivedType())
    SetBit(m_wFirstOctet, 4, bFlag);
  else if (IsSubmitType())
    SetBit(m_wFirstOctet, 6, bFlag);
}

void CMessage::SetReplyPath(bool bFlag) {
  if (IsReceivedType())
    SetBit(m_wFirstOctet, 5, bFlag);
  else if (IsSubmitType())
    SetBit(m_wFirstOctet, 7, bFlag);
}

std::string CMessage::GetPduKey() const {
  // n = length of the service-centre part in octets, from the first two hex digits.
  // A character that is not an upper-case hex digit counts as -1, and a text
  // shorter than two characters lacks the missing ones; the cuts below never reach
  // outside the text.
  long n = 0;
  if (!m_strPdu.empty()) {
    long nHigh = HexDigitPosition(m_strPdu[0]);
    long nLow = m_strPdu.size() > 1 ? HexDigitPosition(m_strPdu[1]) : -1;
    n = 16 * nHigh + nLow;
  }
  // Keep the first octet of the transfer unit, drop the octet after it.
  return Mid(m_strPdu, 2 * n + 2, 2) + Mid(m_strPdu, 2 * n + 6, static_cast<long>(m_strPdu.size()));
}
