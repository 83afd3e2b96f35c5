// Shared pieces of the PDU codec tests: PDUs written field by field with blanks
// between the fields, the addresses and time stamps the hand-built vectors use, and
// decoding that reports the error of a vector that should have been read.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/SmsVectors.h"
#include "tethra/PduDecoder.h"

// A PDU written as its fields separated by blanks, as one hexadecimal string.
inline std::string Hex(std::string str) {
  str.erase(std::remove(str.begin(), str.end(), ' '), str.end());
  return str;
}

inline const std::string kSc = "07911326040000F0";  // +31624000000
inline const std::string kOa = "0B911346610089F6";  // +31641600986
inline const std::string kDa = "0B916407281553F8";  // +46708251358
inline const std::string kTime = "42211332958540";  // 2024-12-31 23:59:58 +01:00

inline CPduMessage Decode(const std::string& strHex) {
  auto r = CPduDecoder::Decode(strHex);
  EXPECT_TRUE(r.IsOk()) << r.GetError() << " in " << strHex;
  return r.IsOk() ? r.Value() : CPduMessage();
}
