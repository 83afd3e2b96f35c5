// What a decoded PDU puts into a message record, the key by which the lists know a
// record again, and the PDUs that send a record.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "model/Message.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduRecord.h"

namespace {

CPduMessage Decode(const std::string& strHex) {
  auto r = CPduDecoder::Decode(strHex);
  EXPECT_TRUE(r.IsOk()) << r.GetError();
  return r.IsOk() ? r.Value() : CPduMessage();
}

std::string KeyOf(const std::string& strHex) {
  CMessage msg;
  CPduRecord::FillMessage(Decode(strHex), msg);
  return msg.GetPduKey();
}

const std::string kDeliver = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

}  // namespace

TEST(PduRecord, DecodedPdusFillTheRecord) {
  CMessage msg;
  msg.m_strName = "kept";
  msg.m_nStatus = 5;
  msg.m_nStorage = 2;
  std::string lower = kDeliver;
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  CPduRecord::FillMessage(Decode(lower + "\r\n"), msg);
  EXPECT_EQ(msg.m_strNumber, "+31641600986");
  EXPECT_EQ(msg.m_strMessage, "How are you?");
  EXPECT_EQ(msg.m_strPdu, kDeliver);
  EXPECT_EQ(msg.m_wFirstOctet, 0x04);
  EXPECT_EQ(msg.m_bReplyCharges, 0);
  EXPECT_EQ(msg.m_strServiceCenter, "+31624000000");
  ASSERT_TRUE(msg.m_dtDateTime.IsValid());
  EXPECT_NEAR(msg.m_dtDateTime.GetDate(), 37494 + 70661 / 86400.0, 1e-9);  // 2002-08-26 19:37:41
  // Fields the phone does not give stay as they were.
  EXPECT_EQ(msg.m_strName, "kept");
  EXPECT_EQ(msg.m_nStatus, 5);
  EXPECT_EQ(msg.m_nStorage, 2);

  // Reply path (first octet 84) means reply charges; alphanumeric and national
  // senders have no "+".
  CPduRecord::FillMessage(Decode("00"
                                 "84"
                                 "0B911346610089F6"
                                 "0004"
                                 "42211332958583"
                                 "03"
                                 "48E9FF"),
                          msg);
  EXPECT_EQ(msg.m_bReplyCharges, 1);
  // In the flags word of a received message: bit 3 reply charges, bit 5 the reply
  // path, bit 2 as the transfer unit has it; the Inbox reads bit 3.
  EXPECT_EQ(msg.m_wFirstOctet, 0x2C);
  EXPECT_TRUE(msg.IsReceivedType());
  EXPECT_TRUE(msg.IsReplyCharges());
  EXPECT_EQ(msg.m_strServiceCenter, "");
  CPduRecord::FillMessage(
      Decode("0791448720003023240DD0E474D81C0EBB010000111011315214000BE474D81C0EBB5DE3771B"), msg);
  EXPECT_EQ(msg.m_strNumber, "diafaan");
  EXPECT_EQ(msg.m_bReplyCharges, 0);
  CPduRecord::FillMessage(Decode("00"
                                 "01"
                                 "07"
                                 "0AA16021436587"
                                 "0000"
                                 "02"
                                 "EF35"),
                          msg);
  EXPECT_EQ(msg.m_strNumber, "0612345678");

  // A SUBMIT has no date but its validity; a status report names the recipient
  // and carries the service-centre time.
  msg.m_nValidity = 3;
  CPduRecord::FillMessage(Decode("0011000B916407281553F80000AA0AE8329BFD4697D9EC37"), msg);
  EXPECT_EQ(msg.m_strMessage, "hellohello");
  EXPECT_FALSE(msg.m_dtDateTime.IsValid());
  EXPECT_EQ(msg.m_nValidity, 0xAA);
  EXPECT_EQ(msg.m_wFirstOctet, 0x11);
  EXPECT_FALSE(msg.IsReplyCharges());
  CMessage report;
  CPduRecord::FillMessage(Decode("07911326040000F0"
                                 "06"
                                 "2C"
                                 "0B911346610089F6"
                                 "42211332958540"
                                 "5210100102030A"
                                 "00"),
                          report);
  EXPECT_EQ(report.m_strNumber, "+31641600986");
  EXPECT_EQ(report.m_wFirstOctet, 0x02);  // neither received nor submitted
  ASSERT_TRUE(report.m_dtDateTime.IsValid());
  EXPECT_NEAR(report.m_dtDateTime.GetDate(), 45657 + 86398 / 86400.0, 1e-9);
}

TEST(PduRecord, FlagsWordFollowsTheRecordLayout) {
  // First octets as phones list them, against the flags word of the record.
  const struct {
    const char* pszPdu;
    uint16_t wFlags;
    bool bReplyCharges;
  } cases[] = {
      // DELIVER with the header indicator (0x40) and "no more messages" (0x04): bit 4.
      {"00"
       "44"
       "0B911346610089F6"
       "0000"
       "42211332958583"
       "0A"
       "050003010201"
       "C8329B0D",
       0x14, false},
      // DELIVER with reply path and status report indication (0xA4): no bit 6 or 7.
      {"00"
       "A4"
       "0B911346610089F6"
       "0000"
       "42211332958583"
       "02"
       "C834",
       0x2C, true},
      // SUBMIT with a status report request (0x31): bit 5 is reply charges, not that.
      {"00"
       "31"
       "00"
       "0B916407281553F8"
       "0000"
       "AA"
       "02"
       "C834",
       0x11, false},
      // SUBMIT with reply path and header (0xD1): bits 5, 6 and 7.
      {"00"
       "D1"
       "00"
       "0B916407281553F8"
       "0000"
       "AA"
       "09"
       "050003010201"
       "C834",
       0xF1, true},
  };
  for (const auto& c : cases) {
    CMessage msg;
    CPduRecord::FillMessage(Decode(c.pszPdu), msg);
    EXPECT_EQ(msg.m_wFirstOctet, c.wFlags) << c.pszPdu;
    EXPECT_EQ(msg.IsReplyCharges(), c.bReplyCharges) << c.pszPdu;
  }
}

TEST(PduKey, SameMessageListedAgainHasTheSameKey) {
  // The key drops the service-centre part and the octet after the first octet.
  EXPECT_EQ(KeyOf(kDeliver),
            "04"
            "911346610089F60000208062917314080CC8F71D14969741F977FD07");
  EXPECT_EQ(KeyOf("00" + kDeliver.substr(16)), KeyOf(kDeliver));
  // A stored SUBMIT keeps its key after sending gives it a message reference;
  // another text is another key.
  EXPECT_EQ(KeyOf("0011000B916407281553F80000AA0AE8329BFD4697D9EC37"),
            KeyOf("00113A0B916407281553F80000AA0AE8329BFD4697D9EC37"));
  EXPECT_NE(KeyOf("0011000B916407281553F80000AA0AE8329BFD4697D9EC37"),
            KeyOf("0011000B916407281553F80000AA02EF35"));
}

TEST(PduRecord, FlagsWordToFirstOctet) {
  struct Case {
    uint16_t wFlags;
    uint8_t nFirst;
  } const cases[] = {
      {0x01, 0x01},  // submit, nothing else
      {0x15, 0x15},  // reject duplicates, relative validity
      {0x05, 0x05},  // lifetime "None": no validity period
      {0x35, 0x95},  // reply charges accepted: reply path
      {0x81, 0x81},  // reply path
      {0x41, 0x01},  // header indicator: set by the encoder, not the record
      {0x09, 0x01},  // a validity format other than relative is not written
  };
  for (const auto& c : cases)
    EXPECT_EQ(CPduRecord::FirstOctetFromFlags(c.wFlags), c.nFirst) << c.wFlags;
}

TEST(PduRecord, EncodeMessageFromRecord) {
  CMessage msg;
  msg.m_strNumber = "+46708251358";
  msg.m_strMessage = "hellohello";
  msg.m_wFirstOctet = 0x15;
  msg.m_nValidity = 0xAA;
  auto parts = CPduRecord::EncodeMessage(msg, 0, 0);
  ASSERT_TRUE(parts.IsOk()) << parts.GetError();
  ASSERT_EQ(parts->size(), 1u);
  EXPECT_EQ(parts.Value()[0].m_strPdu, "0015000B916407281553F80000AA0AE8329BFD4697D9EC37");

  // One week (193) as the Compose page passes it, a service centre, reply charges.
  msg.m_strServiceCenter = "+31624000000";
  msg.m_wFirstOctet = 0x35;
  msg.m_nValidity = 193;
  parts = CPduRecord::EncodeMessage(msg, 0x10, 0);
  ASSERT_TRUE(parts.IsOk()) << parts.GetError();
  EXPECT_EQ(parts.Value()[0].m_strPdu,
            "07911326040000F09510"
            "0B916407281553F8"
            "0000C1"
            "0AE8329BFD4697D9EC37");
  EXPECT_EQ(parts.Value()[0].m_nTpduLength, 23u);

  // No number: stored on the phone for later, destination length 0.
  msg.m_strNumber.clear();
  msg.m_strServiceCenter.clear();
  msg.m_wFirstOctet = 0x05;
  parts = CPduRecord::EncodeMessage(msg, 0, 0);
  ASSERT_TRUE(parts.IsOk()) << parts.GetError();
  EXPECT_EQ(parts.Value()[0].m_strPdu,
            "0005000081"
            "0000"
            "0AE8329BFD4697D9EC37");

  msg.m_strNumber = "+31 letters";
  EXPECT_FALSE(CPduRecord::EncodeMessage(msg, 0, 0).IsOk());
}
