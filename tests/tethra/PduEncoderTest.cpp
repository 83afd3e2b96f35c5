// Building SMS-SUBMIT PDUs: published and hand-built vectors, the
// choice of alphabet, and how long texts are cut into concatenated parts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tethra/PduTestSupport.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"

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

CPduSubmitRequest Request(const std::string& strTo, const std::string& strText, uint8_t nFirst = 0x01,
                          uint8_t nVp = 0, const char* pszSc = "", PduEncoding enc = PduEncoding::AUTO) {
  CPduSubmitRequest r;
  r.m_strDestination = strTo;
  r.m_strText = strText;
  r.m_nFirstOctet = nFirst;
  r.m_nValidity = nVp;
  r.m_strServiceCenter = pszSc;
  r.m_encoding = enc;
  return r;
}

std::vector<CPduMessage> DecodeParts(const std::vector<CPduEncoded>& parts) {
  std::vector<CPduMessage> out;
  for (const auto& p : parts)
    out.push_back(Decode(p.m_strPdu));
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
  const Case cases[] = {
      // Published: "hellohello" to +46708251358, relative validity AA.
      {"published", Request("+46708251358", "hellohello", 0x11, 0xAA),
       "0011000B916407281553F80000AA0AE8329BFD4697D9EC37", 23},
      // A service centre in front does not change the AT+CMGS length; separators in
      // numbers are dropped.
      {"separators", Request("+46 (70) 825.13.58", "hellohello", 0x11, 0xAA, "+31 62 400-0000"),
       "07911326040000F011000B916407281553F80000AA0AE8329BFD4697D9EC37", 23},
      // Extension characters, no validity period: septets 1B 3C 1B 65 1B 3E.
      {"extension characters", Request("+31641600986", "[€]"), "0001000B911346610089F60000061BDEA6BCF101",
       19},
      // A character outside the 7-bit alphabet makes it UCS2: U+1F600 is D83D DE00.
      {"ucs2", Request("+31641600986", "Hi 😀"), "0001000B911346610089F600080A004800690020D83DDE00", 23},
      // UCS2 asked for although the text fits 7 bits.
      {"forced ucs2", Request("+31641600986", "ok", 0x01, 0, "", PduEncoding::UCS2),
       "0001000B911346610089F6000804006F006B", 17},
      // National number (type unknown, 81), reject duplicates, status report, reply path, relative 167.
      {"option bits", Request("0612345678", "ok", 0xB5, 167), "00B5000A8160214365870000A702EF35", 15},
      // No destination: a message stored on the phone for later.
      {"no destination", Request("", "ok"), "0001000081000002EF35", 9},
      // The empty text.
      {"empty text", Request("+46708251358", ""), "0001000B916407281553F8000000", 13},
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
  r.m_nMessageClass = 0;
  r.m_nFirstOctet = 0x42 | 0x03;  // the type and header bits given are replaced
  auto parts = Submit(r);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].m_strPdu, "0001420B916407281553F8001002EF35");
  // Text that is not UTF-8 goes with question marks.
  EXPECT_EQ(DecodeParts(Submit(Request("+1", std::string("a\xFF") + "b")))[0].m_strText, "a?b");
}

TEST(PduEncoder, RejectsWhatCannotBeSent) {
  CPduSubmitRequest badClass = Request("+31641600986", "x");
  badClass.m_nMessageClass = 4;
  const struct {
    CPduSubmitRequest request;
    const char* pszError;
  } cases[] = {
      {Request("+31abc?", "x"), "invalid character"},
      {Request("+123456789012345678901", "x"), "more than 20"},
      {Request("+", "x"), "no digits"},
      {Request("+31641600986", "x", 0x01, 0, "smsc"), "service centre"},
      {Request("+31641600986", "x", 0x09), "relative"},  // enhanced (absolute takes the same way)
      {badClass, "class"},
      {Request("+31641600986", std::string(256 * 153, 'a')), "255"},
  };
  for (const auto& c : cases) {
    auto r = CPduEncoder::EncodeSubmit(c.request);
    ASSERT_FALSE(r.IsOk()) << c.pszError;
    EXPECT_NE(r.GetError().find(c.pszError), std::string::npos) << r.GetError();
  }
  EXPECT_EQ(Submit(Request("+31641600986", std::string(255 * 153, 'a'))).size(), 255u);
}

TEST(PduEncoder, SplittingIntoConcatenatedParts) {
  // 161 septets need two parts, each with 00 03 ref 02 n. The first part, by hand:
  // FO 41 (header), UDL A0 = 7 + 153, header, then 'a' (61) from bit 49: octet 6 =
  // 61 << 1 = C2, octet 7 = 61 | (61 & 1) << 7 = E1.
  // Each part has a message reference of its own, counting on from the one asked for
  // (FF, then 00), so that the service centre does not drop the later parts as repeats.
  CPduSubmitRequest r = Request("+31641600986", std::string(161, 'a'));
  r.m_nConcatReference = 0x2A;
  r.m_nMessageReference = 0xFF;
  auto parts = Submit(r);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].m_strPdu.substr(0, 44), "0041FF0B911346610089F60000A00500032A0201C2E1");
  EXPECT_EQ(parts[0].m_nTpduLength, 13u + 140u);
  CPduConcatInfo info;
  const CPduMessage second = Decode(parts[1].m_strPdu);
  ASSERT_TRUE(second.GetConcatenation(info));
  EXPECT_EQ(std::make_tuple(int(info.m_nReference), int(info.m_nSequence), info.m_b16Bit,
                            int(second.m_nMessageReference)),
            std::make_tuple(0x2A, 2, false, 0x00));
  // 16-bit reference: 152 septets per part after the 7-octet header, no fill bits.
  r = Request("+31641600986", std::string(305, 'x'));
  r.m_b16BitReference = true;
  r.m_nConcatReference = 0xBEEF;
  parts = Submit(r);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0].m_strPdu.substr(0, 42), "0041000B911346610089F60000A0060804BEEF0301");

  // Payload of each part (septets or octets) for each alphabet and limit.
  std::vector<CPduMessage> decoded;
  struct Case {
    const char* pszName;
    std::string strText;
    bool b16Bit;
    std::vector<size_t> payloads;
    PduEncoding encoding = PduEncoding::AUTO;  // 8-bit data: the text's bytes
  } const cases[] = {
      {"160 septets fit one message", std::string(160, 'a'), false, {160}},
      {"161 do not", std::string(161, 'a'), false, {153, 8}},
      {"16-bit reference leaves 152 septets", std::string(305, 'x'), true, {152, 152, 1}},
      {"80 euro signs are 160 septets", Repeat("€", 80), false, {160}},
      {"81 euro signs are not", Repeat("€", 81), false, {152, 10}},
      {"an escape pair is never cut", std::string(152, 'a') + "€" + std::string(10, 'b'), false, {152, 12}},
      {"70 UCS2 units", Repeat("Ж", 70), false, {140}},
      {"71 UCS2 units", Repeat("Ж", 71), false, {134, 8}},
      {"a surrogate pair is never cut", Repeat("Ж", 66) + "😀" + "end", false, {132, 10}},
      {"16-bit reference leaves 133 octets", Repeat("Ж", 71), true, {132, 10}},
      {"140 octets of 8-bit data fit one message", std::string(140, 'd'), false, {140}, PduEncoding::DATA8},
      {"141 are 134 + 7", std::string(141, 'd'), false, {134, 7}, PduEncoding::DATA8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    CPduSubmitRequest u = Request("+1", c.strText);
    u.m_b16BitReference = c.b16Bit;
    u.m_encoding = c.encoding;
    if (c.encoding == PduEncoding::DATA8)
      u.m_data.assign(c.strText.begin(), c.strText.end());
    decoded = DecodeParts(Submit(u));
    ASSERT_EQ(decoded.size(), c.payloads.size());
    std::string strJoined;
    for (size_t i = 0; i < decoded.size(); ++i) {
      EXPECT_EQ(decoded[i].m_payload.size(), c.payloads[i]) << "part " << i;
      strJoined += decoded[i].m_strText;
    }
    EXPECT_EQ(strJoined, c.strText);
  }
}
