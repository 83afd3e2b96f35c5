#include "lists/ListDates.h"

#include <langinfo.h>

#include <ctime>

namespace {

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

std::string FormatListDateTime(const CDateTime& dt) { return FormatListDateTime(dt, UserTimeLocale()); }

std::string FormatListDateTime(const CDateTime& dt, locale_t loc) {
  struct tm tmValue {};
  if (!dt.GetTm(tmValue))
    return std::string();
  const std::string strDate = Strftime(FourDigitYearFormat(nl_langinfo_l(D_FMT, loc)), tmValue, loc);
  if (tmValue.tm_hour == 0 && tmValue.tm_min == 0 && tmValue.tm_sec == 0)
    return strDate;
  return strDate + " " + Strftime(nl_langinfo_l(T_FMT, loc), tmValue, loc);
}
