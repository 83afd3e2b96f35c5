// UTF-8, UTF-16BE and Latin-1 conversions, including the bad input a phone or a user
// can hand over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CharsetUtf.h"

TEST(CharsetUtf, Utf8DecodingOfGoodAndBadSequences) {
  bool bValid = false;
  EXPECT_EQ(CCharsetUtf::DecodeUtf8("aé€😀", &bValid), (std::u32string{U'a', 0xE9, 0x20AC, 0x1F600}));
  EXPECT_TRUE(bValid);

  struct Case {
    std::string strIn;
    std::u32string expected;
  } const cases[] = {
      {"\xC3", U"?"},                   // truncated two-byte sequence
      {"\xE2\x82", U"?"},               // truncated three-byte sequence
      {"\x80" "a", U"?a"},              // stray continuation byte
      {"\xC0\xAF", U"?"},               // overlong '/'
      {"\xED\xA0\x80", U"?"},           // encoded surrogate
      {"\xF4\x90\x80\x80", U"?"},       // above U+10FFFF
      {"\xFF" "b", U"?b"},              // never a lead byte
      {"\xE2\x82" "c", U"?c"},          // sequence cut by an ASCII byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CCharsetUtf::DecodeUtf8(c.strIn, &bValid), c.expected);
    EXPECT_FALSE(bValid);
  }
}

TEST(CharsetUtf, Utf16BigEndian) {
  // U+1F600 is the surrogate pair D83D DE00.
  EXPECT_EQ(CCharsetUtf::ToUtf16Be(U"A\U0001F600"), (std::vector<uint8_t>{0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00}));
  const uint8_t emoji[] = {0x00, 0x48, 0xD8, 0x3D, 0xDE, 0x00};
  EXPECT_EQ(CCharsetUtf::Utf16BeToUtf8(emoji, 6), "H😀");

  // Unpaired halves and a dangling odd octet each become '?'.
  const uint8_t loneHigh[] = {0xD8, 0x3D, 0x00, 0x41};
  EXPECT_EQ(CCharsetUtf::Utf16BeToUtf8(loneHigh, 4), "?A");
  const uint8_t loneLow[] = {0xDE, 0x00, 0x00, 0x42};
  EXPECT_EQ(CCharsetUtf::Utf16BeToUtf8(loneLow, 4), "?B");
  const uint8_t highAtEnd[] = {0x00, 0x43, 0xD8, 0x3D};
  EXPECT_EQ(CCharsetUtf::Utf16BeToUtf8(highAtEnd, 4), "C?");
  const uint8_t odd[] = {0x04, 0x16, 0x00};
  EXPECT_EQ(CCharsetUtf::Utf16BeToUtf8(odd, 3), "Ж?");
}

TEST(CharsetUtf, Latin1AndEncoding) {
  const uint8_t latin1[] = {0x48, 0xE9, 0xFF, 0x00};
  EXPECT_EQ(CCharsetUtf::Latin1ToUtf8(latin1, 4), std::string("H\xC3\xA9\xC3\xBF\0", 6));
  EXPECT_EQ(CCharsetUtf::EncodeUtf8(U"\u00E9\u20AC\U0001F600"), "é€😀");
  // A value that is no code point is written as '?'.
  EXPECT_EQ(CCharsetUtf::EncodeUtf8(std::u32string{0xD800, 0x110000}), "??");
}
