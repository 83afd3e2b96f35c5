#include "model/Message.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

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
std::string_view Mid(std::string_view str, long nFirst, long nCount) {
  long nLength = static_cast<long>(str.size());
  nFirst = std::clamp(nFirst, 0L, nLength);
  nCount = std::clamp(nCount, 0L, nLength - nFirst);
  return str.substr(static_cast<size_t>(nFirst), static_cast<size_t>(nCount));
}

constexpr size_t kTextCount = 8;
constexpr size_t kKeptScratch = 1 << 16;

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
  std::string_view texts[kTextCount];
  const auto from = TextFields(other);
  for (size_t i = 0; i < kTextCount; ++i)
    texts[i] = *from[i];
  SetTexts(texts);
  m_nStatus = other.m_nStatus;
  m_nStorage = other.m_nStorage;
  m_nType = other.m_nType;
  m_dtDateTime = other.m_dtDateTime;
  m_bFlag = other.m_bFlag;
  m_bReplyCharges = other.m_bReplyCharges;
  m_wFirstOctet = other.m_wFirstOctet;
  m_nValidity = other.m_nValidity;
  return *this;
}

void CMessage::SetTexts(const std::string_view* pTexts) {
  const auto fields = TextFields(*this);
  // A field with a block of its own large enough keeps it (a record filled again
  // line by line allocates nothing); the others go into the record's block.
  size_t nSize = 0;
  for (size_t i = 0; i < kTextCount; ++i)
    if (fields[i]->m_nCapacity < pTexts[i].size())
      nSize += pTexts[i].size() + 1;
  std::unique_ptr<char[]> pOld;
  if (nSize > m_nTextsCapacity) {
    if (nSize > UINT32_MAX)
      throw std::bad_alloc();
    pOld = std::move(m_pTexts);  // freed once no text views it
    m_pTexts.reset(new char[nSize]);
    m_nTextsCapacity = static_cast<uint32_t>(nSize);
  }
  char* p = m_pTexts.get();
  for (size_t i = 0; i < kTextCount; ++i) {
    const size_t n = pTexts[i].size();
    if (fields[i]->m_nCapacity >= n) {
      fields[i]->Assign(pTexts[i]);
      continue;
    }
    if (n != 0)
      std::memcpy(p, pTexts[i].data(), n);
    p[n] = '\0';
    fields[i]->ViewInto(p, n);
    p += n + 1;
  }
}

void CMessage::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << m_strSenderName.View() << m_strName.View() << m_strNumber.View();
    ar << m_nStatus << m_nStorage << m_nType;
    ar << m_bFlag;
    ar << m_strDateTime.View();
    ar << m_dtDateTime;
    ar << m_strExtra.View() << m_strServiceCenter.View();
    ar << m_bReplyCharges << m_wFirstOctet << m_nValidity;
    ar << m_strMessage.View() << m_strPdu.View();
  } else {
    // The texts are read in place in the archive's buffer (only a text stored as
    // UTF-16 goes through a spill buffer kept for the next record), then copied once
    // into the record's one block. Nothing of the record changes before all is read.
    thread_local std::string t_spill[kTextCount];
    std::string* const s = t_spill;
    struct Keep {
      CArchive& ar;
      ~Keep() { ar.EndKeep(); }
    } keep{ar};
    ar.BeginKeep();
    CArchive::CKeptText t[kTextCount];
    int32_t nStatus, nStorage, nType, nReplyCharges, nValidity;
    uint8_t bFlag;
    CDateTime dt;
    uint16_t wFirstOctet;
    t[0] = ar.ReadKeptText(s[0]);
    t[1] = ar.ReadKeptText(s[1]);
    t[2] = ar.ReadKeptText(s[2]);
    ar >> nStatus >> nStorage >> nType;
    ar >> bFlag;
    t[3] = ar.ReadKeptText(s[3]);
    ar >> dt;
    t[4] = ar.ReadKeptText(s[4]);
    t[5] = ar.ReadKeptText(s[5]);
    ar >> nReplyCharges >> wFirstOctet >> nValidity;
    t[6] = ar.ReadKeptText(s[6]);
    t[7] = ar.ReadKeptText(s[7]);
    std::string_view texts[kTextCount];
    for (size_t i = 0; i < kTextCount; ++i)
      texts[i] = ar.KeptView(t[i], s[i]);
    SetTexts(texts);
    m_nStatus = nStatus;
    m_nStorage = nStorage;
    m_nType = nType;
    m_bFlag = bFlag;
    m_dtDateTime = dt;
    m_bReplyCharges = nReplyCharges;
    m_wFirstOctet = wFirstOctet;
    m_nValidity = nValidity;
    for (std::string& str : t_spill)  // a rare long text does not stay held
      if (str.capacity() > kKeptScratch)
        std::string().swap(str);
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
  const std::string_view pdu = m_strPdu.View();
  const std::string_view first = Mid(pdu, 2 * n + 2, 2);
  const std::string_view rest = Mid(pdu, 2 * n + 6, static_cast<long>(pdu.size()));
  std::string strKey;
  strKey.reserve(first.size() + rest.size());  // one block, made once
  strKey.append(first).append(rest);
  return strKey;
}
