#include "vphone/SmsPdu.h"

#include <cstdlib>

namespace vphone {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

bool Fail(std::string* pError, const char* pszWhy) {
  if (pError)
    *pError = pszWhy;
  return false;
}

// Semi-octet digit values of an address (23.040 9.1.2.3 and 24.008 called party BCD).
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

char DigitChar(int n) {
  static const char kDigits[] = "0123456789*#abc";
  return n < 15 ? kDigits[n] : '?';
}

// Splits "+4477..." into digits and type of address; false for an empty number, too
// many digits or a character that is not a dialling digit.
bool SplitNumber(const std::string& strNumber, int nToa, std::vector<int>& digits, int& nType) {
  std::size_t nStart = 0;
  nType = nToa < 0 ? 129 : nToa;
  if (!strNumber.empty() && strNumber[0] == '+') {
    nStart = 1;
    nType = 145;
  }
  digits.clear();
  for (std::size_t i = nStart; i < strNumber.size(); ++i) {
    int n = DigitValue(strNumber[i]);
    if (n < 0)
      return false;
    digits.push_back(n);
  }
  return !digits.empty() && digits.size() <= 20 && nType >= 128 && nType <= 255;
}

void AppendSwapped(const std::vector<int>& digits, Octets& out) {
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    int nLow = digits[i];
    int nHigh = i + 1 < digits.size() ? digits[i + 1] : 0xF;
    out.push_back(static_cast<unsigned char>((nHigh << 4) | nLow));
  }
}

unsigned char SwappedDecimal(int n) { return static_cast<unsigned char>(((n % 10) << 4) | ((n / 10) % 10)); }

}  // namespace

bool CSmsPdu::FromHex(const std::string& strHex, Octets& octets) {
  octets.clear();
  if (strHex.size() % 2 != 0)
    return false;
  octets.reserve(strHex.size() / 2);
  for (std::size_t i = 0; i < strHex.size(); i += 2) {
    int nHigh = HexValue(strHex[i]);
    int nLow = HexValue(strHex[i + 1]);
    if (nHigh < 0 || nLow < 0)
      return false;
    octets.push_back(static_cast<unsigned char>((nHigh << 4) | nLow));
  }
  return true;
}

std::string CSmsPdu::ToHex(const Octets& octets) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string str;
  str.reserve(octets.size() * 2);
  for (unsigned char c : octets) {
    str += kHex[c >> 4];
    str += kHex[c & 0xF];
  }
  return str;
}

EUdAlphabet CSmsPdu::AlphabetOf(unsigned char nDcs) {
  int nGroup = nDcs >> 4;
  if (nGroup <= 7) {  // general data coding, with or without automatic deletion
    if (nDcs & 0x20)
      return EUdAlphabet::eEightBit;  // compressed: counted in octets
    switch ((nDcs >> 2) & 3) {
      case 1:
        return EUdAlphabet::eEightBit;
      case 2:
        return EUdAlphabet::eUcs2;
      default:
        return EUdAlphabet::eGsm7;  // 11 is reserved: taken as the default alphabet
    }
  }
  if (nGroup == 0xE)
    return EUdAlphabet::eUcs2;  // message waiting, store, UCS2
  if (nGroup == 0xF)
    return (nDcs & 0x04) ? EUdAlphabet::eEightBit : EUdAlphabet::eGsm7;
  return EUdAlphabet::eGsm7;  // message waiting groups and reserved groups
}

bool CSmsPdu::Parse(const Octets& octets, EType eType, std::string* pError) {
  *this = CSmsPdu();
  m_eType = eType;
  m_nTotalLength = octets.size();
  const std::size_t n = octets.size();
  if (n == 0)
    return Fail(pError, "empty PDU");

  // Service-centre address: length of what follows (type of address + digits).
  std::size_t nSmsc = octets[0];
  if (nSmsc > 11)
    return Fail(pError, "service-centre address too long");
  std::size_t pos = 1 + nSmsc;
  if (pos >= n)
    return Fail(pError, "no TPDU after the service-centre address");
  m_nTpduOffset = pos;

  m_nFirstOctet = octets[pos++];
  m_bUdhi = (m_nFirstOctet & 0x40) != 0;
  int nMti = m_nFirstOctet & 0x03;
  if (eType == eSubmit && nMti != 1)
    return Fail(pError, "not an SMS-SUBMIT");
  if (eType == eDeliver && nMti != 0)
    return Fail(pError, "not an SMS-DELIVER");

  if (eType == eSubmit) {
    if (pos >= n)
      return Fail(pError, "truncated before TP-MR");
    m_nMessageReference = octets[pos++];
  }

  // Originating or destination address: digit count, type, swapped digits.
  if (pos + 2 > n)
    return Fail(pError, "truncated address");
  std::size_t nDigits = octets[pos];
  if (nDigits > 20)
    return Fail(pError, "address too long");
  m_nAddressOffset = pos;
  m_nAddressType = octets[pos + 1];
  m_nAddressSize = 2 + (nDigits + 1) / 2;
  if (pos + m_nAddressSize > n)
    return Fail(pError, "truncated address");
  m_bAlphanumericAddress = (m_nAddressType & 0x70) == 0x50;
  if (!m_bAlphanumericAddress) {
    if ((m_nAddressType & 0x70) == 0x10)
      m_strAddress = "+";
    for (std::size_t i = 0; i < nDigits; ++i) {
      unsigned char c = octets[pos + 2 + i / 2];
      int nDigit = (i % 2 == 0) ? (c & 0xF) : (c >> 4);
      if (nDigit == 0xF)
        return Fail(pError, "filler inside an address");
      m_strAddress += DigitChar(nDigit);
    }
    if (nDigits % 2 == 1 && (octets[pos + 2 + nDigits / 2] >> 4) != 0xF)
      return Fail(pError, "odd address without filler");
  }
  pos += m_nAddressSize;

  if (pos + 2 > n)
    return Fail(pError, "truncated before TP-DCS");
  m_nPid = octets[pos++];
  m_nDcs = octets[pos++];

  if (eType == eSubmit) {
    switch ((m_nFirstOctet >> 3) & 3) {
      case 2:
        pos += 1;
        break;  // relative
      case 1:   // enhanced
      case 3:
        pos += 7;
        break;  // absolute
      default:
        break;  // none
    }
  } else {
    pos += 7;  // service-centre time stamp
  }
  if (pos >= n)
    return Fail(pError, "truncated before TP-UDL");

  m_nUdlOffset = pos;
  m_nUdl = octets[pos++];
  std::size_t nUdOctets;
  if (AlphabetOf(m_nDcs) == EUdAlphabet::eGsm7) {
    if (m_nUdl > 160)
      return Fail(pError, "more than 160 septets");
    nUdOctets = (static_cast<std::size_t>(m_nUdl) * 7 + 7) / 8;
  } else {
    if (m_nUdl > 140)
      return Fail(pError, "more than 140 octets of user data");
    nUdOctets = static_cast<std::size_t>(m_nUdl);
  }
  if (n - pos < nUdOctets)
    return Fail(pError, "user data shorter than TP-UDL says");
  if (n - pos > nUdOctets)
    return Fail(pError, "octets left after the user data");

  if (m_bUdhi) {
    if (nUdOctets == 0)
      return Fail(pError, "user-data header missing");
    std::size_t nUdhl = octets[pos];
    if (nUdhl + 1 > nUdOctets)
      return Fail(pError, "user-data header longer than the user data");
    std::size_t i = pos + 1;
    const std::size_t nEnd = pos + 1 + nUdhl;
    while (i < nEnd) {
      if (i + 2 > nEnd)
        return Fail(pError, "broken information element");
      std::size_t nIeLength = octets[i + 1];
      i += 2 + nIeLength;
      if (i > nEnd)
        return Fail(pError, "information element overruns the header");
    }
  }
  return true;
}

bool CSmsPdu::EncodeAddress(const std::string& strNumber, int nToa, Octets& field) {
  std::vector<int> digits;
  int nType = 0;
  if (!SplitNumber(strNumber, nToa, digits, nType))
    return false;
  field.clear();
  field.push_back(static_cast<unsigned char>(digits.size()));
  field.push_back(static_cast<unsigned char>(nType));
  AppendSwapped(digits, field);
  return true;
}

bool CSmsPdu::EncodeSmscAddress(const std::string& strNumber, int nToa, Octets& field) {
  field.clear();
  if (strNumber.empty()) {
    field.push_back(0);
    return true;
  }
  std::vector<int> digits;
  int nType = 0;
  if (!SplitNumber(strNumber, nToa, digits, nType))
    return false;
  field.push_back(static_cast<unsigned char>(1 + (digits.size() + 1) / 2));
  field.push_back(static_cast<unsigned char>(nType));
  AppendSwapped(digits, field);
  return true;
}

Octets CSmsPdu::MakeTimeStamp(std::time_t tWhen) {
  std::tm tmLocal{};
  localtime_r(&tWhen, &tmLocal);
  long nQuarters = tmLocal.tm_gmtoff / 900;
  bool bNegative = nQuarters < 0;
  if (bNegative)
    nQuarters = -nQuarters;
  Octets stamp{
      SwappedDecimal(tmLocal.tm_year % 100),
      SwappedDecimal(tmLocal.tm_mon + 1),
      SwappedDecimal(tmLocal.tm_mday),
      SwappedDecimal(tmLocal.tm_hour),
      SwappedDecimal(tmLocal.tm_min),
      SwappedDecimal(tmLocal.tm_sec),
      SwappedDecimal(static_cast<int>(nQuarters % 80)),
  };
  if (bNegative)
    stamp[6] |= 0x08;  // sign bit of the zone
  return stamp;
}

Octets CSmsPdu::MakeDeliver(const Octets& submit, const std::string& strSmsc, const Octets& timeStamp) const {
  Octets out;
  if (!EncodeSmscAddress(strSmsc, -1, out))
    out.assign(1, 0);
  // No more messages waiting; keep user-data header indicator and reply path.
  out.push_back(static_cast<unsigned char>(0x04 | (m_nFirstOctet & 0xC0)));
  out.insert(out.end(), submit.begin() + static_cast<std::ptrdiff_t>(m_nAddressOffset),
             submit.begin() + static_cast<std::ptrdiff_t>(m_nAddressOffset + m_nAddressSize));
  out.push_back(m_nPid);
  out.push_back(m_nDcs);
  out.insert(out.end(), timeStamp.begin(), timeStamp.end());
  out.insert(out.end(), submit.begin() + static_cast<std::ptrdiff_t>(m_nUdlOffset), submit.end());
  return out;
}

Octets CSmsPdu::WithDestination(const Octets& submit, const Octets& addressField) const {
  Octets out(submit.begin(), submit.begin() + static_cast<std::ptrdiff_t>(m_nAddressOffset));
  out.insert(out.end(), addressField.begin(), addressField.end());
  out.insert(out.end(), submit.begin() + static_cast<std::ptrdiff_t>(m_nAddressOffset + m_nAddressSize),
             submit.end());
  return out;
}

bool SameNumber(const std::string& a, const std::string& b) {
  auto strip = [](const std::string& s) { return (!s.empty() && s[0] == '+') ? s.substr(1) : s; };
  std::string sa = strip(a);
  return !sa.empty() && sa == strip(b);
}

}  // namespace vphone
