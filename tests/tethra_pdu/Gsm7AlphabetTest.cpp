// The GSM 7-bit default alphabet, its extension table and septet packing, checked
// against the tables and the packing examples of 3GPP TS 23.038.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CharsetUtf.h"
#include "tethra/Gsm7Alphabet.h"
#include "tethra/PduHex.h"

namespace {

std::vector<uint8_t> Bytes(const char* pszHex) { return CPduHex::Decode(pszHex).Value(); }

std::string Packed(const std::vector<uint8_t>& septets, size_t nBitOffset = 0, std::vector<uint8_t> out = {}) {
  CGsm7Alphabet::Pack(septets, nBitOffset, out);
  return CPduHex::Encode(out);
}

std::vector<uint8_t> Septets(const std::string& s) {
  std::vector<uint8_t> v;
  CGsm7Alphabet::Encode(CCharsetUtf::DecodeUtf8(s), v);
  return v;
}

// The default alphabet as the standard's table lists it, column by column of 16
// (0x1B, the escape, stands as a space here).
const char* const kDefaultColumns[8] = {
    "@£$¥èéùìòÇ\nØø\rÅå",
    "Δ_ΦΓΛΩΠΨΣΘΞ ÆæßÉ",
    " !\"#¤%&'()*+,-./",
    "0123456789:;<=>?",
    "¡ABCDEFGHIJKLMNO",
    "PQRSTUVWXYZÄÖÑÜ§",
    "¿abcdefghijklmno",
    "pqrstuvwxyzäöñüà",
};

}  // namespace

TEST(Gsm7Alphabet, DefaultTableBothWays) {
  for (int col = 0; col < 8; ++col) {
    const std::u32string chars = CCharsetUtf::DecodeUtf8(kDefaultColumns[col]);
    ASSERT_EQ(chars.size(), 16u) << "column " << col;
    for (int row = 0; row < 16; ++row) {
      const uint8_t code = static_cast<uint8_t>(col * 16 + row);
      if (code == CGsm7Alphabet::ESCAPE)
        continue;
      const std::string expected = CCharsetUtf::EncodeUtf8(std::u32string(1, chars[row]));
      EXPECT_EQ(CGsm7Alphabet::Decode(&code, 1), expected) << "septet " << int(code);
      std::vector<uint8_t> septets;
      EXPECT_TRUE(CGsm7Alphabet::Encode(std::u32string(1, chars[row]), septets));
      EXPECT_EQ(septets, std::vector<uint8_t>{code}) << "character of septet " << int(code);
    }
  }
}

TEST(Gsm7Alphabet, ExtensionTableBothWays) {
  struct Case {
    const char* pszText;
    uint8_t nCode;
  } const cases[] = {{"\f", 0x0A}, {"^", 0x14}, {"{", 0x28}, {"}", 0x29}, {"\\", 0x2F},
                     {"[", 0x3C},  {"~", 0x3D}, {"]", 0x3E}, {"|", 0x40}, {"€", 0x65}};
  for (const auto& c : cases) {
    EXPECT_EQ(Septets(c.pszText), (std::vector<uint8_t>{0x1B, c.nCode})) << c.pszText;
    const uint8_t pair[2] = {0x1B, c.nCode};
    EXPECT_EQ(CGsm7Alphabet::Decode(pair, 2), c.pszText);
    EXPECT_EQ(CGsm7Alphabet::SeptetsFor(CCharsetUtf::DecodeUtf8(c.pszText)[0]), 2) << c.pszText;
  }
}

TEST(Gsm7Alphabet, EscapesWithoutExtensionCharacter) {
  // Escape + a code the extension table lacks reads as the default-table character.
  const uint8_t unknown[] = {0x41, 0x1B, 0x41, 0x1B, 0x00};
  EXPECT_EQ(CGsm7Alphabet::Decode(unknown, 5), "AA@");
  // Escape + escape (reserved for another table) and a final lone escape: a space.
  const uint8_t doubled[] = {0x1B, 0x1B, 0x42};
  EXPECT_EQ(CGsm7Alphabet::Decode(doubled, 3), " B");
  const uint8_t trailing[] = {0x43, 0x1B};
  EXPECT_EQ(CGsm7Alphabet::Decode(trailing, 2), "C ");
  // Bit 7 of a septet byte carries nothing.
  const uint8_t high[] = {0xC1};
  EXPECT_EQ(CGsm7Alphabet::Decode(high, 1), "A");
}

TEST(Gsm7Alphabet, CharactersOutsideTheAlphabet) {
  for (const char* psz : {"ç", "Ж", "😀", "`", "\t"}) {
    EXPECT_EQ(CGsm7Alphabet::SeptetsFor(CCharsetUtf::DecodeUtf8(psz)[0]), 0) << psz;
  }
  std::vector<uint8_t> septets;
  EXPECT_FALSE(CGsm7Alphabet::Encode(CCharsetUtf::DecodeUtf8("aЖb"), septets));
  EXPECT_EQ(septets, (std::vector<uint8_t>{0x61, 0x3F, 0x62}));
}

TEST(Gsm7Alphabet, PackingVectors) {
  // The packing example of 23.038 (and countless PDU tutorials).
  EXPECT_EQ(Packed(Septets("hellohello")), "E8329BFD4697D9EC37");
  // Hand-packed from the bit layout: 1B 3C | 1B 65 | 1B 3E, LSB first.
  EXPECT_EQ(Packed(Septets("[€]")), "1BDEA6BCF101");
  // Eight septets fill exactly seven octets.
  EXPECT_EQ(Packed(std::vector<uint8_t>(8, 0x7F)), "FFFFFFFFFFFFFF");
  // After a 6-octet header the text starts at bit 49 (one fill bit).
  EXPECT_EQ(Packed(Septets("Hi!"), 49, Bytes("0500032A0201")), "0500032A020190E910");
  // After a 7-octet header no fill bit is needed.
  EXPECT_EQ(Packed(Septets("Hi!"), 56, Bytes("06080412340302")), "06080412340302C87408");
}

TEST(Gsm7Alphabet, UnpackingVectorsAndBounds) {
  const std::vector<uint8_t> hello = Bytes("E8329BFD4697D9EC37");
  std::vector<uint8_t> septets = CGsm7Alphabet::Unpack(hello.data(), hello.size(), 0, 10);
  EXPECT_EQ(CGsm7Alphabet::Decode(septets.data(), septets.size()), "hellohello");

  const std::vector<uint8_t> ud = Bytes("0500032A020190E910");
  septets = CGsm7Alphabet::Unpack(ud.data(), ud.size(), 49, 3);
  EXPECT_EQ(septets, (std::vector<uint8_t>{0x48, 0x69, 0x21}));

  // Asking for more than the buffer holds returns only what fits.
  EXPECT_EQ(CGsm7Alphabet::Unpack(hello.data(), hello.size(), 0, 200).size(), 10u);
  EXPECT_EQ(CGsm7Alphabet::Unpack(hello.data(), 2, 0, 5).size(), 2u);
  EXPECT_TRUE(CGsm7Alphabet::Unpack(hello.data(), 1, 8, 1).empty());
  EXPECT_TRUE(CGsm7Alphabet::Unpack(nullptr, 0, 0, 3).empty());
}
