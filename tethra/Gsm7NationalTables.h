// The national language shift tables of the GSM 7-bit alphabet (3GPP TS 23.038
// Annex A), by national language identifier: 1 Turkish, 2 Spanish (single shift
// only), 3 Portuguese, 4 Bengali, 5 Gujarati, 6 Hindi, 7 Kannada, 8 Malayalam,
// 9 Oriya, 10 Punjabi, 11 Tamil, 12 Telugu, 13 Urdu. A message names them in its user-data header: element
// 0x25 (locking shift: the table replaces the default alphabet) and 0x24 (single shift: the table replaces
// the extension table after the escape).
#pragma once

#include <cstdint>

class CGsm7NationalTables {
 public:
  static constexpr uint8_t IEI_SINGLE_SHIFT = 0x24;
  static constexpr uint8_t IEI_LOCKING_SHIFT = 0x25;
  static constexpr int MAX_LANGUAGE = 13;

  // The 128 characters of the table by septet value (0 where it has none), or
  // nullptr when the standard defines no such table for the language.
  static const char32_t* LockingTable(int nLanguage);
  static const char32_t* SingleTable(int nLanguage);
};
