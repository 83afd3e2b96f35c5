#include "tethra/PduHex.h"

#include "tethra/AtText.h"

CPduResult<std::vector<uint8_t>> CPduHex::Decode(std::string_view strHex) {
  while (!strHex.empty() && AtIsBlank(strHex.front()))
    strHex.remove_prefix(1);
  while (!strHex.empty() && AtIsBlank(strHex.back()))
    strHex.remove_suffix(1);
  if (strHex.empty())
    return CPduResult<std::vector<uint8_t>>::Failure("empty PDU");
  if (strHex.size() % 2 != 0)
    return CPduResult<std::vector<uint8_t>>::Failure("odd number of hexadecimal digits (" +
                                                     std::to_string(strHex.size()) + ")");
  std::vector<uint8_t> out;
  out.reserve(strHex.size() / 2);
  for (size_t i = 0; i < strHex.size(); i += 2) {
    const int hi = AtHexValue(strHex[i]);
    const int lo = AtHexValue(strHex[i + 1]);
    if (hi < 0 || lo < 0) {
      const size_t nBad = hi < 0 ? i : i + 1;
      return CPduResult<std::vector<uint8_t>>::Failure("not a hexadecimal digit at position " +
                                                       std::to_string(nBad));
    }
    out.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  return out;
}

std::string CPduHex::Encode(const uint8_t* pData, size_t nLength) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(nLength * 2);
  for (size_t i = 0; i < nLength; ++i) {
    out.push_back(kDigits[pData[i] >> 4]);
    out.push_back(kDigits[pData[i] & 0x0F]);
  }
  return out;
}

int CPduHex::SwappedBcd(uint8_t b) {
  const int tens = b & 0x0F;
  const int units = b >> 4;
  if (tens > 9 || units > 9)
    return -1;
  return tens * 10 + units;
}
