// Building SMS-SUBMIT (and SMS-DELIVER) PDUs: published and hand-built vectors, the
// choice of alphabet, and how long texts are cut into concatenated parts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduHex.h"

namespace {

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i)
    out += s;
  return out;
}

std::vector<CPduEncoded> Submit(const CPduSubmitRequest& r) {
  auto result = CPduEncoder::EncodeSubmit(r);
  EXPECT_TRUE(result.IsOk()) << result.GetError();
  return result.IsOk() ? result.Value() : std::vector<CPduEncoded>{};
}

CPduSubmitRequest Request(const std::string& strTo, const std::string& strText) {
  CPduSubmitRequest r;
  r.m_strDestination = strTo;
  r.m_strText = strText;
  r.m_nFirstOctet = 0x01;
  return r;
}

// Decodes every part and checks what each says about its place.
std::vector<CPduMessage> DecodeParts(const std::vector<CPduEncoded>& parts) {
  std::vector<CPduMessage> out;
  for (const auto& p : parts) {
    auto r = CPduDecoder::Decode(p.m_strPdu);
    EXPECT_TRUE(r.IsOk()) << r.GetError();
    if (r.IsOk())
      out.push_back(std::move(r).Value());
  }
  return out;
}

}  // namespace

TEST(PduEncoder, SubmitVectors) {
  struct Case {
    const char* pszName;
    CPduSubmitRequest request;
    const char* pszPdu;
    size_t nTpduLength;
  };
  auto make = [](const char* pszSc, const char* pszTo, const char* pszText, uint8_t nFirst, uint8_t nVp,
                 PduEncoding enc = PduEncoding::AUTO) {
    CPduSubmitRequest r;
    r.m_strServiceCenter = pszSc;
    r.m_strDestination = pszTo;
    r.m_strText = pszText;
    r.m_nFirstOctet = nFirst;
    r.m_nValidity = nVp;
    r.m_encoding = enc;
    return r;
  };
  const Case cases[] = {
      // Published: "hellohello" to +46708251358, relative validity AA.
      {"published", make("", "+46708251358", "hellohello", 0x11, 0xAA),
       "0011000B916407281553F80000AA0AE8329BFD4697D9EC37", 23},
      // The same with a service centre in front: the AT+CMGS length does not change.
      {"with service centre", make("+31624000000", "+46708251358", "hellohello", 0x11, 0xAA),
       "07911326040000F011000B916407281553F80000AA0AE8329BFD4697D9EC37", 23},
      // Separators in numbers are dropped.
      {"separators", make("+31 62 400-0000", "+46 (70) 825.13.58", "hellohello", 0x11, 0xAA),
       "07911326040000F011000B916407281553F80000AA0AE8329BFD4697D9EC37", 23},
      // Extension characters, no validity period: septets 1B 3C 1B 65 1B 3E.
      {"extension characters", make("", "+31641600986", "[€]", 0x01, 0),
       "0001000B911346610089F60000061BDEA6BCF101", 19},
      // A character outside the 7-bit alphabet makes it UCS2: U+1F600 is D83D DE00.
      {"ucs2", make("", "+31641600986", "Hi 😀", 0x01, 0),
       "0001000B911346610089F600080A004800690020D83DDE00", 23},
      // UCS2 asked for although the text fits 7 bits.
      {"forced ucs2", make("", "+31641600986", "ok", 0x01, 0, PduEncoding::UCS2),
       "0001000B911346610089F60008040" "06F006B", 17},
      // National number (type unknown, 81), reject duplicates, status report, reply path, relative 167.
      {"option bits", make("", "0612345678", "ok", 0xB5, 167), "00B500" "0A816021436587" "0000A7" "02EF35", 15},
      // No destination: a message stored on the phone for later.
      {"no destination", make("", "", "ok", 0x01, 0), "0001000081000002EF35", 9},
      // The empty text.
      {"empty text", make("", "+46708251358", "", 0x01, 0), "0001000B916407281553F8000000", 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    const auto parts = Submit(c.request);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].m_strPdu, c.pszPdu);
    EXPECT_EQ(parts[0].m_nTpduLength, c.nTpduLength);
  }
}

TEST(PduEncoder, SubmitOptions) {
  CPduSubmitRequest r = Request("+46708251358", "ok");
  r.m_nMessageReference = 0x42;
  r.m_nPid = 0x00;
  r.m_nMessageClass = 0;
  // The type and header bits of the given first octet are replaced.
  r.m_nFirstOctet = 0x42 | 0x03;
  auto parts = Submit(r);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].m_strPdu, "0001420B916407281553F8001002EF35");

  // 8-bit data goes as it is.
  CPduSubmitRequest d = Request("+46708251358", "");
  d.m_encoding = PduEncoding::DATA8;
  d.m_data = {0x00, 0xFF, 0x7F};
  parts = Submit(d);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].m_strPdu, "0001000B916407281553F8000403" "00FF7F");
}

TEST(PduEncoder, RejectsWhatCannotBeSent) {
  struct Case {
    const char* pszName;
    CPduSubmitRequest request;
    const char* pszError;
  };
  CPduSubmitRequest letters = Request("+31abc?", "x");
  CPduSubmitRequest tooLong = Request("+123456789012345678901", "x");
  CPduSubmitRequest plusOnly = Request("+", "x");
  CPduSubmitRequest badSc = Request("+31641600986", "x");
  badSc.m_strServiceCenter = "smsc";
  CPduSubmitRequest enhanced = Request("+31641600986", "x");
  enhanced.m_nFirstOctet = 0x09;
  CPduSubmitRequest absolute = Request("+31641600986", "x");
  absolute.m_nFirstOctet = 0x19;
  CPduSubmitRequest badClass = Request("+31641600986", "x");
  badClass.m_nMessageClass = 4;
  CPduSubmitRequest tooMany = Request("+31641600986", std::string(256 * 153, 'a'));
  const Case cases[] = {
      {"letters in the number", letters, "invalid character"},
      {"21 digits", tooLong, "more than 20"},
      {"plus alone", plusOnly, "no digits"},
      {"bad service centre", badSc, "service centre"},
      {"enhanced validity", enhanced, "relative"},
      {"absolute validity", absolute, "relative"},
      {"class 4", badClass, "class"},
      {"256 parts", tooMany, "255"},
  };
  for (const auto& c : cases) {
    auto r = CPduEncoder::EncodeSubmit(c.request);
    ASSERT_FALSE(r.IsOk()) << c.pszName;
    EXPECT_NE(r.GetError().find(c.pszError), std::string::npos) << c.pszName << ": " << r.GetError();
  }
  // 255 parts are still fine.
  EXPECT_EQ(Submit(Request("+31641600986", std::string(255 * 153, 'a'))).size(), 255u);
}

TEST(PduEncoder, SevenBitSplitting) {
  // 160 septets fit one message; 161 need two: 153 + 8, each with 00 03 ref 02 n.
  EXPECT_EQ(Submit(Request("+31641600986", std::string(160, 'a'))).size(), 1u);
  CPduSubmitRequest r = Request("+31641600986", std::string(161, 'a'));
  r.m_nConcatReference = 0x2A;
  auto parts = Submit(r);
  ASSERT_EQ(parts.size(), 2u);
  // The first part, by hand: FO 41 (header), UDL A0 = 7 + 153, header, then 'a' (61) from
  // bit 49: octet 6 = 61 << 1 = C2, octet 7 = 61 | (61 & 1) << 7 = E1.
  EXPECT_EQ(parts[0].m_strPdu.substr(0, 44), "0041000B911346610089F60000A00500032A0201C2E1");
  EXPECT_EQ(parts[0].m_nTpduLength, 13u + 140u);
  auto decoded = DecodeParts(parts);
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[0].m_strText, std::string(153, 'a'));
  EXPECT_EQ(decoded[1].m_strText, std::string(8, 'a'));
  EXPECT_EQ(decoded[1].m_nUserDataLength, 7 + 8);
  CPduConcatInfo info;
  ASSERT_TRUE(decoded[1].GetConcatenation(info));
  EXPECT_EQ(info.m_nReference, 0x2A);
  EXPECT_EQ(info.m_nTotal, 2);
  EXPECT_EQ(info.m_nSequence, 2);

  // Extension characters count twice: 80 euro signs are 160 septets, 81 are not.
  EXPECT_EQ(Submit(Request("+1", Repeat("€", 80))).size(), 1u);
  EXPECT_EQ(Submit(Request("+1", Repeat("€", 81))).size(), 2u);

  // An escape pair is never cut: 152 'a' then '€' puts the whole '€' in part 2.
  parts = Submit(Request("+1", std::string(152, 'a') + "€" + std::string(10, 'b')));
  decoded = DecodeParts(parts);
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[0].m_payload.size(), 152u);
  ASSERT_GE(decoded[1].m_payload.size(), 2u);
  EXPECT_EQ(decoded[1].m_payload[0], 0x1B);
  EXPECT_EQ(decoded[1].m_payload[1], 0x65);
  EXPECT_EQ(decoded[0].m_strText + decoded[1].m_strText, std::string(152, 'a') + "€" + std::string(10, 'b'));
}

TEST(PduEncoder, SixteenBitReference) {
  CPduSubmitRequest r = Request("+31641600986", std::string(305, 'x'));
  r.m_b16BitReference = true;
  r.m_nConcatReference = 0xBEEF;
  auto parts = Submit(r);
  // 152 septets per part after the 7-octet header (no fill bits).
  ASSERT_EQ(parts.size(), 3u);
  // UDL 0xA0 = 8 + 152, header 06 08 04 BEEF 03 01.
  EXPECT_EQ(parts[0].m_strPdu.substr(0, 42), "0041000B911346610089F60000A0060804BEEF0301");
  auto decoded = DecodeParts(parts);
  ASSERT_EQ(decoded.size(), 3u);
  EXPECT_EQ(decoded[0].m_strText.size(), 152u);
  EXPECT_EQ(decoded[1].m_strText.size(), 152u);
  EXPECT_EQ(decoded[2].m_strText.size(), 1u);
  EXPECT_EQ(decoded[2].m_nFillBits, 0u);
  CPduConcatInfo info;
  ASSERT_TRUE(decoded[2].GetConcatenation(info));
  EXPECT_TRUE(info.m_b16Bit);
  EXPECT_EQ(info.m_nReference, 0xBEEF);
  EXPECT_EQ(info.m_nSequence, 3);
}

TEST(PduEncoder, Ucs2Splitting) {
  // 70 UTF-16 units fit one message; 71 need two of 67 + 4.
  EXPECT_EQ(Submit(Request("+1", Repeat("Ж", 70))).size(), 1u);
  auto parts = Submit(Request("+1", Repeat("Ж", 71)));
  auto decoded = DecodeParts(parts);
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[0].m_coding.GetAlphabet(), CPduDataCoding::UCS2);
  EXPECT_EQ(decoded[0].m_payload.size(), 134u);
  EXPECT_EQ(decoded[0].m_nUserDataLength, 140);
  EXPECT_EQ(decoded[1].m_payload.size(), 8u);

  // A surrogate pair is never cut: 66 'Ж' and an emoji would need 68 units.
  const std::string text = Repeat("Ж", 66) + "😀" + "end";
  decoded = DecodeParts(Submit(Request("+1", text)));
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[0].m_payload.size(), 132u);
  EXPECT_EQ(decoded[1].m_strText, "😀end");
  EXPECT_EQ(decoded[0].m_strText + decoded[1].m_strText, text);

  // With a 16-bit reference only 133 octets are left: 66 units per part.
  CPduSubmitRequest r = Request("+1", Repeat("Ж", 71));
  r.m_b16BitReference = true;
  decoded = DecodeParts(Submit(r));
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[0].m_payload.size(), 132u);
  EXPECT_EQ(decoded[0].m_nUserDataLength, 139);
}

TEST(PduEncoder, EightBitDataSplitting) {
  CPduSubmitRequest r = Request("+1", "");
  r.m_encoding = PduEncoding::DATA8;
  r.m_data.assign(140, 0xAB);
  EXPECT_EQ(Submit(r).size(), 1u);
  r.m_data.assign(141, 0xAB);
  auto decoded = DecodeParts(Submit(r));
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[0].m_payload.size(), 134u);
  EXPECT_EQ(decoded[1].m_payload.size(), 7u);
}

TEST(PduEncoder, DeliverVectors) {
  // The published alphanumeric-sender SMS-DELIVER, built from its fields.
  CPduDeliverRequest r;
  r.m_strServiceCenter = "+447802000332";
  r.m_strOriginator = "diafaan";
  r.m_bAlphanumericOriginator = true;
  r.m_strText = "diafaan.com";
  r.m_nFirstOctet = 0x24;
  r.m_timeStamp = CPduTimeStamp(2011, 1, 11, 13, 25, 41, 0);
  auto parts = CPduEncoder::EncodeDeliver(r);
  ASSERT_TRUE(parts.IsOk()) << parts.GetError();
  ASSERT_EQ(parts->size(), 1u);
  EXPECT_EQ(parts.Value()[0].m_strPdu,
            "0791448720003023240DD0E474D81C0EBB010000111011315214000BE474D81C0EBB5DE3771B");

  // A zone west of UTC: -05:00 is 20 quarters with the sign bit, octet 0A.
  CPduDeliverRequest w;
  w.m_strOriginator = "+31641600986";
  w.m_strText = "Hi!";
  w.m_timeStamp = CPduTimeStamp(2025, 1, 1, 10, 20, 30, -20);
  parts = CPduEncoder::EncodeDeliver(w);
  ASSERT_TRUE(parts.IsOk()) << parts.GetError();
  EXPECT_EQ(parts.Value()[0].m_strPdu, "00040B911346610089F600005210100102030A03C87408");

  // Alphanumeric senders are limited to 11 septets.
  w.m_bAlphanumericOriginator = true;
  w.m_strOriginator = "TwelveLetter";
  EXPECT_FALSE(CPduEncoder::EncodeDeliver(w).IsOk());
  w.m_strOriginator = "Elevenchars";
  EXPECT_TRUE(CPduEncoder::EncodeDeliver(w).IsOk());
}

TEST(PduEncoder, InvalidUtf8TextIsSentWithQuestionMarks) {
  auto parts = Submit(Request("+1", "a\xFF" "b"));
  auto decoded = DecodeParts(parts);
  ASSERT_EQ(decoded.size(), 1u);
  EXPECT_EQ(decoded[0].m_coding.GetAlphabet(), CPduDataCoding::GSM7);
  EXPECT_EQ(decoded[0].m_strText, "a?b");
}
