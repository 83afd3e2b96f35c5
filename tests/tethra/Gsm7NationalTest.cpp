// National language shift tables: characters at the positions 3GPP TS 23.038
// Annex A gives them, read and written, and the header elements that name them.
#include <gtest/gtest.h>

#include "platform/CharsetUtf.h"
#include "tethra/Gsm7Alphabet.h"
#include "tethra/Gsm7NationalTables.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"

namespace {

std::string Utf8(const std::u32string& s) {
  std::string out;
  for (char32_t c : s)
    CCharsetUtf::AppendUtf8(out, c);
  return out;
}

TEST(Gsm7National, AnnexACodePointsDecode) {
  const uint8_t E = CGsm7Alphabet::ESCAPE;
  struct Case {
    const char* pszName;
    CGsm7Tables tables;
    std::vector<uint8_t> septets;
    std::u32string text;
    bool bWrittenSo = true;  // the encoder writes the text with exactly these septets
  } const cases[] = {
      // A.3.1 Turkish locking shift: 07 ı, 0B Ğ, 0C ğ, 1C Ş, 1D ş, 40 İ, 60 ç.
      {"Turkish locking", {1, 0}, {0x07, 0x0B, 0x0C, 0x1C, 0x1D, 0x40, 0x60, 0x41}, U"ıĞğŞşİçA"},
      // A.2.1 Turkish single shift: 47 Ğ, 67 ğ, 49 İ, 69 ı, 53 Ş, 73 ş; 65 € as ever.
      {"Turkish single", {0, 1}, {E, 0x47, E, 0x67, E, 0x49, E, 0x69, E, 0x53, E, 0x73, E, 0x65}, U"ĞğİıŞş€"},
      // A.2.2 Spanish single shift: 09 ç, 41 Á, 49 Í, 4F Ó, 55 Ú, 61 á, 69 í, 6F ó, 75 ú.
      {"Spanish single",
       {0, 2},
       {E, 0x09, E, 0x41, E, 0x49, E, 0x4F, E, 0x55, E, 0x61, E, 0x69, E, 0x6F, E, 0x75},
       U"çÁÍÓÚáíóú"},
      // A.3.3 Portuguese locking shift: 04 ê, 0B Ô, 0C ô, 12 ª, 15 ∞, 5B Ã, 7B ã, 7D `.
      {"Portuguese locking", {3, 0}, {0x04, 0x0B, 0x0C, 0x12, 0x15, 0x5B, 0x7B, 0x7D}, U"êÔôª∞Ãã`"},
      // A.2.3 Portuguese single shift: 05 ê, 41 À, 5B Ã, 61 Â, 7B ã.
      {"Portuguese single", {0, 3}, {E, 0x05, E, 0x41, E, 0x5B, E, 0x61, E, 0x7B}, U"êÀÃÂã"},
      // A.3.6 Hindi locking shift: 00 ँ, 03 अ, 15 क, 2F न, 42 म, 5F ्, 60 ॐ.
      {"Hindi locking",
       {6, 0},
       {0x00, 0x03, 0x15, 0x2F, 0x42, 0x5F, 0x60, 0x21},
       U"\u0901\u0905\u0915\u0928\u092E\u094D\u0950!"},
      // A.2.6 Hindi single shift: 19 danda, 1C digit zero, 1D digit one, 65 €.
      {"Hindi single", {0, 6}, {E, 0x19, E, 0x1C, E, 0x1D, E, 0x65}, U"\u0964\u0966\u0967\u20AC"},
      // A.3.4 Bengali, A.3.11 Tamil, A.3.13 Urdu locking shift: 15 ক / க, 42 ম / ம; 00 ا, 02 ب.
      {"Bengali locking", {4, 0}, {0x15, 0x42, 0x5F}, U"\u0995\u09AE\u09CD"},
      {"Tamil locking", {11, 0}, {0x15, 0x42, 0x5F}, U"\u0B95\u0BAE\u0BCD"},
      {"Urdu locking", {13, 0}, {0x00, 0x02, 0x20, 0x0B}, U"\u0627\u0628 \u0679"},
      // A.2.13 Urdu single shift: 26 Arabic comma, 33 Arabic question mark.
      {"Urdu single", {0, 13}, {E, 0x26, E, 0x33}, U"\u060C\u061F"},
      // Both tables named: a character may come from either (the encoder takes the
      // locking table's single septet for İ).
      {"Turkish both", {1, 1}, {0x1C, E, 0x49, 0x41}, U"ŞİA", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    EXPECT_EQ(CGsm7Alphabet::Decode(c.septets.data(), c.septets.size(), c.tables), Utf8(c.text));
    if (!c.bWrittenSo)
      continue;
    std::vector<uint8_t> septets;
    ASSERT_TRUE(CGsm7Alphabet::Encode(c.text, septets, c.tables));
    EXPECT_EQ(septets, c.septets);
  }
  // A code the single shift table leaves empty is read from the default extension
  // table, then from the alphabet itself.
  const uint8_t braces[] = {E, 0x28, E, 0x29};
  EXPECT_EQ(CGsm7Alphabet::Decode(braces, 4, {0, 2}), "{}");
  EXPECT_EQ(CGsm7NationalTables::LockingTable(2), nullptr);  // Spanish has a single shift only
  EXPECT_EQ(CGsm7NationalTables::SingleTable(14), nullptr);
}

TEST(Gsm7National, TextsGoAsSevenBitWithTheTableNamedInTheHeader) {
  std::string strLong;
  for (int i = 0; i < 30; ++i)
    strLong += "Iğdır'da şöyle; ";
  struct Case {
    std::string strText;
    std::string strHeader;  // the user-data header every part carries, hex
    bool bSevenBit;
    size_t nParts;
  } const cases[] = {
      {"Şişli'de buluşalım mı?", "03250101", true, 1},  // Turkish locking shift
      {"Canción de la mañana", "03240102", true, 1},    // ó: the Spanish single shift
      {"नमस्ते दुनिया", "03250106", true, 1},              // Hindi locking shift
      {"Привет", "", false, 1},                         // no table carries Cyrillic: UCS2
      {"Plain text", "", true, 1},                      // the default alphabet: no header
      // A long text: every part names the table beside its concatenation element.
      {strLong, "08250101000300", true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.strText);
    CPduSubmitRequest r;
    r.m_strDestination = "+447700900123";
    r.m_strText = c.strText;
    auto encoded = CPduEncoder::EncodeSubmit(r);
    ASSERT_TRUE(encoded.IsOk()) << encoded.GetError();
    ASSERT_EQ(encoded->size(), c.nParts);
    std::string strJoined;
    for (const CPduEncoded& part : encoded.Value()) {
      auto decoded = CPduDecoder::Decode(part.m_strPdu);
      ASSERT_TRUE(decoded.IsOk()) << decoded.GetError();
      EXPECT_EQ(decoded->m_coding.GetAlphabet() == CPduDataCoding::GSM7, c.bSevenBit);
      EXPECT_EQ(decoded->IsHeaderIndicator(), !c.strHeader.empty());
      strJoined += decoded->m_strText;
      // The header follows the user-data length octet, itself after the data coding
      // scheme (00) and the validity (A7).
      if (!c.strHeader.empty()) {
        EXPECT_EQ(part.m_strPdu.substr(part.m_strPdu.find("00A7") + 6, c.strHeader.size()), c.strHeader);
      }
    }
    EXPECT_EQ(strJoined, c.strText);
  }
}

}  // namespace
