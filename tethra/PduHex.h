// Hexadecimal text as the phone shows PDUs in PDU mode, and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tethra/PduResult.h"

class CPduHex {
 public:
  // Octets of a hexadecimal text (either letter case). Surrounding blanks and line
  // ends are ignored; anything else that is not a hex digit, or an odd number of
  // digits, is an error.
  static CPduResult<std::vector<uint8_t>> Decode(std::string_view strHex);

  // Upper-case hexadecimal text of the octets.
  static std::string Encode(const uint8_t* pData, size_t nLength);
  static std::string Encode(const std::vector<uint8_t>& data) { return Encode(data.data(), data.size()); }

  // The number 0-99 of two swapped semi-octets (time stamps, relative times): the low
  // nibble is the tens digit. -1 when a digit is not decimal.
  static int SwappedBcd(uint8_t b);
};
