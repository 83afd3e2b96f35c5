// The JSON line form of the records that `mireth store` reads and writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "model/RecordJson.h"
#include "model/RecordList.h"

namespace {

template <class Record>
void ExpectRoundTrip(const Record& r) {
  Record back;
  std::string strError;
  const std::string strLine = RecordToJson(r);
  EXPECT_EQ(strLine.find('\n'), std::string::npos);
  ASSERT_TRUE(RecordFromJson(strLine, back, strError)) << strError;
  EXPECT_TRUE(IsSameRecord(r, back)) << strLine;
}

TEST(RecordJson, RecordsSurviveTheRoundTripWithAnyBytes) {
  CAddress a;
  a.m_strNumber = "+49 1\"2\\3";
  a.m_strName = "Ann\r\n\t\x01\x7F \xC3\xA9";
  EXPECT_EQ(RecordToJson(a), "{\"class\":\"CAddress\",\"m_strNumber\":\"+49 1\\\"2\\\\3\","
                             "\"m_strName\":\"Ann\\r\\n\\t\\u0001\\u007f \xC3\xA9\"}");
  ExpectRoundTrip(a);

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
  EXPECT_NE(strLine.find("\"m_strSenderName\":\"\\udcff\\udcfe raw \\udc80\""), std::string::npos);
  EXPECT_NE(strLine.find("\"m_dtDateTime\":{\"date\":45293.54450231481,\"status\":2}"), std::string::npos);
  ExpectRoundTrip(m);

  // Dates a damaged file may hold: infinity, NaN, and a NaN with a payload, bit for bit.
  uint64_t nBits = 0xFFF0000000000123ull;
  double dPayload;
  std::memcpy(&dPayload, &nBits, sizeof dPayload);
  for (double d : {std::numeric_limits<double>::infinity(), dPayload}) {
    m.m_dtDateTime = CDateTime(d, CDateTime::valid);
    ExpectRoundTrip(m);
  }
  EXPECT_NE(RecordToJson(m).find("\"date\":\"nan:fff0000000000123\""), std::string::npos);
}

TEST(RecordJson, MembersLeftOutKeepTheirValuesAndEscapesAreDecoded) {
  CMessage m;
  std::string strError, strClass;
  ASSERT_TRUE(RecordFromJson(
      " { \"m_strMessage\" : \"\\u00e9\\u20ac\\ud83d\\ude00\\/\", \"m_nStatus\": 3 } ", m, strError))
      << strError;
  EXPECT_EQ(m.m_strMessage, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80/");
  EXPECT_EQ(m.m_nStatus, 3);
  EXPECT_EQ(m.m_bFlag, 1);
  ASSERT_TRUE(GetJsonClass("{\"class\":\"CAddress\",\"x\":[1,{}]}", strClass, strError));
  EXPECT_EQ(strClass, "CAddress");
}

TEST(RecordJson, BadLinesAreRefusedWithAReason) {
  const std::pair<const char*, const char*> cases[] = {  // the line, a part of the reason
      {"", "value expected"},
      {"[1]", "object expected"},
      {"{\"m_nStatus\":1}x", "after the value"},
      {"{\"m_strNumber\":1}", "m_strNumber: a string expected"},
      {"{\"m_nStatus\":1.5}", "m_nStatus: an integer"},
      {"{\"m_nStatus\":2147483648}", "m_nStatus: an integer"},
      {"{\"m_bFlag\":256}", "m_bFlag: an integer from 0 to 255"},
      {"{\"m_wFirstOctet\":-1}", "m_wFirstOctet: an integer from 0 to 65535"},
      {"{\"m_dtDateTime\":{\"day\":1}}", "unknown member \"day\""},
      {"{\"class\":\"CAddress\"}", "class: \"CMessage\" expected"},
      {"{\"m_strName\":\"\\ud800\"}", "unpaired surrogate"},
      {"{\"m_strName\":\"a\tb\"}", "control character"},
      {"{\"m_strName\":\"a\",\"m_strName\":\"b\"}", "member given twice"},
      {"{\"a\":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[", "nested too deeply"},
  };
  for (const auto& [pszLine, pszReason] : cases) {
    CMessage m;
    std::string strError;
    EXPECT_FALSE(RecordFromJson(pszLine, m, strError)) << pszLine;
    EXPECT_NE(strError.find(pszReason), std::string::npos) << pszLine << " -> " << strError;
  }
}

}  // namespace
