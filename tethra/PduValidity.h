// The validity period of an SMS-SUBMIT (3GPP TS 23.040, 9.2.3.12): none, relative
// (one octet), absolute (a time stamp) or enhanced (seven octets).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tethra/PduTimeStamp.h"

class CPduValidity {
 public:
  // The validity-period format, as bits 4-3 of the first octet give it.
  enum Format { NONE = 0, ENHANCED = 1, RELATIVE = 2, ABSOLUTE = 3 };

  CPduValidity() = default;
  static CPduValidity Relative(uint8_t nValue);

  // Octets the field takes for a format: 0, 1 or 7.
  static size_t FieldLength(Format format);
  // Reads the field of a format from p (FieldLength(format) octets there).
  static CPduValidity Decode(Format format, const uint8_t* p);
  void Encode(std::vector<uint8_t>& out) const;

  // The duration a relative value stands for, in seconds: up to 143 five-minute
  // steps, then half hours to 24 hours, then days to 30 days, then weeks.
  static int64_t RelativeSeconds(uint8_t nValue);

  Format GetFormat() const { return m_format; }
  uint8_t GetRelative() const { return m_nRelative; }
  const CPduTimeStamp& GetAbsolute() const { return m_absolute; }
  const uint8_t* GetEnhanced() const { return m_enhanced; }
  // The period in seconds for relative and enhanced-relative forms; -1 otherwise.
  int64_t GetSeconds() const { return m_nSeconds; }
  // "relative 0xAA (4 days)", "absolute 2024-...", "enhanced ...", "none".
  std::string Describe() const;

 private:
  Format m_format = NONE;
  uint8_t m_nRelative = 0;
  CPduTimeStamp m_absolute;
  uint8_t m_enhanced[7] = {};
  int64_t m_nSeconds = -1;
};
