// Conversions between UTF-8 (the text of the records), Unicode code points, UTF-16BE
// (the UCS2 alphabet of SMS) and Latin-1 (how 8-bit data is shown as text).
//
// Bad input never stops a conversion: a byte sequence that is not valid UTF-8, an
// unpaired UTF-16 surrogate or a dangling odd byte each becomes one '?'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CCharsetUtf {
 public:
  // Splits UTF-8 text into code points. Overlong forms, surrogates, values above
  // U+10FFFF and truncated sequences give '?' (one per offending lead byte, or per
  // stray byte). pbValid, when given, is set to false if any such '?' was produced.
  static std::u32string DecodeUtf8(std::string_view strText, bool* pbValid = nullptr);

  // The length (1 to 4) of the well-formed UTF-8 sequence that starts at
  // strText[nAt], 0 when none starts there (a stray or invalid byte, an overlong
  // form, a surrogate, a value above U+10FFFF, a truncated sequence). pc, when
  // given, receives the code point of a well-formed sequence.
  static size_t Utf8SequenceLength(std::string_view strText, size_t nAt, char32_t* pc = nullptr);

  // True when the whole text is well-formed UTF-8 (plain ASCII included).
  static bool IsUtf8(std::string_view strText);

  // Appends one code point as UTF-8. Values that are no code point become '?'.
  static void AppendUtf8(std::string& strOut, char32_t c);
  static std::string EncodeUtf8(const std::u32string& text);

  // UTF-16 code units of the code points (surrogate pairs above U+FFFF), and the
  // same as big-endian octets.
  static std::u16string ToUtf16(const std::u32string& text);
  static std::vector<uint8_t> ToUtf16Be(const std::u32string& text);

  // Big-endian UTF-16 octets to UTF-8. A surrogate without its partner and a final
  // odd octet each become '?'.
  static std::string Utf16BeToUtf8(const uint8_t* pData, size_t nLength) {
    return Utf16ToUtf8(pData, nLength, true);
  }
  // The same for little-endian UTF-16 (the form desktop files use).
  static std::string Utf16LeToUtf8(const uint8_t* pData, size_t nLength) {
    return Utf16ToUtf8(pData, nLength, false);
  }
  static std::string Utf16ToUtf8(const uint8_t* pData, size_t nLength, bool bBigEndian);

  // Latin-1 octets to UTF-8 (every octet is the code point of the same value).
  static std::string Latin1ToUtf8(const uint8_t* pData, size_t nLength);
};
