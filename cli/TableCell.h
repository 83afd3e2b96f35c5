// Text for one cell of the command-line program's tables.
#pragma once

#include <cstddef>
#include <string>

// Line breaks and other control characters become blanks, and a text longer than
// nMax bytes is cut at a character boundary and ends in "...".
inline std::string TableCell(const std::string& str, size_t nMax) {
  std::string out;
  for (char c : str)
    out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  if (out.size() > nMax) {
    size_t n = nMax - 3;
    while (n > 0 && (static_cast<unsigned char>(out[n]) & 0xC0) == 0x80)
      --n;
    out = out.substr(0, n) + "...";
  }
  return out;
}
