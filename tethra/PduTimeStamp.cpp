#include "tethra/PduTimeStamp.h"

#include <cstdio>
#include <cstdlib>

#include "tethra/PduHex.h"

namespace {

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0))
    return 29;
  return kDays[m - 1];
}

uint8_t ToSwappedBcd(int n) { return static_cast<uint8_t>(((n % 10) << 4) | (n / 10 % 10)); }

}  // namespace

CPduTimeStamp::CPduTimeStamp(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond,
                             int nZoneQuarters)
    : m_nYear(nYear),
      m_nMonth(nMonth),
      m_nDay(nDay),
      m_nHour(nHour),
      m_nMinute(nMinute),
      m_nSecond(nSecond),
      m_nZoneQuarters(nZoneQuarters),
      m_bPresent(true) {
  Validate();
  std::vector<uint8_t> raw;
  EncodeFields(raw);
  for (size_t i = 0; i < OCTETS; ++i)
    m_raw[i] = raw[i];
}

void CPduTimeStamp::Validate() {
  m_bValid = m_nYear >= 1990 && m_nYear <= 2089 && m_nMonth >= 1 && m_nMonth <= 12 && m_nDay >= 1 &&
             m_nDay <= DaysInMonth(m_nYear, m_nMonth) && m_nHour >= 0 && m_nHour <= 23 && m_nMinute >= 0 &&
             m_nMinute <= 59 && m_nSecond >= 0 && m_nSecond <= 59 && m_nZoneQuarters >= -79 &&
             m_nZoneQuarters <= 79;
}

CPduTimeStamp CPduTimeStamp::Decode(const uint8_t* p) {
  CPduTimeStamp ts;
  ts.m_bPresent = true;
  for (size_t i = 0; i < OCTETS; ++i)
    ts.m_raw[i] = p[i];
  const int yy = CPduHex::SwappedBcd(p[0]);
  ts.m_nMonth = CPduHex::SwappedBcd(p[1]);
  ts.m_nDay = CPduHex::SwappedBcd(p[2]);
  ts.m_nHour = CPduHex::SwappedBcd(p[3]);
  ts.m_nMinute = CPduHex::SwappedBcd(p[4]);
  ts.m_nSecond = CPduHex::SwappedBcd(p[5]);
  ts.m_nYear = yy < 0 ? -1 : (yy >= 90 ? 1900 + yy : 2000 + yy);
  // Zone: the first semi-octet (low nibble) holds the sign in its bit 3 and the tens
  // digit in bits 0-2; the second semi-octet is the units digit.
  const int tens = p[6] & 0x07;
  const int units = p[6] >> 4;
  const bool bNegative = (p[6] & 0x08) != 0;
  ts.m_nZoneQuarters = units > 9 ? 99 : (bNegative ? -1 : 1) * (tens * 10 + units);
  ts.Validate();
  return ts;
}

void CPduTimeStamp::Encode(std::vector<uint8_t>& out) const { out.insert(out.end(), m_raw, m_raw + OCTETS); }

void CPduTimeStamp::EncodeFields(std::vector<uint8_t>& out) const {
  out.push_back(ToSwappedBcd(m_nYear < 0 ? 0 : m_nYear % 100));
  out.push_back(ToSwappedBcd(m_nMonth < 0 ? 0 : m_nMonth));
  out.push_back(ToSwappedBcd(m_nDay < 0 ? 0 : m_nDay));
  out.push_back(ToSwappedBcd(m_nHour < 0 ? 0 : m_nHour));
  out.push_back(ToSwappedBcd(m_nMinute < 0 ? 0 : m_nMinute));
  out.push_back(ToSwappedBcd(m_nSecond < 0 ? 0 : m_nSecond));
  const int q = std::abs(m_nZoneQuarters) % 80;
  uint8_t zone = ToSwappedBcd(q);
  if (m_nZoneQuarters < 0)
    zone |= 0x08;
  out.push_back(zone);
}

CDateTime CPduTimeStamp::ToDateTime() const {
  if (!IsValid())
    return CDateTime(0.0, CDateTime::invalid);
  // Day 0 of the records' calendar is 30 December 1899.
  const int64_t nDays = DaysFromCivil(m_nYear, m_nMonth, m_nDay) - DaysFromCivil(1899, 12, 30);
  const double dTime = (m_nHour * 3600 + m_nMinute * 60 + m_nSecond) / 86400.0;
  return CDateTime(static_cast<double>(nDays) + dTime, CDateTime::valid);
}

int64_t CPduTimeStamp::ToUtcSeconds() const {
  if (!IsValid())
    return 0;
  const int64_t nLocal =
      DaysFromCivil(m_nYear, m_nMonth, m_nDay) * 86400 + m_nHour * 3600 + m_nMinute * 60 + m_nSecond;
  return nLocal - static_cast<int64_t>(GetOffsetMinutes()) * 60;
}

std::string CPduTimeStamp::Format() const {
  if (!m_bPresent)
    return std::string();
  if (!m_bValid)
    return "invalid (" + CPduHex::Encode(m_raw, OCTETS) + ")";
  const int nOffset = GetOffsetMinutes();
  const int nAbs = std::abs(nOffset);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d %c%02d:%02d", m_nYear, m_nMonth, m_nDay,
                m_nHour, m_nMinute, m_nSecond, nOffset < 0 ? '-' : '+', nAbs / 60, nAbs % 60);
  return buf;
}
