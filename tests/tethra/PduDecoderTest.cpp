// Decoding PDUs as a phone lists them: published examples, vectors built by hand
// from the bit layouts of 3GPP TS 23.040 / 23.038, and malformed input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tethra/PduTestSupport.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduHex.h"

namespace {

// The fields a decoded PDU shows, in one line.
std::string Fields(const CPduMessage& m) {
  static const char* const kTypes[] = {"DELIVER", "SUBMIT", "STATUS-REPORT"};
  static const char* const kAlphabets[] = {"GSM7", "DATA8", "UCS2"};
  const uint8_t octets[] = {m.m_nFirstOctet, m.m_address.GetTypeOfAddress(), m.m_coding.GetValue()};
  const std::string hex = CPduHex::Encode(octets, 3);
  return std::string(kTypes[int(m.m_type)]) + " sc=" + m.m_serviceCenter.GetText() +
         " fo=" + hex.substr(0, 2) + " " + m.m_address.GetText() + "/" + hex.substr(2, 2) +
         " dcs=" + hex.substr(4) + " " + kAlphabets[m.m_coding.GetAlphabet()] + " [" +
         m.m_timeStamp.Format() + "] udl=" + std::to_string(m.m_nUserDataLength) + " " + m.m_strText;
}

struct DecodeCase {
  const char* pszName;
  std::string strHex;
  const char* pszFields;  // Fields() of the decoded PDU
};

const DecodeCase kCases[] = {
    // Widely published SMS-DELIVER. Its zone octet 08 has the sign bit (bit 3) set
    // and no quarter hours: UTC.
    {"published deliver", kHowAreYou,
     "DELIVER sc=+31624000000 fo=04 +31641600986/91 dcs=00 GSM7 [2002-08-26 19:37:41 +00:00] udl=12 How are "
     "you?"},
    // Published SMS-DELIVER with an alphanumeric sender: 13 semi-octets hold 7
    // septets ("diafaan"), not 8.
    {"alphanumeric sender", "0791448720003023240DD0E474D81C0EBB010000111011315214000BE474D81C0EBB5DE3771B",
     "DELIVER sc=+447802000332 fo=24 diafaan/D0 dcs=00 GSM7 [2011-01-11 13:25:41 +00:00] udl=11 diafaan.com"},
    // Published SMS-SUBMIT, relative validity AA (4 days), no service centre.
    {"published submit", "0011000B916407281553F80000AA0AE8329BFD4697D9EC37",
     "SUBMIT sc= fo=11 +46708251358/91 dcs=00 GSM7 [] udl=10 hellohello"},
    // Extension characters: septets 1B 3C 1B 65 1B 3E; zone 40 = +4 quarters.
    {"extension characters", Hex(kSc + "04" + kOa + "0000" + kTime + "06 1BDEA6BCF101"),
     "DELIVER sc=+31624000000 fo=04 +31641600986/91 dcs=00 GSM7 [2024-12-31 23:59:58 +01:00] udl=6 [€]"},
    // 8-bit reference concatenation header 00 03 2A 02 01: 48 bits, one fill bit,
    // "Hi!" from bit 49. Zone 0A = sign bit + 20 quarters west.
    {"concatenated 8-bit reference", Hex("00 44" + kOa + "0000 5210100102030A 0A 0500032A020190E910"),
     "DELIVER sc= fo=44 +31641600986/91 dcs=00 GSM7 [2025-01-01 10:20:30 -05:00] udl=10 Hi!"},
    // 16-bit reference header 08 04 1234 03 02: 56 bits, no fill. Zone 49 = -14 quarters.
    {"concatenated 16-bit reference", Hex("00 44" + kOa + "0000 42211332958549 0B 06080412340302C87408"),
     "DELIVER sc= fo=44 +31641600986/91 dcs=00 GSM7 [2024-12-31 23:59:58 -03:30] udl=11 Hi!"},
    // UCS2 with U+1F600 as the surrogate pair D83D DE00. Zone 32 = +23 quarters.
    {"ucs2 with surrogate pair", Hex("00 04" + kOa + "0008 42211332958532 0A 004800690020D83DDE00"),
     "DELIVER sc= fo=04 +31641600986/91 dcs=08 UCS2 [2024-12-31 23:59:58 +05:45] udl=10 Hi 😀"},
    // 8-bit data shown as Latin-1; reply path set. Zone 83 = +38 quarters.
    {"8-bit data", Hex("00 84" + kOa + "0004 42211332958583 03 48E9FF"),
     "DELIVER sc= fo=84 +31641600986/91 dcs=04 DATA8 [2024-12-31 23:59:58 +09:30] udl=3 Héÿ"},
    // Unknown type of number with '*' and '#' (semi-octets A and B), class 1 (DCS F1).
    {"star and hash digits", Hex("00 04 05811A32FB 00 F1" + kTime + "02 EF35"),
     "DELIVER sc= fo=04 *123#/81 dcs=F1 GSM7 [2024-12-31 23:59:58 +01:00] udl=2 ok"},
    // National number: no '+'. No validity period (VPF 00), message reference 7.
    {"national destination", Hex("00 01 07 0AA16021436587 0000 02 EF35"),
     "SUBMIT sc= fo=01 0612345678/A1 dcs=00 GSM7 [] udl=2 ok"},
    // Status report: reference 2C, recipient, SCTS, discharge time, status 00, no
    // parameter indicator.
    {"status report", Hex(kSc + "06 2C" + kOa + kTime + "5210100102030A 00"),
     "STATUS-REPORT sc=+31624000000 fo=06 +31641600986/91 dcs=00 GSM7 [2024-12-31 23:59:58 +01:00] udl=0 "},
    // Header length 0B: a port-addressing element (05 04 0B84 23F0) before the
    // concatenation element 00 03 07 02 02. 12 octets = 96 bits, two fill bits, text
    // from septet 14: 6F at bits 98-104, 6B at bits 105-111. UDL 14 + 2 = 0x10.
    {"other element first", Hex("00 44" + kOa + "0000" + kTime + "10 0B05040B8423F00003070202BCD7"),
     "DELIVER sc= fo=44 +31641600986/91 dcs=00 GSM7 [2024-12-31 23:59:58 +01:00] udl=16 ok"},
    // The longest number an address holds: 20 digits, length octet 14.
    {"twenty-digit originator", Hex("00 04 1491 21436587092143658709 0000" + kTime + "02 EF35"),
     "DELIVER sc= fo=04 +12345678901234567890/91 dcs=00 GSM7 [2024-12-31 23:59:58 +01:00] udl=2 ok"},
};

}  // namespace

TEST(PduDecoder, VectorsDecodeToTheirFieldsAndWriteBackTheSame) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszName);
    auto r = CPduDecoder::Decode(c.strHex);
    ASSERT_TRUE(r.IsOk()) << r.GetError();
    const CPduMessage& m = r.Value();
    EXPECT_EQ(Fields(m), c.pszFields);
    EXPECT_EQ(m.m_strPdu, c.strHex);
    EXPECT_EQ(m.GetTpduLength() + m.m_nServiceCenterOctets, c.strHex.size() / 2);
    auto e = CPduEncoder::Encode(m);
    ASSERT_TRUE(e.IsOk()) << e.GetError();
    EXPECT_EQ(e->m_strPdu, c.strHex);
    EXPECT_EQ(e->m_nTpduLength, m.GetTpduLength());
  }
}

TEST(PduDecoder, ConcatenationHeadersAndTheirFillBits) {
  struct Case {
    size_t nVector, nFillBits;
    int nReference, nTotal, nSequence;
    bool b16Bit;
  } const cases[] = {{4, 1, 0x2A, 2, 1, false}, {5, 0, 0x1234, 3, 2, true}, {11, 2, 0x07, 2, 2, false}};
  for (const auto& c : cases) {
    const CPduMessage m = Decode(kCases[c.nVector].strHex);
    EXPECT_TRUE(m.IsHeaderIndicator());
    EXPECT_EQ(m.m_nFillBits, c.nFillBits);
    CPduConcatInfo info;
    ASSERT_TRUE(m.GetConcatenation(info));
    EXPECT_EQ(
        std::make_tuple(int(info.m_nReference), int(info.m_nTotal), int(info.m_nSequence), info.m_b16Bit),
        std::make_tuple(c.nReference, c.nTotal, c.nSequence, c.b16Bit));
  }

  // Sequence 0, sequence above the total, total 0, and an element of the wrong
  // length are ignored.
  for (const char* pszUd :
       {"07 050003010200 41", "07 050003010203 41", "07 050003010001 41", "06 0400020102 41"}) {
    SCOPED_TRACE(pszUd);
    const CPduMessage ignored = Decode(Hex("00 44" + kOa + "0004" + kTime + pszUd));
    CPduConcatInfo info;
    EXPECT_FALSE(ignored.GetConcatenation(info));
    EXPECT_EQ(ignored.m_strText, "A");
  }
}

TEST(PduDecoder, TimeStampsAsValuesAndOffsets) {
  struct Case {
    const char* pszStamp;
    int nOffsetMinutes;  // -1 marks a stamp that is not valid
    double dDayNumber;   // days since 30 December 1899 of the local time
    int64_t nUtcSeconds;
  } const cases[] = {
      {"20806291731408", 0, 37494 + 70661 / 86400.0, 1030390661},     // 2002-08-26 19:37:41
      {"42211332958540", 60, 45657 + 86398 / 86400.0, 1735685998},    // 2024-12-31 23:59:58 +01:00
      {"5210100102030A", -300, 45658 + 37230 / 86400.0, 1735744830},  // 2025-01-01 10:20:30 -05:00
      {"42211332958549", -210, 45657 + 86398 / 86400.0, 1735685998 + 210 * 60 + 3600},
      {"99309251619580", 120, 36248 + 55019 / 86400.0, 922713419},  // years from 90 are 19xx
      {"00209291731400", 0, 36585 + 70661 / 86400.0, 951853061},    // 2000-02-29: a leap year
      {"09101021436500", 0, 32874 + 45296 / 86400.0, 631197296},    // 1990-01-01: the first year
      {"20316291731400", -1, 0, 0},                                 // month 13
      {"209032917314A0", -1, 0, 0},                                 // zone digit A
      {"20209291731400", -1, 0, 0},                                 // 2002-02-29: not a leap year
      {"20806291737600", -1, 0, 0},                                 // second 67
      {"20806242731400", -1, 0, 0},                                 // hour 24
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszStamp);
    const std::vector<uint8_t> raw = CPduHex::Decode(c.pszStamp).Value();
    const CPduTimeStamp ts = CPduTimeStamp::Decode(raw.data());
    ASSERT_EQ(ts.IsValid(), c.nOffsetMinutes != -1);
    if (!ts.IsValid()) {
      EXPECT_FALSE(ts.ToDateTime().IsValid());
      EXPECT_EQ(ts.Format(), std::string("invalid (") + c.pszStamp + ")");
      continue;
    }
    EXPECT_EQ(ts.GetOffsetMinutes(), c.nOffsetMinutes);
    EXPECT_NEAR(ts.ToDateTime().GetDate(), c.dDayNumber, 1e-9);
    EXPECT_EQ(ts.ToUtcSeconds(), c.nUtcSeconds);
    // Written from its fields, a stamp with a zone comes out as it was read.
    std::vector<uint8_t> built;
    CPduTimeStamp(ts.GetYear(), ts.GetMonth(), ts.GetDay(), ts.GetHour(), ts.GetMinute(), ts.GetSecond(),
                  ts.GetZoneQuarters())
        .Encode(built);
    EXPECT_TRUE(c.nOffsetMinutes == 0 || CPduHex::Encode(built) == c.pszStamp) << CPduHex::Encode(built);
  }
}

TEST(PduDecoder, ValidityPeriods) {
  // Relative: five-minute steps, half hours, days, weeks.
  const std::pair<uint8_t, int> relative[] = {{0, 300},          {143, 12 * 3600},  {144, 12 * 3600 + 1800},
                                              {167, 86400},      {168, 2 * 86400},  {0xAA, 4 * 86400},
                                              {196, 30 * 86400}, {197, 35 * 86400}, {255, 63 * 7 * 86400}};
  for (const auto& [nValue, nSeconds] : relative)
    EXPECT_EQ(CPduValidity::RelativeSeconds(nValue), nSeconds) << int(nValue);

  // What a user reads of a relative period: the largest units, singular or plural.
  const std::pair<uint8_t, const char*> described[] = {{0x00, "relative 0x00 (5 minutes)"},
                                                       {0x90, "relative 0x90 (12 hours 30 minutes)"},
                                                       {0xA7, "relative 0xA7 (1 day)"},
                                                       {0xC5, "relative 0xC5 (5 weeks)"}};
  for (const auto& [nValue, pszText] : described)
    EXPECT_EQ(CPduValidity::Relative(nValue).Describe(), pszText);

  // Enhanced (VPF 01): 02 = relative in seconds (3C = 60 s), 03 = semi-octets 01:30:00;
  // 82 = the same as 02 with an extension octet (00) before the period.
  for (const auto& [pszVp, nSeconds] :
       {std::pair{"023C0000000000", 60}, {"03100300000000", 5400}, {"82003C00000000", 60}}) {
    const CPduMessage m = Decode(Hex("00 09 00" + kDa + "0000" + pszVp + "02 EF35"));
    EXPECT_EQ(m.GetValidityFormat(), CPduValidity::ENHANCED);
    EXPECT_EQ(m.m_validity.GetSeconds(), nSeconds);
    EXPECT_EQ(m.m_strText, "ok");
  }
  // Absolute (VPF 11): a time stamp.
  const CPduMessage absolute = Decode(Hex("00 19 00" + kDa + "0000 5210100102030A 02 EF35"));
  EXPECT_EQ(absolute.GetValidityFormat(), CPduValidity::ABSOLUTE);
  EXPECT_EQ(absolute.m_validity.GetAbsolute().Format(), "2025-01-01 10:20:30 -05:00");
  EXPECT_EQ(absolute.m_strText, "ok");
}

TEST(PduDecoder, DataCodingGroups) {
  struct Case {
    uint8_t nDcs;
    CPduDataCoding::Alphabet alphabet;
    int nClass;
    bool bMessageWaiting;
  } const cases[] = {
      // 0C: reserved alphabet; 48: auto-deletion group; 80: reserved group.
      // Groups 00, 04 and 08 without a class are in the decoded vectors.
      {0x0C, CPduDataCoding::GSM7, -1, false}, {0x10, CPduDataCoding::GSM7, 0, false},
      {0x19, CPduDataCoding::UCS2, 1, false},  {0x16, CPduDataCoding::DATA8, 2, false},
      {0x48, CPduDataCoding::UCS2, -1, false}, {0x80, CPduDataCoding::GSM7, -1, false},
      {0xC8, CPduDataCoding::GSM7, -1, true},  {0xD0, CPduDataCoding::GSM7, -1, true},
      {0xE9, CPduDataCoding::UCS2, -1, true},  {0xF0, CPduDataCoding::GSM7, 0, false},
      {0xF7, CPduDataCoding::DATA8, 3, false},
  };
  for (const auto& c : cases) {
    const CPduDataCoding dc = CPduDataCoding::Decode(c.nDcs);
    EXPECT_EQ(std::make_tuple(dc.GetAlphabet(), dc.GetMessageClass(), dc.IsMessageWaiting()),
              std::make_tuple(c.alphabet, c.nClass, c.bMessageWaiting))
        << int(c.nDcs);
  }
  EXPECT_TRUE(CPduDataCoding::Decode(0xC8).IsDiscard());
  EXPECT_FALSE(CPduDataCoding::Decode(0xD2).IsDiscard());
}

TEST(PduDecoder, StatusReports) {
  EXPECT_EQ(CPduMessage::StatusText(0x46), "validity period expired");

  // Each combination of the parameter indicator: the fields it announces, in order,
  // and the same report written back (reference, recipient and both times must be
  // read where they stand for that). Status 46: validity expired.
  struct Case {
    const char* pszTail;  // from the status on
    int nPid;             // 0 when absent
    CPduDataCoding::Alphabet alphabet;
    const char* pszText;
  } const cases[] = {
      {"00 01 7F", 0x7F, CPduDataCoding::GSM7, ""},
      {"00 02 08", 0, CPduDataCoding::UCS2, ""},
      {"00 03 7F 08", 0x7F, CPduDataCoding::UCS2, ""},
      {"00 04 02 EF35", 0, CPduDataCoding::GSM7, "ok"},
      {"00 05 7F 02 EF35", 0x7F, CPduDataCoding::GSM7, "ok"},
      {"00 06 08 04 004F004B", 0, CPduDataCoding::UCS2, "OK"},
      {"46 07 00 08 04 004F004B", 0x00, CPduDataCoding::UCS2, "OK"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszTail);
    const std::string strHex = Hex("00 06 2E" + kOa + kTime + "5210100102030A" + c.pszTail);
    const CPduMessage m = Decode(strHex);
    EXPECT_EQ(m.m_nPid, c.nPid);
    EXPECT_EQ(m.m_nStatus, std::stoi(c.pszTail, nullptr, 16));
    EXPECT_EQ(m.m_coding.GetAlphabet(), c.alphabet);
    EXPECT_EQ(m.m_strText, c.pszText);
    auto e = CPduEncoder::Encode(m);
    ASSERT_TRUE(e.IsOk()) << e.GetError();
    EXPECT_EQ(e->m_strPdu, strHex);
  }
}

TEST(PduDecoder, MalformedInputIsRejected) {
  const std::string deliver = "00 04" + kOa + "0000" + kTime;
  const std::string header = "00 44" + kOa + "0004" + kTime;
  const std::string report = "00 06 2D" + kOa + kTime + "5210100102030A";
  struct Case {
    const char* pszName;
    std::string strHex;
    const char* pszError;  // a part of the error text
  } const cases[] = {
      {"empty", "", "empty"},
      {"odd length", "0011000", "odd"},
      {"not hex", "00110G", "hexadecimal"},
      {"service centre past the end", "07911326040000", "service-centre"},
      {"service centre too long", "0C91" + std::string(22, '1'), "service-centre length"},
      {"originator past the end", "00040B91134661", "runs past the end"},
      {"address of 21 digits", "000415911346610089F61111111111", "more than 20"},
      {"reserved message type", "000300", "reserved message type"},
      {"no time stamp", Hex("00 04" + kOa + "0000 422113"), "time stamp"},
      {"no user-data length", Hex(deliver), "user-data length"},
      {"161 septets", Hex(deliver + "A1") + std::string(2 * 141, '0'), "more than 160"},
      {"141 octets", Hex("00 04" + kOa + "0004" + kTime + "8D") + std::string(2 * 141, '0'), "more than 140"},
      {"header longer than the user data", Hex(header + "05 0800030102"), "header"},
      {"element past the header", Hex(header + "05 0400030102"), "runs past"},
      {"element without length", Hex(header + "02 0100"), "no length"},
      {"header septets above the length", Hex("00 44" + kOa + "0000" + kTime + "06 050003010201"),
       "longer than the user-data length"},
      {"compressed", Hex("00 04" + kOa + "0020" + kTime + "02 EF35"), "compressed"},
      {"validity cut short", Hex("00 19 00" + kDa + "0000 520110"), "validity"},
      {"status report without status", Hex(report), "status"},
  };
  for (const auto& c : cases) {
    auto r = CPduDecoder::Decode(c.strHex);
    ASSERT_FALSE(r.IsOk()) << c.pszName;
    EXPECT_NE(r.GetError().find(c.pszError), std::string::npos) << c.pszName << ": " << r.GetError();
  }
}

TEST(PduDecoder, PdusAsPhonesHoldThemAreReadNotRefused) {
  struct Case {
    const char* pszName;
    std::string strHex;
    const char* pszText;
    bool bTruncated;
  } const cases[] = {
      // "hellohello" (10 septets, 9 octets) cut after 7 octets: the 8 septets there.
      {"cut user data", Hex("00 04" + kOa + "0000" + kTime + "0A E8329BFD4697D9"), "hellohel", true},
      // UCS2 "OK" announced as 6 octets, 3 there: the whole character only.
      {"cut UCS2", Hex("00 04" + kOa + "0008" + kTime + "06 004F00"), "O", true},
      // Octets after the user data are ignored; lower-case digits read as upper-case.
      {"padded, lower case", "0011000b916407281553f80000aa0ae8329bfd4697d9ec37ffff", "hellohello", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    const CPduMessage m = Decode(c.strHex);
    EXPECT_EQ(m.m_strText, c.pszText);
    EXPECT_EQ(m.m_bTruncated, c.bTruncated);
    EXPECT_FALSE(m.m_bHasHeader);
  }
  // Status reports padded with FF as a SIM record is, or with an indicator whose
  // extension is missing: no optional parameters.
  for (const char* pszTail : {"FF", "FFFFFFFF", "80", "8181"}) {
    SCOPED_TRACE(pszTail);
    const CPduMessage m = Decode(Hex("00 06 2D" + kOa + kTime + "5210100102030A 00" + pszTail));
    EXPECT_EQ(m.m_type, PduType::STATUS_REPORT);
    EXPECT_FALSE(m.m_bHasUserData);
    EXPECT_EQ(m.m_nParameterIndicator, -1);
  }
  // A service-centre part of length 01 has a type but no digits.
  const CPduMessage typeOnly = Decode("0191" + kCases[2].strHex.substr(2));
  EXPECT_TRUE(typeOnly.m_serviceCenter.IsEmpty());
  EXPECT_EQ(typeOnly.m_nServiceCenterOctets, 2u);
  // An empty destination (a message stored for later): length 0, type 81.
  EXPECT_TRUE(Decode("0001000081000002EF35").m_address.IsEmpty());
}
