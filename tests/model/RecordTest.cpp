// The records and the date-time value: OLE day numbers, calendar validity, the flag
// word, the duplicate key and assignment.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "model/Address.h"
#include "model/DateTime.h"
#include "model/Message.h"

namespace {

struct DateAnchor {
  int y, mo, d, h, mi, s;
  double dDate;
};

// Day numbers as OLE Automation dates define them (documented anchors), including
// the days before 30 December 1899, whose fraction still counts forwards.
const DateAnchor g_anchors[] = {
    {1899, 12, 30, 0, 0, 0, 0.0},
    {1899, 12, 31, 0, 0, 0, 1.0},
    {1900, 1, 1, 0, 0, 0, 2.0},
    {1900, 1, 1, 6, 0, 0, 2.25},
    {1900, 1, 4, 0, 0, 0, 5.0},
    {1900, 1, 4, 12, 0, 0, 5.5},
    {1900, 1, 4, 21, 0, 0, 5.875},
    {1899, 12, 29, 0, 0, 0, -1.0},
    {1899, 12, 29, 6, 0, 0, -1.25},
    {1899, 12, 28, 18, 0, 0, -2.75},
    {2000, 1, 1, 0, 0, 0, 36526.0},
    {2000, 3, 1, 0, 0, 0, 36586.0},  // 2000 is a leap year
    {100, 1, 1, 0, 0, 0, -657434.0},
    {9999, 12, 31, 0, 0, 0, 2958465.0},
};

TEST(DateTime, CalendarFieldsGiveOleDayNumbersBothWays) {
  for (const DateAnchor& a : g_anchors) {
    SCOPED_TRACE(testing::Message() << a.y << "-" << a.mo << "-" << a.d << " " << a.h);
    CDateTime dt(a.y, a.mo, a.d, a.h, a.mi, a.s);
    EXPECT_TRUE(dt.IsValid());
    EXPECT_DOUBLE_EQ(dt.GetDate(), a.dDate);
    int y, mo, d, h, mi, s;
    ASSERT_TRUE(CDateTime(a.dDate, CDateTime::valid).GetFields(y, mo, d, h, mi, s));
    EXPECT_EQ(y, a.y);
    EXPECT_EQ(mo, a.mo);
    EXPECT_EQ(d, a.d);
    EXPECT_EQ(h, a.h);
    EXPECT_EQ(mi, a.mi);
    EXPECT_EQ(s, a.s);
  }
  // -0.5 and 0.5 are both noon of the base day.
  for (double dNoon : {-0.5, 0.5}) {
    int y, mo, d, h, mi, s;
    ASSERT_TRUE(CDateTime(dNoon, CDateTime::valid).GetFields(y, mo, d, h, mi, s));
    EXPECT_EQ(y * 10000 + mo * 100 + d, 18991230);
    EXPECT_EQ(h, 12);
  }
}

TEST(DateTime, ConsecutiveCalendarDaysAreOneApart) {
  // Walks the calendar day by day with its own month lengths: a wrong leap-year rule
  // or month offset shows up as a gap or an overlap.
  auto daysIn = [](int y, int m) {
    static const int n[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool bLeap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && bLeap ? 29 : n[m - 1];
  };
  double dPrevious = CDateTime(1599, 12, 31, 0, 0, 0).GetDate();
  for (int y = 1600; y <= 2401; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= daysIn(y, m); ++d) {
        double dDate = CDateTime(y, m, d, 0, 0, 0).GetDate();
        ASSERT_EQ(dDate, dPrevious + 1.0) << y << "-" << m << "-" << d;
        dPrevious = dDate;
      }
    }
  }
}

TEST(DateTime, OutOfRangeFieldsAndValuesAreInvalid) {
  struct Fields { int y, mo, d, h, mi, s; };
  const Fields bad[] = {
      {1900, 2, 29, 0, 0, 0}, {2001, 2, 29, 0, 0, 0}, {2024, 4, 31, 0, 0, 0},
      {2024, 13, 1, 0, 0, 0}, {2024, 0, 1, 0, 0, 0},  {2024, 1, 0, 0, 0, 0},
      {2024, 1, 1, 24, 0, 0}, {2024, 1, 1, 0, 60, 0}, {2024, 1, 1, 0, 0, 60},
      {2024, 1, 1, -1, 0, 0}, {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0},
  };
  for (const Fields& f : bad) {
    CDateTime dt(f.y, f.mo, f.d, f.h, f.mi, f.s);
    EXPECT_EQ(dt.GetStatus(), CDateTime::invalid) << f.y << "-" << f.mo << "-" << f.d << " " << f.h
                                                  << ":" << f.mi << ":" << f.s;
    EXPECT_EQ(dt.Format(), "");
  }
  EXPECT_TRUE(CDateTime(2000, 2, 29, 23, 59, 59).IsValid());

  int y, mo, d, h, mi, s;
  EXPECT_FALSE(CDateTime(2958466.0, CDateTime::valid).GetFields(y, mo, d, h, mi, s));
  EXPECT_FALSE(CDateTime(-657435.0, CDateTime::valid).GetFields(y, mo, d, h, mi, s));
  EXPECT_FALSE(CDateTime(std::nan(""), CDateTime::valid).GetFields(y, mo, d, h, mi, s));
  EXPECT_FALSE(CDateTime(100.0, CDateTime::null).GetFields(y, mo, d, h, mi, s));
  EXPECT_EQ(CDateTime(100.0, CDateTime::null).Format(), "");
}

TEST(DateTime, FormatUsesTheLocaleDateAndTime) {
  setenv("LC_ALL", "C", 1);  // read once, at the first Format
  EXPECT_EQ(CDateTime(2024, 1, 2, 13, 4, 5).Format(), "01/02/24 13:04:05");
  EXPECT_EQ(CDateTime(-1.25, CDateTime::valid).Format(), "12/29/99 06:00:00");
}

TEST(DateTime, OrderAndEquality) {
  CDateTime a(2024, 1, 2, 0, 0, 0), b(2024, 1, 2, 0, 0, 1);
  EXPECT_TRUE(a < b);
  EXPECT_FALSE(b < a);
  EXPECT_NE(a, CDateTime(a.GetDate(), CDateTime::null));
  EXPECT_EQ(a, CDateTime(a.GetDate(), CDateTime::valid));
}

// Every field of a message, set to values that differ from the defaults.
void FillMessage(CMessage& m) {
  m.m_strSenderName = "Sender";
  m.m_strName = "Name";
  m.m_strNumber = "+4912345";
  m.m_nStatus = 3;
  m.m_nStorage = 2;
  m.m_nType = 7;
  m.m_strDateTime = "01/02/24 13:04:05";
  m.m_dtDateTime = CDateTime(45293.5, CDateTime::null);
  m.m_strExtra = "extra";
  m.m_strMessage = "Hello";
  m.m_strPdu = "0011";
  m.m_strServiceCenter = "+491710760000";
  m.m_bFlag = 9;
  m.m_bReplyCharges = -4;
  m.m_wFirstOctet = 0x1234;
  m.m_nValidity = 167;
}

void ExpectFilled(const CMessage& m) {
  EXPECT_EQ(m.m_strSenderName, "Sender");
  EXPECT_EQ(m.m_strName, "Name");
  EXPECT_EQ(m.m_strNumber, "+4912345");
  EXPECT_EQ(m.m_nStatus, 3);
  EXPECT_EQ(m.m_nStorage, 2);
  EXPECT_EQ(m.m_nType, 7);
  EXPECT_EQ(m.m_strDateTime, "01/02/24 13:04:05");
  EXPECT_EQ(m.m_dtDateTime, CDateTime(45293.5, CDateTime::null));
  EXPECT_EQ(m.m_strExtra, "extra");
  EXPECT_EQ(m.m_strMessage, "Hello");
  EXPECT_EQ(m.m_strPdu, "0011");
  EXPECT_EQ(m.m_strServiceCenter, "+491710760000");
  EXPECT_EQ(m.m_bFlag, 9);
  EXPECT_EQ(m.m_bReplyCharges, -4);
  EXPECT_EQ(m.m_wFirstOctet, 0x1234);
  EXPECT_EQ(m.m_nValidity, 167);
}

TEST(Records, AssignmentCopiesEveryFieldAndSelfAssignmentChangesNothing) {
  CMessage source;
  FillMessage(source);
  CMessage target;
  target = source;
  ExpectFilled(target);

  CMessage& alias = target;
  target = alias;
  ExpectFilled(target);

  CAddress a;
  a.SetNumber("1");
  a.SetName("One");
  a.SetIndex(4);
  CAddress b;
  b = a;
  EXPECT_EQ(b.GetNumber(), "1");
  EXPECT_EQ(b.GetName(), "One");
  EXPECT_EQ(b.GetIndex(), 4);
  CAddress& aliasAddress = b;
  b = aliasAddress;
  EXPECT_EQ(b.GetName(), "One");
  EXPECT_EQ(b.GetIndex(), 4);
}

TEST(Records, FlagWordOperationsFollowTheBitLayout) {
  struct Query {
    uint16_t w;
    bool bReceived, bSubmit, bReplyCharges;
  };
  const Query queries[] = {
      {0x00, true, false, false},  {0x08, true, false, true},   // received: bit 3
      {0x20, true, false, false},  {0x01, false, true, false},
      {0x21, false, true, true},   {0x09, false, true, false},  // submit: bit 5
      {0x02, false, false, false}, {0x2B, false, false, false}, // neither type
      {0xFC, true, false, true},   {0xFD, false, true, true},
  };
  for (const Query& q : queries) {
    CMessage m;
    m.m_wFirstOctet = q.w;
    EXPECT_EQ(m.IsReceivedType(), q.bReceived) << std::hex << q.w;
    EXPECT_EQ(m.IsSubmitType(), q.bSubmit) << std::hex << q.w;
    EXPECT_EQ(m.IsReplyCharges(), q.bReplyCharges) << std::hex << q.w;
  }

  enum Op { submit, reject, relative, replyCharges, header, replyPath };
  struct Change {
    uint16_t wBefore;
    Op op;
    bool bFlag;
    uint16_t wAfter;
  };
  const Change changes[] = {
      {0x0002, submit, true, 0x0001},       {0x00FF, submit, true, 0x00FD},
      {0x0100, submit, true, 0x0101},       {0x0001, reject, true, 0x0005},
      {0x00FF, reject, false, 0x00FB},      {0x0008, relative, true, 0x0010},
      {0x0018, relative, false, 0x0000},    {0x00E7, relative, true, 0x00F7},
      {0x0000, replyCharges, true, 0x0020}, {0x0003, replyCharges, true, 0x0023},
      {0x00FF, replyCharges, false, 0x00DF},
      {0x0000, header, true, 0x0010},       {0x0010, header, false, 0x0000},
      {0x0001, header, true, 0x0041},       {0x0041, header, false, 0x0001},
      {0x0002, header, true, 0x0002},       {0x0013, header, false, 0x0013},
      {0x0000, replyPath, true, 0x0020},    {0x0020, replyPath, false, 0x0000},
      {0x0001, replyPath, true, 0x0081},    {0x00C1, replyPath, false, 0x0041},
      {0x0002, replyPath, true, 0x0002},    {0x00A3, replyPath, false, 0x00A3},
  };
  for (const Change& c : changes) {
    CMessage m;
    m.m_wFirstOctet = c.wBefore;
    switch (c.op) {
      case submit: m.SetSubmitType(); break;
      case reject: m.SetRejectDuplicates(c.bFlag); break;
      case relative: m.SetRelativeValidity(c.bFlag); break;
      case replyCharges: m.SetReplyCharges(c.bFlag); break;
      case header: m.SetHeaderIndicator(c.bFlag); break;
      case replyPath: m.SetReplyPath(c.bFlag); break;
    }
    EXPECT_EQ(m.m_wFirstOctet, c.wAfter)
        << "op " << c.op << " flag " << c.bFlag << " on 0x" << std::hex << c.wBefore;
  }
}

TEST(Records, PduKeyDropsServiceCentreAndTheOctetAfterTheFirst) {
  struct Case {
    std::string strPdu;
    std::string strKey;
  };
  const std::string strRest = "0B919471234567F8000042107191216480" "05C8329BFD06";
  const Case cases[] = {
      // n = 7: "07", 14 digits of address, first octet "11", message reference "00".
      {"07" "91947106004034" "11" "00" + strRest, "11" + strRest},
      // n = 0: no service-centre address.
      {"00" "04" "A7" + strRest, "04" + strRest},
      // n = 16 (0x10) needs 32 digits of address.
      {"10" + std::string(32, '1') + "24" "FF" "XYZ", "24XYZ"},
      {"", ""},
      // Texts too short for their own length octet give what is there.
      {"07" "9194", ""},
      {"07" "91947106004034" "11", "11"},
      {"07" "91947106004034" "11" "0", "11"},
      {"FF" "00", ""},
      // Not upper-case hex: a missing digit counts as -1, a cut before the start
      // begins at the start.
      {"0", "0"},
      {"0a1122334455", "0a22334455"},
      {"zz1234567890", "zzzz1234567890"},
  };
  for (const Case& c : cases) {
    CMessage m;
    m.m_strPdu = c.strPdu;
    EXPECT_EQ(m.GetPduKey(), c.strKey) << "PDU " << c.strPdu;
  }
}

}  // namespace
