// Readers of reply lines: the forms 27.005/27.007 phones really send, and the lines
// they must refuse.
#include <gtest/gtest.h>

#include "tethra/AtReplyParser.h"
#include "tethra/AtResponse.h"

namespace {

const std::string kPdu = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

TEST(AtResponseTest, ReadsTheStoragesOfferedInEveryForm) {
  using Lists = std::vector<std::vector<std::string>>;
  // The forms phones send, from modem transcripts: empty, empty lists, nested,
  // unbracketed, spaced, unquoted, vendor names.
  struct Case {
    const char* pszLine;
    Lists lists;
  } const cases[] = {
      {"+CPMS: (\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")", {{"ME", "SM"}, {"ME", "SM"}, {"ME", "SM"}}},
      {"+CPMS: (\"SM\",\"ME\",\"MT\"),(\"SM\")", {{"SM", "ME", "MT"}, {"SM"}}},
      {"+CPMS: (\"sm\")", {{"SM"}}},
      {"+CPMS: \"ME\",\"SM\"", {{"ME", "SM"}}},
      {"+CPMS: ", {}},
      {"+CPMS: (),(),()", {{}, {}, {}}},
      {"+CPMS: ((\"SM\",\"BM\",\"SR\"),(\"SM\"))", {{"SM", "BM", "SR"}, {"SM"}}},
      {"+CPMS: (ME_P,SM_P,SR),(ME_P,SM_P),(SM_P)", {{"ME_P", "SM_P", "SR"}, {"ME_P", "SM_P"}, {"SM_P"}}},
      {"+CPMS: (\"A\"),(\"B\"),(\"C\"),(\"D\")", {{"A"}, {"B"}, {"C"}}},
  };
  for (const Case& c : cases) {
    Lists lists{{"old"}};
    ASSERT_TRUE(AtParseCpmsSupport(c.pszLine, lists)) << c.pszLine;
    EXPECT_EQ(lists, c.lists) << c.pszLine;
  }
  Lists kept{{"kept"}};
  for (const char* psz : {"+CSCA: \"+1\",145", "OK", "+CPMSX: (\"ME\")"}) {
    EXPECT_FALSE(AtParseCpmsSupport(psz, kept)) << psz;
    EXPECT_EQ(kept, Lists{{"kept"}}) << psz;
  }
  // The use of each storage, from the query (a selection's answer is the phone
  // session's progress).
  std::vector<CAtStorageUse> uses;
  ASSERT_TRUE(AtParseCpmsUse("+CPMS: \"SM\",3,30,\"ME\",0,100", uses));
  ASSERT_EQ(uses.size(), 2u);
  EXPECT_EQ(std::tie(uses[1].strName, uses[0].nUsed, uses[1].nTotal), std::make_tuple("ME", 3, 100));
  EXPECT_FALSE(AtParseCpmsUse("+CPMS: ,,,,,,,,", uses));
}

TEST(AtResponseTest, ReadsServiceLines) {
  // (The service flags and the identity lines are read in the phone session's set-up
  // and dialect tests.)
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
  EXPECT_FALSE(AtParseNumberAfter("+CMGS: 99999999999", "+CMGS", n));
}

TEST(AtResponseTest, ReadsAListingAndCountsTheEntriesItCannotRead) {
  std::vector<CAtListEntry> entries;
  std::vector<CAtBadEntry> bad;
  std::string lower = kPdu;
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // A line that is neither header nor PDU is passed over; lower-case hexadecimal is
  // delivered upper-case; the name field may hold a comma.
  AtParseCmglListing({"~#%&", "+CMGL: 3,2,,30", lower, "+CMGL: 11,3,\"A, B\",30", kPdu, "+CMGL: 12,1,30",
                      "00" + kPdu.substr(16)},
                     entries, bad);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_TRUE(bad.empty());
  EXPECT_EQ(std::tie(entries[0].strPdu, entries[1].header.nIndex, entries[1].header.nStat, entries[2].strPdu),
            std::make_tuple(kPdu, 11, 3, "00" + kPdu.substr(16)));

  // Each broken entry is reported with its index; the good one after it is kept (the
  // phone session's fetches hold more of them).
  struct Case {
    std::vector<std::string> lines;
    int nIndex;
  } const cases[] = {
      {{"+CMGL: 1,0,,30", kPdu + "0"}, 1},  // odd digits
      {{"+CMGL: x,0,,30", kPdu}, -1},       // unreadable header
      {{"+CMGL: 7,9,,30", kPdu}, 7},        // no such status
      {{kPdu}, -1},                         // a PDU whose header was lost
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = c.lines;
    lines.push_back("+CMGL: 20,1,,30");
    lines.push_back(kPdu);
    AtParseCmglListing(lines, entries, bad);
    ASSERT_EQ(bad.size(), 1u) << c.lines[0];
    EXPECT_EQ(bad[0].nIndex, c.nIndex) << c.lines[0];
    EXPECT_FALSE(bad[0].strReason.empty());
    ASSERT_EQ(entries.size(), 1u) << c.lines[0];
    EXPECT_EQ(entries[0].header.nIndex, 20);
  }

  // One message read by index.
  CAtListEntry read;
  read.header.nIndex = 9;
  std::string strReason;
  ASSERT_TRUE(AtParseCmgrReply({"+CMGR: 1,,30", kPdu}, read, strReason));
  EXPECT_EQ(std::tie(read.header.nIndex, read.header.nStat, read.strPdu), std::make_tuple(9, 1, kPdu));
  EXPECT_FALSE(AtParseCmgrReply({"+CMGR: 1,,29", kPdu}, read, strReason));
  EXPECT_FALSE(strReason.empty());
  EXPECT_FALSE(AtParseCmgrReply({}, read, strReason));
}

TEST(AtResponseTest, SortsLinesIntoResultsUrcsAndInformation) {
  const std::vector<std::string> cmgl{"+CMGL"};
  for (const char* psz : {"+CMGL: 1,0,,23", "+cmgl: 1,0,,23", "0791447758100650", "+447785016005"})
    EXPECT_FALSE(CAtReplyParser::IsUrc(psz, cmgl)) << psz;
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
