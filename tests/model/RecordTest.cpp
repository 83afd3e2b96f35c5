// The records and the date-time value: OLE day numbers, calendar validity, the flag
// word, the duplicate key and self-assignment.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <tuple>

#include "model/Address.h"
#include "model/DateTime.h"
#include "model/Message.h"
#include "model/RecordList.h"

namespace {

using Fields = std::tuple<int, int, int, int, int, int>;

Fields FieldsOf(const CDateTime& dt, bool bExpectOk = true) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  EXPECT_EQ(dt.GetFields(y, mo, d, h, mi, s), bExpectOk) << dt.GetDate();
  return {y, mo, d, h, mi, s};
}

TEST(DateTime, CalendarFieldsGiveOleDayNumbersBothWays) {
  // Documented OLE Automation anchors, including days before 30 December 1899, whose
  // fraction still counts forwards.
  const std::pair<Fields, double> anchors[] = {
      {{1899, 12, 30, 0, 0, 0}, 0.0},       {{1899, 12, 31, 0, 0, 0}, 1.0},
      {{1900, 1, 1, 6, 0, 0}, 2.25},        {{1900, 1, 4, 21, 0, 0}, 5.875},
      {{1899, 12, 29, 6, 0, 0}, -1.25},     {{1899, 12, 28, 18, 0, 0}, -2.75},
      {{2000, 1, 1, 0, 0, 0}, 36526.0},     {{2000, 2, 29, 0, 0, 0}, 36585.0},
      {{2000, 3, 1, 0, 0, 0}, 36586.0},     {{100, 1, 1, 0, 0, 0}, -657434.0},
      {{9999, 12, 31, 0, 0, 0}, 2958465.0},
  };
  for (const auto& [f, dDate] : anchors) {
    const CDateTime dt = std::make_from_tuple<CDateTime>(f);
    EXPECT_TRUE(dt.IsValid()) << dDate;
    EXPECT_DOUBLE_EQ(dt.GetDate(), dDate);
    EXPECT_EQ(FieldsOf(CDateTime(dDate, CDateTime::valid)), f) << dDate;
  }
  // -0.5 and 0.5 are both noon of the base day.
  EXPECT_EQ(FieldsOf(CDateTime(-0.5, CDateTime::valid)), Fields(1899, 12, 30, 12, 0, 0));
  EXPECT_EQ(FieldsOf(CDateTime(0.5, CDateTime::valid)), Fields(1899, 12, 30, 12, 0, 0));
  // Less than half a second before midnight is the next day, never 24:00.
  EXPECT_EQ(FieldsOf(CDateTime(45658.0 - 0.4 / 86400, CDateTime::valid)), Fields(2025, 1, 1, 0, 0, 0));

  setenv("LC_ALL", "C", 1);  // read once, at the first Format
  EXPECT_EQ(CDateTime(2024, 1, 2, 13, 4, 5).Format(), "01/02/24 13:04:05");
  EXPECT_EQ(CDateTime(-1.25, CDateTime::valid).Format(), "12/29/99 06:00:00");
}

TEST(DateTime, OutOfRangeFieldsAndValuesAreInvalid) {
  const Fields bad[] = {
      {1900, 2, 29, 0, 0, 0}, {2001, 2, 29, 0, 0, 0}, {2024, 4, 31, 0, 0, 0}, {2024, 13, 1, 0, 0, 0},
      {2024, 0, 1, 0, 0, 0},  {2024, 1, 0, 0, 0, 0},  {2024, 1, 1, 24, 0, 0}, {2024, 1, 1, 0, 60, 0},
      {2024, 1, 1, 0, 0, 60}, {2024, 1, 1, -1, 0, 0}, {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0},
  };
  for (const Fields& f : bad) {
    const CDateTime dt = std::make_from_tuple<CDateTime>(f);
    EXPECT_EQ(dt.GetStatus(), CDateTime::invalid) << testing::PrintToString(f);
    EXPECT_EQ(dt.Format(), "");
  }
  for (double d : {2958466.0, -657435.0, std::nan("")})
    FieldsOf(CDateTime(d, CDateTime::valid), false);
  FieldsOf(CDateTime(100.0, CDateTime::null), false);
  EXPECT_EQ(CDateTime(100.0, CDateTime::null).Format(), "");
}

TEST(Records, SelfAssignmentChangesNothing) {
  CMessage m;
  m.m_strNumber = "+4912345", m.m_strMessage = "Hello", m.m_bFlag = 9, m.m_wFirstOctet = 0x1234;
  m.m_dtDateTime = CDateTime(45293.5, CDateTime::null);
  CMessage copy;
  copy = m;
  CMessage& alias = m;
  m = alias;
  EXPECT_TRUE(IsSameRecord(m, copy));
  EXPECT_EQ(m.m_strMessage, "Hello");

  // An address book entry's assignment copies every field.
  CAddress a, b;
  a.m_strNumber = "1", a.m_strName = "One", a.m_nIndex = 4;
  b = a;
  EXPECT_EQ(std::tie(b.m_strNumber, b.m_strName, b.m_nIndex),
            std::tie(a.m_strNumber, a.m_strName, a.m_nIndex));
}

TEST(Records, FlagWordOperationsFollowTheBitLayout) {
  enum Op { received, submit, replyCharges, setSubmit, reject, relative, setCharges, header, replyPath };
  // The operation, the word before, the flag given, and the answer or the word after.
  const std::tuple<Op, uint16_t, bool, uint16_t> cases[] = {
      {received, 0x00, 0, 1},      {received, 0xFC, 0, 1},     {received, 0x01, 0, 0},
      {received, 0x02, 0, 0},      {submit, 0xFD, 0, 1},       {submit, 0x00, 0, 0},
      {submit, 0x2B, 0, 0},        {replyCharges, 0x08, 0, 1}, {replyCharges, 0x21, 0, 1},
      {replyCharges, 0x09, 0, 0},  {replyCharges, 0x20, 0, 0}, {replyCharges, 0x2B, 0, 0},
      {setSubmit, 0x02, 1, 0x01},  {setSubmit, 0xFF, 1, 0xFD}, {setSubmit, 0x100, 1, 0x101},
      {reject, 0x01, 1, 0x05},     {reject, 0xFF, 0, 0xFB},    {relative, 0x08, 1, 0x10},
      {relative, 0x18, 0, 0x00},   {relative, 0xE7, 1, 0xF7},  {setCharges, 0x03, 1, 0x23},
      {setCharges, 0xFF, 0, 0xDF}, {header, 0x00, 1, 0x10},    {header, 0x01, 1, 0x41},
      {header, 0x41, 0, 0x01},     {header, 0x02, 1, 0x02},    {replyPath, 0x00, 1, 0x20},
      {replyPath, 0x01, 1, 0x81},  {replyPath, 0xC1, 0, 0x41}, {replyPath, 0x02, 1, 0x02},
  };
  // A query puts its answer (0 or 1) in w; a change is read from the word after it.
  using Apply = void (*)(CMessage&, bool, uint16_t&);
  const Apply apply[] = {
      [](CMessage& m, bool, uint16_t& w) { w = m.IsReceivedType(); },
      [](CMessage& m, bool, uint16_t& w) { w = m.IsSubmitType(); },
      [](CMessage& m, bool, uint16_t& w) { w = m.IsReplyCharges(); },
      [](CMessage& m, bool, uint16_t&) { m.SetSubmitType(); },
      [](CMessage& m, bool b, uint16_t&) { m.SetRejectDuplicates(b); },
      [](CMessage& m, bool b, uint16_t&) { m.SetRelativeValidity(b); },
      [](CMessage& m, bool b, uint16_t&) { m.SetReplyCharges(b); },
      [](CMessage& m, bool b, uint16_t&) { m.SetHeaderIndicator(b); },
      [](CMessage& m, bool b, uint16_t&) { m.SetReplyPath(b); },
  };
  for (const auto& [op, wBefore, bFlag, wAfter] : cases) {
    CMessage m;
    m.m_wFirstOctet = wBefore;
    uint16_t wGot = 0;
    apply[op](m, bFlag, wGot);
    EXPECT_EQ(op <= replyCharges ? wGot : m.m_wFirstOctet, wAfter)
        << "op " << op << " flag " << bFlag << " on 0x" << std::hex << wBefore;
  }
}

TEST(Records, PduKeyDropsServiceCentreAndTheOctetAfterTheFirst) {
  const std::string strRest = "0B919471234567F800004210719121648005C8329BFD06";
  const std::pair<std::string, std::string> cases[] = {
      // n = 7: "07", 14 digits of address, first octet "11", message reference "00".
      {"07919471060040341100" + strRest, "11" + strRest},
      {"0004A7" + strRest, "04" + strRest},  // n = 0: no service-centre address
      {"10" + std::string(32, '1') + "24FFXYZ", "24XYZ"},
      {"", ""},
      // Texts too short for their own length octet give what is there.
      {"079194", ""},
      {"0791947106004034110", "11"},
      // Not upper-case hex: a missing digit counts as -1, a cut before the start
      // begins at the start.
      {"0a1122334455", "0a22334455"},
      {"zz1234567890", "zzzz1234567890"},
  };
  for (const auto& [strPdu, strKey] : cases) {
    CMessage m;
    m.m_strPdu = strPdu;
    EXPECT_EQ(m.GetPduKey(), strKey) << "PDU " << strPdu;
  }
}

}  // namespace
