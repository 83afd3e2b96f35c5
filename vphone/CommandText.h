// Text helpers shared by the command processor's files: letter case, the log's
// printable form of bytes, and parameters in the TE character set.
#pragma once

#include <cctype>
#include <cstddef>
#include <string>

#include "vphone/SmsPdu.h"

namespace vphone {

inline std::string Upper(std::string str) {
  for (char& c : str)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return str;
}

// The log is a text file of lines: control and non-ASCII bytes are written as \xHH.
inline std::string Printable(const std::string& str) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : str) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

// Texts in the TE character set: with "UCS2" each character is four hex digits.
inline std::string ToTeString(const std::string& str, const std::string& strCharset) {
  if (strCharset != "UCS2")
    return str;
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : str) {
    out += "00";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
  }
  return out;
}

inline bool FromTeString(const std::string& str, const std::string& strCharset, std::string& out) {
  if (strCharset != "UCS2") {
    out = str;
    return true;
  }
  Octets octets;
  if (str.size() % 4 != 0 || !CSmsPdu::FromHex(str, octets))
    return false;
  out.clear();
  for (std::size_t i = 0; i < octets.size(); i += 2) {
    if (octets[i] != 0 || octets[i + 1] >= 0x80)
      return false;  // numbers are ASCII
    out += static_cast<char>(octets[i + 1]);
  }
  return true;
}

}  // namespace vphone
