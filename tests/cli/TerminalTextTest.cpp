// Text from a received message shown by the command-line program: escape sequences,
// C1 controls, bidirectional overrides and NUL bytes come out inert and visible, and
// table cells are cut between whole characters and escapes.
#include <gtest/gtest.h>

#include <string>

#include "cli/TableCell.h"
#include "tests/support/TestIo.h"

namespace {

std::string RunCli(const std::string& strArgs) {
  std::string out;
  test_io::RunCommandLine(std::string("'") + MIRETH_CLI_PATH + "' " + strArgs, out);
  return out;
}

TEST(TerminalText, HostileTextIsShownInertAndWhole) {
  // What it is, the text, and how it is shown (escape sequences, NUL and DEL as a
  // hostile message brings them are the decode test's below).
  const std::tuple<const char*, std::string, std::string> cases[] = {
      {"line breaks and tab", "one\r\ntwo\tthree", "one\\r\\ntwo\\tthree"},
      {"C1 CSI as UTF-8 and as a lone byte",
       "x\xC2\x9B"
       "31my\x9B"
       "2J",
       "x\\u009B31my\\x9B2J"},
      {"right-to-left override and isolates", "file\xE2\x80\xAEgnp.exe\xE2\x81\xA6x",
       "file\\u202Egnp.exe\\u2066x"},
      {"broken and overlong UTF-8", "\xC3(\xE0\x80\xAF", "\\xC3(\\xE0\\x80\\xAF"},
      {"ordinary text of every script", "Grüße, Привет, 你好 😀 \\", "Grüße, Привет, 你好 😀 \\"},
  };
  for (const auto& [pszName, strIn, strShown] : cases) {
    SCOPED_TRACE(pszName);
    EXPECT_EQ(TerminalText(strIn), strShown);
    EXPECT_EQ(TableCell(strIn, 1000), strShown);
  }
}

TEST(TerminalText, CellsAreCutBetweenWholeCharactersAndEscapes) {
  // The text, the room, and the cell.
  const std::tuple<std::string, size_t, std::string> cases[] = {
      {"abcdefgh", 8, "abcdefgh"},  // fits exactly
      {"abcdefghi", 8, "abcde..."},
      {"abcd\x1B"
       "efgh",
       9, "abcd..."},  // never half of "\x1B"
      {"abc\xC3\xA9\xC3\xA9xyz", 8, "abc\xC3\xA9..."},
      {"\xE2\x80\xAE\xE2\x80\xAE", 9, "\\u202E..."},
  };
  for (const auto& [strIn, nMax, strCell] : cases)
    EXPECT_EQ(TableCell(strIn, nMax), strCell) << strIn;
}

TEST(TerminalText, PduDecodeOfAHostileSmsPrintsNoControlCharacter) {
  // A UCS2 DELIVER whose text sets the window title, clears the screen, sends a C1
  // CSI, reverses the line, hides text behind U+0000 and ends in DEL.
  // No service centre, SMS-DELIVER from +31641600986, UCS2, 70 octets of text.
  const std::string strPdu =
      "00040B911346610089F60008422113329585404600480069001B005D0030003B00700077006E006500640007001B005B003200"
      "4A009B00330031006D202E0067006E"
      "0070002E006500780065000000610066007400650072007F";
  const std::string out = RunCli("pdu decode " + strPdu);
  EXPECT_NE(out.find("Hi\\x1B]0;pwned\\x07\\x1B[2J\\u009B31m\\u202Egnp.exe\\x00after\\x7F\n"),
            std::string::npos)
      << out;
  // The JSON form keeps the exact text, escaped as JSON.
  const std::string json = RunCli("pdu decode --json " + strPdu);
  EXPECT_NE(json.find("\"text\": \"Hi\\u001B]0;pwned\\u0007\\u001B[2J\xC2\x9B"
                      "31m\xE2\x80\xAEgnp.exe\\u0000after\x7F\""),
            std::string::npos)
      << json;
}

}  // namespace
