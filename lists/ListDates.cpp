#include "lists/ListDates.h"

#include <langinfo.h>

#include <ctime>

namespace {

locale_t UserListLocale() {
  static locale_t s_locale = [] {
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
      loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    return loc;
  }();
  return s_locale;
}

std::string Strftime(const std::string& strFormat, const struct tm& tmValue, locale_t loc) {
  char szBuffer[256];
  const size_t n = strftime_l(szBuffer, sizeof szBuffer, strFormat.c_str(), &tmValue, loc);
  return std::string(szBuffer, n);
}

}  // namespace

std::string FourDigitYearFormat(const std::string& strDateFormat) {
  std::string strResult;
  for (size_t i = 0; i < strDateFormat.size(); ++i) {
    const char c = strDateFormat[i];
    if (c != '%' || i + 1 >= strDateFormat.size()) {
      strResult += c;
      continue;
    }
    // A conversion: %y and %D carry a two-digit year; an E or O modifier is dropped
    // with them; anything else is kept as it is.
    size_t j = i + 1;
    if ((strDateFormat[j] == 'E' || strDateFormat[j] == 'O') && j + 1 < strDateFormat.size())
      ++j;
    const char conv = strDateFormat[j];
    if (conv == 'y')
      strResult += "%Y";
    else if (conv == 'D')
      strResult += "%m/%d/%Y";
    else
      strResult.append(strDateFormat, i, j - i + 1);
    i = j;
  }
  return strResult;
}

std::string FormatListDateTime(const CDateTime& dt) { return FormatListDateTime(dt, UserListLocale()); }

std::string FormatListDateTime(const CDateTime& dt, locale_t loc) {
  int nYear, nMonth, nDay, nHour, nMinute, nSecond;
  if (!dt.GetFields(nYear, nMonth, nDay, nHour, nMinute, nSecond))
    return std::string();
  struct tm tmValue {};
  tmValue.tm_year = nYear - 1900;
  tmValue.tm_mon = nMonth - 1;
  tmValue.tm_mday = nDay;
  tmValue.tm_hour = nHour;
  tmValue.tm_min = nMinute;
  tmValue.tm_sec = nSecond;
  tmValue.tm_isdst = -1;
  timegm(&tmValue);  // fills the day of the week and of the year, for formats that show them
  const std::string strDate =
      Strftime(FourDigitYearFormat(nl_langinfo_l(D_FMT, loc)), tmValue, loc);
  if (nHour == 0 && nMinute == 0 && nSecond == 0)
    return strDate;
  return strDate + " " + Strftime(nl_langinfo_l(T_FMT, loc), tmValue, loc);
}
