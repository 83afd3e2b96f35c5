#include "tethra/AtText.h"

namespace {

char UpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool AtIsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string AtTrim(std::string_view s) {
  while (!s.empty() && AtIsBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && AtIsBlank(s.back()))
    s.remove_suffix(1);
  return std::string(s);
}

std::string AtUpper(std::string s) {
  for (char& c : s)
    c = UpperChar(c);
  return s;
}

bool AtEqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i]))
      return false;
  return true;
}

bool AtStartsWithNoCase(std::string_view s, std::string_view head) {
  return s.size() >= head.size() && AtEqualsNoCase(s.substr(0, head.size()), head);
}

bool AtEndsWithNoCase(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && AtEqualsNoCase(s.substr(s.size() - tail.size()), tail);
}

int AtHexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

bool AtIsHex(std::string_view s) {
  if (s.empty() || s.size() % 2 != 0)
    return false;
  for (char c : s)
    if (AtHexValue(c) < 0)
      return false;
  return true;
}

int AtHexOctet(std::string_view s, size_t nAt) {
  if (nAt >= s.size() || s.size() - nAt < 2)
    return -1;
  const int hi = AtHexValue(s[nAt]);
  const int lo = AtHexValue(s[nAt + 1]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}
