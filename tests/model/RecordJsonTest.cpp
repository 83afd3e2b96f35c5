// The JSON line form of the records that `mireth store` reads and writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>

#include "model/RecordJson.h"
#include "model/RecordList.h"

namespace {

TEST(RecordJson, RecordsSurviveTheRoundTripWithAnyBytes) {
  CMessage m;
  m.m_strSenderName = "\xFF\xFE raw \x80";  // not UTF-8
  m.m_strName = "\xE2\x82";                 // a cut sequence
  m.m_strNumber = "\xED\xA0\x80";           // an encoded surrogate
  m.m_nStatus = std::numeric_limits<int32_t>::min();
  m.m_nStorage = std::numeric_limits<int32_t>::max();
  m.m_nType = 2, m.m_strDateTime = "02.01.2024 13:04", m.m_strExtra = std::string("a\0b", 3);
  m.m_dtDateTime = CDateTime(45293.544502314815, CDateTime::null);
  m.m_strMessage = "\xF0\x9F\x98\x80 ok", m.m_strPdu = "0011000B91", m.m_strServiceCenter = "+491";
  m.m_bFlag = 255, m.m_bReplyCharges = -1, m.m_wFirstOctet = 65535, m.m_nValidity = 167;
  const std::string strLine = RecordToJson(m);
  EXPECT_NE(strLine.find("\"m_dtDateTime\":{\"date\":45293.54450231481,\"status\":2}"), std::string::npos);

  // That date, and those a damaged file may hold: infinity, NaN, and a NaN with a
  // payload, bit for bit.
  uint64_t nBits = 0xFFF0000000000123ull;
  double dPayload;
  std::memcpy(&dPayload, &nBits, sizeof dPayload);
  for (const CDateTime& dt :
       {m.m_dtDateTime, CDateTime(std::numeric_limits<double>::infinity(), CDateTime::valid),
        CDateTime(dPayload, CDateTime::valid)}) {
    m.m_dtDateTime = dt;
    CMessage back;
    std::string strError;
    ASSERT_TRUE(RecordFromJson(RecordToJson(m), back, strError)) << strError;
    EXPECT_TRUE(IsSameRecord(m, back)) << RecordToJson(m);
  }
  EXPECT_NE(RecordToJson(m).find("\"date\":\"nan:fff0000000000123\""), std::string::npos);
}

TEST(RecordJson, MembersLeftOutTakeTheirDefaultsAndEscapesAreDecoded) {
  CMessage m;  // filled before, as a record filled again for each line is
  m.m_strName = "Dana";
  m.m_nType = MSG_TYPE_COMPOSED;
  m.m_bFlag = 0;
  std::string strError;
  ASSERT_TRUE(RecordFromJson(" { \"m_strMessage\" : \"\\u00e9\\u20ac\\ud83d\\ude00\\/\", \"m_nStatus\": 3 } ",
                             m, strError))
      << strError;
  EXPECT_EQ(m.m_strMessage, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80/");
  EXPECT_EQ(m.m_nStatus, 3);
  EXPECT_EQ(m.m_strName, "");
  EXPECT_EQ(m.m_nType, MSG_TYPE_RECEIVED);
  EXPECT_EQ(m.m_bFlag, 1);
}

// The line of a message, every member in its place, as `mireth store dump --json`
// prints it and `store write` reads it.
TEST(RecordJson, AMessageLineHasEveryMemberInItsPlace) {
  CMessage m;
  m.m_strSenderName = "Ann", m.m_strNumber = "+4915", m.m_nStatus = 1, m.m_nStorage = 2;
  m.m_strDateTime = "02.01.2024 13:04", m.m_dtDateTime = CDateTime(45293.5, CDateTime::valid);
  m.m_strMessage = "Hi \"you\"", m.m_strPdu = "0011", m.m_strServiceCenter = "+491";
  m.m_wFirstOctet = 17, m.m_nValidity = 167;
  const std::string strLine =
      "{\"class\":\"CMessage\",\"m_strSenderName\":\"Ann\",\"m_strName\":\"\",\"m_strNumber\":\"+4915\","
      "\"m_nStatus\":1,\"m_nStorage\":2,\"m_nType\":0,\"m_strDateTime\":\"02.01.2024 13:04\","
      "\"m_dtDateTime\":{\"date\":45293.5,\"status\":0},\"m_strExtra\":\"\",\"m_strMessage\":\"Hi "
      "\\\"you\\\"\","
      "\"m_strPdu\":\"0011\",\"m_strServiceCenter\":\"+491\",\"m_bFlag\":1,\"m_bReplyCharges\":0,"
      "\"m_wFirstOctet\":17,\"m_nValidity\":167}";
  EXPECT_EQ(RecordToJson(m), strLine);
  std::string strAppended = "x";
  AppendRecordJson(strAppended, m);
  EXPECT_EQ(strAppended, "x" + strLine);

  // Read into a record that held other values: every member of the line lands in
  // its own field.
  CMessage back;
  back.m_strName = "old", back.m_nType = 9, back.m_bFlag = 0;
  std::string strError;
  ASSERT_TRUE(RecordFromJson(strLine, back, strError)) << strError;
  EXPECT_TRUE(IsSameRecord(m, back)) << RecordToJson(back);
}

// Every byte value at every place around the sixteen- and thirty-two-byte steps of
// the scans: a byte that needs an escape is escaped wherever it stands, and reads
// back as itself.
TEST(RecordJson, EveryByteIsEscapedOrNotWhereverItStands) {
  auto expected = [](unsigned char c) -> std::string {
    const std::map<unsigned char, std::string> named = {
        {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}};
    if (named.count(c))
      return named.at(c);
    char sz[8];
    if (c < 0x20 || c == 0x7F)
      std::snprintf(sz, sizeof sz, "\\u%04x", c);
    else if (c >= 0x80)  // alone, never a valid UTF-8 sequence
      std::snprintf(sz, sizeof sz, "\\udc%02x", c);
    else
      return std::string(1, static_cast<char>(c));
    return sz;
  };
  // Bytes after it too: the last few of a text are looked at in the narrower steps.
  const std::string strAfter = "bcdefghij" + std::string(64, 'z');
  for (size_t nBefore : {0, 1, 7, 8, 9, 15, 16, 17, 23, 31, 32, 63, 64, 65, 95, 96, 97}) {
    for (int c = 0; c < 256; ++c) {
      const std::string strText = std::string(nBefore, 'a') + static_cast<char>(c) + strAfter;
      const std::string strJson = JsonString(strText);
      ASSERT_EQ(strJson,
                "\"" + std::string(nBefore, 'a') + expected(static_cast<unsigned char>(c)) + strAfter + "\"")
          << "byte " << c << " after " << nBefore;
      CAddress a;
      std::string strError;
      ASSERT_TRUE(RecordFromJson("{\"m_strName\":" + strJson + "}", a, strError)) << strError;
      ASSERT_EQ(a.m_strName, strText) << "byte " << c << " after " << nBefore;
    }
  }
  // A control character as it is inside a string is refused where it stands.
  for (size_t nBefore : {0, 5, 8, 17, 70, 100}) {
    CAddress a;
    std::string strError;
    const std::string strLine = "{\"m_strName\":\"" + std::string(nBefore, 'a') + "\x01" + strAfter + "\"}";
    EXPECT_FALSE(RecordFromJson(strLine, a, strError));
    EXPECT_EQ(strError, "control character in a string at offset " + std::to_string(15 + nBefore));
  }
}

// A bad line is refused with a reason. The line is checked to its end: a syntax error
// anywhere is the reason given, even after a member refused before it, and its offset
// is where it was met. Otherwise the first refused member is.
TEST(RecordJson, BadLinesAreRefusedAndASyntaxErrorAnywhereIsTheReason) {
  const std::pair<const char*, const char*> cases[] = {
      // the line, the reason or a part of it
      {"", "value expected"},
      {"{\"m_strNumber\":1}", "m_strNumber: a string expected"},
      {"{\"m_nStatus\":1.5}", "m_nStatus: an integer"},
      {"{\"m_nStatus\":2147483648}", "m_nStatus: an integer"},
      {"{\"m_bFlag\":256}", "m_bFlag: an integer from 0 to 255"},
      {"{\"m_wFirstOctet\":-1}", "m_wFirstOctet: an integer from 0 to 65535"},
      {"{\"class\":\"CAddress\"}", "class: \"CMessage\" expected"},
      {"{\"m_strName\":\"\\ud800\"}", "unpaired surrogate"},
      {"{\"a\":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[", "nested too deeply"},
      {"{\"x\":1,\"m_nStatus\":\"a\"", "',' or '}' expected at offset 22"},
      {"{\"m_nStatus\":\"a\",\"m_strName\":\"\\q\"}", "bad escape at offset 32"},
      {"{\"m_dtDateTime\":{\"date\":1,\"date\":2}}", "member given twice at offset 32"},
      {"{\"m_str\\u004eumber\":\"1\",\"m_strNumber\":\"2\"}", "member given twice at offset 37"},
      {"{\"m_strNumber\":\"1\"}  {", "unexpected text after the value at offset 21"},
      {"{\"m_strName\":\"abc\\", "string not closed at offset 18"},
      {"{\"m_strName\":\"\\u12\"}", "bad \\u escape at offset 19"},
      {"{\"m_nStatus\":-}", "digit expected at offset 14"},
      {"{\"m_nStatus\":tru}", "unknown word at offset 13"},
      {"{\"m_dtDateTime\":{\"date\":\"x\",\"status\":1}}", "m_dtDateTime.date: a number expected"},
      {"{\"m_dtDateTime\":{\"date\":1,\"status\":\"x\"}}",
       "m_dtDateTime.status: an integer from -2147483648 to 2147483647 expected"},
      {"{\"m_dtDateTime\":[1,2]}", "m_dtDateTime: an object {\"date\":...,\"status\":...} expected"},
      {"{\"m_dtDateTime\":{\"date\":\"nan:7ff0000000000000\"}}", "m_dtDateTime.date: a number expected"},
      {"{\"zz\":1,\"m_nStorage\":true}", "unknown member \"zz\""},
      {"\"text\"", "a JSON object expected"},
  };
  for (const auto& [pszLine, pszReason] : cases) {
    CMessage m;
    std::string strError;
    EXPECT_FALSE(RecordFromJson(pszLine, m, strError)) << pszLine;
    EXPECT_NE(strError.find(pszReason), std::string::npos) << pszLine << " -> " << strError;
  }
}

TEST(RecordJson, TheClassOfALineIsFoundAmongAnyMembers) {
  // The line, whether it is read, what strClass holds afterwards and the whole reason
  // when refused.
  const std::tuple<const char*, bool, const char*, const char*> cases[] = {
      {"{\"m_strName\":\"a\",\"class\":\"CAddress\"}", true, "CAddress", ""},
      {"{\"x\":[1,{\"class\":\"CMessage\"}]}", true, "", ""},  // only a member of the line's own object
      {"{}", true, "", ""},
      {"{\"class\":5}", false, "", "class: a string expected"},
      {"{\"class\":\"CAddress\",\"class\":\"CMessage\"}", false, "before", "member given twice at offset 27"},
      {"[\"class\"]", false, "before", "a JSON object expected"},
      {"{\"class\":\"CAddress\"", false, "before", "',' or '}' expected at offset 19"},
  };
  for (const auto& [pszLine, bOk, pszClass, pszReason] : cases) {
    std::string strClass = "before", strError;
    EXPECT_EQ(GetJsonClass(pszLine, strClass, strError), bOk) << pszLine;
    EXPECT_EQ(strClass, pszClass) << pszLine;
    EXPECT_EQ(strError, pszReason) << pszLine;
  }
}

}  // namespace
