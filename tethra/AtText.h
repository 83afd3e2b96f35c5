// Character-level helpers for the text the phone sends and the commands sent to it:
// blanks, letter case, prefixes and hexadecimal digits. ASCII only and independent of
// the locale (the AT command set is ASCII); bytes above 0x7F pass through unchanged.
// No I/O; every function accepts any input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Space, tab, CR, LF, vertical tab and form feed: what separates the words of a
// reply line and surrounds a value.
bool AtIsBlank(char c);

// The text without blanks at either end.
std::string AtTrim(std::string_view s);

// The text with a..z turned into A..Z.
std::string AtUpper(std::string s);

// Equal, or starting / ending with the other text, ignoring the letter case of a..z.
bool AtEqualsNoCase(std::string_view a, std::string_view b);
bool AtStartsWithNoCase(std::string_view s, std::string_view head);
bool AtEndsWithNoCase(std::string_view s, std::string_view tail);

// The value of one hexadecimal digit (either letter case), -1 for any other byte.
int AtHexValue(char c);

// True for a non-empty, even number of hexadecimal digits and nothing else: the form
// of a PDU line.
bool AtIsHex(std::string_view s);

// The octet written by the two hexadecimal digits at s[nAt], -1 when there are no
// two digits there.
int AtHexOctet(std::string_view s, size_t nAt);
