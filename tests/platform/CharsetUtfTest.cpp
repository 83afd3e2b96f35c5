// UTF-8, UTF-16BE and Latin-1 conversions, including the bad input a phone or a user
// can hand over.
#include <gtest/gtest.h>

#include "platform/CharsetUtf.h"

TEST(CharsetUtf, Utf8DecodingOfGoodAndBadSequences) {
  bool bValid = false;
  EXPECT_EQ(CCharsetUtf::DecodeUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", &bValid),
            (std::u32string{U'a', 0xE9, 0x20AC, 0x1F600}));
  EXPECT_TRUE(bValid);
  const std::pair<std::string, std::u32string> bad[] = {
      {"\xC3", U"?"},  // truncated two-byte sequence
      {"\xE2\x82"
       "c",
       U"?c"},  // three-byte sequence cut by an ASCII byte
      {"\x80"
       "a",
       U"?a"},             // stray continuation byte
      {"\xC0\xAF", U"?"},  // overlong '/'
  };
  for (const auto& [strIn, expected] : bad) {
    EXPECT_EQ(CCharsetUtf::DecodeUtf8(strIn, &bValid), expected) << testing::PrintToString(strIn);
    EXPECT_FALSE(bValid);
  }
  // A value that is no code point is written as '?'.
  EXPECT_EQ(CCharsetUtf::EncodeUtf8(U"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(CCharsetUtf::EncodeUtf8(std::u32string{0xD800, 0x110000}), "??");
}

TEST(CharsetUtf, Utf16BigEndianAndLatin1) {
  // U+1F600 is the surrogate pair D83D DE00.
  EXPECT_EQ(CCharsetUtf::ToUtf16Be(U"A\U0001F600"),
            (std::vector<uint8_t>{0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00}));
  // Unpaired halves and a dangling odd octet each become '?'.
  const std::pair<std::vector<uint8_t>, std::string> cases[] = {
      {{0x00, 0x48, 0xD8, 0x3D, 0xDE, 0x00}, "H\xF0\x9F\x98\x80"},
      {{0xD8, 0x3D, 0x00, 0x41}, "?A"},
      {{0xDE, 0x00, 0x00, 0x42}, "?B"},
      {{0x00, 0x43, 0xD8, 0x3D}, "C?"},
      {{0x04, 0x16, 0x00}, "\xD0\x96?"},
  };
  for (const auto& [units, strText] : cases)
    EXPECT_EQ(CCharsetUtf::Utf16BeToUtf8(units.data(), units.size()), strText);
  const uint8_t latin1[] = {0x48, 0xE9, 0xFF, 0x00};
  EXPECT_EQ(CCharsetUtf::Latin1ToUtf8(latin1, 4), std::string("H\xC3\xA9\xC3\xBF\0", 6));
}
