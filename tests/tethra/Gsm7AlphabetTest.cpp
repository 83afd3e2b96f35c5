// The GSM 7-bit default alphabet, its extension table and septet packing, checked
// against the tables and the packing examples of 3GPP TS 23.038.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CharsetUtf.h"
#include "tethra/Gsm7Alphabet.h"
#include "tethra/PduHex.h"

namespace {

std::vector<uint8_t> Septets(const std::string& s) {
  std::vector<uint8_t> v;
  CGsm7Alphabet::Encode(CCharsetUtf::DecodeUtf8(s), v);
  return v;
}

// The default alphabet as the standard's table lists it, column by column of 16
// (0x1B, the escape, stands as a space here).
const char* const kDefaultColumns[8] = {
    "@£$¥èéùìòÇ\nØø\rÅå", "Δ_ΦΓΛΩΠΨΣΘΞ ÆæßÉ", " !\"#¤%&'()*+,-./", "0123456789:;<=>?",
    "¡ABCDEFGHIJKLMNO",   "PQRSTUVWXYZÄÖÑÜ§", "¿abcdefghijklmno",  "pqrstuvwxyzäöñüà",
};

}  // namespace

TEST(Gsm7Alphabet, DefaultAndExtensionTablesBothWays) {
  for (int col = 0; col < 8; ++col) {
    const std::u32string chars = CCharsetUtf::DecodeUtf8(kDefaultColumns[col]);
    ASSERT_EQ(chars.size(), 16u) << "column " << col;
    for (int row = 0; row < 16; ++row) {
      const uint8_t code = static_cast<uint8_t>(col * 16 + row);
      if (code == CGsm7Alphabet::ESCAPE)
        continue;
      const std::u32string ch(1, chars[row]);
      EXPECT_EQ(CGsm7Alphabet::Decode(&code, 1), CCharsetUtf::EncodeUtf8(ch)) << "septet " << int(code);
      std::vector<uint8_t> septets;
      EXPECT_TRUE(CGsm7Alphabet::Encode(ch, septets));
      EXPECT_EQ(septets, std::vector<uint8_t>{code}) << "character of septet " << int(code);
    }
  }
  struct Case {
    const char* pszText;
    uint8_t nCode;
  } const extension[] = {{"\f", 0x0A}, {"^", 0x14}, {"{", 0x28}, {"}", 0x29}, {"\\", 0x2F},
                         {"[", 0x3C},  {"~", 0x3D}, {"]", 0x3E}, {"|", 0x40}, {"€", 0x65}};
  for (const auto& c : extension) {
    EXPECT_EQ(Septets(c.pszText), (std::vector<uint8_t>{0x1B, c.nCode})) << c.pszText;
    const uint8_t pair[2] = {0x1B, c.nCode};
    EXPECT_EQ(CGsm7Alphabet::Decode(pair, 2), c.pszText);
    EXPECT_EQ(CGsm7Alphabet::SeptetsFor(CCharsetUtf::DecodeUtf8(c.pszText)[0]), 2) << c.pszText;
  }
}

TEST(Gsm7Alphabet, OddEscapesAndCharactersOutsideTheAlphabet) {
  struct Case {
    std::vector<uint8_t> septets;
    const char* pszText;
  } const cases[] = {
      {{0x41, 0x1B, 0x41, 0x1B, 0x00}, "AA@"},  // escape + a code the table lacks: the default character
      {{0x1B, 0x1B, 0x42}, " B"},               // escape + escape: a space
      {{0x43, 0x1B}, "C "},                     // a final lone escape: a space
      {{0xC1}, "A"},                            // bit 7 of a septet byte carries nothing
  };
  for (const auto& c : cases)
    EXPECT_EQ(CGsm7Alphabet::Decode(c.septets.data(), c.septets.size()), c.pszText);
  for (const char* psz : {"ç", "Ж", "😀", "`", "\t"})
    EXPECT_EQ(CGsm7Alphabet::SeptetsFor(CCharsetUtf::DecodeUtf8(psz)[0]), 0) << psz;
  std::vector<uint8_t> septets;
  EXPECT_FALSE(CGsm7Alphabet::Encode(CCharsetUtf::DecodeUtf8("aЖb"), septets));
  EXPECT_EQ(septets, (std::vector<uint8_t>{0x61, 0x3F, 0x62}));
}

TEST(Gsm7Alphabet, PackingAtAnOffsetAndUnpackingWithinBounds) {
  // Eight septets fill exactly seven octets; after a 6-octet header the text starts
  // at bit 49 (one fill bit).
  std::vector<uint8_t> out;
  CGsm7Alphabet::Pack(std::vector<uint8_t>(8, 0x7F), 0, out);
  EXPECT_EQ(CPduHex::Encode(out), "FFFFFFFFFFFFFF");
  out = CPduHex::Decode("0500032A0201").Value();
  CGsm7Alphabet::Pack(Septets("Hi!"), 49, out);
  EXPECT_EQ(CPduHex::Encode(out), "0500032A020190E910");

  // Asking for more than the buffer holds returns only what fits.
  const std::vector<uint8_t> hello = CPduHex::Decode("E8329BFD4697D9EC37").Value();
  EXPECT_EQ(CGsm7Alphabet::Unpack(hello.data(), hello.size(), 0, 200).size(), 10u);
  EXPECT_EQ(CGsm7Alphabet::Unpack(hello.data(), 2, 0, 5).size(), 2u);
  EXPECT_TRUE(CGsm7Alphabet::Unpack(hello.data(), 1, 8, 1).empty());
  EXPECT_TRUE(CGsm7Alphabet::Unpack(nullptr, 0, 0, 3).empty());
}
