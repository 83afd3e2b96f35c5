// The date-time value of the records: a day number (days since 30 December 1899,
// the time of day as the fraction, as OLE Automation dates count) and a status.
// Stored exactly as that pair. Equal when both the status and the day number are;
// ordered by the day number alone, whatever the status.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include <locale.h>

class CDateTime {
 public:
  enum DateTimeStatus : int32_t { valid = 0, invalid = 1, null = 2 };

  CDateTime() = default;  // 0.0 (30 December 1899, midnight), valid
  CDateTime(double dDate, DateTimeStatus status) : m_dt(dDate), m_status(status) {}
  // From calendar fields; invalid when they are out of range.
  CDateTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond);

  static CDateTime GetCurrentTime();  // local time

  double GetDate() const { return m_dt; }
  DateTimeStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeStatus status) { m_status = status; }
  bool IsValid() const { return m_status == valid; }

  // Calendar fields of a valid value; false for an invalid one.
  bool GetFields(int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute, int& nSecond) const;
  // The value as a calendar time for strftime (with the day of the week and of the
  // year filled); false for an invalid value.
  bool GetTm(struct tm& tmValue) const;
  // The value formatted in the user's locale (date and time); empty when invalid.
  std::string Format() const;

  bool operator==(const CDateTime& o) const { return m_status == o.m_status && m_dt == o.m_dt; }
  bool operator!=(const CDateTime& o) const { return !(*this == o); }
  bool operator<(const CDateTime& o) const { return m_dt < o.m_dt; }

 private:
  double m_dt = 0.0;
  DateTimeStatus m_status = valid;
};

// The user's time formatting conventions, taken once from the environment (LC_ALL,
// LC_TIME, LANG) without touching the process-wide locale.
locale_t UserTimeLocale();
