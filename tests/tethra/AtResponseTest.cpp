// Readers of reply lines: the forms 27.005/27.007 phones really send, and the lines
// they must refuse.
#include <gtest/gtest.h>

#include "tethra/AtReplyParser.h"
#include "tethra/AtResponse.h"

namespace {

TEST(AtResponseTest, ReadsTheStoragesOfferedInEveryForm) {
  using Lists = std::vector<std::vector<std::string>>;
  struct Case {
    const char* pszLine;
    Lists lists;
  };
  const Case cases[] = {
      {"+CPMS: (\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")", {{"ME", "SM"}, {"ME", "SM"}, {"ME", "SM"}}},
      {"+CPMS: (\"SM\",\"ME\",\"MT\"),(\"SM\")", {{"SM", "ME", "MT"}, {"SM"}}},
      {"+CPMS: (\"sm\")", {{"SM"}}},
      {"+CPMS: \"ME\",\"SM\"", {{"ME", "SM"}}},
      {"+CPMS: (\"BM\",\"SM\",\"SR\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")",
       {{"BM", "SM", "SR", "ME"}, {"SM", "ME"}, {"SM", "ME"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszLine);
    Lists lists;
    ASSERT_TRUE(AtParseCpmsSupport(c.pszLine, lists));
    EXPECT_EQ(lists, c.lists);
  }
  Lists kept{{"kept"}};
  for (const char* psz : {"+CPMS: ", "+CPMS: ()", "+CPMS: (\"ME\"", "+CPMS: (\"ME\"),()",
                          "+CPMS: (\"A\"),(\"A\"),(\"A\"),(\"A\")", "+CSCA: \"+1\",145", "OK"}) {
    SCOPED_TRACE(psz);
    EXPECT_FALSE(AtParseCpmsSupport(psz, kept));
    EXPECT_EQ(kept, Lists{{"kept"}});
  }
  std::vector<std::string> current;
  ASSERT_TRUE(AtParseCpmsCurrent("+CPMS: \"SM\",3,30,\"ME\",0,100,\"SM\",3,30", current));
  EXPECT_EQ(current, (std::vector<std::string>{"SM", "ME", "SM"}));
}

TEST(AtResponseTest, ReadsServiceLines) {
  int s = -1, mt = -1, mo = -1;
  ASSERT_TRUE(AtParseCsms("+CSMS: 0,1,1,1", s, mt, mo));
  EXPECT_EQ(s, 0);
  EXPECT_EQ(mt, 1);
  EXPECT_EQ(mo, 1);
  ASSERT_TRUE(AtParseCsms("+CSMS: 1,0,1,0", s, mt, mo));
  EXPECT_EQ(mt, 0);
  EXPECT_FALSE(AtParseCsms("+CSMS: 1,x,1", s, mt, mo));

  std::string number = "kept";
  ASSERT_TRUE(AtParseCsca("+CSCA: \"+447785016005\",145", number));
  EXPECT_EQ(number, "+447785016005");
  ASSERT_TRUE(AtParseCsca("+CSCA: \"\",129", number));
  EXPECT_EQ(number, "");
  number = "kept";
  EXPECT_FALSE(AtParseCsca("+CSCA: \"0044\"\"77\",145", number));
  EXPECT_EQ(number, "kept");

  std::string code;
  ASSERT_TRUE(AtParseCpin("+CPIN: READY", code));
  EXPECT_EQ(code, "READY");
  ASSERT_TRUE(AtParseCpin("+CPIN: \"SIM PIN\"", code));
  EXPECT_EQ(code, "SIM PIN");

  int n = -1;
  EXPECT_TRUE(AtParseNumberAfter("+CMGW: 17", "+CMGW", n));
  EXPECT_EQ(n, 17);
  EXPECT_FALSE(AtParseNumberAfter("+CMGWX: 17", "+CMGW", n));
  EXPECT_FALSE(AtParseNumberAfter("+CMGS: 99999999999", "+CMGS", n));
  EXPECT_EQ(AtInfoValue("+CGMM:  Model X ", "+CGMM"), "Model X");
  EXPECT_EQ(AtInfoValue("SIEMENS", "+CGMI"), "SIEMENS");
}

TEST(AtResponseTest, ReadsAListingOrRefusesItWhole) {
  const std::string pdu = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";
  std::vector<CAtListEntry> entries;
  ASSERT_TRUE(AtParseCmglListing({"+CMGL: 3,2,,30", pdu, "+CMGL: 11,3,\"A, B\",30", pdu,
                                  "+CMGL: 12,1,30", "00" + pdu.substr(16)},
                                 entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].header.nIndex, 3);
  EXPECT_EQ(entries[0].header.nStat, 2);
  EXPECT_EQ(entries[1].header.nIndex, 11);
  EXPECT_EQ(entries[1].header.nStat, 3);
  EXPECT_EQ(entries[2].header.nIndex, 12);
  EXPECT_EQ(entries[2].strPdu, "00" + pdu.substr(16));
  // Lower-case hexadecimal is delivered upper-case.
  std::string lower = pdu;
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_TRUE(AtParseCmglListing({"+CMGL: 1,0,,30", lower}, entries));
  EXPECT_EQ(entries[0].strPdu, pdu);
  // A line of text that is neither header nor PDU is passed over.
  ASSERT_TRUE(AtParseCmglListing({"~#%&", "+CMGL: 1,0,,30", pdu}, entries));
  EXPECT_EQ(entries.size(), 1u);
  ASSERT_TRUE(AtParseCmglListing({}, entries));
  EXPECT_TRUE(entries.empty());

  entries.resize(1);
  const std::vector<std::vector<std::string>> bad = {
      {"+CMGL: 1,0,,30"},                          // header without its PDU
      {"+CMGL: 1,0,,30", "+CMGL: 2,0,,30", pdu},   // the same
      {"+CMGL: 1,0,,31", pdu},                     // length does not match
      {"+CMGL: 1,0,,30", pdu.substr(0, 40)},       // PDU cut short
      {"+CMGL: 1,0,,30", pdu + "0"},               // odd digits
      {"+CMGL: x,0,,30", pdu},                     // unreadable header
      {"+CMGL: 1,9,,30", pdu},                     // no such status
      {"+CMGL: 1,0,,30", pdu, pdu},                // a PDU whose header was lost
  };
  for (const auto& lines : bad) {
    SCOPED_TRACE(lines[0]);
    EXPECT_FALSE(AtParseCmglListing(lines, entries));
    EXPECT_EQ(entries.size(), 1u);
  }
}

TEST(AtResponseTest, SortsLinesIntoResultsUrcsAndInformation) {
  EXPECT_EQ(CAtReplyParser::ExpectedPrefixes("AT+CMGL=4"), std::vector<std::string>{"+CMGL"});
  EXPECT_EQ(CAtReplyParser::ExpectedPrefixes("ATE0+CMEE=1;+CSMS?"), (std::vector<std::string>{"+CMEE", "+CSMS"}));
  EXPECT_EQ(CAtReplyParser::ExpectedPrefixes("AT+CSCA=\"+4477\",145"), std::vector<std::string>{"+CSCA"});
  EXPECT_TRUE(CAtReplyParser::ExpectedPrefixes("AT").empty());

  const std::vector<std::string> cmgl{"+CMGL"};
  EXPECT_FALSE(CAtReplyParser::IsUrc("+CMGL: 1,0,,23", cmgl));
  EXPECT_FALSE(CAtReplyParser::IsUrc("+cmgl: 1,0,,23", cmgl));
  EXPECT_FALSE(CAtReplyParser::IsUrc("0791447758100650", cmgl));
  EXPECT_FALSE(CAtReplyParser::IsUrc("+447785016005", cmgl));
  EXPECT_TRUE(CAtReplyParser::IsUrc("+CMTI: \"SM\",1", cmgl));
  EXPECT_TRUE(CAtReplyParser::IsUrc("^RSSI:9", cmgl));
  EXPECT_TRUE(CAtReplyParser::IsUrc("*EMRDY: 1", cmgl));
  EXPECT_TRUE(CAtReplyParser::IsUrc("RING", cmgl));
  EXPECT_TRUE(CAtReplyParser::IsUrc("+CREG: 1", {}));

  int n;
  std::string text;
  EXPECT_EQ(CAtReplyParser::ParseFinal("OK", n, text), AT_FINAL_OK);
  EXPECT_EQ(CAtReplyParser::ParseFinal("OKAY", n, text), AT_FINAL_NONE);
  EXPECT_EQ(CAtReplyParser::ParseFinal("+CME ERRORS: 3", n, text), AT_FINAL_NONE);
  EXPECT_EQ(CAtReplyParser::ParseFinal("+CME ERROR:3", n, text), AT_FINAL_CME);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(CAtReplyParser::ParseFinal("+CMS ERROR: 99999999999", n, text), AT_FINAL_CMS);
  EXPECT_EQ(n, -1);
}

}  // namespace
