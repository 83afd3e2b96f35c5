// Decoding PDUs as a phone lists them: published examples, vectors built by hand
// from the bit layouts of 3GPP TS 23.040 / 23.038, and malformed input.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduHex.h"

namespace {

struct DecodeCase {
  const char* pszName;
  std::string strHex;
  PduType type;
  const char* pszServiceCenter;
  uint8_t nFirstOctet;
  const char* pszAddress;
  uint8_t nToa;
  uint8_t nDcs;
  CPduDataCoding::Alphabet alphabet;
  const char* pszTimeStamp;  // CPduTimeStamp::Format(), "" when absent
  uint8_t nUdl;
  const char* pszText;
};

const std::string kSc = "07911326040000F0";  // +31624000000
const std::string kOa = "0B911346610089F6";  // +31641600986

const DecodeCase kCases[] = {
    // Widely published SMS-DELIVER. Its zone octet 08 has the sign bit (bit 3) set
    // and no quarter hours: UTC.
    {"published deliver", "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07",
     PduType::DELIVER, "+31624000000", 0x04, "+31641600986", 0x91, 0x00, CPduDataCoding::GSM7,
     "2002-08-26 19:37:41 +00:00", 12, "How are you?"},
    // Published SMS-DELIVER with an alphanumeric sender: 13 semi-octets hold 7
    // septets ("diafaan"), not 8.
    {"alphanumeric sender",
     "0791448720003023240DD0E474D81C0EBB010000111011315214000BE474D81C0EBB5DE3771B", PduType::DELIVER,
     "+447802000332", 0x24, "diafaan", 0xD0, 0x00, CPduDataCoding::GSM7, "2011-01-11 13:25:41 +00:00", 11,
     "diafaan.com"},
    // Published SMS-SUBMIT, relative validity AA (4 days), no service centre.
    {"published submit", "0011000B916407281553F80000AA0AE8329BFD4697D9EC37", PduType::SUBMIT, "", 0x11,
     "+46708251358", 0x91, 0x00, CPduDataCoding::GSM7, "", 10, "hellohello"},
    // Extension characters: septets 1B 3C 1B 65 1B 3E; zone 40 = +4 quarters.
    {"extension characters", kSc + "04" + kOa + "0000" + "42211332958540" + "06" + "1BDEA6BCF101",
     PduType::DELIVER, "+31624000000", 0x04, "+31641600986", 0x91, 0x00, CPduDataCoding::GSM7,
     "2024-12-31 23:59:58 +01:00", 6, "[€]"},
    // 8-bit reference concatenation header 00 03 2A 02 01: 48 bits, one fill bit,
    // "Hi!" from bit 49. Zone 0A = sign bit + 20 quarters west.
    {"concatenated 8-bit reference", "00" "44" + kOa + "0000" + "5210100102030A" + "0A" + "0500032A020190E910",
     PduType::DELIVER, "", 0x44, "+31641600986", 0x91, 0x00, CPduDataCoding::GSM7, "2025-01-01 10:20:30 -05:00",
     10, "Hi!"},
    // 16-bit reference header 08 04 1234 03 02: 56 bits, no fill. Zone 49 = -14 quarters.
    {"concatenated 16-bit reference", "00" "44" + kOa + "0000" + "42211332958549" + "0B" + "06080412340302C87408",
     PduType::DELIVER, "", 0x44, "+31641600986", 0x91, 0x00, CPduDataCoding::GSM7, "2024-12-31 23:59:58 -03:30",
     11, "Hi!"},
    // UCS2 with U+1F600 as the surrogate pair D83D DE00. Zone 32 = +23 quarters.
    {"ucs2 with surrogate pair", "00" "04" + kOa + "0008" + "42211332958532" + "0A" + "004800690020D83DDE00",
     PduType::DELIVER, "", 0x04, "+31641600986", 0x91, 0x08, CPduDataCoding::UCS2, "2024-12-31 23:59:58 +05:45",
     10, "Hi 😀"},
    // 8-bit data shown as Latin-1; reply path set. Zone 83 = +38 quarters.
    {"8-bit data", "00" "84" + kOa + "0004" + "42211332958583" + "03" + "48E9FF", PduType::DELIVER, "", 0x84,
     "+31641600986", 0x91, 0x04, CPduDataCoding::DATA8, "2024-12-31 23:59:58 +09:30", 3, "Héÿ"},
    // Unknown type of number with '*' and '#' (semi-octets A and B), class 1 (DCS F1).
    {"star and hash digits", "00" "04" "05811A32FB" "00" "F1" "42211332958540" "02" "EF35", PduType::DELIVER, "",
     0x04, "*123#", 0x81, 0xF1, CPduDataCoding::GSM7, "2024-12-31 23:59:58 +01:00", 2, "ok"},
    // National number: no '+'. No validity period (VPF 00), message reference 7.
    {"national destination", "00" "01" "07" "0AA16021436587" "0000" "02" "EF35", PduType::SUBMIT, "", 0x01,
     "0612345678", 0xA1, 0x00, CPduDataCoding::GSM7, "", 2, "ok"},
    // Status report: reference 2C, recipient, SCTS, discharge time, status 00, no
    // parameter indicator.
    {"status report", kSc + "06" "2C" + kOa + "42211332958540" "5210100102030A" "00", PduType::STATUS_REPORT,
     "+31624000000", 0x06, "+31641600986", 0x91, 0x00, CPduDataCoding::GSM7, "2024-12-31 23:59:58 +01:00", 0, ""},
};

}  // namespace

TEST(PduDecoder, VectorsDecodeToTheirFields) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszName);
    auto r = CPduDecoder::Decode(c.strHex);
    ASSERT_TRUE(r.IsOk()) << r.GetError();
    const CPduMessage& m = r.Value();
    EXPECT_EQ(m.m_type, c.type);
    EXPECT_EQ(m.m_strPdu, c.strHex);
    EXPECT_EQ(m.m_serviceCenter.GetText(), c.pszServiceCenter);
    EXPECT_EQ(m.m_nFirstOctet, c.nFirstOctet);
    EXPECT_EQ(m.m_address.GetText(), c.pszAddress);
    EXPECT_EQ(m.m_address.GetTypeOfAddress(), c.nToa);
    EXPECT_EQ(m.m_coding.GetValue(), c.nDcs);
    EXPECT_EQ(m.m_coding.GetAlphabet(), c.alphabet);
    EXPECT_EQ(m.m_timeStamp.Format(), c.pszTimeStamp);
    EXPECT_EQ(m.m_nUserDataLength, c.nUdl);
    EXPECT_EQ(m.m_strText, c.pszText);
    EXPECT_EQ(m.GetTpduLength() + m.m_nServiceCenterOctets, c.strHex.size() / 2);
  }
}

TEST(PduDecoder, WritingDecodedVectorsGivesTheSameHex) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszName);
    auto r = CPduDecoder::Decode(c.strHex);
    ASSERT_TRUE(r.IsOk()) << r.GetError();
    auto e = CPduEncoder::Encode(r.Value());
    ASSERT_TRUE(e.IsOk()) << e.GetError();
    EXPECT_EQ(e->m_strPdu, c.strHex);
    EXPECT_EQ(e->m_nTpduLength, r->GetTpduLength());
  }
}

TEST(PduDecoder, FirstOctetAndHeaderDetails) {
  auto deliver = CPduDecoder::Decode(kCases[0].strHex);
  ASSERT_TRUE(deliver.IsOk());
  EXPECT_FALSE(deliver->IsMoreMessagesToSend());  // bit 2 set: nothing more waiting
  EXPECT_FALSE(deliver->IsReplyPath());
  EXPECT_FALSE(deliver->IsHeaderIndicator());
  EXPECT_EQ(deliver->m_nServiceCenterOctets, 8u);
  EXPECT_EQ(deliver->GetTpduLength(), 30u);

  auto alnum = CPduDecoder::Decode(kCases[1].strHex);
  ASSERT_TRUE(alnum.IsOk());
  EXPECT_TRUE(alnum->IsStatusReportFlag());  // SRI, bit 5 of 24
  EXPECT_TRUE(alnum->m_address.IsAlphanumeric());

  auto concat8 = CPduDecoder::Decode(kCases[4].strHex);
  ASSERT_TRUE(concat8.IsOk());
  EXPECT_TRUE(concat8->IsHeaderIndicator());
  EXPECT_EQ(concat8->m_nFillBits, 1u);
  CPduConcatInfo info;
  ASSERT_TRUE(concat8->GetConcatenation(info));
  EXPECT_EQ(info.m_nReference, 0x2A);
  EXPECT_EQ(info.m_nTotal, 2);
  EXPECT_EQ(info.m_nSequence, 1);
  EXPECT_FALSE(info.m_b16Bit);
  ASSERT_EQ(concat8->m_header.GetElements().size(), 1u);
  EXPECT_EQ(concat8->m_payload, (std::vector<uint8_t>{0x48, 0x69, 0x21}));

  auto concat16 = CPduDecoder::Decode(kCases[5].strHex);
  ASSERT_TRUE(concat16.IsOk());
  EXPECT_EQ(concat16->m_nFillBits, 0u);
  ASSERT_TRUE(concat16->GetConcatenation(info));
  EXPECT_EQ(info.m_nReference, 0x1234);
  EXPECT_EQ(info.m_nTotal, 3);
  EXPECT_EQ(info.m_nSequence, 2);
  EXPECT_TRUE(info.m_b16Bit);

  auto data8 = CPduDecoder::Decode(kCases[7].strHex);
  ASSERT_TRUE(data8.IsOk());
  EXPECT_TRUE(data8->IsReplyPath());
  EXPECT_EQ(data8->m_payload, (std::vector<uint8_t>{0x48, 0xE9, 0xFF}));

  auto klass = CPduDecoder::Decode(kCases[8].strHex);
  ASSERT_TRUE(klass.IsOk());
  EXPECT_EQ(klass->m_coding.GetMessageClass(), 1);
  EXPECT_EQ(klass->m_address.GetTypeOfNumber(), CPduAddress::TON_UNKNOWN);
}

TEST(PduDecoder, OtherInformationElementsAreKeptAndSkipped) {
  // Header length 0B: a port-addressing element (05 04 0B84 23F0) before the
  // concatenation element 00 03 07 02 02. 12 octets = 96 bits, two fill bits, text
  // from septet 14: 6F at bits 98-104, 6B at bits 105-111. UDL 14 + 2 = 0x10.
  const std::string hex = "00" "44" + kOa + "0000" + "42211332958540" + "10" + "0B05040B8423F00003070202BCD7";
  auto r = CPduDecoder::Decode(hex);
  ASSERT_TRUE(r.IsOk()) << r.GetError();
  ASSERT_EQ(r->m_header.GetElements().size(), 2u);
  EXPECT_EQ(r->m_header.GetElements()[0].m_nIei, 0x05);
  EXPECT_EQ(r->m_header.GetElements()[0].m_data, (std::vector<uint8_t>{0x0B, 0x84, 0x23, 0xF0}));
  EXPECT_EQ(r->m_nFillBits, 2u);
  CPduConcatInfo info;
  ASSERT_TRUE(r->GetConcatenation(info));
  EXPECT_EQ(info.m_nSequence, 2);
  EXPECT_EQ(r->m_strText, "ok");
  auto again = CPduEncoder::Encode(r.Value());
  ASSERT_TRUE(again.IsOk());
  EXPECT_EQ(again->m_strPdu, hex);
}

TEST(PduDecoder, ConcatenationElementsThatMeanNothing) {
  // Sequence 0, sequence above the total, and total 0 are ignored; so is an element
  // of the wrong length.
  for (const char* pszElement : {"0003010200", "0003010203", "0003010001", "00020102"}) {
    SCOPED_TRACE(pszElement);
    const std::string udh = pszElement;
    const size_t nHeader = udh.size() / 2;
    const std::string ud = CPduHex::Encode(std::vector<uint8_t>{static_cast<uint8_t>(nHeader)}) + udh + "41";
    const std::string hex = "00" "44" + kOa + "0004" + "42211332958540" +
                            CPduHex::Encode(std::vector<uint8_t>{static_cast<uint8_t>(ud.size() / 2)}) + ud;
    auto r = CPduDecoder::Decode(hex);
    ASSERT_TRUE(r.IsOk()) << r.GetError();
    CPduConcatInfo info;
    EXPECT_FALSE(r->GetConcatenation(info));
    EXPECT_EQ(r->m_strText, "A");
  }
}

TEST(PduDecoder, TimeStampsAsValuesAndOffsets) {
  struct Case {
    const char* pszStamp;
    int nOffsetMinutes;
    double dDayNumber;      // days since 30 December 1899 of the local time
    int64_t nUtcSeconds;
  } const cases[] = {
      // 2002-08-26 is day 37494; 19:37:41 is 70661 s into the day.
      {"20806291731408", 0, 37494 + 70661 / 86400.0, 1030390661},
      // 2024-12-31 23:59:58 at +01:00 is 22:59:58 UTC.
      {"42211332958540", 60, 45657 + 86398 / 86400.0, 1735685998},
      // 2025-01-01 10:20:30 at -05:00 is 15:20:30 UTC.
      {"5210100102030A", -300, 45658 + 37230 / 86400.0, 1735744830},
      {"42211332958549", -210, 45657 + 86398 / 86400.0, 1735685998 + 210 * 60 + 3600},
      {"42211332958532", 345, 45657 + 86398 / 86400.0, 1735685998 - 345 * 60 + 3600},
      // 1999-03-29 15:16:59 +02:00: two-digit years from 90 are in the 1900s.
      {"99309251619580", 120, 36248 + 55019 / 86400.0, 922713419},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszStamp);
    const std::vector<uint8_t> raw = CPduHex::Decode(c.pszStamp).Value();
    const CPduTimeStamp ts = CPduTimeStamp::Decode(raw.data());
    ASSERT_TRUE(ts.IsValid());
    EXPECT_EQ(ts.GetOffsetMinutes(), c.nOffsetMinutes);
    const CDateTime dt = ts.ToDateTime();
    EXPECT_TRUE(dt.IsValid());
    EXPECT_NEAR(dt.GetDate(), c.dDayNumber, 1e-9);
    EXPECT_EQ(ts.ToUtcSeconds(), c.nUtcSeconds);
  }
  // Impossible dates and non-decimal digits give a stamp that is not valid.
  struct Validity {
    const char* pszStamp;
    bool bValid;
  } const checks[] = {
      {"20316291731400", false},  // month 13
      {"209032917314A0", false},  // zone units digit A
      {"20208091731400", true},   // 2002-02-08
      {"20209291731400", false},  // 2002-02-29: not a leap year
      {"00209291731400", true},   // 2000-02-29: a leap year
      {"20806291737600", false},  // second 67
      {"2080A291731400", false},  // day digit A
      {"20806242731400", false},  // hour 24
  };
  for (const auto& c : checks) {
    const std::vector<uint8_t> raw = CPduHex::Decode(c.pszStamp).Value();
    const CPduTimeStamp ts = CPduTimeStamp::Decode(raw.data());
    EXPECT_EQ(ts.IsValid(), c.bValid) << c.pszStamp;
    if (!c.bValid) {
      EXPECT_FALSE(ts.ToDateTime().IsValid()) << c.pszStamp;
      EXPECT_EQ(ts.Format(), std::string("invalid (") + c.pszStamp + ")");
    }
  }
}

TEST(PduDecoder, ValidityPeriods) {
  // Relative: five minutes, twelve hours and a half, days, weeks.
  EXPECT_EQ(CPduValidity::RelativeSeconds(0), 5 * 60);
  EXPECT_EQ(CPduValidity::RelativeSeconds(143), 12 * 3600);
  EXPECT_EQ(CPduValidity::RelativeSeconds(144), 12 * 3600 + 1800);
  EXPECT_EQ(CPduValidity::RelativeSeconds(167), 24 * 3600);
  EXPECT_EQ(CPduValidity::RelativeSeconds(168), 2 * 86400);
  EXPECT_EQ(CPduValidity::RelativeSeconds(0xAA), 4 * 86400);
  EXPECT_EQ(CPduValidity::RelativeSeconds(196), 30 * 86400);
  EXPECT_EQ(CPduValidity::RelativeSeconds(197), 5 * 7 * 86400);
  EXPECT_EQ(CPduValidity::RelativeSeconds(255), 63 * 7 * 86400);

  // Enhanced (VPF 01): functionality octet 02 = relative in seconds, 3C = 60 s.
  auto enhanced = CPduDecoder::Decode("00" "09" "00" "0B916407281553F8" "0000" "023C0000000000" "02" "EF35");
  ASSERT_TRUE(enhanced.IsOk()) << enhanced.GetError();
  EXPECT_EQ(enhanced->GetValidityFormat(), CPduValidity::ENHANCED);
  EXPECT_EQ(enhanced->m_validity.GetSeconds(), 60);
  EXPECT_EQ(enhanced->m_strText, "ok");
  // Enhanced, semi-octet form 03: 01 h 30 min 00 s.
  auto hhmmss = CPduDecoder::Decode("00" "09" "00" "0B916407281553F8" "0000" "03100300000000" "02" "EF35");
  ASSERT_TRUE(hhmmss.IsOk()) << hhmmss.GetError();
  EXPECT_EQ(hhmmss->m_validity.GetSeconds(), 5400);

  // Absolute (VPF 11): a time stamp.
  auto absolute = CPduDecoder::Decode("00" "19" "00" "0B916407281553F8" "0000" "5210100102030A" "02" "EF35");
  ASSERT_TRUE(absolute.IsOk()) << absolute.GetError();
  EXPECT_EQ(absolute->GetValidityFormat(), CPduValidity::ABSOLUTE);
  EXPECT_EQ(absolute->m_validity.GetAbsolute().Format(), "2025-01-01 10:20:30 -05:00");
  EXPECT_EQ(absolute->m_strText, "ok");
}

TEST(PduDecoder, DataCodingGroups) {
  struct Case {
    uint8_t nDcs;
    CPduDataCoding::Alphabet alphabet;
    int nClass;
    bool bMessageWaiting;
  } const cases[] = {
      {0x00, CPduDataCoding::GSM7, -1, false}, {0x04, CPduDataCoding::DATA8, -1, false},
      {0x08, CPduDataCoding::UCS2, -1, false}, {0x0C, CPduDataCoding::GSM7, -1, false},  // reserved alphabet
      {0x10, CPduDataCoding::GSM7, 0, false},  {0x19, CPduDataCoding::UCS2, 1, false},
      {0x16, CPduDataCoding::DATA8, 2, false}, {0x48, CPduDataCoding::UCS2, -1, false},  // auto-deletion group
      {0x80, CPduDataCoding::GSM7, -1, false},                                           // reserved group
      {0xC8, CPduDataCoding::GSM7, -1, true},  {0xD0, CPduDataCoding::GSM7, -1, true},
      {0xE9, CPduDataCoding::UCS2, -1, true},  {0xF0, CPduDataCoding::GSM7, 0, false},
      {0xF7, CPduDataCoding::DATA8, 3, false},
  };
  for (const auto& c : cases) {
    const CPduDataCoding dc = CPduDataCoding::Decode(c.nDcs);
    EXPECT_EQ(dc.GetAlphabet(), c.alphabet) << int(c.nDcs);
    EXPECT_EQ(dc.GetMessageClass(), c.nClass) << int(c.nDcs);
    EXPECT_EQ(dc.IsMessageWaiting(), c.bMessageWaiting) << int(c.nDcs);
  }
  const CPduDataCoding discard = CPduDataCoding::Decode(0xC8);
  EXPECT_TRUE(discard.IsDiscard());
  EXPECT_TRUE(discard.IsIndicationActive());
  EXPECT_EQ(discard.GetIndicationType(), CPduDataCoding::VOICEMAIL);
  const CPduDataCoding store = CPduDataCoding::Decode(0xD2);
  EXPECT_FALSE(store.IsDiscard());
  EXPECT_FALSE(store.IsIndicationActive());
  EXPECT_EQ(store.GetIndicationType(), CPduDataCoding::EMAIL);
  EXPECT_TRUE(CPduDataCoding::Decode(0x20).IsCompressed());
  EXPECT_TRUE(CPduDataCoding::Decode(0x40).IsAutoDelete());
}

TEST(PduDecoder, StatusReports) {
  auto plain = CPduDecoder::Decode(kCases[10].strHex);
  ASSERT_TRUE(plain.IsOk()) << plain.GetError();
  EXPECT_EQ(plain->m_nMessageReference, 0x2C);
  EXPECT_EQ(plain->m_dischargeTime.Format(), "2025-01-01 10:20:30 -05:00");
  EXPECT_EQ(plain->m_nStatus, 0x00);
  EXPECT_EQ(plain->m_nParameterIndicator, -1);
  EXPECT_FALSE(plain->m_bHasUserData);
  EXPECT_FALSE(plain->IsReplyPath());

  // Parameter indicator 00: nothing else follows. Status 46: validity expired.
  auto expired = CPduDecoder::Decode("00" "06" "2D" + kOa + "42211332958540" "5210100102030A" "46" "00");
  ASSERT_TRUE(expired.IsOk()) << expired.GetError();
  EXPECT_EQ(expired->m_nParameterIndicator, 0);
  EXPECT_EQ(expired->m_nStatus, 0x46);
  EXPECT_EQ(CPduMessage::StatusText(0x46), "validity period expired");

  // Parameter indicator 07: PID, DCS (08, UCS2) and user data follow.
  auto withText = CPduDecoder::Decode("00" "06" "2E" + kOa + "42211332958540" "5210100102030A" "00" "07" "00" "08"
                                      "04" "004F004B");
  ASSERT_TRUE(withText.IsOk()) << withText.GetError();
  EXPECT_EQ(withText->m_strText, "OK");
  EXPECT_TRUE(withText->m_bHasUserData);
}

TEST(PduDecoder, MalformedInputIsRejected) {
  const std::string deliverHead = "00" "04" + kOa + "0000" + "42211332958540";
  struct Case {
    const char* pszName;
    std::string strHex;
    const char* pszError;  // a part of the error text
  } const cases[] = {
      {"empty", "", "empty"},
      {"blank", "  \r\n", "empty"},
      {"odd length", "0011000", "odd"},
      {"not hex", "00110G", "hexadecimal"},
      {"service centre past the end", "07911326040000", "service-centre"},
      {"service centre too long", "0C91" + std::string(22, '1'), "service-centre length"},
      {"no first octet", "00", "first octet"},
      {"no originator", "0004", "originating address"},
      {"originator past the end", "00040B91134661", "runs past the end"},
      {"address of 21 digits", "000415911346610089F6" "1111111111", "more than 20"},
      {"reserved message type", "0003" "00", "reserved message type"},
      {"no time stamp", "00" "04" + kOa + "0000" "422113", "time stamp"},
      {"no user-data length", deliverHead, "user-data length"},
      {"161 septets", deliverHead + "A1" + std::string(2 * 141, '0'), "more than 160"},
      {"141 octets", "00" "04" + kOa + "0004" "42211332958540" "8D" + std::string(2 * 141, '0'), "more than 140"},
      {"user data cut short", deliverHead + "0A" "E8329BFD4697D9", "runs past the end"},
      {"header longer than the user data", "00" "44" + kOa + "0004" "42211332958540" "05" "0800030102", "header"},
      {"element past the header", "00" "44" + kOa + "0004" "42211332958540" "05" "0400030102", "runs past"},
      {"element without length", "00" "44" + kOa + "0004" "42211332958540" "02" "0100", "no length"},
      {"header septets above the length", "00" "44" + kOa + "0000" "42211332958540" "06" "050003010201",
       "longer than the user-data length"},
      {"header indicator without user data", "00" "44" + kOa + "0000" "42211332958540" "00", "empty"},
      {"compressed", "00" "04" + kOa + "0020" "42211332958540" "02" "EF35", "compressed"},
      {"no message reference", "0001", "message reference"},
      {"validity cut short", "00" "19" "00" "0B916407281553F8" "0000" "520110", "validity"},
      {"status report without status", "00" "06" "2D" + kOa + "42211332958540" "5210100102030A", "status"},
      {"status report user data missing", "00" "06" "2D" + kOa + "42211332958540" "5210100102030A" "00" "04",
       "user-data length"},
      {"parameter extension missing", "00" "06" "2D" + kOa + "42211332958540" "5210100102030A" "00" "80",
       "extension"},
  };
  for (const auto& c : cases) {
    auto r = CPduDecoder::Decode(c.strHex);
    ASSERT_FALSE(r.IsOk()) << c.pszName;
    EXPECT_NE(r.GetError().find(c.pszError), std::string::npos) << c.pszName << ": " << r.GetError();
  }
}

TEST(PduDecoder, InputFormsThePhoneMayUse) {
  // Lower-case digits and a line end are accepted; the PDU is kept upper-case.
  std::string lower = kCases[0].strHex;
  for (char& ch : lower)
    ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  auto r = CPduDecoder::Decode(lower + "\r\n");
  ASSERT_TRUE(r.IsOk()) << r.GetError();
  EXPECT_EQ(r->m_strPdu, kCases[0].strHex);
  EXPECT_EQ(r->m_strText, "How are you?");

  // Octets after the user data are ignored.
  auto padded = CPduDecoder::Decode(kCases[2].strHex + "FFFF");
  ASSERT_TRUE(padded.IsOk()) << padded.GetError();
  EXPECT_EQ(padded->m_strText, "hellohello");

  // A service-centre part of length 01 has a type but no digits.
  auto typeOnly = CPduDecoder::Decode("0191" + kCases[2].strHex.substr(2));
  ASSERT_TRUE(typeOnly.IsOk()) << typeOnly.GetError();
  EXPECT_TRUE(typeOnly->m_serviceCenter.IsEmpty());
  EXPECT_EQ(typeOnly->m_nServiceCenterOctets, 2u);

  // An empty destination (a message stored for later): length 0, type 81.
  auto noDestination = CPduDecoder::Decode("0001000081000002EF35");
  ASSERT_TRUE(noDestination.IsOk()) << noDestination.GetError();
  EXPECT_TRUE(noDestination->m_address.IsEmpty());
  EXPECT_EQ(noDestination->m_strText, "ok");
}
