#include "tethra/PduAddress.h"

#include "platform/CharsetUtf.h"
#include "tethra/Gsm7Alphabet.h"

namespace {

// Semi-octet values 0-14 as characters; 15 is the filler.
constexpr char kBcdDigits[] = "0123456789*#abc";

int DigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  switch (c) {
    case '*':
      return 10;
    case '#':
      return 11;
    case 'a':
    case 'A':
      return 12;
    case 'b':
    case 'B':
      return 13;
    case 'c':
    case 'C':
      return 14;
    default:
      return -1;
  }
}

// Reads the digits of nNibbles semi-octets, low nibble first; fillers are skipped.
std::string ReadBcd(const uint8_t* p, size_t nNibbles) {
  std::string digits;
  digits.reserve(nNibbles);
  for (size_t i = 0; i < nNibbles; ++i) {
    const uint8_t v = (i % 2 == 0) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4);
    if (v != 0x0F)
      digits.push_back(kBcdDigits[v]);
  }
  return digits;
}

void WriteBcd(const std::string& digits, std::vector<uint8_t>& out) {
  for (size_t i = 0; i < digits.size(); i += 2) {
    // Only digits reach here; anything else is written as a filler.
    int lo = DigitValue(digits[i]);
    int hi = i + 1 < digits.size() ? DigitValue(digits[i + 1]) : 0x0F;
    if (lo < 0)
      lo = 0x0F;
    if (hi < 0)
      hi = 0x0F;
    out.push_back(static_cast<uint8_t>((hi << 4) | lo));
  }
}

std::vector<uint8_t> AlphanumericSeptets(const std::string& strValue) {
  std::vector<uint8_t> septets;
  CGsm7Alphabet::Encode(CCharsetUtf::DecodeUtf8(strValue), septets);
  return septets;
}

}  // namespace

CPduResult<CPduAddress> CPduAddress::FromNumber(std::string_view strText) {
  CPduAddress address;
  size_t i = 0;
  while (i < strText.size() && strText[i] == ' ')
    ++i;
  if (i < strText.size() && strText[i] == '+') {
    address.m_nToa = TOA_INTERNATIONAL;
    ++i;
  }
  for (; i < strText.size(); ++i) {
    const char c = strText[i];
    if (c == ' ' || c == '-' || c == '.' || c == '(' || c == ')')
      continue;
    const int v = DigitValue(c);
    if (v < 0)
      return CPduResult<CPduAddress>::Failure("invalid character '" + std::string(1, c) + "' in number \"" +
                                              std::string(strText) + "\"");
    address.m_strValue.push_back(kBcdDigits[v]);
  }
  if (address.m_strValue.size() > MAX_DIGITS)
    return CPduResult<CPduAddress>::Failure("number \"" + std::string(strText) + "\" has more than " +
                                            std::to_string(MAX_DIGITS) + " digits");
  if (address.m_strValue.empty() && address.m_nToa == TOA_INTERNATIONAL)
    return CPduResult<CPduAddress>::Failure("number \"" + std::string(strText) + "\" has no digits");
  return address;
}

CPduResult<CPduAddress> CPduAddress::FromAlphanumeric(std::string_view strText) {
  std::vector<uint8_t> septets;
  if (!CGsm7Alphabet::Encode(CCharsetUtf::DecodeUtf8(strText), septets))
    return CPduResult<CPduAddress>::Failure("address \"" + std::string(strText) +
                                            "\" has characters outside the GSM 7-bit alphabet");
  if (septets.size() > MAX_ALPHANUMERIC)
    return CPduResult<CPduAddress>::Failure("alphanumeric address \"" + std::string(strText) +
                                            "\" is longer than 11 septets");
  CPduAddress address;
  address.m_strValue = std::string(strText);
  address.m_nToa = TOA_ALPHANUMERIC;
  return address;
}

CPduResult<CPduAddress> CPduAddress::DecodeField(const uint8_t* p, size_t nAvailable, size_t& nUsed) {
  nUsed = 0;
  if (nAvailable < 2)
    return CPduResult<CPduAddress>::Failure("address field past the end of the PDU");
  const size_t nLength = p[0];
  if (nLength > MAX_DIGITS)
    return CPduResult<CPduAddress>::Failure("address length " + std::to_string(nLength) +
                                            " is more than 20 semi-octets");
  const size_t nOctets = (nLength + 1) / 2;
  if (2 + nOctets > nAvailable)
    return CPduResult<CPduAddress>::Failure("address of " + std::to_string(nLength) +
                                            " semi-octets runs past the end of the PDU");
  CPduAddress address;
  address.m_nToa = p[1];
  if (address.IsAlphanumeric()) {
    const std::vector<uint8_t> septets = CGsm7Alphabet::Unpack(p + 2, nOctets, 0, nLength * 4 / 7);
    address.m_strValue = CGsm7Alphabet::Decode(septets.data(), septets.size());
  } else {
    address.m_strValue = ReadBcd(p + 2, nLength);
  }
  nUsed = 2 + nOctets;
  return address;
}

CPduResult<CPduAddress> CPduAddress::DecodeServiceCenter(const uint8_t* p, size_t nAvailable, size_t& nUsed) {
  nUsed = 0;
  if (nAvailable < 1)
    return CPduResult<CPduAddress>::Failure("empty PDU");
  const size_t nLength = p[0];
  if (nLength > 1 + MAX_DIGITS / 2)
    return CPduResult<CPduAddress>::Failure("service-centre length " + std::to_string(nLength) +
                                            " is more than 11 octets");
  if (1 + nLength > nAvailable)
    return CPduResult<CPduAddress>::Failure("service-centre address runs past the end of the PDU");
  CPduAddress address;
  if (nLength > 0) {
    address.m_nToa = p[1];
    const size_t nOctets = nLength - 1;
    if (address.IsAlphanumeric()) {
      const std::vector<uint8_t> septets = CGsm7Alphabet::Unpack(p + 2, nOctets, 0, nOctets * 8 / 7);
      address.m_strValue = CGsm7Alphabet::Decode(septets.data(), septets.size());
    } else {
      address.m_strValue = ReadBcd(p + 2, nOctets * 2);
    }
  }
  nUsed = 1 + nLength;
  return address;
}

void CPduAddress::EncodeField(std::vector<uint8_t>& out) const {
  if (IsAlphanumeric()) {
    const std::vector<uint8_t> septets = AlphanumericSeptets(m_strValue);
    std::vector<uint8_t> packed;
    CGsm7Alphabet::Pack(septets, 0, packed);
    out.push_back(static_cast<uint8_t>((septets.size() * 7 + 3) / 4));
    out.push_back(m_nToa);
    out.insert(out.end(), packed.begin(), packed.end());
    return;
  }
  out.push_back(static_cast<uint8_t>(m_strValue.size()));
  out.push_back(m_nToa);
  WriteBcd(m_strValue, out);
}

void CPduAddress::EncodeServiceCenter(std::vector<uint8_t>& out) const {
  if (m_strValue.empty()) {
    out.push_back(0x00);
    return;
  }
  if (IsAlphanumeric()) {
    std::vector<uint8_t> packed;
    CGsm7Alphabet::Pack(AlphanumericSeptets(m_strValue), 0, packed);
    out.push_back(static_cast<uint8_t>(1 + packed.size()));
    out.push_back(m_nToa);
    out.insert(out.end(), packed.begin(), packed.end());
    return;
  }
  out.push_back(static_cast<uint8_t>(1 + (m_strValue.size() + 1) / 2));
  out.push_back(m_nToa);
  WriteBcd(m_strValue, out);
}

std::string CPduAddress::GetText() const {
  if (IsInternational() && !m_strValue.empty())
    return "+" + m_strValue;
  return m_strValue;
}
