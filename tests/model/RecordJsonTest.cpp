// The JSON line form of the records used by the command line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "model/RecordJson.h"
#include "model/RecordList.h"

namespace {

TEST(RecordJson, AddressLineIsExact) {
  CAddress a;
  a.SetNumber("+49 1\"2\\3");
  a.SetName("Ann\r\n\t\x01\x7F \xC3\xA9");
  EXPECT_EQ(RecordToJson(a),
            "{\"class\":\"CAddress\",\"m_strNumber\":\"+49 1\\\"2\\\\3\","
            "\"m_strName\":\"Ann\\r\\n\\t\\u0001\\u007f \xC3\xA9\"}");
  CAddress back;
  std::string strError;
  ASSERT_TRUE(RecordFromJson(RecordToJson(a), back, strError)) << strError;
  EXPECT_TRUE(IsSameRecord(a, back));
}

TEST(RecordJson, EveryMessageFieldAndAnyByteSurviveTheRoundTrip) {
  CMessage m;
  m.m_strSenderName = "\xFF\xFE raw \x80";        // not UTF-8
  m.m_strName = "\xE2\x82";                       // a cut sequence
  m.m_strNumber = "\xED\xA0\x80";                 // an encoded surrogate, not valid UTF-8
  m.m_nStatus = std::numeric_limits<int32_t>::min();
  m.m_nStorage = std::numeric_limits<int32_t>::max();
  m.m_nType = 2;
  m.m_strDateTime = "02.01.2024 13:04";
  m.m_dtDateTime = CDateTime(45293.544502314815, CDateTime::null);
  m.m_strExtra = std::string("a\0b", 3);
  m.m_strMessage = "\xF0\x9F\x98\x80 ok";
  m.m_strPdu = "0011000B91";
  m.m_strServiceCenter = "+491";
  m.m_bFlag = 255;
  m.m_bReplyCharges = -1;
  m.m_wFirstOctet = 65535;
  m.m_nValidity = 167;
  std::string strLine = RecordToJson(m);
  EXPECT_EQ(strLine.find('\n'), std::string::npos);
  EXPECT_NE(strLine.find("\"m_strSenderName\":\"\\udcff\\udcfe raw \\udc80\""), std::string::npos);
  EXPECT_NE(strLine.find("\"m_dtDateTime\":{\"date\":45293.54450231481,\"status\":2}"),
            std::string::npos);
  CMessage back;
  std::string strError;
  ASSERT_TRUE(RecordFromJson(strLine, back, strError)) << strError;
  EXPECT_TRUE(IsSameRecord(m, back));

  m.m_dtDateTime = CDateTime(std::numeric_limits<double>::infinity(), CDateTime::valid);
  ASSERT_TRUE(RecordFromJson(RecordToJson(m), back, strError)) << strError;
  EXPECT_TRUE(std::isinf(back.m_dtDateTime.GetDate()));
  m.m_dtDateTime = CDateTime(std::nan(""), CDateTime::valid);
  ASSERT_TRUE(RecordFromJson(RecordToJson(m), back, strError)) << strError;
  EXPECT_TRUE(std::isnan(back.m_dtDateTime.GetDate()));
  // A NaN with a payload, as a damaged file may hold, keeps its bits.
  uint64_t nBits = 0xFFF0000000000123ull;
  double dPayload;
  std::memcpy(&dPayload, &nBits, sizeof dPayload);
  m.m_dtDateTime = CDateTime(dPayload, CDateTime::valid);
  EXPECT_NE(RecordToJson(m).find("\"date\":\"nan:fff0000000000123\""), std::string::npos);
  ASSERT_TRUE(RecordFromJson(RecordToJson(m), back, strError)) << strError;
  EXPECT_TRUE(IsSameRecord(m, back));
}

TEST(RecordJson, MembersLeftOutKeepTheirValuesAndEscapesAreDecoded) {
  CMessage m;
  std::string strError;
  ASSERT_TRUE(RecordFromJson(
      " { \"m_strMessage\" : \"\\u00e9\\u20ac\\ud83d\\ude00\\/\", \"m_nStatus\": 3 } ", m, strError))
      << strError;
  EXPECT_EQ(m.m_strMessage, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80/");
  EXPECT_EQ(m.m_nStatus, 3);
  EXPECT_EQ(m.m_bFlag, 1);
  EXPECT_EQ(m.m_dtDateTime, CDateTime());

  std::string strClass;
  ASSERT_TRUE(GetJsonClass("{\"class\":\"CAddress\",\"x\":[1,{}]}", strClass, strError));
  EXPECT_EQ(strClass, "CAddress");
  ASSERT_TRUE(GetJsonClass("{}", strClass, strError));
  EXPECT_EQ(strClass, "");
}

TEST(RecordJson, BadLinesAreRefusedWithAReason) {
  struct Case {
    const char* pszLine;
    const char* pszReason;  // a part of the reason given
  };
  const Case cases[] = {
      {"", "value expected"},
      {"[1]", "object expected"},
      {"{\"m_nStatus\":1", "expected"},
      {"{\"m_nStatus\":1}x", "after the value"},
      {"{\"m_strNumber\":1}", "m_strNumber: a string expected"},
      {"{\"m_nStatus\":\"1\"}", "m_nStatus: an integer"},
      {"{\"m_nStatus\":1.5}", "m_nStatus: an integer"},
      {"{\"m_nStatus\":2147483648}", "m_nStatus: an integer"},
      {"{\"m_bFlag\":256}", "m_bFlag: an integer from 0 to 255"},
      {"{\"m_wFirstOctet\":-1}", "m_wFirstOctet: an integer from 0 to 65535"},
      {"{\"m_dtDateTime\":1.0}", "m_dtDateTime: an object"},
      {"{\"m_dtDateTime\":{\"day\":1}}", "unknown member \"day\""},
      {"{\"m_nIndex\":1}", "unknown member \"m_nIndex\""},
      {"{\"class\":\"CAddress\"}", "class: \"CMessage\" expected"},
      {"{\"m_strName\":\"\\ud800\"}", "unpaired surrogate"},
      {"{\"m_strName\":\"\\udc10\"}", "unpaired surrogate"},
      {"{\"m_strName\":\"\\x\"}", "bad escape"},
      {"{\"m_strName\":\"a\tb\"}", "control character"},
      {"{\"m_strName\":\"a\",\"m_strName\":\"b\"}", "member given twice"},
      {"{\"m_nStatus\":-}", "digit expected"},
      {"{\"m_nStatus\":tru}", "unknown word"},
  };
  for (const Case& c : cases) {
    CMessage m;
    std::string strError;
    EXPECT_FALSE(RecordFromJson(c.pszLine, m, strError)) << c.pszLine;
    EXPECT_NE(strError.find(c.pszReason), std::string::npos) << c.pszLine << " -> " << strError;
  }
  std::string strDeep(100, '[');
  std::string strError, strClass;
  EXPECT_FALSE(GetJsonClass("{\"a\":" + strDeep, strClass, strError));
  EXPECT_NE(strError.find("nested too deeply"), std::string::npos);
}

}  // namespace
