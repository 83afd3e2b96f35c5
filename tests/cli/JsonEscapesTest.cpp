// The one JSON string escaper in its two spellings: the records' (lower-case hex,
// DEL escaped) and the one `mireth pdu` prints (upper-case hex, DEL as it is). Both
// must escape everything JSON requires and agree on all else.
#include <gtest/gtest.h>

#include "model/RecordJson.h"

namespace {

TEST(JsonEscapes, BothSpellingsOfEveryKindOfCharacter) {
  // What it is, the text, its form in records (JSON_HEX_LOWER_DEL_ESCAPED) and its
  // printed form (JSON_HEX_UPPER_DEL_KEPT).
  const std::tuple<const char*, std::string, std::string, std::string> cases[] = {
      {"plain", "Hi 123", "\"Hi 123\"", "\"Hi 123\""},
      {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\"", "\"a\\\"b\\\\c\""},
      {"named controls", "\n\r\t", "\"\\n\\r\\t\"", "\"\\n\\r\\t\""},
      {"ESC", "\x1B[2J", "\"\\u001b[2J\"", "\"\\u001B[2J\""},
      {"NUL keeps the rest", std::string("a\0b", 3), "\"a\\u0000b\"", "\"a\\u0000b\""},
      {"DEL", "x\x7Fy", "\"x\\u007fy\"", "\"x\x7Fy\""},
      {"UTF-8 as it is", "\xC3\xA9\xE2\x82\xAC", "\"\xC3\xA9\xE2\x82\xAC\"", "\"\xC3\xA9\xE2\x82\xAC\""},
      {"a byte outside UTF-8", "a\xFF", "\"a\\udcff\"", "\"a\\uDCFF\""},
  };
  for (const auto& [pszWhat, strText, strRecord, strPrinted] : cases) {
    EXPECT_EQ(JsonString(strText), strRecord) << pszWhat;
    EXPECT_EQ(JsonString(strText, JSON_HEX_LOWER_DEL_ESCAPED), strRecord) << pszWhat;
    EXPECT_EQ(JsonString(strText, JSON_HEX_UPPER_DEL_KEPT), strPrinted) << pszWhat;
  }
}

}  // namespace
