// What a decoded PDU puts into a message record, the key by which the lists know a
// record again, and the PDUs that send a record.
#include <gtest/gtest.h>

#include <string>

#include "model/Message.h"
#include "tests/tethra/PduTestSupport.h"
#include "tethra/PduRecord.h"

namespace {

std::string KeyOf(const std::string& strHex) {
  CMessage msg;
  CPduRecord::FillMessage(Decode(strHex), msg);
  return msg.GetPduKey();
}

}  // namespace

TEST(PduRecord, DecodedPdusFillTheRecord) {
  // The flags word of a received message has bit 3 for reply charges, bit 5 for the
  // reply path and bit 2 as the transfer unit has it (the Inbox reads bit 3); a
  // status report is neither received nor submitted. Reply charges come from the
  // reply path; alphanumeric and national senders have no "+"; a SUBMIT has no date.
  // Each row: number|text|flags word|reply charges|service centre|date.
  struct Case {
    const char* pszName;
    std::string strHex;
    const char* pszRecord;
  } const cases[] = {
      {"deliver", kHowAreYou, "+31641600986|How are you?|0004|0|+31624000000|08/26/02 19:37:41"},
      {"reply path", Hex("00 84" + kOa + "0004 42211332958583 03 48E9FF"),
       "+31641600986|Héÿ|002C|1||12/31/24 23:59:58"},
      {"alphanumeric sender", "0791448720003023240DD0E474D81C0EBB010000111011315214000BE474D81C0EBB5DE3771B",
       "diafaan|diafaan.com|0004|0|+447802000332|01/11/11 13:25:41"},
      {"national number", Hex("00 01 07 0AA16021436587 0000 02 EF35"), "0612345678|ok|0001|0||"},
      {"submit", kHelloSubmit, "+46708251358|hellohello|0011|0||"},
      {"status report", Hex(kSc + "06 2C" + kOa + kTime + "5210100102030A 00"),
       "+31641600986||0002|0|+31624000000|12/31/24 23:59:58"},
      // Header indicator (0x40) and "no more messages" (0x04): bit 4.
      {"deliver with header", Hex("00 44" + kOa + "0000 42211332958583 0A 050003010201 C8329B0D"),
       "+31641600986|d26|0014|0||12/31/24 23:59:58"},
      // Reply path and status report indication (0xA4): no bit 6 or 7.
      {"deliver A4", Hex("00 A4" + kOa + "0000 42211332958583 02 C834"),
       "+31641600986|Hi|002C|1||12/31/24 23:59:58"},
      // SUBMIT with a status report request (0x31): bit 5 is reply charges, not that.
      {"submit 31", Hex("00 31 00" + kDa + "0000 AA 02 C834"), "+46708251358|Hi|0011|0||"},
      // SUBMIT with reply path and header (0xD1): bits 5, 6 and 7.
      {"submit D1", Hex("00 D1 00" + kDa + "0000 AA 09 050003010201 C834"), "+46708251358|d4|00F1|1||"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    CMessage msg;
    msg.m_strName = "kept";
    msg.m_nStatus = 5;
    msg.m_nStorage = 2;
    msg.m_bReplyCharges = 1;
    CPduRecord::FillMessage(Decode(c.strHex), msg);
    char szFlags[5];
    snprintf(szFlags, sizeof szFlags, "%04X", msg.m_wFirstOctet);
    EXPECT_EQ(msg.m_strNumber + "|" + msg.m_strMessage + "|" + szFlags + "|" +
                  std::to_string(msg.m_bReplyCharges) + "|" + msg.m_strServiceCenter + "|" +
                  (msg.m_dtDateTime.IsValid() ? msg.m_dtDateTime.Format() : ""),
              c.pszRecord);
    EXPECT_EQ(msg.IsReplyCharges(), msg.m_bReplyCharges != 0);
    EXPECT_EQ(msg.m_strPdu, c.strHex);
    // Fields the phone does not give stay as they were.
    EXPECT_EQ(std::make_tuple(msg.m_strName, msg.m_nStatus, msg.m_nStorage), std::make_tuple("kept", 5, 2));
  }
  // A SUBMIT brings its validity; a PDU listed with its line end is kept without it
  // (the reply reader has made it upper-case already).
  CMessage msg;
  CPduRecord::FillMessage(Decode(kHelloSubmit), msg);
  EXPECT_EQ(msg.m_nValidity, 0xAA);
  EXPECT_FALSE(msg.IsReceivedType());
  CPduRecord::FillMessage(Decode(kHowAreYou + "\r\n"), msg);
  EXPECT_EQ(msg.m_strPdu, kHowAreYou);
  EXPECT_TRUE(msg.IsReceivedType());
}

TEST(PduKey, SameMessageListedAgainHasTheSameKey) {
  // The key drops the service-centre part and the octet after the first octet.
  EXPECT_EQ(KeyOf(kHowAreYou), "04911346610089F60000208062917314080CC8F71D14969741F977FD07");
  EXPECT_EQ(KeyOf("00" + kHowAreYou.substr(16)), KeyOf(kHowAreYou));
  // A stored SUBMIT keeps its key after sending gives it a message reference;
  // another text is another key.
  EXPECT_EQ(KeyOf(kHelloSubmit), KeyOf("00113A0B916407281553F80000AA0AE8329BFD4697D9EC37"));
  EXPECT_NE(KeyOf(kHelloSubmit), KeyOf("0011000B916407281553F80000AA02EF35"));
}

TEST(PduRecord, FlagsWordToFirstOctet) {
  struct Case {
    uint16_t wFlags;
    uint8_t nFirst;
  } const cases[] = {
      {0x01, 0x01},  // submit, nothing else
      // 15, 35 and 05 are in the records sent below.
      {0x81, 0x81},  // reply path
      {0x41, 0x01},  // header indicator: set by the encoder, not the record
      {0x09, 0x01},  // a validity format other than relative is not written
  };
  for (const auto& c : cases)
    EXPECT_EQ(CPduRecord::FirstOctetFromFlags(c.wFlags), c.nFirst) << c.wFlags;
}

TEST(PduRecord, EncodeMessageFromRecord) {
  // One week (193) as the Compose page passes it, a service centre, reply charges;
  // no number: stored on the phone for later, destination length 0.
  struct Case {
    const char* pszNumber;
    const char* pszServiceCenter;
    uint16_t wFlags;
    int nValidity;
    uint8_t nPid;
    const char* pszPdu;  // "" when refused
  } const cases[] = {
      {"+46708251358", "", 0x15, 0xAA, 0, "0015000B916407281553F80000AA0AE8329BFD4697D9EC37"},
      {"+46708251358", "+31624000000", 0x35, 193, 0x10,
       "07911326040000F095100B916407281553F80000C10AE8329BFD4697D9EC37"},
      {"", "", 0x05, 193, 0, "00050000810000 0AE8329BFD4697D9EC37"},
      {"+31 letters", "", 0x05, 193, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszPdu);
    CMessage msg;
    msg.m_strNumber = c.pszNumber;
    msg.m_strMessage = "hellohello";
    msg.m_strServiceCenter = c.pszServiceCenter;
    msg.m_wFirstOctet = c.wFlags;
    msg.m_nValidity = c.nValidity;
    auto parts = CPduRecord::EncodeMessage(msg, c.nPid, 0);
    ASSERT_EQ(parts.IsOk(), *c.pszPdu != 0);
    if (!parts.IsOk())
      continue;
    ASSERT_EQ(parts->size(), 1u);
    EXPECT_EQ(parts.Value()[0].m_strPdu, Hex(c.pszPdu));
    EXPECT_EQ(parts.Value()[0].m_nTpduLength, 23u - (*c.pszNumber ? 0 : 7));
  }
}
