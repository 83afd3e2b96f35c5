// Readers of reply lines: the forms 27.005/27.007 phones really send, and the lines
// they must refuse.
#include <gtest/gtest.h>

#include "tethra/AtReplyParser.h"
#include "tethra/AtResponse.h"

namespace {

const std::string kPdu = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

TEST(AtResponseTest, ReadsTheStoragesOfferedInEveryForm) {
  using Lists = std::vector<std::vector<std::string>>;
  struct Case {
    const char* pszLine;
    Lists lists;
  } const cases[] = {
      {"+CPMS: (\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")", {{"ME", "SM"}, {"ME", "SM"}, {"ME", "SM"}}},
      {"+CPMS: (\"SM\",\"ME\",\"MT\"),(\"SM\")", {{"SM", "ME", "MT"}, {"SM"}}},
      {"+CPMS: (\"sm\")", {{"SM"}}},
      {"+CPMS: \"ME\",\"SM\"", {{"ME", "SM"}}},
  };
  for (const Case& c : cases) {
    Lists lists;
    ASSERT_TRUE(AtParseCpmsSupport(c.pszLine, lists)) << c.pszLine;
    EXPECT_EQ(lists, c.lists) << c.pszLine;
  }
  Lists kept{{"kept"}};
  for (const char* psz : {"+CPMS: ", "+CPMS: ()", "+CPMS: (\"ME\"", "+CPMS: (\"ME\"),()",
                          "+CPMS: (\"A\"),(\"A\"),(\"A\"),(\"A\")", "+CSCA: \"+1\",145", "OK"}) {
    EXPECT_FALSE(AtParseCpmsSupport(psz, kept)) << psz;
    EXPECT_EQ(kept, Lists{{"kept"}}) << psz;
  }
  std::vector<std::string> current;
  ASSERT_TRUE(AtParseCpmsCurrent("+CPMS: \"SM\",3,30,\"ME\",0,100,\"SM\",3,30", current));
  EXPECT_EQ(current, (std::vector<std::string>{"SM", "ME", "SM"}));
}

TEST(AtResponseTest, ReadsServiceLines) {
  int s = -1, mt = -1, mo = -1;
  ASSERT_TRUE(AtParseCsms("+CSMS: 1,0,1,0", s, mt, mo));
  EXPECT_EQ((std::vector<int>{s, mt, mo}), (std::vector<int>{1, 0, 1}));
  EXPECT_FALSE(AtParseCsms("+CSMS: 1,x,1", s, mt, mo));
  std::string number = "kept";
  ASSERT_TRUE(AtParseCsca("+CSCA: \"\",129", number));
  EXPECT_EQ(number, "");
  number = "kept";
  EXPECT_FALSE(AtParseCsca("+CSCA: \"0044\"\"77\",145", number));
  EXPECT_EQ(number, "kept");
  std::string code;
  ASSERT_TRUE(AtParseCpin("+CPIN: \"SIM PIN\"", code));
  EXPECT_EQ(code, "SIM PIN");
  int n = -1;
  EXPECT_FALSE(AtParseNumberAfter("+CMGWX: 17", "+CMGW", n));
  EXPECT_FALSE(AtParseNumberAfter("+CMGS: 99999999999", "+CMGS", n));
  EXPECT_EQ(AtInfoValue("+CGMM:  Model X ", "+CGMM"), "Model X");
  EXPECT_EQ(AtInfoValue("SIEMENS", "+CGMI"), "SIEMENS");
}

TEST(AtResponseTest, ReadsAListingOrRefusesItWhole) {
  std::vector<CAtListEntry> entries;
  std::string lower = kPdu;
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // A line that is neither header nor PDU is passed over; lower-case hexadecimal is
  // delivered upper-case; the name field may hold a comma.
  ASSERT_TRUE(AtParseCmglListing({"~#%&", "+CMGL: 3,2,,30", lower, "+CMGL: 11,3,\"A, B\",30", kPdu,
                                  "+CMGL: 12,1,30", "00" + kPdu.substr(16)},
                                 entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].strPdu, kPdu);
  EXPECT_EQ(entries[1].header.nIndex, 11);
  EXPECT_EQ(entries[1].header.nStat, 3);
  EXPECT_EQ(entries[2].strPdu, "00" + kPdu.substr(16));

  entries.resize(1);
  const std::vector<std::vector<std::string>> bad = {
      {"+CMGL: 1,0,,30"},                          // header without its PDU
      {"+CMGL: 1,0,,30", "+CMGL: 2,0,,30", kPdu},  // the same
      {"+CMGL: 1,0,,31", kPdu},                    // length does not match
      {"+CMGL: 1,0,,30", kPdu.substr(0, 40)},      // PDU cut short
      {"+CMGL: 1,0,,30", kPdu + "0"},              // odd digits
      {"+CMGL: x,0,,30", kPdu},                    // unreadable header
      {"+CMGL: 1,9,,30", kPdu},                    // no such status
      {"+CMGL: 1,0,,30", kPdu, kPdu},              // a PDU whose header was lost
  };
  for (const auto& lines : bad) {
    EXPECT_FALSE(AtParseCmglListing(lines, entries)) << lines[0];
    EXPECT_EQ(entries.size(), 1u);
  }
}

TEST(AtResponseTest, SortsLinesIntoResultsUrcsAndInformation) {
  EXPECT_EQ(CAtReplyParser::ExpectedPrefixes("ATE0+CMEE=1;+CSMS?"), (std::vector<std::string>{"+CMEE", "+CSMS"}));
  EXPECT_EQ(CAtReplyParser::ExpectedPrefixes("AT+CSCA=\"+4477\",145"), std::vector<std::string>{"+CSCA"});
  const std::vector<std::string> cmgl{"+CMGL"};
  for (const char* psz : {"+CMGL: 1,0,,23", "+cmgl: 1,0,,23", "0791447758100650", "+447785016005"})
    EXPECT_FALSE(CAtReplyParser::IsUrc(psz, cmgl)) << psz;
  for (const char* psz : {"+CMTI: \"SM\",1", "^RSSI:9", "*EMRDY: 1", "RING", "+CREG: 1"})
    EXPECT_TRUE(CAtReplyParser::IsUrc(psz, cmgl)) << psz;
  int n;
  std::string text;
  EXPECT_EQ(CAtReplyParser::ParseFinal("OKAY", n, text), AT_FINAL_NONE);
  EXPECT_EQ(CAtReplyParser::ParseFinal("+CME ERRORS: 3", n, text), AT_FINAL_NONE);
  EXPECT_EQ(CAtReplyParser::ParseFinal("+CME ERROR:3", n, text), AT_FINAL_CME);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(CAtReplyParser::ParseFinal("+CMS ERROR: 99999999999", n, text), AT_FINAL_CMS);
  EXPECT_EQ(n, -1);
}

}  // namespace
