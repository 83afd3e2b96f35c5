#include "model/DateTime.h"

#include <clocale>
#include <cmath>
#include <locale.h>

namespace {

// The range of day numbers that stand for a calendar date: 1 January 100 to the
// last moment of 31 December 9999.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958466.0;  // exclusive
constexpr long kSecondsPerDay = 86400;

bool IsLeapYear(int nYear) { return (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0; }

int DaysInMonth(int nYear, int nMonth) {
  static const int s_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (nMonth == 2 && IsLeapYear(nYear)) ? 29 : s_days[nMonth - 1];
}

// Day number of a date in the proleptic Gregorian calendar, counted from
// 30 December 1899. The year is shifted to start in March so that the leap day falls
// at the end of a year; 400-year cycles keep the arithmetic exact.
long DayNumberFromDate(int nYear, int nMonth, int nDay) {
  long y = nYear - (nMonth <= 2 ? 1 : 0);
  long nCycle = (y >= 0 ? y : y - 399) / 400;
  long nYearOfCycle = y - nCycle * 400;                          // 0..399
  long nMonthFromMarch = nMonth > 2 ? nMonth - 3 : nMonth + 9;   // 0..11
  long nDayOfYear = (153 * nMonthFromMarch + 2) / 5 + nDay - 1;  // 0..365
  long nDayOfCycle = nYearOfCycle * 365 + nYearOfCycle / 4 - nYearOfCycle / 100 + nDayOfYear;
  // 1 March 0000 is day -693899 before 30 December 1899.
  return nCycle * 146097 + nDayOfCycle - 693899;
}

void DateFromDayNumber(long nDays, int& nYear, int& nMonth, int& nDay) {
  long z = nDays + 693899;
  long nCycle = (z >= 0 ? z : z - 146096) / 146097;
  long nDayOfCycle = z - nCycle * 146097;  // 0..146096
  long nYearOfCycle = (nDayOfCycle - nDayOfCycle / 1460 + nDayOfCycle / 36524 - nDayOfCycle / 146096) / 365;
  long nDayOfYear = nDayOfCycle - (365 * nYearOfCycle + nYearOfCycle / 4 - nYearOfCycle / 100);
  long nMonthFromMarch = (5 * nDayOfYear + 2) / 153;
  nDay = static_cast<int>(nDayOfYear - (153 * nMonthFromMarch + 2) / 5 + 1);
  nMonth = static_cast<int>(nMonthFromMarch < 10 ? nMonthFromMarch + 3 : nMonthFromMarch - 9);
  nYear = static_cast<int>(nYearOfCycle + nCycle * 400 + (nMonth <= 2 ? 1 : 0));
}

}  // namespace

// The user's time formatting conventions, taken once from the environment
// (LC_ALL, LC_TIME, LANG) without touching the process-wide locale.
locale_t UserTimeLocale() {
  static locale_t s_locale = [] {
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
      loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    return loc;
  }();
  return s_locale;
}

CDateTime::CDateTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond) {
  if (nYear < 100 || nYear > 9999 || nMonth < 1 || nMonth > 12 || nDay < 1 ||
      nDay > DaysInMonth(nYear, nMonth) || nHour < 0 || nHour > 23 || nMinute < 0 || nMinute > 59 ||
      nSecond < 0 || nSecond > 59) {
    m_dt = 0.0;
    m_status = invalid;
    return;
  }
  long nDate = DayNumberFromDate(nYear, nMonth, nDay);
  double dTime = static_cast<double>(nHour * 3600L + nMinute * 60L + nSecond) / kSecondsPerDay;
  // Before 30 December 1899 the whole part counts days backwards while the fraction
  // still counts the time of day forwards, so the time is subtracted there.
  m_dt = static_cast<double>(nDate) + (nDate >= 0 ? dTime : -dTime);
  m_status = valid;
}

CDateTime CDateTime::GetCurrentTime() {
  time_t now = time(nullptr);
  struct tm tmLocal {};
  if (localtime_r(&now, &tmLocal) == nullptr)
    return CDateTime(0.0, invalid);
  return CDateTime(tmLocal.tm_year + 1900, tmLocal.tm_mon + 1, tmLocal.tm_mday, tmLocal.tm_hour,
                   tmLocal.tm_min, tmLocal.tm_sec > 59 ? 59 : tmLocal.tm_sec);
}

bool CDateTime::GetFields(int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute, int& nSecond) const {
  if (m_status != valid || !(m_dt >= kMinDate && m_dt < kMaxDate))
    return false;
  double dWhole = std::trunc(m_dt);
  long nDays = static_cast<long>(dWhole);
  // The fraction is the time of day whatever the sign of the day number.
  long nSeconds = std::lround(std::fabs(m_dt - dWhole) * kSecondsPerDay);
  if (nSeconds >= kSecondsPerDay) {  // rounded up to the next midnight
    nSeconds -= kSecondsPerDay;
    ++nDays;
  }
  int y, mo, d;
  DateFromDayNumber(nDays, y, mo, d);
  if (y > 9999)
    return false;
  nYear = y;
  nMonth = mo;
  nDay = d;
  nHour = static_cast<int>(nSeconds / 3600);
  nMinute = static_cast<int>(nSeconds / 60 % 60);
  nSecond = static_cast<int>(nSeconds % 60);
  return true;
}

bool CDateTime::GetTm(struct tm& tmValue) const {
  int nYear, nMonth, nDay, nHour, nMinute, nSecond;
  if (!GetFields(nYear, nMonth, nDay, nHour, nMinute, nSecond))
    return false;
  tmValue = tm{};
  tmValue.tm_year = nYear - 1900;
  tmValue.tm_mon = nMonth - 1;
  tmValue.tm_mday = nDay;
  tmValue.tm_hour = nHour;
  tmValue.tm_min = nMinute;
  tmValue.tm_sec = nSecond;
  tmValue.tm_isdst = -1;
  // Day of the week, for formats that show it: day 0 was a Saturday.
  long nDays = DayNumberFromDate(nYear, nMonth, nDay);
  tmValue.tm_wday = static_cast<int>(((nDays % 7) + 7 + 6) % 7);
  tmValue.tm_yday = static_cast<int>(nDays - DayNumberFromDate(nYear, 1, 1));
  return true;
}

std::string CDateTime::Format() const {
  struct tm tmValue {};
  if (!GetTm(tmValue))
    return std::string();
  char szBuffer[256];
  locale_t loc = UserTimeLocale();
  size_t n = loc != static_cast<locale_t>(0) ? strftime_l(szBuffer, sizeof szBuffer, "%x %X", &tmValue, loc)
                                             : strftime(szBuffer, sizeof szBuffer, "%x %X", &tmValue);
  return std::string(szBuffer, n);
}
