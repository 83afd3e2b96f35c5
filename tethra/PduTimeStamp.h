// A time stamp of a transfer unit (service-centre time stamp, discharge time,
// absolute validity period; 3GPP TS 23.040, 9.2.3.11): seven octets of swapped
// semi-octets, year month day hour minute second and the time zone.
//
// The time is the local time of the sender's zone; the zone is kept as a signed
// number of quarter hours east of UTC, so the value is independent of the zone this
// program runs in. Two-digit years 00-89 are 2000-2089, 90-99 are 1990-1999.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/DateTime.h"

class CPduTimeStamp {
 public:
  static constexpr size_t OCTETS = 7;

  CPduTimeStamp() = default;
  // From calendar fields and a zone in quarter hours (-79..79); IsValid() tells
  // whether they make a real date and time.
  CPduTimeStamp(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond, int nZoneQuarters);

  // Reads seven octets. Digits above 9 or impossible dates give a value that is not
  // valid; the raw octets are kept either way.
  static CPduTimeStamp Decode(const uint8_t* p);
  // Appends the seven octets (as read, or as built from the fields).
  void Encode(std::vector<uint8_t>& out) const;

  bool IsPresent() const { return m_bPresent; }
  bool IsValid() const { return m_bPresent && m_bValid; }
  int GetYear() const { return m_nYear; }
  int GetMonth() const { return m_nMonth; }
  int GetDay() const { return m_nDay; }
  int GetHour() const { return m_nHour; }
  int GetMinute() const { return m_nMinute; }
  int GetSecond() const { return m_nSecond; }
  int GetZoneQuarters() const { return m_nZoneQuarters; }
  int GetOffsetMinutes() const { return m_nZoneQuarters * 15; }
  const uint8_t* GetRaw() const { return m_raw; }

  // The sender's local time as the records' date-time value (days since 30 December
  // 1899); invalid when the stamp is absent or not valid.
  CDateTime ToDateTime() const;
  // Seconds since 1970-01-01 00:00 UTC (the zone taken off); 0 when not valid.
  int64_t ToUtcSeconds() const;
  // "2002-08-26 19:37:41 +02:00"; "invalid (HEX)" for a stamp that is not valid,
  // empty when absent.
  std::string Format() const;

 private:
  void Validate();
  void EncodeFields(std::vector<uint8_t>& out) const;

  int m_nYear = 0;
  int m_nMonth = 0;
  int m_nDay = 0;
  int m_nHour = 0;
  int m_nMinute = 0;
  int m_nSecond = 0;
  int m_nZoneQuarters = 0;
  bool m_bPresent = false;
  bool m_bValid = false;
  uint8_t m_raw[OCTETS] = {};
};
