// The character helpers every reader of phone text builds on: which blanks are cut,
// which prefixes match whatever the letter case, and which hex digits make an octet.
#include <gtest/gtest.h>

#include "tethra/AtText.h"

TEST(AtText, TrimCutsEveryBlankAtTheEndsOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {" \t\r\n\v\f", ""},
      {"  OK\r", "OK"},
      {"\t+CMGL: 1,0,,23 \r\n", "+CMGL: 1,0,,23"},
      {"a  b", "a  b"},                            // blanks inside stay
      {"\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},  // a no-break space is no AT blank
  };
  for (const auto& [strIn, strOut] : cases)
    EXPECT_EQ(AtTrim(strIn), strOut) << testing::PrintToString(strIn);
}

TEST(AtText, CaseBlindComparisons) {
  EXPECT_EQ(AtUpper("+cmgl: \"rec unread\" \xC3\xA9"), "+CMGL: \"REC UNREAD\" \xC3\xA9");
  struct Case {
    std::string strText, strOther;
    bool bEquals, bStarts, bEnds;
  };
  const Case cases[] = {
      {"+cme error: 14", "+CME ERROR", false, true, false},
      {"xxAT+CMGF=0", "at+cmgf=0", false, false, true},
      {"OK", "ok", true, true, true},
      {"OK", "OKAY", false, false, false},  // longer than the text
      {"@K", "`k", false, false, false},    // neighbours of the letters are no letters
      {"abc", "", false, true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AtEqualsNoCase(c.strText, c.strOther), c.bEquals) << c.strText << " / " << c.strOther;
    EXPECT_EQ(AtStartsWithNoCase(c.strText, c.strOther), c.bStarts) << c.strText << " / " << c.strOther;
    EXPECT_EQ(AtEndsWithNoCase(c.strText, c.strOther), c.bEnds) << c.strText << " / " << c.strOther;
  }
}

TEST(AtText, HexDigitsAndOctets) {
  const std::pair<char, int> digits[] = {{'0', 0},  {'9', 9},  {'A', 10}, {'f', 15}, {'G', -1},
                                         {'/', -1}, {':', -1}, {'@', -1}, {'`', -1}, {' ', -1}};
  for (const auto& [c, n] : digits)
    EXPECT_EQ(AtHexValue(c), n) << c;
  const std::pair<std::string, bool> lines[] = {
      {"07911326040000F0", true}, {"07911326040000f0", true}, {"", false},
      {"0791132", false},         {"07 91", false},           {"+CMT: ,24", false},
  };
  for (const auto& [s, b] : lines)
    EXPECT_EQ(AtIsHex(s), b) << s;
  EXPECT_EQ(AtHexOctet("07911326", 0), 7);
  EXPECT_EQ(AtHexOctet("0791", 2), 0x91);
  EXPECT_EQ(AtHexOctet("079", 2), -1);  // one digit left
  EXPECT_EQ(AtHexOctet("07", 5), -1);   // past the end
  EXPECT_EQ(AtHexOctet("0G", 0), -1);
}
