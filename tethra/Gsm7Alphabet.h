// The GSM 7-bit default alphabet and its extension table (3GPP TS 23.038), and the
// packing of septets into octets used by SMS user data and alphanumeric addresses.
//
// Septets are handled one per byte (values 0..127). Extension characters take two
// septets: the escape 0x1B, then the code in the extension table.
//
// Reading rules for septets that map to nothing:
//  - escape followed by a code the extension table does not define: the character of
//    the default table at that code (the escape is dropped);
//  - escape followed by escape (reserved for a further table) and an escape at the
//    very end: one space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The tables a message uses: national language identifiers of its locking and
// single shift tables (0: the default alphabet, the default extension table).
struct CGsm7Tables {
  int nLocking = 0;
  int nSingle = 0;
  bool IsDefault() const { return nLocking == 0 && nSingle == 0; }
};

class CGsm7Alphabet {
 public:
  static constexpr uint8_t ESCAPE = 0x1B;

  // The same with national language tables (see CGsm7NationalTables). A character
  // the single shift table lacks is looked up in the default extension table.
  static int SeptetsFor(char32_t c, const CGsm7Tables& tables);
  static bool Encode(const std::u32string& text, std::vector<uint8_t>& septets, const CGsm7Tables& tables);
  static std::string Decode(const uint8_t* pSeptets, size_t nCount, const CGsm7Tables& tables);
  // The tables for the text: the default ones when they carry every character (every
  // phone reads them), else the national tables that carry it in the fewest septets;
  // false when none does (the text then goes as UCS2).
  static bool ChooseTables(const std::u32string& text, CGsm7Tables& tables);

  // Septets one character takes: 1 (default table), 2 (extension table) or 0 (the
  // alphabet cannot carry it).
  static int SeptetsFor(char32_t c);

  // Appends the septets of the text. Characters the alphabet cannot carry become
  // '?'; the result is false when there was any.
  static bool Encode(const std::u32string& text, std::vector<uint8_t>& septets);

  // Septets (bit 7 ignored) to UTF-8 text.
  static std::string Decode(const uint8_t* pSeptets, size_t nCount);

  // Writes the septets into pOut LSB first, the first one starting nBitOffset bits
  // into the buffer; pOut grows to the octets needed. Bits already set in the
  // buffer (a user-data header before the text) are kept.
  static void Pack(const std::vector<uint8_t>& septets, size_t nBitOffset, std::vector<uint8_t>& out);

  // Reads nCount septets starting nBitOffset bits into the nOctets octets of
  // pData. Never reads past the buffer: septets that do not fit are not returned.
  static std::vector<uint8_t> Unpack(const uint8_t* pData, size_t nOctets, size_t nBitOffset, size_t nCount);
};
