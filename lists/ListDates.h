// The Date and Time cells of the message lists: the value in the user's locale
// (its date and time formats) with the year always in four digits, and the date
// alone when the time of day is exactly midnight. No Qt here.
#pragma once

#include <locale.h>

#include <string>

#include "model/DateTime.h"

// Empty for a value that is not valid. The user's conventions are taken once from
// the environment (LC_ALL, LC_TIME, LANG).
std::string FormatListDateTime(const CDateTime& dt);
// The same with the given time locale (the tests pick one).
std::string FormatListDateTime(const CDateTime& dt, locale_t loc);
// A locale's date format with every two-digit year made a four-digit one.
std::string FourDigitYearFormat(const std::string& strDateFormat);
