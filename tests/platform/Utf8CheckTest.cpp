// The UTF-8 check that decides whether a line from the phone is text and which bytes
// of a phonebook name or a table cell are kept: one well-formed sequence at a time.
#include <gtest/gtest.h>

#include "platform/CharsetUtf.h"

TEST(Utf8Check, SequenceLengthAndCodePointOfEachForm) {
  // What it is, the text, where to look, the length (0: no well-formed sequence
  // starts there) and the code point when there is one.
  const std::tuple<const char*, std::string, size_t, size_t, char32_t> cases[] = {
      {"ASCII", "a", 0, 1, U'a'},
      {"NUL is text", std::string("\0", 1), 0, 1, 0},
      {"two bytes", "\xC3\xA9", 0, 2, 0xE9},
      {"three bytes", "x\xE2\x82\xAC", 1, 3, 0x20AC},
      {"four bytes", "\xF0\x9F\x98\x80", 0, 4, 0x1F600},
      {"highest code point", "\xF4\x8F\xBF\xBF", 0, 4, 0x10FFFF},
      {"overlong two bytes", "\xC0\xAF", 0, 0, 0},
      {"overlong three bytes", "\xE0\x80\xAF", 0, 0, 0},
      {"overlong four bytes", "\xF0\x80\x80\xAF", 0, 0, 0},
      {"surrogate", "\xED\xA0\x80", 0, 0, 0},
      {"above U+10FFFF", "\xF4\x90\x80\x80", 0, 0, 0},
      {"stray continuation", "\x80", 0, 0, 0},
      {"never a lead byte", "\xFF", 0, 0, 0},
      {"truncated at the end", "\xE2\x82", 0, 0, 0},
      {"cut by ASCII",
       "\xE2\x82"
       "c",
       0, 0, 0},
      {"past the end", "a", 1, 0, 0},
  };
  for (const auto& [pszWhat, strText, nAt, nLength, cExpected] : cases) {
    char32_t cGot = U'#';
    EXPECT_EQ(CCharsetUtf::Utf8SequenceLength(strText, nAt, &cGot), nLength) << pszWhat;
    if (nLength != 0)
      EXPECT_EQ(cGot, cExpected) << pszWhat;
    else
      EXPECT_EQ(cGot, U'#') << pszWhat << ": no code point is given for a bad sequence";
  }
}

TEST(Utf8Check, WholeTextAgreesWithTheDecoder) {
  const std::pair<std::string, bool> cases[] = {
      {"", true},
      {"+CMTI: \"SM\",3", true},
      {"Gr\xC3\xBC\xC3\x9F"
       "e \xF0\x9F\x98\x80",
       true},
      {"line noise \xFF\xFE", false},
      {"ends in a cut sequence \xC3", false},
      {"\xED\xB0\x80 lone low surrogate", false},
  };
  for (const auto& [strText, bUtf8] : cases) {
    EXPECT_EQ(CCharsetUtf::IsUtf8(strText), bUtf8) << testing::PrintToString(strText);
    bool bValid = !bUtf8;
    CCharsetUtf::DecodeUtf8(strText, &bValid);
    EXPECT_EQ(bValid, bUtf8) << testing::PrintToString(strText);
  }
}
